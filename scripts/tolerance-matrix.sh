#!/usr/bin/env bash
# Measures how the decoder tolerates degraded recordings and writes the result
# to docs/tolerance.md: kazettor encodes three programs of random content, sox
# degrades the recording in many ways (noise, filters, speed, wow and flutter,
# polarity, rates, widths, DC offset, level, dropouts), kazettor decodes each
# and every decoded program is compared with its source image.
#
#   scripts/tolerance-matrix.sh [work directory]
#
# The work directory (default out/tolerance, or /tmp/kazettor_tolerance when
# the repository's path holds a '.') must have no '.' in its path; each
# condition's console output stays there, and failing conditions keep their
# recordings and the decoder's cleaned signal. Set KEEP=1 to keep them all.
# Needs python3, sox (apt-get install sox) and a built kazettor (build/).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v sox >/dev/null; then
    echo "sox is missing: apt-get install -y sox" >&2
    exit 1
fi
kazettor=${KAZETTOR:-build/kazettor}
if [ ! -x "$kazettor" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j2 --target kazettor
fi

work=${1:-$PWD/out/tolerance}
case "$work" in
    *.*) [ $# -eq 0 ] && work=/tmp/kazettor_tolerance ;;
esac

options=()
[ "${KEEP:-0}" = 1 ] && options+=(--keep)
time python3 scripts/tolerance_matrix.py --kazettor "$kazettor" --work "$work" \
    --out docs/tolerance.md --command "scripts/tolerance-matrix.sh" "${options[@]}"
