#!/bin/bash
# `cmake --install` lays out Debian's tree for a game and nothing else, which
# passes the validators; moved, the game still plays its music; lintian finds
# no error and no warning in the .deb.
set -u
build=$(cd "$1" && pwd)
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -KILL $pid 2> /dev/null; rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
# shellcheck source=tools/lib.sh
. "$(dirname "$0")/../tools/lib.sh"  # lintdeb

cmake --install "$build" --prefix "$tmp/a/usr" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "cmake --install"; }
id=$(sed -n 's/^BITROT_APP_ID:[A-Z]*=//p' "$build/CMakeCache.txt")
(cd "$tmp/a/usr" && find . -type f -o -type l | sort) > "$tmp/have"
diff -u - "$tmp/have" <<EOF || fail "the installed files differ from the layout above"
./games/bitrot
./share/applications/$id.desktop
./share/doc/bitrot/changelog.gz
./share/doc/bitrot/copyright
./share/games/bitrot/0.ogg
./share/games/bitrot/1.ogg
./share/icons/hicolor/128x128/apps/bitrot.png
./share/icons/hicolor/256x256/apps/bitrot.png
./share/icons/hicolor/64x64/apps/bitrot.png
./share/man/man6/bitrot.6.gz
./share/metainfo/$id.metainfo.xml
EOF
for s in 64 128 256; do
  [ "$(identify -format %wx%h "$tmp/a/usr/share/icons/hicolor/${s}x$s/apps/bitrot.png")" = "${s}x$s" ] ||
    fail "the ${s}x$s icon is not that size"
done
out=$(desktop-file-validate "$tmp/a/usr/share/applications/$id.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
# Let through: no homepage yet (AppStream 1.0 warns of it, 0.16 doesn't).
out=$(appstreamcli validate --no-net --no-color "$tmp/a/usr/share/metainfo/$id.metainfo.xml" 2>&1)
grep -q 'Validation' <<< "$out" && ! grep -E '^[EW]:' <<< "$out" | grep -qv url-homepage-missing ||
  fail "appstreamcli validate: $out"

# Moved, started elsewhere: it runs in its data folder and its music plays.
mv "$tmp/a" "$tmp/b"
mkdir "$tmp/elsewhere"
(cd "$tmp/elsewhere" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$tmp/audio" \
  exec "$tmp/b/usr/games/bitrot" 2> "$tmp/err") &
pid=$!
for _ in $(seq 100); do [ -n "$(tr -d '\0' 2> /dev/null < "$tmp/audio" | head -c1)" ] && break; sleep 0.1; done
[ "$(readlink /proc/$pid/cwd)" = "$tmp/b/usr/share/games/bitrot" ] ||
  fail "the moved game runs in $(readlink /proc/$pid/cwd), not its data folder"
[ -n "$(tr -d '\0' < "$tmp/audio" | head -c1)" ] || fail "the moved game plays no music"
kill -TERM $pid && wait $pid || fail "the game did not end with status 0 on SIGTERM"
pid=

# The .deb, built by CPack into a folder of its own.
cpack --config "$build/CPackConfig.cmake" -B "$tmp/deb" > "$tmp/log" 2>&1 || { cat "$tmp/log"; fail "cpack"; }
lintdeb "$tmp"/deb/*.deb > "$tmp/lintian" 2>&1 || { cat "$tmp/lintian"; fail "lintian"; }

[ $fails -eq 0 ] && echo "install: all checks passed"
exit $((fails > 0))
