#!/usr/bin/env bash
# The soak's short form: 100,000 frames of random play with the whole state
# checked after each, and a summary that shows the game was really played.
set -u
out=$("$1/bitrot-soak" --seed 20240601 --frames 100000 2>&1) || { echo "FAIL: $out"; exit 1; }
echo "$out"
for what in games deaths turns pick-ups restarts floods 'stray keys'; do
  echo "$out" | grep -qE "$what [1-9]" || { echo "FAIL: the run shows no $what"; exit 1; }
done
