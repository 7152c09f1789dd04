#!/usr/bin/env bash
# Lossy codecs against both decoders: random recordings (moderate damage or
# none) written by bench/worn_tape_sim, each round-tripped through ffmpeg at a
# codec and bit rate drawn at random (MP3, AAC, Vorbis, Opus; mono or joint
# stereo), decoded back to a 16-bit WAV and judged block by block against the
# truth with the default decoder and with -r I. A developer's tool, not part
# of CI.
#
#   scripts/codec-check.sh [--recordings N] [--seed S] [--keep DIR]
#
# The seed is fresh on every run unless given, and printed. --keep keeps the
# encoded file, the decoded WAV and the truth of each recording where -r I
# did worse than the default decoder or a mark was wrong. Needs python3,
# ffmpeg (apt-get install ffmpeg: libmp3lame, libvorbis, libopus) and CMake.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v ffmpeg >/dev/null; then
    echo "ffmpeg is missing: apt-get install -y ffmpeg" >&2
    exit 1
fi
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKAZETTOR_BENCHMARKS=ON -DKAZETTOR_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target worn_tape_sim >/dev/null
exec python3 scripts/codec_check.py --simulator build-bench/bench/worn_tape_sim "$@"
