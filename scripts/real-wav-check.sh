#!/usr/bin/env bash
# Decodes the shipped example after converting it with the audio tools people
# use (sox, ffmpeg, sndfile-convert, Python's wave module) into every width
# and layout they write; float and stereo files without -c must be refused.
# Needs those tools: apt-get install -y sox ffmpeg sndfile-programs.
# Usage: scripts/real-wav-check.sh [kazettor binary, default build/kazettor] [work directory]
set -euo pipefail
cd "$(dirname "$0")/.."
kazettor=${1:-build/kazettor}
work=${2:-/tmp/kazettor_real_wav}
for tool in sox ffmpeg sndfile-convert python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
if [ ! -x "$kazettor" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j2 --target kazettor >/dev/null
fi
python3 scripts/real_wav_check.py --kazettor "$kazettor" --work "$work" \
    --recording examples/hello_tape.wav --image examples/hello.ptp
