#!/usr/bin/env bash
# The real game in a real X server: its window, Escape, the close button,
# SIGTERM, and a clear error when there is no display at all.
set -u
build=$1
src=$2
game="$build/bitrot"
. "$src/tests/xsession.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD

# A 320x240 screen in a window three times its size appears; Escape held
# alone ends the game with status 0.
start_game "$work"
wait_window
geom=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geom" = "960x720" ] || fail "window is $geom, not 960x720"
name=$(xdotool getwindowname "$wid")
[ "$name" = "bitrot" ] || fail "window is titled '$name', not 'bitrot'"
xdotool windowfocus "$wid" 2>/dev/null || true
hold_key Escape
wait_exit 0
echo "ok: window 960x720, Escape ends with 0"

# The window's close button (WM_DELETE_WINDOW) ends it with status 0.
start_game "$work"
wait_window
python3 "$src/tests/xclose.py" "$wid" || fail "could not send the close request"
wait_exit 0
echo "ok: closing the window ends with 0"

# SIGTERM ends it with status 0.
start_game "$work"
wait_window
kill -TERM "$game_pid"
wait_exit 0
echo "ok: SIGTERM ends with 0"

# Without any display: one clear line on stderr and status 1.
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "$game" 2>"$work/err"); rc=$?
[ "$rc" -eq 1 ] || fail "without a display the exit status is $rc, not 1"
grep -q '^bitrot: cannot open the 320x240 16-bit display: ' "$work/err" || fail "no clear error line: $(cat "$work/err")"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "more than one line on stderr: $(cat "$work/err")"
(cd "$work" && timeout 10 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$game" 2>"$work/err"); rc=$?
[ "$rc" -eq 1 ] || fail "with no display and no driver chosen the exit status is $rc, not 1"
grep -q '^bitrot: cannot open the 320x240 16-bit display: ' "$work/err" || fail "no clear error line: $(cat "$work/err")"
echo "ok: no display gives status 1 and: $(cat "$work/err")"
