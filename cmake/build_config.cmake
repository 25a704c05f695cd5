# Writes the deployment's settings into generated/build_config.h; nothing is read at run time.
if(NOT VESK_CDN_HOST MATCHES "^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$")
    message(FATAL_ERROR "VESK_CDN_HOST must be a plain host name, got '${VESK_CDN_HOST}'")
endif()
configure_file("${CMAKE_SOURCE_DIR}/cmake/build_config.h.in"
               "${CMAKE_BINARY_DIR}/generated/build_config.h" @ONLY)
