#!/usr/bin/env bash
# Builds the benchmark programs, makes the inputs and measures:
#   - loading and cleaning of a 30-minute 44.1 kHz 16-bit recording (aged as a
#     cassette, and a harsher version; the first also as 24-bit extensible
#     with a LIST chunk and as one channel of a stereo file), and of a crafted
#     worst case for the cleaning sweeps, with the literal sweeps for comparison;
#   - the whole WAV-to-PTP run on the recordings, with the program's search
#     and with the literal search, and its peak memory;
#   - the rescue decoder (-r I) on both recordings, taken in turns with the
#     default run, and its peak memory, also on an hour's recording;
#   - PTP-to-WAV of 64 KB of payload at 48 kHz, 32 bits, sine, against cp.
# Times are medians of several runs; the literal search takes turns with the
# program's own.
# Usage: scripts/run-benchmarks.sh [work directory]   (needs about 1.4 GB there)
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-/tmp/kazettor_bench}
mkdir -p "$work"
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAZETTOR_BENCHMARKS=ON -DKAZETTOR_TESTS=OFF >/dev/null
cmake --build build-bench -j2 >/dev/null
[ -f "$work/tape60.wav" ] || build-bench/bench/make_bench_inputs "$work"

# median RUNS CLEANUP COMMAND...: runs the command RUNS times (CLEANUP before
# each) and prints the median wall time, the median CPU time (user + system;
# unlike wall time, not inflated when the virtual machine's host takes the
# CPU away) and the largest peak resident memory.
median() {
    local runs=$1 cleanup=$2; shift 2
    local walls=() cpus=() peak=0
    for _ in $(seq "$runs"); do
        eval "$cleanup"
        local line
        line=$( { /usr/bin/time -f "%e %U %S %M" "$@" >/dev/null; } 2>&1 | tail -n 1)
        read -r wall user sys rss <<<"$line"
        walls+=("$wall")
        cpus+=("$(echo "$user + $sys" | bc)")
        [ "$rss" -gt "$peak" ] && peak=$rss
    done
    local middle=$(( (runs + 1) / 2 ))
    echo "wall $(printf '%s\n' "${walls[@]}" | sort -n | sed -n "${middle}p") s," \
        "cpu $(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "${middle}p") s" \
        "(median of $runs), peak RSS $peak KB"
}

# check_programs RECORDING [WHAT]: every program of the recording's output
# directory equals its source image, or the run stops.
check_programs() {
    local recording=$1 what=${2:-}
    for p in 1 2 3 4 5 6 7 8; do
        cmp -s "$work/program$p.ptp" "$work/$recording/0${p}_PROGRAM$p.ptp" ||
            { echo "program $p not decoded exactly$what"; exit 1; }
    done
    echo "all 8 programs decoded byte for byte$what"
}

echo "== load and clean (in-process, best of 3)"
build-bench/bench/bench_load_clean "$work/tape30.wav" "$work/tape30_24.wav" -c2 "$work/tape30_stereo.wav" \
    "$work/tape30_harsh.wav" "$work/crafted.wav"

for recording in tape30 tape30_harsh; do
    echo "== WAV to PTP, whole run: $recording.wav"
    echo -n "kazettor:                  "; median 5 "rm -rf $work/$recording" build-bench/kazettor "$work/$recording.wav"
    check_programs "$recording"
done
if [ "${SKIP_LITERAL:-0}" != 1 ]; then
    # Taken in turns, so that both see the same state of the machine.
    for round in 1 2 3; do
        echo -n "tape30.wav, literal search: "
        median 1 "rm -rf $work/tape30" build-bench/bench/kazettor_literal "$work/tape30.wav"
        echo -n "tape30.wav, kazettor:       "
        median 3 "rm -rf $work/tape30" build-bench/kazettor "$work/tape30.wav"
    done
fi

echo "== WAV to PTP with the rescue decoder (-r I), in turns with the default run"
for recording in tape30 tape30_harsh; do
    for round in 1 2 3; do
        echo -n "$recording.wav, default run: "; median 3 "rm -rf $work/$recording" build-bench/kazettor "$work/$recording.wav"
        echo -n "$recording.wav, -r I:        "; median 3 "rm -rf $work/$recording" build-bench/kazettor "$work/$recording.wav" -r I
    done
    check_programs "$recording" " with -r I"
done
echo -n "tape60.wav, -r I:          "; median 1 "rm -rf $work/tape60" build-bench/kazettor "$work/tape60.wav" -r I
check_programs tape60 " with -r I (the first of each two)"

echo "== PTP to WAV: 64 KB of payload, 48 kHz, 32 bits, sine"
echo -n "kazettor:                  "; median 5 "rm -f $work/payload64k.wav" build-bench/kazettor "$work/payload64k.ptp" -m48 -b32 -f0
ls -l "$work/payload64k.wav" | awk '{print "output: " $5 " bytes"}'
echo -n "cp of the same file:       "; median 5 "rm -f $work/copy.wav" cp "$work/payload64k.wav" "$work/copy.wav"
rm -f "$work/copy.wav"

echo "== resource bounds"
echo -n "record of 65535 bytes, 48 kHz, 32 bits, sine: "
median 3 "rm -f $work/record65535.wav" build-bench/kazettor "$work/record65535.ptp" -m48 -b32 -f0
ls -l "$work/record65535.wav" | awk '{print "output: " $5 " bytes"}'
echo -n "48 kHz recording with -s 5000 (separator 240): "
median 3 "rm -rf $work/tape48k" build-bench/kazettor "$work/tape48k.wav" -s 5000
echo -n "192 kHz recording, automatic lock:  "
median 3 "rm -rf $work/tape192k" build-bench/kazettor "$work/tape192k.wav"
cmp "$work/program1.ptp" "$work/tape192k/01_PROGRAM1.ptp" && echo "the 192 kHz program decodes byte for byte"
