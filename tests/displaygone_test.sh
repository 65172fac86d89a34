#!/usr/bin/env bash
# The X server killed under recording games, their music playing: each ends
# with status 1 (no signal) and one line, its recording holding every frame
# written before and playing in bitrot-replay. 60 games (a fault of one end in
# twelve passes by luck once in 200 runs): 6 servers of 10 games (3 under the
# sanitizers; SERVERS and GAMES override). The kill waits for the recordings,
# and gives up once none has grown for a minute.
set -u
build=$(cd "$1" && pwd)
asan=0
grep -q '^BITROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && asan=1
servers=${SERVERS:-$((asan ? 3 : 6))} games=${GAMES:-10}
tries=$((servers * games))
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER WAYLAND_DISPLAY SDL12COMPAT_SCALE_METHOD
export SDL12COMPAT_WINDOW_SCALING=1  # small windows: the games share the machine
work=$(mktemp -d)
# Each server and game is noted in $work/pids, for a test cut short.
trap 'kill -KILL $(jobs -p) $(cat "$work"/pids 2>/dev/null) 2>/dev/null; rm -rf "$work"' EXIT
# The frame lines ended by a newline: a line cut by the kill is no frame.
frames() { tail -n +2 "$1" 2>/dev/null | tr -cd '\n' | wc -c; }
# lines REC: the lines the recording has begun, in $have (no fork: 60 wait).
lines() {
  have=0
  mapfile -t recl 2>/dev/null <"$1" && have=${#recl[@]}
  return 0
}

# server N: one Xvfb, $games games in $work/N.G, the server killed under them;
# each verdict says "ok SEEN GOT" or what went wrong.
server() {
  local n xp g d gp seen rc got have had grown=$EPOCHSECONDS by
  mkfifo "$work/$1.displayfd"
  Xvfb -displayfd 3 -noreset -nolisten tcp 3>"$work/$1.displayfd" 2>"$work/$1.xvfb.log" &
  xp=$! && echo $xp >>"$work/pids"
  read -r -t 30 n <"$work/$1.displayfd" || n=none
  for g in $(seq "$games"); do
    d=$work/$1.$g && mkdir "$d" && cp "$build/0.ogg" "$build/1.ogg" "$d/"
    (cd "$d" && exec env DISPLAY=":$n" "$game" --record rec 2>err) &
    gp[g]=$! && echo $! >>"$work/pids"
  done
  # Each game 3 to 19 frames in, so the kill finds them in different places.
  for g in $(seq "$games"); do
    while lines "$work/$1.$g/rec" && [ $have -le $((4 + (g * 7 + $1) % 17)) ] && kill -0 ${gp[g]} 2>/dev/null; do
      [ -n "${had[g]:-}" ] && [ $have -gt "${had[g]}" ] && grown=$EPOCHSECONDS
      had[g]=$have
      [ $((EPOCHSECONDS - grown)) -lt 60 ] || break
      sleep 0.1
    done
    seen[g]=$(frames "$work/$1.$g/rec")
  done
  { kill -KILL $xp && wait $xp; } 2>/dev/null
  # The games end as soon as they notice; all of them within a minute.
  by=$((EPOCHSECONDS + 60))
  for g in $(seq "$games"); do
    d=$work/$1.$g
    while kill -0 ${gp[g]} 2>/dev/null && [ $EPOCHSECONDS -lt $by ]; do sleep 0.1; done
    kill -KILL ${gp[g]} 2>/dev/null
    wait ${gp[g]}
    rc=$? got=$(frames "$d/rec")
    if [ $rc != 1 ] || [ "$(cat "$d/err")" != "bitrot: the display went away" ]; then
      echo "status $rc (above 128: a signal) after ${seen[g]} frames, and: $(cat "$d/err" "$work/$1.xvfb.log")"
    elif [ "${seen[g]}" -lt 1 ] || [ "$got" -lt "${seen[g]}" ]; then
      echo "the recording holds $got frames; ${seen[g]} were written before the kill"
    elif [[ $("$build/bitrot-replay" --last "$d/rec" 2>&1) != "f=$((got - 1)) "* ]]; then
      echo "bitrot-replay of $got frames: $("$build/bitrot-replay" --last "$d/rec" 2>&1)"
    else echo "ok ${seen[g]} $got"; fi >"$d/verdict"
  done
}

game=$build/bitrot
for i in $(seq "$servers"); do server "$i" & done
wait
fails=0
for v in "$work"/*/verdict; do
  read -r verdict seen got <"$v" || verdict="no verdict"
  [ "$verdict" = ok ] && echo "ok: status 1, $got frames recorded ($seen before the kill), replayed" ||
    { fails=$((fails + 1)) && echo "FAIL: $(cat "$v")"; }
done
[ "$(ls "$work"/*/verdict | wc -l)" = "$tries" ] || { fails=$((fails + 1)) && echo "FAIL: verdicts missing"; }
echo "$((tries - fails)) of $tries games ended cleanly"
[ $fails = 0 ]
