#!/usr/bin/env bash
# Golden replays: every tests/golden/NAME.trace played by bitrot-replay, each
# frame's state line and a hash of the last frame's picture compared with
# NAME.expected. title: the lock-out, keys held through it, taps, stray codes,
# the masks that start nothing, Escape alone (and lines after it, never played).
# play: a start the lock-out holds back, every step and priority, walls, a
# flood of 10,000 events, waits until the growth overruns the player, and a
# quit in the frame of that death. soak: 2,500 frames of the soak's player
# (bitrot-soak --seed 22 --frames 2500 --trace), deaths, pick-ups, new games,
# then Escape alone in play. Each plays the same with --reduce-flashing. After a change meant to alter the game,
# `cmake --build BUILD --target golden` (this script with --update) writes the
# expectations anew: read the diff before committing it.
set -u
build=$1 src=$2
seed=22  # every trace was recorded with this seed
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
# BITROT_RUN, when set, goes before every bitrot-replay: qemu-user for a
# cross build's program (tools/deb, tools/check).
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
# A million events in one line are read, and play as one would; a line over
# 16 MiB is refused by its number.
one=$(echo d275 | replay --last)
[ "$(yes d275 | head -n 1000000 | tr '\n' ' ' | replay --last)" = "$one" ] || fail "a line of a million events"
err=$( (head -c 17000000 /dev/zero | tr '\0' ' '; echo) | replay 2>&1 >/dev/null); rc=$?
[ $rc = 2 ] && [ "$err" = "bitrot-replay: stdin: line 1: longer than 16777216 bytes" ] || fail "a 17 MB line: $rc, $err"
[ $fails = 0 ] && echo "golden: all checks passed"
exit $((fails > 0))
