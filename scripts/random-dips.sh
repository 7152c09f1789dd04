#!/usr/bin/env bash
# Single tapes with a dip in each data block that takes the hiss along, its
# length, depth and the white noise drawn per tape, each read by -r I and by
# the default decoder (bench/rescue_sim). One line per tape: its seed, the
# dip, the noise, blocks O/J by -r I, blocks O by the default decoder, wrong
# O/J. A developer's tool, not part of CI.
#
#   scripts/random-dips.sh RESCUE_SIM BASE COUNT [WORK_DIR]
set -euo pipefail
sim=$1 base=$2 count=$3 work=${4:-$(mktemp -d)}
RANDOM=$base
for k in $(seq 1 "$count"); do
    ms=$((5 + RANDOM % 56)) depth=$((10 + RANDOM % 30)) snr=$((15 + RANDOM % 26)) seed=$((base + k))
    gain=$(awk -v d="$depth" 'BEGIN { printf "%.4f", 10 ^ (-d / 20) }')
    out=$("$sim" --work "$work" --trials 1 --blocks 10 --both --quiet --dip "$ms" "$gain" --snr "$snr" \
        --seed "$seed" 2>&1 | tail -2)
    # (sed -n, not head: head may close the pipe before echo is done, and
    # pipefail would end the run.)
    rescue=$(echo "$out" | sed -n -E '1s/.*blocks O ([0-9]+), J ([0-9]+).*/\1 \2/p' | awk '{ print $1 + $2 }')
    plain=$(echo "$out" | sed -n -E '$s/.*blocks O ([0-9]+), J ([0-9]+).*/\1/p')
    wrong=$(echo "$out" | grep -o "wrong O/J [0-9]*" | awk '{ s += $3 } END { print s }')
    echo "$seed dip $ms $gain snr $snr: $rescue $plain $wrong"
done
