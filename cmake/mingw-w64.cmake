# Cross build for 32-bit Windows, the product. Tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake")
