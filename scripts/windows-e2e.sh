#!/usr/bin/env bash
# End-to-end check of the Windows build: runs build-windows/kazettor.exe under
# wine on a set of cases and compares each run with the native Linux build on
# the same inputs: the exit status, the standard output and every file the
# run leaves, byte for byte. This script sets up wine and the two builds; the
# cases, their inputs and the comparison are in scripts/windows_e2e.py.
#
# Standard output is compared after turning CRLF into LF: redirected to a
# file, a Windows program's text-mode standard output ends its lines with
# "\r\n". The usage text names the program as it was started (argv[0]), which
# differs between the two; that name is replaced by "kazettor" on both sides.
# Wine's own messages go to standard error, which is not compared.
#
# Needs: build-windows/kazettor.exe (scripts/windows-build.sh; KAZETTOR_EXE=path
# chooses another), wine (64-bit is enough; WINE=path chooses the loader),
# python3, and the native build: build/kazettor, brought up to date here
# (KAZETTOR_NATIVE=path chooses another native binary).
# KAZETTOR_E2E_LARGE=1 adds two cases with files of more than 2 GiB (64-bit
# file positions): a 2.5 GB recording to decode and a 2.4 GB one to encode.
# They need about 10 GB of free disk and 3 GB of memory, and a minute more.
# KAZETTOR_E2E_ONLY=regex runs only the cases whose name matches it.
# Usage: scripts/windows-e2e.sh [work directory]   (default build-windows/e2e)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

exe=$(realpath -m "${KAZETTOR_EXE:-build-windows/kazettor.exe}")
[ -f "$exe" ] || { echo "no $exe: run scripts/windows-build.sh first"; exit 2; }

native=${KAZETTOR_NATIVE:-}
if [ -z "$native" ]; then
    [ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j2 --target kazettor >/dev/null
    native="$root/build/kazettor"
fi
native=$(realpath "$native")

wine=${WINE:-$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)}
[ -x "$wine" ] || { echo "wine not found"; exit 2; }

work=$(realpath -m "${1:-build-windows/e2e}")
# The wine prefix is kept beside the build, so that ~/.wine is left alone and
# a second run does not have to create it again (that takes a few seconds).
export WINEPREFIX="$root/build-windows/wine-prefix"
export WINEDEBUG=-all
# Wine takes the Windows code page from the locale: UTF-8 on the Linux side,
# 1252 as the ANSI code page, whatever this machine's locale is.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
mkdir -p "$WINEPREFIX"
"$wine" cmd /c exit >/dev/null 2>&1 || true
# One wine server for all the runs; ended again when the script ends.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
"$wineserver" -p >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT

options=()
[ "${KAZETTOR_E2E_LARGE:-0}" = 1 ] && options+=(--large)
[ -n "${KAZETTOR_E2E_ONLY:-}" ] && options+=(--only "$KAZETTOR_E2E_ONLY")
python3 scripts/windows_e2e.py --native "$native" --wine "$wine" --exe "$exe" --work "$work" \
    --root "$root" "${options[@]}"
