#!/usr/bin/env bash
# Ten minutes of play (tests/flashes/walk.trace) with reduced flashing: at most
# 2.5 flashes a second at a pixel, no second over 3 by area, general or red.
set -uo pipefail
build=$1 src=$2
out=$(${BITROT_RUN:-} "$build/bitrot-replay" --last --reduce-flashing --frames /dev/fd/3 \
  "$src/tests/flashes/walk.trace" 3>&1 >/dev/null | "$build/bitrot-flashes") || { echo "FAIL: the run or the measure"; exit 1; }
echo "$out"
[[ $out == "12000 frames"* ]] || { echo "FAIL: not every frame was measured"; exit 1; }
fails=0
within() {  # ROW LIMIT: both figures of the row at most LIMIT
  echo "$out" | grep -q "^$1 " && echo "$out" | awk -v row="$1" -v most="$2" \
    'index($0, row) == 1 { exit !($(NF - 1) <= most && $NF <= most) }' || { echo "FAIL: $1 over $2"; fails=1; }
}
within "most flashes in a second, a pixel" 2.5
within "seconds with a pixel over 3" 0
within "seconds over 3 by area" 0
exit $fails
