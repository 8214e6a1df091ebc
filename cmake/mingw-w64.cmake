# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which C++'s std::thread and SDL2 want). Libraries, headers and CMake
# packages are looked up only in mingw-w64's own folder and the folder of the
# libraries built for Windows (given as -DCMAKE_FIND_ROOT_PATH=DIR by
# scripts/windows), never in this machine's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe with nothing of GCC's beside it: its runtime and winpthread are
# linked in. The linker leaves out the time stamp, so two builds are the same
# bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
