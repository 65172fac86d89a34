#!/usr/bin/env bash
# The real game under valgrind's memcheck, headless, for a few seconds each:
# with its music, and with a track that isn't Ogg at all. It must run until
# SIGTERM, end with status 0, and valgrind must find no memory error and no
# block definitely lost. Skipped (status 77) in the sanitizer build, where
# valgrind can't run alongside AddressSanitizer.
set -u
build=$(cd "$1" && pwd)
game="$build/bitrot"
if grep -q '^BITROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "skipped: valgrind does not run a sanitizer build"
  exit 77
fi
command -v valgrind >/dev/null || { echo "FAIL: valgrind is not installed (tools/deps.sh lists it)"; exit 1; }

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

unset DISPLAY WAYLAND_DISPLAY
# The disk audio driver writes what it would play into the run's folder, so a
# run can show that the game got as far as its music.
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk

# check NAME SECONDS: runs the game in $work/NAME for SECONDS under valgrind.
check() {
  local name=$1 secs=$2 dir="$work/$1" rc i
  (cd "$dir" && exec env SDL_DISKAUDIOFILE="$dir/played.raw" valgrind --quiet --leak-check=full \
    --errors-for-leak-kinds=definite --error-exitcode=99 --log-file="$work/$name.log" "$game" 2>/dev/null) &
  pid=$!
  sleep "$secs"
  kill -0 "$pid" 2>/dev/null || fail "$name: the game ended on its own"
  kill -TERM "$pid" 2>/dev/null
  rc="still running"
  for i in $(seq 1 100); do  # ten seconds: valgrind's leak check takes a while
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && rc=0 || rc=$?
      break
    fi
    sleep 0.1
  done
  pid=""
  if [ "$rc" != 0 ]; then
    fail "$name: status $rc under valgrind (99: valgrind found errors):"
    cat "$work/$name.log"
    return
  fi
  echo "ok: $name: no memory errors and nothing definitely lost"
}

mkdir "$work/music"
cp "$build/0.ogg" "$build/1.ogg" "$work/music/"
check music 6
# The game reached its first frame and played: the disk driver got sound.
[ -n "$(tr -d '\0' <"$work/music/played.raw" 2>/dev/null | head -c 1)" ] ||
  fail "music: nothing but silence reached the audio device under valgrind"

mkdir "$work/notogg"
yes 'not a sound file' | head -c 5000 >"$work/notogg/0.ogg"
check notogg 4

[ $fails -eq 0 ] && echo "valgrind: all checks passed"
exit $((fails > 0))
