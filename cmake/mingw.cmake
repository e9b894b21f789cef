# What both Windows toolchains share (included by mingw-i686.cmake and
# mingw-x86_64.cmake, which set QUORREL_MINGW_TRIPLE, the processor and QUORREL_WINE):
# the posix thread-model compilers, so std::mutex and GoogleTest work.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORREL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORREL_WINE})
