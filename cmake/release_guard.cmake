# A build for players must carry the deployment's own key and CDN host, never the test pair or
# the reserved example name.
if(VESK_RELEASE)
    file(SHA256 "${VESK_MANIFEST_PUBLIC_KEY}" releaseKeyHash)
    file(SHA256 "${CMAKE_SOURCE_DIR}/tests/keys/manifest-test.pub.pem" testKeyHash)
    if(releaseKeyHash STREQUAL testKeyHash)
        message(FATAL_ERROR "VESK_RELEASE: VESK_MANIFEST_PUBLIC_KEY is the test key; pass the deployment's key")
    endif()
    if(VESK_CDN_HOST STREQUAL "update.vesk.example")
        message(FATAL_ERROR "VESK_RELEASE: VESK_CDN_HOST is the example host; pass the deployment's host")
    endif()
endif()
