#!/usr/bin/env bash
# The real game in a virtual X server, played with real keys: the recording
# replays to the same end (F11, M and F reach no frame), a prefix played back
# shows bitrot-replay's picture, the window "bitrot" is sized by the largest
# whole scale within nine tenths of the screen unless --scale or
# SDL12COMPAT_WINDOW_SCALING say otherwise; Escape, the close button and
# SIGTERM end it with 0; no display: one line, status 1. Waits are bounded.
set -u
game=$(cd "$1" && pwd)/bitrot
# shellcheck source=tools/xsession.bash
. "$2/tools/xsession.bash"
# press KEY [CODE]: KEY held until the recording shows CODE down, then up; one
# that reaches no frame is held over two frames.
seen() { [ "$(tr ' ' '\n' <"$rec" | grep -c "^$1$")" -gt "$2" ] || ended; }
frames() { grep -vc '^seed ' "$rec"; }
press() {
  local down up n
  down=$(tr ' ' '\n' <"$rec" | grep -c "^d$2$") up=$(tr ' ' '\n' <"$rec" | grep -c "^u$2$") n=$(frames)
  xdotool keydown "$1"
  if [ -n "${2:-}" ]; then waitfor seen "d$2" "$down"; else waitfor eval '[ "$(frames)" -gt $((n + 1)) ]'; fi ||
    fail "$1 held for 30 s reached no frame"
  xdotool keyup "$1"
  [ -z "${2:-}" ] || waitfor seen "u$2" "$up" || fail "$1 was never let go in the recording"
}
start_xvfb 1280x1024
start_game --seed 4242
geom=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geom $(xdotool getwindowname "$wid")" = "960x720 bitrot" ] || fail "the window is $geom, titled $(xdotool getwindowname "$wid")"
# Past the lock-out play starts; F11, M and F belong to the window.
waitfor eval '[ "$(frames)" -gt 45 ]' || fail "the game played no 45 frames in 30 s"
for k in space:32 Right:275 F11: Right:275 m: f: Down:274 Left:276 F11: Up:273 m: f: space:32; do press "${k%:*}" "${k#*:}"; done
xdotool keydown Escape  # held until the game ends, however slow its frames
wait_exit 0
xdotool keyup Escape
[ "$(head -1 "$rec")" = "seed 4242" ] || fail "the recording starts with: $(head -1 "$rec")"
grep -q '^end .* mode=1 .* run=0 ' "$rec" || fail "no end line in play mode: $(tail -1 "$rec")"
grep -qE 'd(292|109|102)' "$rec" && fail "F11, M or F reached the game's frames"
"${game%/*}/bitrot-replay" --last "$rec" >/dev/null 2>"$work/verdict" && grep -q ': the last frame matches the end line$' \
  "$work/verdict" || fail "bitrot-replay of the recording: $(cat "$work/verdict")"
echo "ok: a 960x720 window titled bitrot; $(frames) frames recorded, replayed to the same end line; Escape ends it with 0"

# A prefix: every frame up to the last step, without Escape and the end line.
head -n -2 "$rec" >"$work/prefix"
n=$(($(wc -l <"$work/prefix") - 1))
start_game --playback "$work/prefix"
grep -q "prefix: played $n frames; the recording has no end line" "$work/err" ||
  fail "the playback did not end after $n frames: $(cat "$work/err")"
xwd -silent -id "$wid" >"$work/window.xwd" || fail "no capture of the window"
"${game%/*}/bitrot-replay" --last --screen "$work/want.ppm" "$work/prefix" >/dev/null
im_convert "$work/want.ppm" -sample 300% "$work/want3.ppm"
ae=$(compare -metric AE "xwd:$work/window.xwd" "$work/want3.ppm" null: 2>&1)
[ "$ae" = 0 ] || fail "the window differs from bitrot-replay's screen of frame $((n - 1)): $ae"
echo "ok: the window after $n frames played back is bitrot-replay's screen, pixel for pixel"
close_window "$wid"
wait_exit 0
echo "ok: the close button ends it with 0"

# SCREEN, what the game is given, and the window's size and place there.
while IFS='|' read -r screen how want; do
  start_xvfb "$screen"
  case $how in
    *=*) export "${how?}" && start_game && unset "${how%%=*}" ;;
    *) start_game $how ;;
  esac
  got=$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width/ {w=$NF} /Height/ {h=$NF} END {print w "x" h "+" x "+" y}')
  [ "$got" = "$want" ] || fail "on a $screen screen${how:+ with $how} the window is $got, not $want"
  kill -TERM "$game_pid"
  wait_exit 0
  echo "ok: a $screen screen${how:+ with $how}: a window of $want; SIGTERM ends it with 0"
done <<'EOF'
1920x1080||1280x960+320+60
1366x768||640x480+363+144
1280x1024||960x720+160+152
3840x2160||2560x1920+640+120
640x480||640x480+0+0
1920x1080|--scale 2|640x480+640+300
1920x1080|SDL12COMPAT_WINDOW_SCALING=1|320x240+800+420
EOF

for driver in x11 ''; do # x11 asked for, or nothing asked
  (cd "$work" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ${driver:+SDL_VIDEODRIVER=$driver} timeout 30 "$game" 2>"$work/err")
  rc=$?
  said=$(grep '^bitrot' "$work/err") # SDL itself may add a line of its own; the game says one
  [ $rc = 1 ] && [[ $said == "bitrot: cannot open the 320x240 16-bit display: "* && $said != *$'\n'* ]] ||
    fail "with no display ('$driver' asked for): status $rc and: $(cat "$work/err")"
done
echo "ok: no display gives status 1 and: $said"
