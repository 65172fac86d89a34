#!/bin/bash
# The music build step: the same score always gives the same bytes, the built
# tracks are the ones the scores give now, and a faulty score stops the build
# with its file and line named and nothing half-written left behind.
set -u
build=$1
src=$2
synth=$build/bitrot-synth
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

for n in 0 1; do
  "$synth" "$src/assets/music/$n.score" "$tmp/a$n.ogg" > /dev/null || fail "track $n did not render"
  "$synth" "$src/assets/music/$n.score" "$tmp/b$n.ogg" > /dev/null || fail "track $n did not render twice"
  cmp -s "$tmp/a$n.ogg" "$tmp/b$n.ogg" || fail "track $n differs between two renders of one score"
  cmp -s "$tmp/a$n.ogg" "$build/$n.ogg" || fail "the built $n.ogg is not what $n.score gives now"
done

cat > "$tmp/bad.score" <<'SCORE'
tempo 140
voice lead pulse
pattern p bars=1
  lead: C4 D4 X9 E4
song p
SCORE
if "$synth" "$tmp/bad.score" "$tmp/bad.ogg" 2> "$tmp/err"; then
  fail "a faulty score rendered"
fi
grep -q "bad.score:4: 'X9' is not a note" "$tmp/err" || fail "the fault was reported as: $(cat "$tmp/err")"
ls "$tmp"/bad.ogg* > /dev/null 2>&1 && fail "a faulty score left a file behind"

# Too loud to encode without clipping: the volume line is named.
sed 's/^tempo 140/volume 4\ntempo 140/; s/X9/E4/' "$tmp/bad.score" > "$tmp/loud.score"
sed -i 's/voice lead pulse/voice lead pulse vol=1/' "$tmp/loud.score"
if "$synth" "$tmp/loud.score" "$tmp/loud.ogg" 2> "$tmp/err"; then
  fail "a clipping score rendered"
fi
grep -q "loud.score:1: the loop peaks at" "$tmp/err" || fail "clipping was reported as: $(cat "$tmp/err")"

if [ $fails -eq 0 ]; then echo "music build: all checks passed"; fi
exit $((fails > 0))
