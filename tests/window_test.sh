#!/usr/bin/env bash
# The real game in a real X server: its window (the 320x240 screen at 3x,
# 960x720) titled "bitrot", ended with status 0 by Escape held alone, by the
# close button and by SIGTERM; and without any display, one clear line on
# stderr and status 1.
set -u
game=$(cd "$1" && pwd)/bitrot
. "$2/tests/xsession.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD

start_game "$work"
wait_window
geom=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geom $(xdotool getwindowname "$wid")" = "960x720 bitrot" ] || fail "the window is $geom, titled $(xdotool getwindowname "$wid")"
xdotool keydown Escape  # held until the game ends, however slow its frames
wait_exit 0
xdotool keyup Escape
echo "ok: a 960x720 window (the 320x240 screen at 3x) titled bitrot; Escape ends it with 0"

start_game "$work"
wait_window
close_window "$wid"
wait_exit 0
echo "ok: the close button ends it with 0"

start_game "$work"
wait_window
kill -TERM "$game_pid"
wait_exit 0
echo "ok: SIGTERM ends it with 0"

for driver in x11 ''; do  # x11 asked for, or nothing asked
  (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ${driver:+SDL_VIDEODRIVER=$driver} timeout 30 "$game" 2>"$work/err")
  rc=$?
  said=$(grep '^bitrot' "$work/err")  # SDL itself may add a line of its own; the game says one
  [ $rc = 1 ] && [[ $said == "bitrot: cannot open the 320x240 16-bit display: "* && $said != *$'\n'* ]] ||
    fail "with no display ('$driver' asked for): status $rc and: $(cat "$work/err")"
done
echo "ok: no display gives status 1 and: $said"
