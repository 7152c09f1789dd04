#!/usr/bin/env bash
# Measures how the decoders tolerate degraded recordings and writes the result
# to docs/tolerance.md: kazettor encodes three programs of random content, sox
# degrades the recording in many ways (noise, filters, speed, wow and flutter,
# polarity, rates, widths, DC offset, level, dropouts, a damaged lead-in, the
# playback head's response, combinations), kazettor decodes each and every
# decoded program is compared with its source image, every block on the
# console with the true tape blocks.
#
#   scripts/tolerance-matrix.sh [--jobs N] [work directory]
#
# Every recording is decoded twice, with the default decoder and with the
# rescue decoder (-r I). --jobs sets the number of conditions run side by side
# (default: the number of processors).
# The work directory (default out/tolerance, or /tmp/kazettor_tolerance when
# the repository's path holds a '.') must have no '.' in its path; each
# condition's console output stays there, and failing conditions keep their
# recordings and the decoders' cleaned signals. Set KEEP=1 to keep them all.
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

options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --jobs) options+=(--jobs "$2"); shift 2 ;;
        --jobs=*) options+=("$1"); shift ;;
        *) break ;;
    esac
done

work=${1:-$PWD/out/tolerance}
case "$work" in
    *.*) [ $# -eq 0 ] && work=/tmp/kazettor_tolerance ;;
esac

[ "${KEEP:-0}" = 1 ] && options+=(--keep)
time python3 scripts/tolerance_matrix.py --kazettor "$kazettor" --work "$work" \
    --out docs/tolerance.md --command "scripts/tolerance-matrix.sh" "${options[@]}"
