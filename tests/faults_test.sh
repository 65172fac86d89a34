#!/usr/bin/env bash
# The real game, headless, against faults of its surroundings: no audio
# device, an audio device it can't write, one music file missing, signals, and
# a watch on every file it opens for writing. Each run must keep the game going
# until it is told to stop and then end with status 0.
set -u
build=$(cd "$1" && pwd)
game="$build/bitrot"
work=$(mktemp -d)
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  rm -rf "$work"
  return 0
}
trap cleanup EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

unset DISPLAY WAYLAND_DISPLAY
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

# A fresh folder to run in, with the music files named.
folder() {
  local d
  d=$(mktemp -d "$work/run.XXXX")
  for f in "$@"; do cp "$build/$f" "$d/"; done
  echo "$d"
}

# Waits up to five seconds for the game to end and sets rc to its status, or
# to "still running" (and kills it) when it doesn't end.
reap() {
  local i
  for i in $(seq 1 50); do
    if ! kill -0 "$game_pid" 2>/dev/null; then
      wait "$game_pid" && rc=0 || rc=$?
      game_pid=""
      return
    fi
    sleep 0.1
  done
  kill -KILL "$game_pid"
  wait "$game_pid" 2>/dev/null
  game_pid=""
  rc="still running"
}

# run NAME SECONDS FOLDER SIGNAL... [-- ENV=VALUE...]: runs the game in FOLDER
# for SECONDS, checks it is still running, sends each SIGNAL, and expects
# status 0 and nothing on stderr from the game itself.
run() {
  local name=$1 secs=$2 dir=$3 rc
  shift 3
  local sigs=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do sigs+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  (cd "$dir" && exec env "$@" "$game" 2>"$work/err") &
  game_pid=$!
  sleep "$secs"
  if ! kill -0 "$game_pid" 2>/dev/null; then
    reap
    fail "$name: the game ended on its own with status $rc: $(cat "$work/err")"
    return
  fi
  for s in "${sigs[@]}"; do kill -"$s" "$game_pid"; done
  reap
  [ "$rc" = 0 ] || fail "$name: status $rc after ${sigs[*]}, not 0: $(cat "$work/err")"
  if grep -q '^bitrot:' "$work/err"; then fail "$name: the game complained: $(cat "$work/err")"; fi
  [ "$rc" = 0 ] && echo "ok: $name"
}

both=(0.ogg 1.ogg)

# No audio device at all: the driver asked for doesn't exist.
run "no audio device" 2 "$(folder "${both[@]}")" TERM -- SDL_AUDIODRIVER=nonexistent
# An audio device that can't be opened: the disk driver's file can't be created.
d=$(folder "${both[@]}")
run "audio device that cannot be opened" 2 "$d" TERM -- SDL_AUDIODRIVER=disk \
  SDL_DISKAUDIOFILE="$work/no-such-folder/played.raw"
[ -e "$work/no-such-folder" ] && fail "the disk driver's folder appeared"

# One music file missing, either one.
run "0.ogg missing" 1.5 "$(folder 1.ogg)" TERM
run "1.ogg missing" 1.5 "$(folder 0.ogg)" TERM

# SDL turns SIGINT into a quit as it does SIGTERM; a second signal while the
# first is handled changes nothing.
run "SIGINT" 1.5 "$(folder "${both[@]}")" INT
run "SIGTERM twice" 1.5 "$(folder "${both[@]}")" TERM TERM
run "SIGTERM then SIGINT" 1.5 "$(folder "${both[@]}")" TERM INT

# SIGTERM in the middle of start-up, as soon as the game has taken over the
# signal (its handler shows in /proc), while SDL is still starting: a quit all
# the same, not a signal death and not a quit dropped by SDL.
d=$(folder "${both[@]}")
(cd "$d" && exec "$game" 2>"$work/err") &
game_pid=$!
caught=""
for i in $(seq 1 500); do
  mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$game_pid/status" 2>/dev/null)
  if [ -n "$mask" ] && (((16#$mask >> 14) & 1)); then caught=1; break; fi
  sleep 0.01
done
if [ -z "$caught" ]; then
  fail "SIGTERM during start-up: the game never caught SIGTERM"
  reap
else
  kill -TERM "$game_pid"
  reap
  [ "$rc" = 0 ] && echo "ok: SIGTERM during start-up" || fail "SIGTERM during start-up: status $rc, not 0"
fi

# Nothing written to disk. The game runs in a folder holding only the two
# music files, with HOME, the XDG folders and TMPDIR pointed at empty folders,
# under strace watching every call that could create, change or remove a file.
# (In the sanitizer build the leak check is off here: it can't run under ptrace.)
if ! command -v strace >/dev/null; then
  fail "strace is not installed (tools/deps.sh lists it)"
else
  d=$(folder "${both[@]}")
  home=$(mktemp -d "$work/home.XXXX")
  mkdir -p "$home/config" "$home/data" "$home/cache" "$home/state" "$home/runtime" "$home/tmp" "$home/home"
  chmod 700 "$home/runtime"
  before=$(cd "$d" && sha256sum 0.ogg 1.ogg)
  (cd "$d" && exec env HOME="$home/home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_CACHE_HOME="$home/cache" XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" \
    TMPDIR="$home/tmp" ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq -o "$work/trace" \
    -e trace=open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,link,linkat,symlink,symlinkat,truncate,chmod,fchmodat,mknod,mknodat \
    "$game" 2>"$work/err") &
  strace_pid=$!
  game_pid=""
  for i in $(seq 1 50); do
    game_pid=$(ps -o pid= --ppid "$strace_pid" | tr -d ' ')
    [ -n "$game_pid" ] && break
    sleep 0.1
  done
  if [ -z "$game_pid" ]; then
    fail "no game process under strace"
  else
    sleep 3
    kill -0 "$game_pid" 2>/dev/null || fail "under strace the game ended on its own: $(cat "$work/err")"
    kill -TERM "$game_pid" 2>/dev/null
    wait "$strace_pid"; rc=$?
    game_pid=""
    [ "$rc" = 0 ] || fail "under strace: status $rc, not 0: $(cat "$work/err")"
    # Calls that write: opens for writing or creating, and every call that
    # makes, renames or removes a file; the device and process folders and the
    # X socket folder are not the disk.
    writes=$(grep -E '(open|openat|openat2)\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC)|(creat|rename|renameat|renameat2|unlink|unlinkat|mkdir|mkdirat|rmdir|link|linkat|symlink|symlinkat|truncate|chmod|fchmodat|mknod|mknodat)\(' "$work/trace" |
      grep -vE '"/(dev|proc|sys)/|"/tmp/\.X11-unix/' || true)
    [ -z "$writes" ] || fail "the game opened or changed files for writing: $writes"
    opens=$(grep -cE 'open(at)?\(' "$work/trace")
    [ "$opens" -gt 10 ] || fail "strace saw only $opens opens; the watch is not working"
    grep -q '"0.ogg", O_RDONLY' "$work/trace" || fail "strace did not see the game read 0.ogg"
    left=$(find "$home" -mindepth 2)
    [ -z "$left" ] || fail "files appeared: $left"
    [ "$(ls -A "$d" | sort | tr '\n' ' ')" = "0.ogg 1.ogg " ] || fail "the run folder now holds: $(ls -A "$d")"
    [ "$(cd "$d" && sha256sum 0.ogg 1.ogg)" = "$before" ] || fail "the music files changed"
    [ -z "$writes" ] && [ -z "$left" ] && [ "$opens" -gt 10 ] && echo "ok: nothing written ($opens opens watched, all for reading)"
  fi
fi

[ $fails -eq 0 ] && echo "faults: all checks passed"
exit $((fails > 0))
