#!/usr/bin/env bash
# Golden replays: each tests/golden/NAME.trace through bitrot-replay, every
# state line and a hash of the last picture compared with NAME.expected (title:
# the lock-out, taps, stray codes, Escape alone; play: steps, walls, a flood of
# 10,000 events, a quit in the frame of a death; soak: 2,500 frames of
# bitrot-soak --seed 22 --trace). After a change meant to alter the game,
# `cmake --build BUILD --target golden` writes them anew: read the diff.
set -u
build=$1 src=$2
seed=22  # every trace was recorded with this seed
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
# BITROT_RUN: qemu-user for a cross build's program (tools/deb, tools/check).
replay() { ${BITROT_RUN:-} "$build/bitrot-replay" --seed $seed "$@"; }

for trace in "$src"/tests/golden/*.trace; do
  name=$(basename "$trace" .trace) want=${trace%.trace}.expected
  replay --screen "$tmp/screen.ppm" <"$trace" >"$tmp/out" || { fail "$name: bitrot-replay failed"; continue; }
  echo "screen $(md5sum <"$tmp/screen.ppm" | cut -d' ' -f1)" >>"$tmp/out"
  if [ "${3:-}" = --update ]; then
    cp "$tmp/out" "$want" && echo "wrote $want"
  elif ! cmp -s "$want" "$tmp/out"; then
    fail "$name differs from $want, first at:"
    diff "$want" "$tmp/out" | head -n 4
  else
    echo "ok: $name, $(($(wc -l <"$want") - 1)) frames"
  fi
  # The reduce-flashing mode is in what is shown alone: the game plays the same.
  [ "$(replay --reduce-flashing --frames /dev/null <"$trace")" = "$(head -n -1 "$tmp/out")" ] ||
    fail "$name: --reduce-flashing changes the game"
  # --last prints the last frame's line alone.
  [ "$(replay --last <"$trace")" = "$(tail -n 2 "$tmp/out" | head -n 1)" ] || fail "$name: --last is not the last line"
done

# A token it can't read is refused with its line, status 2.
for bad in x5 d4294967296 d12a u; do
  err=$(printf '\nd27 %s\n' "$bad" | replay 2>&1 >/dev/null); rc=$?
  [ $rc = 2 ] && [ "$err" = "bitrot-replay: stdin: line 2: cannot read \"$bad\"" ] || fail "'$bad': status $rc, $err"
done
# A million events in one line play as one would; a line over 16 MiB is refused.
one=$(echo d275 | replay --last)
[ "$(yes d275 | head -n 1000000 | tr '\n' ' ' | replay --last)" = "$one" ] || fail "a line of a million events"
err=$( (head -c 17000000 /dev/zero | tr '\0' ' '; echo) | replay 2>&1 >/dev/null); rc=$?
[ $rc = 2 ] && [ "$err" = "bitrot-replay: stdin: line 1: longer than 16777216 bytes" ] || fail "a 17 MB line: $rc, $err"
[ $fails = 0 ] && echo "golden: all checks passed"
exit $((fails > 0))
