# Shared by the two MinGW toolchain files. The -posix compilers are used for the whole tree:
# their runtime has std::thread and std::mutex (through winpthreads, linked statically).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${DP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
