# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 toolchain.
#
# The posix thread variant is used because Qt and Quarrow use std::thread and
# std::mutex, which the win32 variant of Debian's compilers does not provide.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries, headers and packages come only from the MinGW root (and from the
# prefixes a build adds to CMAKE_FIND_ROOT_PATH), never from the Linux system,
# whose libraries would link but not run. Programs, on the other hand, are the
# build machine's own.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
