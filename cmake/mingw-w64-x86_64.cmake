# Cross-builds the Qt-free libraries, the companion and their tests for 64-bit Windows with
# Debian's mingw-w64 (g++-mingw-w64-x86-64-posix: the POSIX thread model, which std::thread and
# GoogleTest need). GoogleTest is built for the target from /usr/src/googletest.
#
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QPM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QPM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QPM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QPM_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QPM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The runtime goes into each program, so that it runs without DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Release programs ship without their symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
