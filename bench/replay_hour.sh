#!/usr/bin/env bash
# How long checking an hour of play takes: bitrot-replay --last of 72,000
# frames (an hour at 20 frames a second), and the same with every frame's
# state line printed. The trace is random play made here, the same every time:
# arrows held for a few frames, Space now and then to start and to wait, never
# Escape or a quit, so that every frame is played.
#
#   bench/replay_hour.sh [BUILD_DIR]     default build/
#
# Times with hyperfine when it is installed (Debian's hyperfine), else runs
# each command five times and prints each run's seconds.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
replay=$(realpath "${1:-$top/build}")/bitrot-replay
[ -x "$replay" ] || { echo "no $replay: build it first" >&2; exit 2; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trace=$tmp/hour.trace

python3 - "$trace" <<'PY'
import random, sys
rng = random.Random(22)
arrows, space = [275, 273, 276, 274], 32
held = {}  # key -> frames left
with open(sys.argv[1], "w") as out:
    for f in range(72000):
        evs = []
        for k in list(held):
            held[k] -= 1
            if held[k] <= 0:
                evs.append(f"u{k}")
                del held[k]
        if not any(k in held for k in arrows) and rng.random() < 0.3:
            k = rng.choice(arrows)
            held[k] = rng.randint(1, 6)
            evs.append(f"d{k}")
        if space not in held and rng.random() < 0.05:
            held[space] = rng.randint(1, 4)
            evs.append(f"d{space}")
        out.write(" ".join(evs) + "\n")
PY
echo "trace: $(wc -l <"$trace") frames; bitrot-replay: $replay"
last="$replay --seed 22 --last $trace"
every="$replay --seed 22 $trace"
if command -v hyperfine >/dev/null; then
  hyperfine --warmup 1 --runs 5 --output=null -n "with --last" "$last" -n "every frame" "$every"
else
  for cmd in "$last" "$every"; do
    for _ in 1 2 3 4 5; do
      t0=$(date +%s.%N)
      $cmd >/dev/null
      echo "$cmd: $(awk "BEGIN { print $(date +%s.%N) - $t0 }") s"
    done
  done
fi
