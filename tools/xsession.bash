# shellcheck shell=bash
# The real game ($game, set before this is sourced) in a virtual X server, for
# tests/window_test.sh and tools/screenshots:
#   start_xvfb WxH    a fresh Xvfb with a screen of WxH (any earlier one gone),
#                     DISPLAY exported; a scratch folder $work, kept throughout
#   start_game ...    the game started, its window in $wid (below)
#   wait_exit STATUS  until the game ends, which it must with STATUS
#   hold_key KEY [S]  KEY held S seconds (0.3)
#   close_window WID  the window asked to close, as a close button does
#   im_convert ARGS   ImageMagick's convert; fail MESSAGE ends with status 1
# Every wait gives up after 30 s; at exit the game, the server and $work go.
# Xvfb runs with -noreset: otherwise it resets whenever its last client
# disconnects, and a game that connects during the reset finds no display.
: "${game:?the caller sets game, the program to run}"
work=$(mktemp -d) xvfb_pid="" game_pid="" wid=""
rec=$work/game.rec
# Under AddressSanitizer the X, font and input-method libraries that SDL loads
# report leaks of their own at exit, which would mask the exit status.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" SDL_AUDIODRIVER=dummy
unset SDL_VIDEODRIVER SDL12COMPAT_WINDOW_SCALING SDL12COMPAT_SCALE_METHOD
trap '[ -n "$game_pid" ] && kill -KILL "$game_pid"; [ -n "$xvfb_pid" ] && kill "$xvfb_pid"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2 && exit 1; }
waitfor() {
  for _ in $(seq 300); do "$@" && return 0 || sleep 0.1; done
  return 1
}
# By its versioned name, which nothing else on the PATH takes: ImageMagick 6
# on Debian 12, 7 on Debian 13.
im_convert() { "$(command -v convert-im6.q16 || command -v convert-im7.q16 || echo convert-im6.q16)" "$@"; }

start_xvfb() {
  local n
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" && wait "$xvfb_pid" 2>/dev/null
  rm -f "$work/displayfd" && mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -noreset -screen 0 "${1}x24" -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  read -r -t 30 n <"$work/displayfd" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$n"
  [ "$(waitfor xdotool getdisplaygeometry 2>/dev/null)" = "${1/x/ }" ] || fail "Xvfb gave no $1 screen"
}
# start_game [--playback FILE | ARGS...]: the game from $work, recording into
# $rec, and once it has recorded a frame (or played its file back), its window
# in $wid with the pointer and focus on it: SDL may open a window and put
# another in its place while the screen is set up, and no frame is played
# before that is done.
start_game() {
  rm -f "$rec" "$work/err"
  if [ "${1:-}" = --playback ]; then
    (cd "$work" && exec "$game" "$@" 2>"$work/err") &
    game_pid=$!
    waitfor grep -qs played "$work/err" || fail "the playback did not end: $(cat "$work/err")"
  else
    (cd "$work" && exec "$game" --record "$rec" "$@" 2>"$work/err") &
    game_pid=$!
    waitfor played || fail "no frame recorded after 30 s"
  fi
  waitfor shown || fail "no window after 30 s"
  [ -n "$wid" ] || fail "the game ended before its window showed: $(cat "$work/err")"
  xdotool mousemove --window "$wid" 10 10 windowfocus --sync "$wid" 2>/dev/null
}
ended() { ! kill -0 "$game_pid" 2>/dev/null; }
played() { grep -qv '^seed ' "$rec" 2>/dev/null || ended; }
shown() {
  wid=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1)
  [ -n "$wid" ] || ended
}
wait_exit() {
  waitfor ended || fail "the game still runs after 30 s"
  wait "$game_pid"
  local rc=$?
  game_pid=""
  [ "$rc" -eq "$1" ] || fail "exit status $rc, expected $1; stderr: $(cat "$work/err")"
}
hold_key() { xdotool keydown "$1" && sleep "${2:-0.3}" && xdotool keyup "$1"; }
# The close button: WM_DELETE_WINDOW sent to the window, as a window manager does.
close_window() {
  python3 - "$1" <<'PY' || fail "could not ask the window to close"
import ctypes, ctypes.util, sys
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
x.XOpenDisplay.restype = x.XInternAtom.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None) or sys.exit("cannot open the display")
ev = ClientMessage(type=33, send_event=1, window=int(sys.argv[1]), format=32,
                   message_type=x.XInternAtom(d, b"WM_PROTOCOLS", 0))
ev.data[0] = x.XInternAtom(d, b"WM_DELETE_WINDOW", 0)
sys.exit(x.XSendEvent(d, ev.window, 0, 0, ctypes.byref(ev)) == 0 or x.XCloseDisplay(d) != 0)
PY
}

