#!/usr/bin/env bash
# The command line of bitrot and bitrot-replay. Every bad input (a row of the
# table), or a file that can't be read, ends before any window (there is no
# display: a window would give status 1) with status 2 and one line naming the
# mistake, and changes no file. Then --help, --version and a cut recording.
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
unset DISPLAY WAYLAND_DISPLAY SDL12COMPAT_WINDOW_SCALING
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
mkdir "$work/in"
cd "$work/in" || exit 1
mkdir dir
printf 'seed 1\n\n' > old
printf 'seed 1\n\nd27 x5\n' > bad
printf 'seed 1\nseed 2\n' > twoseeds
printf 'seed 1\nend x\n\n' > afterend
printf 'seed 1\n' > noframes
printf '\x89PNG\r\n\x1a\n' > png
: > empty
while IFS='|' read -r prog args want input; do
  before=$(ls -l --time-style=full-iso; md5sum old)
  read -ra argv <<< "$args"
  timeout 10 "$build/$prog" "${argv[@]}" < "${input:-bad}" > ../out 2> ../err
  rc=$?
  after=$(ls -l --time-style=full-iso; md5sum old)
  lines=$(grep -vc '^Usage: bitrot ' ../err)
  # bitrot-replay has printed the frames before the bad line; the game prints nothing.
  [ $rc -eq 2 ] && [ "$lines" -eq 1 ] && grep -qF -- "$want" ../err && { [ "$prog" != bitrot ] || [ ! -s ../out ]; } ||
    fail "$prog $args: status $rc, stderr: $(cat ../err)"
  [ "$before" = "$after" ] || fail "$prog $args: the folder changed"
done <<TABLE
bitrot|--bogus|bitrot: unrecognized option '--bogus'
bitrot|-x|bitrot: invalid option -- 'x'
bitrot|--scale 0|bitrot: --scale: '0' is not a number from 1 to 8
bitrot|--scale 9|'9' is not a number from 1 to 8
bitrot|--scale=2x|'2x' is not a number from 1 to 8
bitrot|--scale|option '--scale' requires an argument
bitrot|--seed -1|bitrot: --seed: '-1' is not a number from 0 to 4294967295
bitrot|--seed 4294967296|'4294967296' is not a number from 0 to 4294967295
bitrot|--fullscreen=yes|option '--fullscreen' doesn't allow an argument
bitrot|--reduce-flashing=on|option '--reduce-flashing' doesn't allow an argument
bitrot|--s 1|option '--s' is ambiguous
bitrot|stray|bitrot: unexpected argument 'stray'
bitrot|--record new --playback old|--record and --playback can't be used together
bitrot|--record old|bitrot: old already exists; a recording never overwrites a file
bitrot|--record nodir/new|bitrot: cannot create nodir/new: No such file or directory
bitrot|--playback missing|bitrot: cannot read missing: No such file or directory
bitrot|--playback dir|bitrot: cannot read dir: Is a directory
bitrot|--playback bad|bitrot: bad: line 3: cannot read "x5"
bitrot|--playback twoseeds|bitrot: twoseeds: line 2: a seed line may only come first
bitrot|--playback afterend|bitrot: afterend: line 3: nothing may follow the end line
bitrot|--playback png|bitrot: png: no seed: not a recording
bitrot|--playback empty|bitrot: empty: no seed
bitrot|--playback noframes|bitrot: noframes: no frames to play
bitrot|--playback run=ab!c|bitrot: the link: not base64url
bitrot|--playback http://host/#run=aGVsbG8h|bitrot: the link: damaged: its data does not inflate whole
bitrot-replay|#run=y8gEAA|bitrot-replay: the link: no seed: not a recording
bitrot-replay|bad|bitrot-replay: bad: line 3: cannot read "x5"
bitrot-replay|empty|bitrot-replay: empty: no seed
bitrot-replay|missing|bitrot-replay: cannot read missing: No such file or directory
bitrot-replay|dir|bitrot-replay: cannot read dir: Is a directory
bitrot-replay||bitrot-replay: cannot read stdin: Is a directory|dir
TABLE

# A read that fails part-way: a pseudo-terminal whose other side has closed
# gives what was written, then EIO. The frames before it play.
python3 - "$build/bitrot-replay" > out 2> err <<'PY'
import os, pty, subprocess, sys, tty
master, other = pty.openpty()
tty.setraw(other)  # the bytes as written: no newline made into CR LF
os.write(other, b"seed 1\n" + b"d275\n\nu275\n" * 10)
os.close(other)
sys.exit(subprocess.run(sys.argv[1:], stdin=master, timeout=10).returncode)
PY
rc=$?
[ $rc -eq 2 ] && [ "$(cat err)" = "bitrot-replay: cannot read stdin: Input/output error" ] &&
  [ "$(wc -l < out)" -eq 30 ] || fail "EIO after 30 frames: status $rc, $(wc -l < out) frames, stderr: $(cat err)"

cd "$work" || exit 1
# A hostile recording: a frame that quits, then 10 million empty frames. Read
# a line at a time it peaks under 100 MB, refused by a bad last line or played
# (ended by SIGTERM). Under AddressSanitizer the peak means nothing.
{ printf 'seed 1\nq\n' && head -c 10000000 /dev/zero | tr '\0' '\n'; } > empty
{ cat empty && echo x; } > bad
grep -q '^BITROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2> /dev/null && peak=0 || peak=100
SDL_VIDEODRIVER=dummy python3 - "$build/bitrot" "$peak" > out 2>&1 <<'PY' || fail "the hostile recording: $(cat out)"
import resource, signal, subprocess, sys, time
game, peak = sys.argv[1], int(sys.argv[2])
def check(what, rc, err, want_rc, want_err):
    mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
    if (rc, err) != (want_rc, want_err) or (peak and mb > peak):
        sys.exit(f"{what}: status {rc}, {mb} MB at the peak, stderr: {err}")
r = subprocess.run([game, "--playback", "bad"], capture_output=True, text=True, timeout=240)
check("refused", r.returncode, r.stderr, 2, 'bitrot: bad: line 10000003: cannot read "x"\n')
played = "bitrot: empty: played 1 frames; the recording has no end line\n"
with open("err", "w") as err:
    p = subprocess.Popen([game, "--playback", "empty"], stderr=err)
    for _ in range(2400):
        if p.poll() is not None or open("err").read() == played: break
        time.sleep(0.1)
    p.send_signal(signal.SIGTERM)
    check("played", p.wait(timeout=30), open("err").read(), 0, played)
PY
# A link, as the page makes one (here not packed): it plays to its end line.
printf 'seed 3\n\nd32\n' > rec
"$build/bitrot-replay" --last rec | sed 's/^/end /' >> rec
link=$(python3 -c 'import base64, sys, zlib
print("http://host/?seed=1#run=" + base64.urlsafe_b64encode(zlib.compress(open("rec", "rb").read(), 6, -15)).decode().rstrip("="))')
"$build/bitrot-replay" --last "$link" > out 2> err && [ "$(cat err)" = "bitrot-replay: the link: the last frame matches the end line" ] ||
  fail "bitrot-replay LINK: $(cat err)"
"$build/bitrot" --help > out 2> err && grep -q '^Usage: bitrot \[OPTION\]' out && grep -q -- --reduce-flashing out && [ ! -s err ] ||
  fail "--help: $(cat out err)"
"$build/bitrot" --version > out 2> err && [ "$(head -1 out)" = "bitrot 1.0.0" ] && [ ! -s err ] ||
  fail "--version: $(cat out err)"

# Killed mid-game, a recording holds every frame played but a half-written one.
SDL_VIDEODRIVER=dummy "$build/bitrot" --record cut.rec 2> err &
for _ in $(seq 300); do [ "$(wc -l 2> /dev/null < cut.rec || echo 0)" -gt 6 ] && break; sleep 0.1; done
{ kill -KILL $! && wait $!; } 2> /dev/null
printf 'd27 u' >> cut.rec
frames=$(($(wc -l < cut.rec) - 1))
[ "$frames" -gt 5 ] || fail "only $frames frames were recorded in 30 s"
"$build/bitrot-replay" cut.rec > out 2> err && [ "$(wc -l < out)" -eq "$frames" ] && [ ! -s err ] ||
  fail "the cut recording replayed $(wc -l < out) of $frames frames: $(cat err)"

[ $fails -eq 0 ] && echo "options: all checks passed"
exit $((fails > 0))
