#!/usr/bin/env bash
# Pictures of the damage map as PNG, through headless Chromium (Debian's
# package, installed when missing), to look at the map as a person sees it.
#   scripts/render-map.sh MAP.svg PICTURE.png   renders one map
#   scripts/render-map.sh                       renders the two made-up maps of
#       bench/make_sample_maps (a short clean tape, a worn 30-minute one
#       read from three takes) into docs/map-clean.png and docs/map-damaged.png
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
cmake --build build-bench -j2 --target make_sample_maps >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build-bench/bench/make_sample_maps "$work"
for name in clean damaged; do
    python3 scripts/render_map.py "$work/$name.svg" "docs/map-$name.png"
done
