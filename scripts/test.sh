#!/usr/bin/env bash
# Builds the program and its tests with warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Release -DKAZETTOR_WERROR=ON
cmake --build build-tests -j2
ctest --test-dir build-tests --output-on-failure -j2
