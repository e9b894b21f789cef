# Cross-compiling toolchain: 32-bit Windows PE files (build/win32, the deliverable) with
# MinGW-w64, run under Wine's 32-bit loader by CTest.
set(QUORREL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORREL_WINE wine CACHE STRING "the Wine loader that runs this tree's programs")
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
