#!/usr/bin/env bash
# Cross-compiles kazettor for 64-bit Windows into build-windows/kazettor.exe,
# with Debian's MinGW-w64 GCC (package g++-mingw-w64-x86-64) and warnings as
# errors. The .exe is linked statically: it needs no DLL beside it.
# Usage: scripts/windows-build.sh [build type]   (default Release)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE="${1:-Release}" -DKAZETTOR_TESTS=OFF -DKAZETTOR_WERROR=ON
cmake --build build-windows -j2 --target kazettor
echo "built build-windows/kazettor.exe"
