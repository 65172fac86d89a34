#!/usr/bin/env bash
# The real game in a real X server: its window titled "bitrot", ended with
# status 0 by Escape held alone, by the close button and by SIGTERM; the
# window's size on screens of several sizes (the largest whole scale within
# nine tenths of the screen, a small screen filled), unless --scale or the
# player's SDL12COMPAT_WINDOW_SCALING says otherwise; and without any display,
# one clear line on stderr and status 1.
set -u
game=$(cd "$1" && pwd)/bitrot
. "$2/tests/xsession.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD

start_game "$work"
wait_window "$work/game.rec"
geom=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geom $(xdotool getwindowname "$wid")" = "960x720 bitrot" ] || fail "the window is $geom, titled $(xdotool getwindowname "$wid")"
xdotool keydown Escape  # held until the game ends, however slow its frames
wait_exit 0
xdotool keyup Escape
echo "ok: a 960x720 window (the 320x240 screen at 3x) titled bitrot; Escape ends it with 0"

start_game "$work"
wait_window "$work/game.rec"
close_window "$wid"
wait_exit 0
echo "ok: the close button ends it with 0"

start_game "$work"
wait_window "$work/game.rec"
kill -TERM "$game_pid"
wait_exit 0
echo "ok: SIGTERM ends it with 0"

# SCREEN, what the game is given (--scale, or the player's scaling), and the
# window it must open there: its size and place (centred, or filling the screen).
while IFS='|' read -r screen how want; do
  stop_xvfb
  start_xvfb "$screen"
  [ "$(xdotool getdisplaygeometry)" = "${screen/x/ }" ] || fail "Xvfb gave $(xdotool getdisplaygeometry), not $screen"
  rm -f "$work/game.rec"
  case $how in
    --*) (cd "$work" && exec "$game" --record "$work/game.rec" $how 2>"$work/err") & ;;
    *=*) (cd "$work" && exec env "$how" "$game" --record "$work/game.rec" 2>"$work/err") & ;;
    *) (cd "$work" && exec "$game" --record "$work/game.rec" 2>"$work/err") & ;;
  esac
  game_pid=$!
  wait_window "$work/game.rec"
  got=$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width/ {w=$NF} /Height/ {h=$NF} END {print w "x" h "+" x "+" y}')
  [ "$got" = "$want" ] || fail "on a $screen screen${how:+ with $how} the window is $got, not $want"
  kill -TERM "$game_pid"
  wait_exit 0
  echo "ok: a $screen screen${how:+ with $how}: a window of $want"
done <<'EOF'
1920x1080||1280x960+320+60
1366x768||640x480+363+144
1280x1024||960x720+160+152
3840x2160||2560x1920+640+120
640x480||640x480+0+0
1920x1080|--scale 2|640x480+640+300
1920x1080|SDL12COMPAT_WINDOW_SCALING=1|320x240+800+420
EOF

for driver in x11 ''; do  # x11 asked for, or nothing asked
  (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ${driver:+SDL_VIDEODRIVER=$driver} timeout 30 "$game" 2>"$work/err")
  rc=$?
  said=$(grep '^bitrot' "$work/err")  # SDL itself may add a line of its own; the game says one
  [ $rc = 1 ] && [[ $said == "bitrot: cannot open the 320x240 16-bit display: "* && $said != *$'\n'* ]] ||
    fail "with no display ('$driver' asked for): status $rc and: $(cat "$work/err")"
done
echo "ok: no display gives status 1 and: $said"
