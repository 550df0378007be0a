# The -posix compilers: the default ones use the win32 thread model, which lacks
# std::thread and std::mutex in GCC 12 (the packer uses threads).
set(CMAKE_C_COMPILER   ${TWX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TWX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TWX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TWX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The setup must start on a bare Windows: no runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
