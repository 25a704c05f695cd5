# The 64-bit twin of the Windows build, from the same sources, for machines that cannot start
# 32-bit programs. Debian's wine script would pick the 32-bit loader whenever it is installed, so
# tests name 64-bit Wine's own loader.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-target.cmake")
