#!/usr/bin/env bash
# Large inputs: a sparse 8-bit WAV of more than 2 GiB must load with the right
# sample count (file lengths and positions are 64-bit); with --huge, also one
# of more than 4 GiB, whose cleaned WAV cannot state its sizes in 32 bits and
# gets 0xFFFFFFFF in both size fields. Needs the sample count in memory and
# as much free disk for the cleaned WAV.
# Usage: scripts/large-file-check.sh [--huge] [work directory]
set -euo pipefail
cd "$(dirname "$0")/.."
sizes=(2500000044)
if [ "${1:-}" = "--huge" ]; then sizes+=(4500000044); shift; fi
work=${1:-/tmp/kazettor_large}
mkdir -p "$work"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build build -j2 >/dev/null

for size in "${sizes[@]}"; do
    rm -rf "$work/big" "$work/big.wav"
    # A canonical 8-bit mono header at 44100 Hz, then silence as a hole in the file.
    python3 - "$work/big.wav" <<'PY'
import struct, sys
header = b'RIFF' + struct.pack('<I', 0) + b'WAVEfmt ' + struct.pack('<IHHIIHH', 16, 1, 1, 44100, 44100, 1, 8) \
    + b'data' + struct.pack('<I', 0)
open(sys.argv[1], 'wb').write(header)
PY
    truncate -s "$size" "$work/big.wav"
    echo "== $size bytes: $(( size - 44 )) samples expected"
    /usr/bin/time -f "%e s, peak RSS %M KB" build/kazettor "$work/big.wav"
    cleaned=$(stat -c %s "$work/big/big.wav")
    read -r riff data < <(python3 -c "
import struct; b = open('$work/big/big.wav', 'rb').read(44)
print(struct.unpack('<I', b[4:8])[0], struct.unpack('<I', b[40:44])[0])")
    echo "cleaned WAV: $cleaned bytes, riffSize $riff, dataSize $data"
    expected_data=$(( size - 44 > 4294967295 ? 4294967295 : size - 44 ))
    expected_riff=$(( size - 8 > 4294967295 ? 4294967295 : size - 8 ))
    [ "$cleaned" -eq "$size" ] && [ "$data" -eq "$expected_data" ] && [ "$riff" -eq "$expected_riff" ] ||
        { echo "wrong"; exit 1; }
    echo "right"
done
rm -rf "$work/big" "$work/big.wav"
