#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on the seed corpus.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [work directory]
# The corpus grows in the work directory; the committed seeds stay as they are.
# A crash, sanitizer report or input slower than 1 s stops with status 1 and
# leaves the input in the work directory.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
work=${2:-out/fuzz}

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAZETTOR_FUZZ=ON \
    -DKAZETTOR_TESTS=OFF -DKAZETTOR_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build build-fuzz -j2 >/dev/null

# Each target on its own: a crash leaves its input and its log in its folder.
fuzz_one() {
    local target=$1
    mkdir -p "$work/$target/corpus"
    cp -n fuzz/corpus/$target/* "$work/$target/corpus/" 2>/dev/null || true
    if ! (cd "$work/$target" &&
        "$root/build-fuzz/fuzz/fuzz_$target" corpus -max_total_time="$seconds" -timeout=1 \
            -max_len=16384 -rss_limit_mb=2048 -print_final_stats=1 2>fuzz.log); then
        tail -n 40 "$work/$target/fuzz.log"
        echo "fuzz_$target found a problem; see $work/$target"
        return 1
    fi
    echo "== fuzz_$target for $seconds s"
    grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$work/$target/fuzz.log" | tail -n 2
}

# As many targets at once as the machine has processors: each fuzzer runs
# in one, and CI's time is bounded.
root=$PWD status=0 running=0
for target in wav ptp cli; do
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    fuzz_one "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit "$status"
