#!/usr/bin/env bash
# The world image built into the game is what its text sources give, the
# pictures in docs/ are up to date, and a broken source stops worldgen with a
# message that names its file and line.
set -u
build=$1 w=$2/assets/world
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

"$build/worldgen" "$w" --bin "$tmp/world.bin" --png "$tmp" || fail "worldgen on the sources"
"$build/bitrot-replay" --dump-world "$tmp/built.bin" && cmp -s "$tmp/world.bin" "$tmp/built.bin" ||
  fail "the built-in world differs from its sources"
for png in world map title; do cmp -s "$tmp/$png.png" "$2/docs/$png.png" || fail "docs/$png.png is out of date"; done

# broken FILE N ROW WANT: FILE's Nth '|' row (or the line starting N) as ROW fails with WANT.
broken() {
  rm -rf "$tmp/src" && cp -r "$w" "$tmp/src"
  local at
  case $2 in
    *[!0-9]*) at=$(grep -n "^$2" "$w/$1" | head -n 1 | cut -d: -f1) ;;
    *) at=$(grep -n '^|' "$w/$1" | sed -n "$2p" | cut -d: -f1) ;;
  esac
  ROW=$3 awk -v at="$at" 'NR == at { if (ENVIRON["ROW"] != "-") print ENVIRON["ROW"]; next } { print }' \
    "$w/$1" >"$tmp/src/$1"
  out=$("$build/worldgen" "$tmp/src" --bin "$tmp/x.bin" 2>&1) && fail "$1: worldgen accepted '$3'"
  [[ $out == *"${4//@/$at}"* ]] || fail "$1: the message was: $out"
}
row() { grep '^|' "$w/$1" | sed -n "$2p"; }
m=$(row map.txt 10) s=$(row sprites.txt 3) t=$(row title.txt 20)
broken map.txt 10 "${m%??}|" "map.txt:@: a field is 60 characters wide, want 61"
broken map.txt 10 "|Q${m:2}" "map.txt:@: unknown map cell 'Q'"
broken map.txt 10 "${m%?}" "map.txt:@: a row must end with '|'"
broken sprites.txt 3 "|z${s:2}" "sprites.txt:@: unknown pixel 'z'"
broken sprites.txt 3 "${s:0:10}" "sprites.txt:@: 1 fields between bars, want 2"
broken title.txt 20 "|1${t:1}" "title.txt:@: a field is 81 characters wide, want 80"
broken title.txt 20 - "title.txt: 63 rows, want 64"
broken map.txt "stroke 443" "stroke 443 668 2000 704 4" "map.txt:@:"
[ $fails = 0 ] && echo "worldgen: all checks passed"
exit $((fails > 0))
