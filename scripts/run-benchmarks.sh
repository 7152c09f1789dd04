#!/usr/bin/env bash
# Builds the benchmark programs, makes the inputs and measures:
#   - loading and cleaning of a 30-minute 44.1 kHz 16-bit recording and of a
#     crafted worst case for the cleaning sweeps;
#   - the whole WAV-to-PTP run on the recording, with the program's search and
#     with the literal search, and its peak memory;
#   - PTP-to-WAV of 64 KB of payload at 48 kHz, 32 bits, sine, against cp.
# Usage: scripts/run-benchmarks.sh [work directory]   (needs about 1 GB there)
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/kazettor_bench}
mkdir -p "$work"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAZETTOR_BENCHMARKS=ON -DKAZETTOR_TESTS=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null

[ -f "$work/tape30.wav" ] || build-bench/bench/make_bench_inputs "$work"

timed() {  # prints wall seconds and peak resident memory of a command
    /usr/bin/time -f "%e s, peak RSS %M KB" "$@" >/dev/null
}

echo "== load and clean"
build-bench/bench/bench_load_clean "$work/tape30.wav" "$work/crafted.wav"

echo "== WAV to PTP, whole run (30 minutes, 44.1 kHz, 16 bits)"
rm -rf "$work/tape30"
echo -n "kazettor:                 "; timed build-bench/kazettor "$work/tape30.wav"
for p in 1 2 3 4 5 6 7 8; do
    cmp -s "$work/program$p.ptp" "$work/tape30/0${p}_PROGRAM$p.ptp" || { echo "program $p not decoded exactly"; exit 1; }
done
echo "all 8 programs decoded byte for byte"
if [ "${SKIP_LITERAL:-0}" != 1 ]; then
    rm -rf "$work/tape30"
    echo -n "with the literal search:  "; timed build-bench/bench/kazettor_literal "$work/tape30.wav"
fi

echo "== PTP to WAV (64 KB payload, 48 kHz, 32 bits, sine)"
echo -n "kazettor:                 "; timed build-bench/kazettor "$work/payload64k.ptp" -m48 -b32 -f0
ls -l "$work/payload64k.wav" | awk '{print "output bytes: " $5}'
rm -f "$work/copy.wav"; cat "$work/payload64k.wav" >/dev/null
echo -n "cp of the same file:      "; timed cp "$work/payload64k.wav" "$work/copy.wav"
rm -f "$work/copy.wav"
