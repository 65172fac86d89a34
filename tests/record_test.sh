#!/usr/bin/env bash
# A real game under X, played with real keys and recorded, is the game that
# bitrot-replay plays from the recording: its last frame matches the end line.
# Played back in the window (3x by default, sharp), a prefix of the recording
# leaves on screen exactly the picture bitrot-replay draws for its last frame.
set -u
build=$1
src=$2
game="$build/bitrot"
. "$src/tests/xsession.bash"
start_xvfb
export SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD
rec=$work/game.rec
frames() { grep -vc '^seed ' "$rec"; }

(cd "$work" && exec "$game" --scale 2 --seed 4242 --record "$rec" 2> "$work/err") &
game_pid=$!
wait_window "$rec"
geom=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geom" = 640x480 ] || fail "--scale 2 gave a window of $geom"
xdotool windowfocus "$wid" 2> /dev/null || true
# The recording counts the frames: past the 41 of the lock-out, play starts.
for _ in $(seq 100); do [ "$(frames)" -gt 45 ] && break; sleep 0.1; done
# F11, M and F between the steps belong to the window and reach no frame.
for k in space Right F11 Right m f Down Left F11 Up m f space Escape; do hold_key $k; done
wait_exit 0
[ "$(head -1 "$rec")" = "seed 4242" ] || fail "the recording starts with: $(head -1 "$rec")"
grep -q '^end .* mode=1 .* run=0 ' "$rec" || fail "no end line in play mode: $(tail -1 "$rec")"
grep -qE 'd(292|109|102)' "$rec" && fail "F11, M or F reached the game's frames"
"$build/bitrot-replay" --last "$rec" > /dev/null 2> "$work/verdict" ||
  fail "bitrot-replay of the recording: $(cat "$work/verdict")"
grep -q ': the last frame matches the end line$' "$work/verdict" || fail "no verdict: $(cat "$work/verdict")"
echo "ok: $(frames) frames recorded, replayed to the same end line"

# A prefix: every frame up to the last step, without Escape and the end line.
head -n -2 "$rec" > "$work/prefix"
n=$(($(wc -l < "$work/prefix") - 1))
(cd "$work" && exec "$game" --playback "$work/prefix" 2> "$work/err") &
game_pid=$!
for _ in $(seq 200); do grep -q played "$work/err" && break; sleep 0.1; done
grep -q "prefix: played $n frames; the recording has no end line" "$work/err" ||
  fail "the playback did not end after $n frames: $(cat "$work/err")"
wait_window  # after frames played, the window SDL keeps
xwd -silent -id "$wid" > "$work/window.xwd" || fail "no capture of the window"
"$build/bitrot-replay" --last --screen "$work/want.ppm" "$work/prefix" > /dev/null
im_convert "$work/want.ppm" -sample 300% "$work/want3.ppm"
ae=$(compare -metric AE "xwd:$work/window.xwd" "$work/want3.ppm" null: 2>&1)
[ "$ae" = 0 ] || fail "the window differs from bitrot-replay's screen of frame $((n - 1)): $ae"
echo "ok: the window after $n frames played back is bitrot-replay's screen, pixel for pixel"
xdotool windowfocus "$wid" 2> /dev/null || true
hold_key Escape
wait_exit 0
