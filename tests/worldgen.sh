# The world table in the program matches its text sources, the pictures in
# docs/ are up to date, and a broken source stops the build with a message
# that names the file and the line.
set -u
build=$1 src=$2
gen=$build/worldgen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

"$gen" "$src/assets/world" --bin "$tmp/world.bin" --png "$tmp" || fail "worldgen on the sources"
"$build/bitrot-replay" --dump-world "$tmp/built.bin" || fail "dumping the built-in world"
cmp -s "$tmp/world.bin" "$tmp/built.bin" || fail "the built-in world differs from its sources"
[ "$(stat -c %s "$tmp/built.bin")" = 1048576 ] || fail "the world is not 1024x1024 bytes"
for png in world map title; do
  cmp -s "$tmp/$png.png" "$src/docs/$png.png" || fail "docs/$png.png is out of date (make worldpictures)"
done

# Each broken copy of the sources must fail, naming the file and line.
broken() {   # name file line-pattern replacement want
  rm -rf "$tmp/src" && cp -r "$src/assets/world" "$tmp/src"
  PAT=$3 REP=$4 awk '!done && index($0, ENVIRON["PAT"]) == 1 { print ENVIRON["REP"]; done = 1; next } { print }' \
    "$src/assets/world/$2" > "$tmp/src/$2"
  out=$("$gen" "$tmp/src" --bin "$tmp/x.bin" 2>&1)
  rc=$?
  if [ $rc = 0 ]; then fail "$1: worldgen accepted it"; return; fi
  case $out in *"$5"*) ;; *) fail "$1: message was: $out";; esac
}
line=$(grep -n '^|' "$src/assets/world/map.txt" | sed -n 10p | cut -d: -f1)
row=$(sed -n "${line}p" "$src/assets/world/map.txt")
broken "short map row" map.txt "$row" "${row%??}|" "map.txt:$line: a field is 60 characters wide, want 61"
broken "unknown map cell" map.txt "$row" "|Q${row:2}" "map.txt:$line: unknown map cell 'Q'"
broken "unterminated row" map.txt "$row" "${row%?}" "map.txt:$line: a row must end with '|'"
sline=$(grep -n '^|' "$src/assets/world/sprites.txt" | sed -n 3p | cut -d: -f1)
srow=$(sed -n "${sline}p" "$src/assets/world/sprites.txt")
broken "unknown pixel" sprites.txt "$srow" "|z${srow:2}" "sprites.txt:$sline: unknown pixel 'z'"
broken "one phase only" sprites.txt "$srow" "${srow:0:10}" "sprites.txt:$sline: 1 fields between bars, want 2"
tline=$(grep -n '^|' "$src/assets/world/title.txt" | sed -n 20p | cut -d: -f1)
trow=$(sed -n "${tline}p" "$src/assets/world/title.txt")
broken "wide title row" title.txt "$trow" "|1${trow:1}" "title.txt:$tline: a field is 81 characters wide, want 80"
broken "bad stroke" map.txt "stroke 443" "stroke 443 668 2000 704 4" "map.txt:"
broken "missing rows" title.txt "$trow" "" "title.txt: 63 rows, want 64"

if [ $fails = 0 ]; then echo "worldgen: all checks passed"; else exit 1; fi
