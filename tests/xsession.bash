# Sourced by the tests that run the real game ($game) in a virtual X server:
#   start_xvfb [WxH]  a fresh Xvfb with a screen of WxH (1280x1024, where the
#                     game's window is three times its screen), DISPLAY
#                     exported, a scratch folder $work
#   stop_xvfb         the server gone, $work kept for the next one
#   start_game DIR    $game from DIR in the background, recording into
#                     $work/game.rec: $game_pid, stderr in $work/err
#   wait_window [REC] until the game's window shows: its id in $wid, pointer
#                     and focus on it. With REC, only once the game has
#                     recorded a frame there: SDL may open a window and put
#                     another in its place while the screen is being set up,
#                     and the game plays no frame before that is done
#   wait_exit STATUS  until the game ends, which it must with STATUS
#   hold_key KEY [S]  KEY held S seconds (0.3), long enough for a frame
#   close_window WID  the window asked to close as a close button does
#   im_convert ARGS   ImageMagick's convert, by its versioned name
#   fail MESSAGE      ends the test with status 1
# Every wait gives up after 30 s; at exit, cleanup takes the game, the server
# and $work away. The server runs with -noreset: otherwise it resets itself
# whenever its last client disconnects (a game that ended, a passing xdotool),
# and a game that connects during the reset finds no display.

# Under AddressSanitizer the X, font and input-method libraries that SDL loads
# report leaks of their own at exit, which would mask the exit status.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
xvfb_pid="" game_pid="" wid="" work=""

# By its versioned name, which nothing else on the PATH takes: ImageMagick 6
# on Debian 12, 7 on Debian 13 (whose compare prints AE as 6's does).
im_convert() { "$(command -v convert-im6.q16 || command -v convert-im7.q16 || echo convert-im6.q16)" "$@"; }
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "$work" ] && rm -rf "$work"
  return 0
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# waitfor CONDITION...: true once the command succeeds, false after 30 s.
waitfor() {
  for _ in $(seq 300); do "$@" && return 0 || sleep 0.1; done
  return 1
}

start_xvfb() {
  local n
  [ -n "$work" ] || work=$(mktemp -d)
  rm -f "$work/displayfd" && mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -noreset -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$work/displayfd" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  read -r -t 30 n <"$work/displayfd" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$n"
  waitfor xdotool getdisplaygeometry >/dev/null 2>&1 || fail "no X server answers on $DISPLAY"
}

stop_xvfb() {
  kill "$xvfb_pid" && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
}

start_game() {
  rm -f "$work/game.rec"
  (cd "$1" && exec "$game" --record "$work/game.rec" 2>"$work/err") &
  game_pid=$!
}

shown() {
  wid=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1)
  [ -n "$wid" ] || ! kill -0 "$game_pid" 2>/dev/null
}
# A frame line in the recording $1, or the game has ended.
played() { grep -qv '^seed ' "$1" 2>/dev/null || ! kill -0 "$game_pid" 2>/dev/null; }
wait_window() {
  [ $# = 0 ] || waitfor played "$1" || fail "no frame recorded after 30 s"
  waitfor shown || fail "no window after 30 s"
  [ -n "$wid" ] || fail "the game ended before its window showed: $(cat "$work/err")"
  # Keys go where the pointer and the focus are.
  xdotool mousemove --window "$wid" 10 10 windowfocus --sync "$wid" 2>/dev/null
}

ended() { ! kill -0 "$game_pid" 2>/dev/null; }
wait_exit() {
  waitfor ended || fail "the game still runs after 30 s"
  wait "$game_pid"
  local rc=$?
  game_pid=""
  [ "$rc" -eq "$1" ] || fail "exit status $rc, expected $1; stderr: $(cat "$work/err")"
}

hold_key() {
  xdotool keydown "$1"
  sleep "${2:-0.3}"
  xdotool keyup "$1"
}

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
