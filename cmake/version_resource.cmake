# The version resource of a Windows program: what its Properties page, Task Manager and the
# signature prompts show. The numbers come from the project's version; the publisher's names are
# cache options. One call per program:
#     vesk_version_resource(vesk-check "Vesk 更新连接检测工具")
set(VESK_PRODUCT_NAME "Vesk 更新连接检测工具" CACHE STRING "Product name in the Windows programs' version resource")
set(VESK_COMPANY_NAME "Vesk" CACHE STRING "Company name in the Windows programs' version resource")
set(VESK_COPYRIGHT "© Vesk" CACHE STRING "Copyright line in the Windows programs' version resource")

# Text as a resource script's string literal holds it: backslashes and quotes doubled.
function(vesk_resource_text out text)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\"\"" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Gives `target` its version resource; `description` is the program's own name, in Chinese.
function(vesk_version_resource target description)
    get_target_property(outputName ${target} OUTPUT_NAME)
    if(NOT outputName)
        set(outputName "${target}")
    endif()
    set(originalFilename "${outputName}${CMAKE_EXECUTABLE_SUFFIX}")
    string(REPLACE "." "," versionNumbers "${toolVersionQuad}")
    # A build that carries the test key and the example host is not one for players.
    if(VESK_RELEASE)
        set(versionFlags 0)
    else()
        set(versionFlags VS_FF_PRERELEASE)
    endif()
    vesk_resource_text(descriptionText "${description}")
    vesk_resource_text(productText "${VESK_PRODUCT_NAME}")
    vesk_resource_text(companyText "${VESK_COMPANY_NAME}")
    vesk_resource_text(copyrightText "${VESK_COPYRIGHT}")
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc")
    configure_file("${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in" "${script}" @ONLY)
    target_sources(${target} PRIVATE "${script}")
endfunction()
