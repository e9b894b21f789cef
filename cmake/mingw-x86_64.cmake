# Cross-compiling toolchain: 64-bit Windows PE files (build/win64, for machines that run
# no 32-bit code) with MinGW-w64, run by CTest under Wine's 64-bit loader, called by its
# own path: Debian's `wine` wrapper takes the 32-bit loader whenever wine32 is there.
set(QUORREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORREL_WINE /usr/lib/wine/wine64 CACHE STRING "the Wine loader that runs this tree's programs")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
