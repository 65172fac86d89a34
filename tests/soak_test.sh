#!/usr/bin/env bash
# The soak's short form: a hundred thousand frames of random play with every
# check held, a summary that shows the game was really played, the same run
# for the same seed, and each kind of damage to the state caught.
set -u
build=$(cd "$1" && pwd)
soak="$build/bitrot-soak"
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

out=$("$soak" --seed 20240601 --frames 100000 2>&1); rc=$?
echo "$out"
[ "$rc" -eq 0 ] || fail "the soak stopped with status $rc"
# Read a figure from the summary: the first number after the label.
figure() { echo "$out" | sed -n "s/^  $1 *\([0-9]*\).*/\1/p"; }
for label in "games played" "turns" "pick-ups" "restarts" "event floods"; do
  n=$(figure "$label")
  [ -n "$n" ] && [ "$n" -gt 0 ] || fail "the summary shows no $label: '$n'"
done
deaths=$(echo "$out" | sed -n 's/.* \([0-9]*\) ended in death/\1/p')
[ -n "$deaths" ] && [ "$deaths" -gt 0 ] || fail "no game ended in death"
grows=$(figure "most growth")
[ -n "$grows" ] && [ "$grows" -gt 100 ] || fail "growth never spread: '$grows'"

# The same seed plays the same game.
one=$("$soak" --seed 99 --frames 5000 | sed '1s/ in [0-9.]* s,/,/')
two=$("$soak" --seed 99 --frames 5000 | sed '1s/ in [0-9.]* s,/,/')
[ "$one" = "$two" ] || fail "two runs of seed 99 differ: $one / $two"
other=$("$soak" --seed 100 --frames 5000 | sed '1s/ in [0-9.]* s,/,/')
[ "$one" != "$other" ] || fail "seeds 99 and 100 played the same game"

# Damage to the state, done after a frame, is caught in that frame's checks.
expect_caught() {
  local what=$1 want=$2 err rc
  err=$("$soak" --seed 3 --frames 400 --inject "$what@200" 2>&1 >/dev/null); rc=$?
  [ "$rc" -eq 1 ] || fail "$what damage: status $rc, not 1"
  echo "$err" | grep -q "^bitrot-soak: frame 200: $want" || fail "$what damage reported as: $err"
}
expect_caught cell "cell (100,100) holds 10"
expect_caught player "the player's cell .* holds 0"
expect_caught wall "the wall grid changed"
expect_caught scrb "scrb pixel (43,1) is 32"
expect_caught pal "dark entry 20 is ffff"
expect_caught keys "keymask"
expect_caught count "count went from"
expect_caught mode "mode is 2"

# Arguments it can't read give the usage and status 2.
for args in "--seed" "--seed -1" "--frames x" "--inject cell" "--inject nothing@5" "extra"; do
  # shellcheck disable=SC2086
  "$soak" $args >/dev/null 2>&1; rc=$?
  [ "$rc" -eq 2 ] || fail "arguments '$args' gave status $rc, not 2"
done

[ $fails -eq 0 ] && echo "soak: all checks passed"
exit $((fails > 0))
