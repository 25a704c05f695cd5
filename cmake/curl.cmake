# libcurl: the static library that scripts/setup builds for this target from the pinned upstream
# release (Schannel on Windows, OpenSSL elsewhere) and caches outside the tree.
set(VESK_CURL_PREFIX "" CACHE PATH "Static libcurl built for this target by scripts/setup")
if(NOT VESK_CURL_PREFIX)
    message(FATAL_ERROR "VESK_CURL_PREFIX is not set: build with scripts/build after scripts/setup")
endif()
find_path(VESK_CURL_INCLUDE_DIR curl/curl.h PATHS "${VESK_CURL_PREFIX}/include"
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_library(VESK_CURL_LIBRARY libcurl.a PATHS "${VESK_CURL_PREFIX}/lib"
             NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# The release's version as its headers give it, for the licence notice.
file(STRINGS "${VESK_CURL_INCLUDE_DIR}/curl/curlver.h" curlVersionLine REGEX "^#define LIBCURL_VERSION ")
string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" curlVersion "${curlVersionLine}")
if(WIN32)
    # iphlpapi: if_nametoindex, for IPv6 zone names.
    set(curlSystemLibraries ws2_32 crypt32 bcrypt secur32 advapi32 iphlpapi)
else()
    find_package(OpenSSL REQUIRED)
    find_package(Threads REQUIRED)
    set(curlSystemLibraries OpenSSL::SSL OpenSSL::Crypto Threads::Threads)
endif()
add_library(CURL::libcurl STATIC IMPORTED)
set_target_properties(CURL::libcurl PROPERTIES
    IMPORTED_LOCATION "${VESK_CURL_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${VESK_CURL_INCLUDE_DIR}"
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "${curlSystemLibraries}")
