#!/usr/bin/env bash
# Each score renders, here and in the build, to the bytes pinned in
# tests/golden/music.expected (rewrite them after a change meant); a faulty or
# too loud score stops the build naming its file and line, leaving nothing.
set -u
build=$1 src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

for n in 0 1; do "$build/bitrot-synth" "$src/assets/music/$n.score" "$tmp/$n.ogg" >/dev/null || fail "$n.score did not render"; done
for dir in "$tmp" "$build"; do
  (cd "$dir" && sha256sum 0.ogg 1.ogg) | diff "$src/tests/golden/music.expected" - || fail "the tracks in $dir are not the pinned ones"
done

printf 'tempo 140\nvoice lead pulse\npattern p bars=1\n  lead: C4 D4 X9 E4\nsong p\n' >"$tmp/bad.score"
printf 'volume 4\ntempo 140\nvoice lead pulse vol=1\npattern p bars=1\n  lead: C4 D4 E4 E4\nsong p\n' >"$tmp/loud.score"
for want in "bad.score:4: 'X9' is not a note" "loud.score:1: the loop peaks at"; do
  f=${want%%:*}
  "$build/bitrot-synth" "$tmp/$f" "$tmp/${f%.score}.ogg" 2>"$tmp/err" && fail "$f rendered"
  grep -qF "$want" "$tmp/err" || fail "$f was reported as: $(cat "$tmp/err")"
  ls "$tmp/${f%.score}".ogg* >/dev/null 2>&1 && fail "$f left a file behind"
done
[ $fails = 0 ] && echo "music build: all checks passed"
exit $((fails > 0))
