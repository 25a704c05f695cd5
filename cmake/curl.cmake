# libcurl: Debian's (OpenSSL back end) natively; for Windows the static Schannel build that
# scripts/setup makes from Debian's curl source and caches outside the tree.
if(WIN32)
    # The default matches scripts/lib/common.sh, which exports the same place as VESK_CURL_PREFIX.
    set(defaultPrefix "$ENV{VESK_CURL_PREFIX}")
    if(NOT defaultPrefix)
        set(defaultPrefix "$ENV{HOME}/.cache/vesk-check/curl-7.88.1-i686-w64-mingw32-schannel")
    endif()
    if(NOT VESK_CURL_PREFIX)
        set(VESK_CURL_PREFIX "${defaultPrefix}" CACHE PATH "Static libcurl for i686-w64-mingw32" FORCE)
    endif()
    find_path(VESK_CURL_INCLUDE_DIR curl/curl.h PATHS "${VESK_CURL_PREFIX}/include"
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_library(VESK_CURL_LIBRARY libcurl.a PATHS "${VESK_CURL_PREFIX}/lib"
                 NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    add_library(CURL::libcurl STATIC IMPORTED)
    set_target_properties(CURL::libcurl PROPERTIES
        IMPORTED_LOCATION "${VESK_CURL_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${VESK_CURL_INCLUDE_DIR}"
        INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
        INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;bcrypt;secur32;advapi32")
else()
    find_package(CURL REQUIRED)
endif()
