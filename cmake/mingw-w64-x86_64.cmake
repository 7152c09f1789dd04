# Cross-compiles kazettor for 64-bit Windows with Debian's MinGW-w64 GCC:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# (scripts/windows-build.sh does that and the build.)
#
# The posix-threads variant of the compiler is taken when it is there: its
# libstdc++ is the complete one (std::thread, std::mutex), so nothing in the
# standard library the program may use later is missing. The win32 variant
# builds the program as it is today as well:
#   -DKAZETTOR_MINGW_CXX=/usr/bin/x86_64-w64-mingw32-g++-win32
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAZETTOR_MINGW_TRIPLET x86_64-w64-mingw32)
find_program(KAZETTOR_MINGW_CXX NAMES ${KAZETTOR_MINGW_TRIPLET}-g++-posix ${KAZETTOR_MINGW_TRIPLET}-g++
             REQUIRED)
set(CMAKE_CXX_COMPILER ${KAZETTOR_MINGW_CXX})
# For resource files (a manifest), should the program be given any.
find_program(CMAKE_RC_COMPILER NAMES ${KAZETTOR_MINGW_TRIPLET}-windres)

# Look for headers and libraries only in the cross environment, for programs
# (none are needed) only on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KAZETTOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained .exe: the C++ runtime, libgcc and winpthread are linked in,
# so the program runs on a bare Windows (or under wine) without MinGW's DLLs
# beside it; only the system's own DLLs (KERNEL32, msvcrt) are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
