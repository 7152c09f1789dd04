#!/usr/bin/env bash
# The program's main job on the shipped example: decodes a worn recording of
# a small program back into its tape image, checks it against the original,
# and encodes the image into a fresh recording. Works in out/example.
set -euo pipefail
cd "$(dirname "$0")/.."
work=out/example
rm -rf "$work" && mkdir -p "$work"
cp examples/hello_tape.wav examples/hello.ptp "$work/"

echo "== decoding $work/hello_tape.wav"
build/kazettor "$work/hello_tape.wav"
cmp "$work/hello_tape/01_HELLO.ptp" examples/hello.ptp
echo "== $work/hello_tape/01_HELLO.ptp is byte for byte examples/hello.ptp"

echo "== encoding $work/hello.ptp at 44100 Hz, 16 bits"
build/kazettor "$work/hello.ptp" -m44 -b16
ls -l "$work/hello.wav"
