#!/usr/bin/env bash
# The real game under memcheck, with its music and with a track that isn't Ogg:
# each runs until SIGTERM, then status 0, no memory error, nothing definitely
# lost. Skipped (77) in the sanitizer build.
set -u
build=$(cd "$1" && pwd)
grep -q '^BITROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && { echo "skipped: a sanitizer build"; exit 77; }
work=$(mktemp -d)
trap 'kill -KILL $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
unset DISPLAY WAYLAND_DISPLAY
mkdir "$work/music" "$work/notogg"
cp "$build/0.ogg" "$build/1.ogg" "$work/music/"
yes 'not a sound file' | head -c 5000 >"$work/notogg/0.ogg"
declare -A pid
for name in music notogg; do
  (cd "$work/$name" && exec env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=played.raw \
    valgrind --quiet --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=99 \
    --log-file="$work/$name.log" "$build/bitrot" 2>/dev/null) &
  pid[$name]=$!
done
# Up to 2 minutes for the audio files (SDL opens them after the game takes
# SIGTERM for itself) and for music in one.
sound() { [ -n "$(tr -d '\0' 2>/dev/null <"$work/music/played.raw" | head -c 1)" ]; }
opened() { [ -s "$work/notogg/played.raw" ]; }
for _ in $(seq 1200); do sound && opened && break; sleep 0.1; done
sound || fail "only silence reached the audio device"
for name in music notogg; do
  kill -0 "${pid[$name]}" 2>/dev/null || fail "$name: the game ended on its own"
  kill -TERM "${pid[$name]}" 2>/dev/null
done
by=$((EPOCHSECONDS + 60))  # both ends, with their leak checks, which take a while
for name in music notogg; do
  while kill -0 "${pid[$name]}" 2>/dev/null && [ $EPOCHSECONDS -lt $by ]; do sleep 0.1; done
  kill -KILL "${pid[$name]}" 2>/dev/null
  wait "${pid[$name]}" && echo "ok: $name" || fail "$name: status $? (99: valgrind found errors): $(cat "$work/$name.log")"
done
[ $fails = 0 ] && echo "valgrind: all checks passed"
exit $((fails > 0))
