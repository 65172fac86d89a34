#!/usr/bin/env bash
# The real game, headless, against faults of its surroundings (audio, music
# files, signals) and watched for writes: each run goes on until told to stop,
# then ends with status 0 and no complaint. Every wait is bounded.
set -u
build=$(cd "$1" && pwd)
game=$build/bitrot
work=$(mktemp -d)
trap 'kill -KILL $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
unset DISPLAY WAYLAND_DISPLAY
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk

# folder NAME FILE...: $work/NAME holding the built music files named.
folder() { mkdir "$work/$1" && (cd "$build" && cp "${@:2}" "$work/$1/"); }
# reap PID: its status, once it ends or is killed at $by (epoch seconds).
reap() {
  while kill -0 "$1" 2>/dev/null && [ $EPOCHSECONDS -lt $by ]; do sleep 0.1; done
  kill -KILL "$1" 2>/dev/null
  wait "$1"
}
heard() { [ -n "$(tr -d '\0' 2>/dev/null <"$work/$1/played.raw" | head -c 1)" ]; }
# taken PID: the game catches SIGTERM itself (bit 14 of SigCgt): a TERM is a quit.
taken() {
  local k v
  while read -r k v; do [ "$k" = SigCgt: ] && return $((!(0x$v >> 14 & 1))); done <"/proc/$1/status"
  return 1
} 2>/dev/null
# started NAME PID WHAT: SIGTERM taken, and sound or half a second of silence played.
started() {
  taken "$2" || return 1
  case $3 in
    sound) heard "$1" ;;
    silence) [ "$(stat -c %s "$work/$1/played.raw" 2>/dev/null || echo 0)" -ge 88200 ] ;;
  esac
}

# Each in its own folder, the disk driver recording what it plays: NAME, the
# signals that end it, what plays (sound, silence, or any), env settings.
cases=("music|TERM|sound" "0.ogg missing|TERM|silence" "1.ogg missing|TERM|sound" "both missing|TERM|silence"
  "empty|TERM|silence" "not Ogg at all|TERM|silence" "damaged|TERM|any" "cut short|TERM|any"
  "no audio device|TERM|any|SDL_AUDIODRIVER=nonexistent" "SIGINT|INT|sound" "SIGTERM twice|TERM TERM|sound"
  "audio device that cannot be opened|TERM|any|SDL_DISKAUDIOFILE=$work/nowhere/played.raw"
  "SIGTERM then SIGINT|TERM INT|sound")
for c in "${cases[@]}"; do folder "${c%%|*}" 0.ogg 1.ogg; done
rm "$work/0.ogg missing/0.ogg" "$work/1.ogg missing/1.ogg" "$work/both missing/"*
: >"$work/empty/0.ogg" && : >"$work/empty/1.ogg"
yes 'not a sound file' | head -c 5000 | tee "$work/not Ogg at all/0.ogg" >"$work/not Ogg at all/1.ogg"
head -c 12000 "$build/0.ogg" >"$work/cut short/0.ogg"
perl -0777 -pe 'for ($i = 0; $i < length; $i += 97) { substr($_, $i, 1) ^= "\xff" }' "$build/0.ogg" >"$work/damaged/0.ogg"
declare -A pid
for c in "${cases[@]}"; do
  IFS='|' read -r name _ _ env <<<"$c"
  (cd "$work/$name" && exec env SDL_DISKAUDIOFILE="$work/$name/played.raw" $env "$game" 2>"$work/$name.err") &
  pid[$name]=$!
done
# The games share their waits: two minutes for all to start, one for all to end.
by=$((EPOCHSECONDS + 120))
for c in "${cases[@]}"; do
  IFS='|' read -r name sigs plays _ <<<"$c"
  p=${pid[$name]}
  until started "$name" "$p" "$plays" || ! kill -0 "$p" 2>/dev/null || [ $EPOCHSECONDS -ge $by ]; do sleep 0.1; done
  kill -0 "$p" 2>/dev/null || fail "$name: the game ended on its own: $(cat "$work/$name.err")"
  for s in $sigs; do kill -"$s" "$p" 2>/dev/null; done
done
by=$((EPOCHSECONDS + 60))
for c in "${cases[@]}"; do
  IFS='|' read -r name sigs plays _ <<<"$c"
  p=${pid[$name]} before=$fails
  reap "$p"; rc=$?
  [ $rc = 0 ] || fail "$name: status $rc after $sigs, not 0: $(cat "$work/$name.err")"
  grep -q '^bitrot:' "$work/$name.err" && fail "$name: the game complained: $(cat "$work/$name.err")"
  case $plays in
    sound) heard "$name" || fail "$name: nothing but silence was played" ;;
    silence) heard "$name" && fail "$name: something was played" ;;
  esac
  [ $fails = "$before" ] && echo "ok: $name ($plays)"
done
[ -e "$work/nowhere" ] && fail "the disk driver's folder appeared"

# SIGTERM during start-up, sent by strace at SDL's first getresuid (the game
# has taken the signal, SDL not yet): a quit all the same, not a death.
folder startup 0.ogg 1.ogg
(cd "$work/startup" && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" timeout -k 5 30 \
  strace -qq -o "$work/startup.trace" -e trace=getresuid -e inject=getresuid:signal=SIGTERM:when=1 "$game" 2>/dev/null)
rc=$?
grep -q '^--- SIGTERM' "$work/startup.trace" || fail "SIGTERM during start-up: no getresuid call to send it at"
[ $rc = 0 ] && echo "ok: SIGTERM during start-up" || fail "SIGTERM during start-up: status $rc, not 0"

# Nothing written: the game beside its music alone, HOME, XDG folders and TMPDIR
# empty, strace watching every call that writes, creates, renames or removes a
# file. A shell under the same strace sends the TERM once the game has taken it.
folder quiet 0.ogg 1.ogg
h=$work/home
mkdir -p "$h"/{home,config,data,cache,state,tmp} && mkdir -m 700 "$h/runtime"
sums=$(cd "$work/quiet" && sha256sum 0.ogg 1.ogg) before=$fails
calls=open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,link,linkat,symlink
calls=$calls,symlinkat,truncate,chmod,fchmodat,mknod,mknodat
(cd "$work/quiet" && SDL_AUDIODRIVER=dummy HOME=$h/home XDG_CONFIG_HOME=$h/config XDG_DATA_HOME=$h/data XDG_CACHE_HOME=$h/cache \
  XDG_STATE_HOME=$h/state XDG_RUNTIME_DIR=$h/runtime TMPDIR=$h/tmp \
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" timeout -k 5 30 \
  strace -f -qq -o "$work/trace" -e trace="$calls" bash -c "$(declare -f taken)"'
    "$0" & p=$!; n=0; until [ $n -gt 250 ] || taken $p; do sleep 0.1; n=$((n + 1)); done; kill -TERM $p; wait $p' "$game" \
  2>"$work/quiet.err")
rc=$?
[ $rc = 0 ] || fail "under strace: status $rc, not 0: $(cat "$work/quiet.err")"
others=${calls#open,openat,openat2,}
writes=$(grep -E "(open|openat|openat2)\(.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC)|^[0-9]+ +(${others//,/|})\(" "$work/trace" |
  grep -vE '"/(dev|proc|sys)/|"/tmp/\.X11-unix/')
opens=$(grep -cE 'open(at)?\(' "$work/trace")
[ -z "$writes" ] || fail "the game opened or changed files for writing: $writes"
[ "$opens" -gt 10 ] && grep -q '"0.ogg", O_RDONLY' "$work/trace" || fail "strace saw $opens opens and no read of 0.ogg"
[ -z "$(find "$h" -mindepth 2)" ] || fail "files appeared: $(find "$h" -mindepth 2)"
[ "$(ls -A "$work/quiet")" = "$(printf '0.ogg\n1.ogg')" ] || fail "the folder now holds: $(ls -A "$work/quiet")"
[ "$(cd "$work/quiet" && sha256sum 0.ogg 1.ogg)" = "$sums" ] || fail "the music files changed"
[ $fails = "$before" ] && echo "ok: nothing written ($opens opens watched)"

[ $fails = 0 ] && echo "faults: all checks passed"
exit $((fails > 0))
