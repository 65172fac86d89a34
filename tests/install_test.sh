#!/bin/bash
# The installed game: `cmake --install` into a scratch prefix puts every file
# in its place and nothing else, the desktop entry and the metainfo pass their
# validators, the icons are the player's picture at their sizes, and the
# launcher starts the game from any folder, from a moved tree and through a
# link, with its music found and the player's own scaling settings kept.
set -u
build=$1
tmp=$(mktemp -d)
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

cachevar() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
bindir=$(cachevar CMAKE_INSTALL_BINDIR)
datadir=$(cachevar CMAKE_INSTALL_DATADIR)
[ -n "$datadir" ] || datadir=$(cachevar CMAKE_INSTALL_DATAROOTDIR)  # left empty, it follows DATAROOTDIR
libexecdir=$(cachevar CMAKE_INSTALL_LIBEXECDIR)
appid=$(cachevar BITROT_APP_ID)
[ -n "$bindir" ] && [ -n "$datadir" ] && [ -n "$libexecdir" ] && [ -n "$appid" ] ||
  { echo "FAIL: the install folders are not in $build/CMakeCache.txt"; exit 1; }

prefix=$tmp/a/usr
if ! cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install failed"
  exit 1
fi

# Layout: exactly these files, the two programs executable, the music as built.
expected=(
  "$bindir/bitrot"
  "$libexecdir/bitrot/bitrot"
  "$datadir/bitrot/0.ogg"
  "$datadir/bitrot/1.ogg"
  "$datadir/applications/$appid.desktop"
  "$datadir/metainfo/$appid.metainfo.xml"
  "$datadir/icons/hicolor/64x64/apps/bitrot.png"
  "$datadir/icons/hicolor/128x128/apps/bitrot.png"
  "$datadir/icons/hicolor/256x256/apps/bitrot.png"
)
printf '%s\n' "${expected[@]}" | sort > "$tmp/want"
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' | sort > "$tmp/have"
diff -u "$tmp/want" "$tmp/have" > "$tmp/layout.diff" || { cat "$tmp/layout.diff"; fail "the installed files differ from the expected layout"; }
for p in "$bindir/bitrot" "$libexecdir/bitrot/bitrot"; do
  [ -x "$prefix/$p" ] || fail "$p is not executable"
done
for n in 0 1; do
  cmp -s "$build/$n.ogg" "$prefix/$datadir/bitrot/$n.ogg" || fail "the installed $n.ogg is not the built one"
done

# The validators; a warning counts as a failure too.
desktop=$prefix/$datadir/applications/$appid.desktop
if command -v desktop-file-validate > /dev/null; then
  out=$(desktop-file-validate "$desktop" 2>&1)
  rc=$?
  [ $rc -eq 0 ] && [ -z "$out" ] || fail "desktop-file-validate (status $rc): $out"
else
  echo "SKIP: desktop-file-validate is not installed (package desktop-file-utils)"
fi
metainfo=$prefix/$datadir/metainfo/$appid.metainfo.xml
if command -v appstreamcli > /dev/null; then
  out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1)
  rc=$?
  [ $rc -eq 0 ] || fail "appstreamcli validate (status $rc): $out"
  echo "$out" | grep -E '^[EW]:' && fail "appstreamcli reports errors or warnings"
else
  echo "SKIP: appstreamcli is not installed (package appstream)"
fi
grep -qx "Icon=bitrot" "$desktop" || fail "the desktop entry does not name the icon bitrot"
grep -qx "Exec=bitrot" "$desktop" || fail "the desktop entry does not start the launcher"
grep -q "<launchable type=\"desktop-id\">$appid.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not point at the desktop entry $appid.desktop"

# The icons: each the size its folder says, and pixel for pixel the player's
# picture (facing down, phase 0) of the built-in world, background transparent.
"$build/bitrot-replay" --dump-world "$tmp/world" || fail "cannot dump the world image"
python3 - "$tmp/world" "$prefix/$datadir/icons/hicolor" <<'PY' || fail "the icons are not the player's picture"
import struct, sys, zlib

def readpng(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if (depth, ctype, interlace) != (8, 6, 0):
                sys.exit(f"{path}: not 8-bit RGBA without interlacing")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw, rows, prev = zlib.decompress(idat), [], bytearray(w * 4)
    for y in range(h):
        line = raw[y * (w * 4 + 1):(y + 1) * (w * 4 + 1)]
        f, cur = line[0], bytearray(line[1:])
        for i in range(len(cur)):
            a = cur[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if f == 1: cur[i] = (cur[i] + a) & 255
            elif f == 2: cur[i] = (cur[i] + b) & 255
            elif f == 3: cur[i] = (cur[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(cur)
        prev = cur
    return w, h, rows

# The game's colours: 1 to 7 and 9 to 15 light blue, green and red by the
# index's bits 0, 1, 2 at half and full strength; 8 is the light grey.
def rgb(i):
    if i == 8:
        return (0xC0, 0xC0, 0xC0)
    on = 0x80 if i < 8 else 0xFF
    return tuple(on if i >> bit & 1 else 0 for bit in (2, 1, 0))

world = open(sys.argv[1], "rb").read()
pic = [[world[(8 + y) * 1024 + 48 + x] for x in range(8)] for y in range(8)]
bad = 0
for size in (64, 128, 256):
    w, h, rows = readpng(f"{sys.argv[2]}/{size}x{size}/apps/bitrot.png")
    if (w, h) != (size, size):
        print(f"the {size}x{size} icon is {w}x{h}"); bad += 1; continue
    s = size // 8
    for y in range(size):
        for x in range(size):
            px = tuple(rows[y][x * 4:x * 4 + 4])
            i = pic[y // s][x // s]
            if (px[3] == 255) != (i != 0):
                print(f"{size}: pixel {x},{y} (index {i}) has alpha {px[3]}"); bad += 1; break
            if i and px[:3] != rgb(i):
                print(f"{size}: pixel {x},{y} (index {i}) is {px[:3]}, not {rgb(i)}"); bad += 1; break
        if bad: break
sys.exit(bad > 0)
PY

# Runs the installed launcher $1 headless from folder $2, the disk audio
# driver capturing what it plays into $tmp/audio, with extra settings after.
# Leaves the game running as $game_pid.
startgame() {
  local launcher=$1 dir=$2
  shift 2
  rm -f "$tmp/audio"
  # env hands over to the launcher, and the launcher to the game: one process.
  env -C "$dir" -u SDL12COMPAT_WINDOW_SCALING -u SDL12COMPAT_SCALE_METHOD SDL_VIDEODRIVER=dummy \
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio" "$@" "$launcher" > "$tmp/game.log" 2>&1 &
  game_pid=$!
}
# Waits up to ten seconds for the captured audio to hold a nonzero sample.
heardmusic() {
  for _ in $(seq 100); do
    [ -s "$tmp/audio" ] && [ -n "$(tr -d '\0' < "$tmp/audio" | head -c1)" ] && return 0
    sleep 0.1
  done
  return 1
}
# Ends the game with SIGTERM and expects status 0 within five seconds.
stopgame() {
  kill -TERM "$game_pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$game_pid" 2>/dev/null; then
    fail "$1: the game did not stop within five seconds of SIGTERM"
    kill -KILL "$game_pid"
  fi
  wait "$game_pid"
  local rc=$?
  game_pid=
  [ $rc -eq 0 ] || { cat "$tmp/game.log"; fail "$1: the game ended with status $rc after SIGTERM"; }
}
# What the running game sees: its program file, folder and settings.
procenv() { tr '\0' '\n' < "/proc/$game_pid/environ" | grep "^$1=" | cut -d= -f2-; }

mkdir -p "$tmp/elsewhere"

# Moved to another place after installing, and started from an unrelated folder.
mv "$tmp/a" "$tmp/b"
prefix=$tmp/b/usr
startgame "$prefix/$bindir/bitrot" "$tmp/elsewhere"
heardmusic || fail "moved tree: no music was heard"
# The launcher hands over to the game itself (exec), in the data folder.
[ "$(readlink "/proc/$game_pid/exe")" = "$prefix/$libexecdir/bitrot/bitrot" ] ||
  fail "moved tree: the running process is $(readlink "/proc/$game_pid/exe"), not the game"
[ "$(readlink "/proc/$game_pid/cwd")" = "$prefix/$datadir/bitrot" ] ||
  fail "moved tree: the game runs in $(readlink "/proc/$game_pid/cwd"), not its data folder"
[ "$(procenv SDL12COMPAT_WINDOW_SCALING)" = 3 ] || fail "the default window scaling is not 3"
[ "$(procenv SDL12COMPAT_SCALE_METHOD)" = nearest ] || fail "the default scale method is not nearest"
stopgame "moved tree"

# Through a link elsewhere, with the player's own scaling left alone.
ln -s "$prefix/$bindir/bitrot" "$tmp/elsewhere/play"
startgame "$tmp/elsewhere/play" / SDL12COMPAT_WINDOW_SCALING=2 SDL12COMPAT_SCALE_METHOD=linear
heardmusic || fail "linked launcher: no music was heard"
[ "$(procenv SDL12COMPAT_WINDOW_SCALING)" = 2 ] || fail "the player's window scaling was overridden"
[ "$(procenv SDL12COMPAT_SCALE_METHOD)" = linear ] || fail "the player's scale method was overridden"
stopgame "linked launcher"

# Without its data folder the launcher says so and fails.
rm -rf "${prefix:?}/$datadir/bitrot"
if "$prefix/$bindir/bitrot" > "$tmp/out" 2>&1; then
  fail "the launcher succeeded without its data folder"
fi
grep -q "cannot find the game's data folder" "$tmp/out" || fail "a missing data folder was reported as: $(cat "$tmp/out")"

if [ $fails -eq 0 ]; then echo "install: all checks passed"; fi
exit $((fails > 0))
