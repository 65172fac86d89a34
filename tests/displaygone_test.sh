#!/usr/bin/env bash
# The X server killed under a game that records, with its music playing on
# SDL's audio thread: the game must end with status 1 and no signal, having
# said so in one line, and the recording must hold every frame it had written
# when the server went, and play back cleanly in bitrot-replay. Many tries,
# each with its own Xvfb, several at once: a fault that strikes one end in
# twelve would pass 60 tries by luck once in two hundred runs. TRIES and
# PARALLEL override the counts (the sanitizer build runs 30, 3 at a time).
# Every wait is bounded; the kill waits for the recording, never for a clock.
set -u
build=$(cd "$1" && pwd)
game=$build/bitrot
asan=0
grep -q '^BITROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && asan=1
tries=${TRIES:-$((asan ? 30 : 60))}
parallel=${PARALLEL:-$((asan ? 3 : 6))}
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export SDL_AUDIODRIVER=dummy  # a real audio thread, mixing the real tracks
unset SDL_VIDEODRIVER WAYLAND_DISPLAY SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD
work=$(mktemp -d)
# Each try notes its server and game in $work/pids, for a test cut short.
trap 'kill -KILL $(jobs -p) $(cat "$work"/pids 2>/dev/null) 2>/dev/null; rm -rf "$work"' EXIT

# The complete frame lines of a recording (a line cut by the kill is no frame).
frames() { (grep -v '^seed ' "$1" 2>/dev/null || true) | wc -l; }

# try N: one game and its own server; leaves "ok ..." or the fault in $work/N/verdict.
try() {
  local d=$work/$1 n xp gp rc seen got last
  mkdir "$d" && cp "$build/0.ogg" "$build/1.ogg" "$d/" && mkfifo "$d/displayfd"
  Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$d/displayfd" 2>"$d/xvfb.log" &
  xp=$!
  echo $xp >>"$work/pids"
  if ! read -r -t 30 n <"$d/displayfd"; then
    kill -KILL $xp
    echo "Xvfb did not start: $(cat "$d/xvfb.log")" >"$d/verdict"
    return
  fi
  (cd "$d" && exec env DISPLAY=":$n" "$game" --record rec 2>err) &
  gp=$!
  echo $gp >>"$work/pids"
  # Wait for a few frames, a different number each try, so the kill falls in
  # different places of the game's first second.
  for _ in $(seq 300); do [ "$(frames "$d/rec")" -ge $((3 + $1 % 17)) ] && break; sleep 0.1; done
  seen=$(frames "$d/rec")
  kill -KILL $xp
  wait $xp 2>/dev/null
  for _ in $(seq 300); do kill -0 $gp 2>/dev/null && sleep 0.1; done
  kill -KILL $gp 2>/dev/null
  wait $gp
  rc=$?
  got=$(frames "$d/rec")
  last=$("$build/bitrot-replay" --last "$d/rec" 2>"$d/replay.err")
  if [ $rc -ne 1 ]; then
    echo "status $rc (a signal above 128), not 1, after $seen frames: $(cat "$d/err")" >"$d/verdict"
  elif [ "$(grep -c '^bitrot' "$d/err")" != 1 ] || ! grep -qx 'bitrot: the display went away' "$d/err"; then
    echo "stderr is not the one line: $(cat "$d/err")" >"$d/verdict"
  elif [ "$seen" -lt 1 ] || [ "$got" -lt "$seen" ]; then
    echo "the recording holds $got frames, $seen were written before the kill" >"$d/verdict"
  elif [[ $last != "f=$((got - 1)) "* ]]; then
    echo "bitrot-replay of $got frames: $last $(cat "$d/replay.err")" >"$d/verdict"
  else
    echo "ok $seen $got" >"$d/verdict"
  fi
}

for i in $(seq "$tries"); do
  [ "$(jobs -pr | wc -l)" -ge "$parallel" ] && wait -n
  try "$i" &
done
wait

fails=0
for i in $(seq "$tries"); do
  read -r verdict seen got <"$work/$i/verdict" 2>/dev/null || verdict="no verdict"
  if [ "$verdict" = ok ]; then
    echo "ok: try $i: status 1, $got frames recorded ($seen before the kill), replayed cleanly"
  else
    fails=$((fails + 1))
    echo "FAIL: try $i: $(cat "$work/$i/verdict" 2>/dev/null || echo no verdict)"
  fi
done
echo "$((tries - fails)) of $tries tries ended cleanly"
[ $fails = 0 ]
