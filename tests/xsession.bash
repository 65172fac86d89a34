# Sourced by the tests that run the real game in a virtual X server.
# Starts Xvfb on a free display, and offers waits with bounded retries.

# The game's own leaks are the valgrind test's business; under AddressSanitizer
# the X, font and input-method libraries that SDL loads report leaks of their
# own at exit, which would mask the exit status these tests are about.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

xvfb_pid=""
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  # Wait for the server to be gone, sockets and lock file with it, so the next
  # test's server can't find a half-dead one on the same display number.
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "${work:-}" ] && rm -rf "$work"
  return 0
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

start_xvfb() {
  local fifo n
  work=$(mktemp -d)
  fifo="$work/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  read -r -t 20 n <"$fifo" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$n"
  # Make sure it is our server that answers there before any game starts.
  local i
  for i in $(seq 1 50); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "the X server on $DISPLAY does not answer: $(cat "$work/xvfb.log")"
}

# Runs the game in the background from folder $1; its stderr goes to $work/err.
start_game() {
  (cd "$1" && exec "$game" 2>"$work/err") &
  game_pid=$!
}

# Waits until the game's window is mapped and sets wid to its id.
wid=""
wait_window() {
  local i
  for i in $(seq 1 100); do
    wid=$(xdotool search --onlyvisible --pid "$game_pid" 2>/dev/null | head -n 1)
    [ -n "$wid" ] && return 0
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid"
      fail "the game ended with status $? before its window showed: $(cat "$work/err")"
    fi
    sleep 0.1
  done
  fail "no window after 10 s"
}

# Waits for the game to end and checks its exit status.
wait_exit() {
  local want=$1 i rc
  for i in $(seq 1 100); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid" && rc=0 || rc=$?
      game_pid=""
      [ "$rc" -eq "$want" ] || fail "exit status $rc, expected $want; stderr: $(cat "$work/err")"
      return 0
    fi
    sleep 0.1
  done
  fail "the game still runs after 10 s"
}

# Holds a key long enough for the game to see it in a frame (frames are 50 ms).
hold_key() {
  xdotool keydown "$1"
  sleep 0.3
  xdotool keyup "$1"
}
