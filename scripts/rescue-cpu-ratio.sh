#!/usr/bin/env bash
# The processor time of the default run and of -r I on one recording, each
# the least of N runs (user + system), the two taken in turns, and their
# ratio. A developer's tool, not part of CI.
#
#   scripts/rescue-cpu-ratio.sh KAZETTOR RECORDING.wav [N]
set -euo pipefail
binary=$1 recording=$2 rounds=${3:-5}
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
seconds() { { /usr/bin/time -f "%U %S" "$@" >/dev/null; } 2>&1 | awk 'END { print $1 + $2 }'; }
default="" rescue=""
for _ in $(seq "$rounds"); do
    d=$(seconds "$binary" "$recording")
    r=$(seconds "$binary" "$recording" -r I)
    default=$(best "${default:-$d}" "$d")
    rescue=$(best "${rescue:-$r}" "$r")
done
awk -v d="$default" -v r="$rescue" 'BEGIN { printf "default %.2f s, -r I %.2f s, ratio %.2f\n", d, r, r / d }'
