# The tool's version is the one project() states. The report's header shows it as it stands
# (generated/tool_version.h); Windows wants four numbers in the manifest and the version resource.
if(PROJECT_VERSION_TWEAK STREQUAL "")
    set(toolVersionQuad "${PROJECT_VERSION}.0")
else()
    set(toolVersionQuad "${PROJECT_VERSION}")
endif()
configure_file("${CMAKE_SOURCE_DIR}/cmake/tool_version.h.in"
               "${CMAKE_BINARY_DIR}/generated/tool_version.h" @ONLY)
