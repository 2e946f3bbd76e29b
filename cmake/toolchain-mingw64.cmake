# Cross build for 64-bit Windows with mingw-w64 (Debian: g++-mingw-w64-x86-64):
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# It builds the GUI-free core, the serial layer and their GoogleTest suites;
# ctest runs the .exe files under wine. scripts/test-windows.sh does it all.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix variants: GCC 12's default -win32 thread model has no
# std::thread or std::mutex.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libstdc++, libgcc and winpthreads linked in: the programs need no DLL
# beside them, under wine or on a Windows machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and gtest_discover_tests run the test programs through wine.
find_program(KORVANE_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})

# What needs Qt, POSIX pseudo-terminals or fork stays out: the program, the
# simulator, the Modbus peers and the end-to-end runs. GoogleTest comes from
# Debian's source package and is compiled for Windows here.
set(KORVANE_BUILD_GUI OFF CACHE BOOL "" FORCE)
set(KORVANE_BUILD_TOOLS OFF CACHE BOOL "" FORCE)
set(KORVANE_BUILD_PEERS OFF CACHE BOOL "" FORCE)
set(KORVANE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "" FORCE)

# 64-bit file sizes and offsets in stat, ftruncate and lseek, as on Linux.
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
