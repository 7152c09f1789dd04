#!/usr/bin/env bash
# Pictures of the damage map as PNG, through headless Chromium (Debian's
# package, installed when missing), to look at the map as a person sees it.
#   scripts/render-map.sh MAP.svg PICTURE.png   renders one map
#   scripts/render-map.sh                       decodes with -r I, and renders into docs/:
#       map-example.png  the shipped example, examples/hello_tape.wav
#       map-takes.png    a damaged tape of ten blocks recorded twice by bench/rescue_sim
#                        (hiss at 6 dB, a 40 ms dropout in about half the data blocks of
#                        each take, the second take 4 % fast), read from both takes
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v chromium >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q chromium
fi
if [ $# -eq 2 ]; then
    python3 scripts/render_map.py "$1" "$2"
    exit
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAZETTOR_BENCHMARKS=ON -DKAZETTOR_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target kazettor rescue_sim >/dev/null
work=$(mktemp -d /tmp/kazettor_maps_XXXXXX)
trap 'rm -rf "$work"' EXIT
cp examples/hello_tape.wav "$work/"
(cd "$work" && "$OLDPWD/build-bench/kazettor" hello_tape.wav -r I >/dev/null)
python3 scripts/render_map.py "$work/hello_tape/hello_tape.svg" docs/map-example.png
build-bench/bench/rescue_sim --trials 1 --seed 9 --blocks 10 --takes 2 --snr 6 --dropout 40 --dropout-share 0.5 --take-speed 1.04 \
    --quiet --work "$work" >/dev/null || true
(cd "$work" && "$OLDPWD/build-bench/kazettor" rec.wav -r I -t take.wav >/dev/null)
python3 scripts/render_map.py "$work/rec/rec.svg" docs/map-takes.png
