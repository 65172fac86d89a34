#!/usr/bin/env bash
# The real game in a real X server, played with real key presses and read back
# from the window: the title card, the lock-out after a new game, the start of
# play, a step that the view glides after, and Escape.
set -u
build=$1
src=$2
game="$build/bitrot"
screen() { python3 "$src/tests/screen.py" "$@"; }
. "$src/tests/xsession.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER
export SDL12COMPAT_WINDOW_SCALING=1  # the window as big as the screen, which screen.py reads

world="$work/world.bin"
"$build/bitrot-replay" --dump-world "$world" || fail "could not dump the world image"
now() { date +%s%N; }
ms_since() { echo $((($(now) - $1) / 1000000)); }

# A press and release early in the lock-out. A frame lasts at least 50 ms, so
# if the release comes within 1.9 s of the launch, the game has counted at
# most 38 of the 41 locked frames. On a machine too busy to get there in time
# the game is started again, a few times at most.
for attempt in 1 2 3; do
  launched=$(now)
  start_game "$work"
  wait_window
  xdotool windowfocus "$wid" 2>/dev/null || true
  xdotool keydown space
  sleep 0.2
  xdotool keyup space
  early=$(ms_since "$launched")
  [ "$early" -lt 1900 ] && break
  echo "note: SPACE was released ${early} ms after the launch, too late for the lock-out; starting again"
  kill -KILL "$game_pid" 2>/dev/null
  wait "$game_pid" 2>/dev/null
  game_pid=""
done
[ "$early" -lt 1900 ] || fail "SPACE was released only ${early} ms after the launch, three times: too late to fall in the lock-out"
# RETURN goes down in the lock-out too and stays held past its end: a key held
# through it counts only once it changes.
xdotool keydown Return

screen wait "$world" "$wid" title --timeout 5 || fail "the title card does not show, or SPACE in the lock-out left it"
screen keep "$world" "$wid" title --for 3.5 || fail "play started from a key pressed in the lock-out"
held=$(ms_since "$launched")
xdotool keyup Return
screen keep "$world" "$wid" title --for 0.5 || fail "releasing RETURN (no key held) started play"
echo "ok: the title card shows and stays through SPACE ${early} ms and RETURN ${held} ms after the launch"

# After the lock-out SPACE starts play: the view jumps to the player, whose
# cell (9,21) lies at view pixel (40,30), the view's origin at world (32,138).
# The first growth, at (5,23), is in view from the start.
start="view:32,138:9,21,1:5,23,6"
xdotool keydown space
sleep 0.2
xdotool keyup space
screen wait "$world" "$wid" "$start" --timeout 5 || fail "SPACE after the lock-out did not start play"
echo "ok: SPACE starts play with the player at (9,21) and the view at (32,138)"

# Starts watching the view in the background and returns once it watches.
watch_glide() {
  local i
  rm -f "$work/ready"
  screen glide "$world" "$wid" "$1" "$2" --timeout 8 --ready "$work/ready" >"$work/glide" 2>&1 &
  watcher=$!
  for i in $(seq 1 100); do
    [ -e "$work/ready" ] && return 0
    kill -0 "$watcher" 2>/dev/null || fail "the watcher ended at once: $(cat "$work/glide")"
    sleep 0.05
  done
  fail "the watcher did not start within 5 s"
}

# RIGHT: the player steps to (10,21), facing right, and the view glides from
# (32,138) to the centred goal (10*8-36, 21*8-26) = (44,142): 12 frames across,
# 4 down. The turn also ripens the growth to stage 2.
screen wall "$world" 10 21 && fail "the map has a wall at (10,21); this walk needs floor"
right="view:44,142:10,21,1:5,23,7"
watch_glide "$start" "$right"
hold_key Right
wait "$watcher" || fail "after RIGHT: $(cat "$work/glide")"
echo "ok: RIGHT: $(tr '\n' ' ' <"$work/glide")"

# UP: the player steps to (10,20) and faces up (its picture changes), and the
# view glides 8 pixels up to (44,134). The growth ripens to stage 3.
screen wall "$world" 10 20 && fail "the map has a wall at (10,20); this walk needs floor"
up="view:44,134:10,20,2:5,23,8"
watch_glide "$right" "$up"
hold_key Up
wait "$watcher" || fail "after UP: $(cat "$work/glide")"
echo "ok: UP: $(tr '\n' ' ' <"$work/glide")"

hold_key Escape
wait_exit 0
echo "ok: Escape alone ends the game with status 0"
