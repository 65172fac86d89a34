#!/usr/bin/env bash
# Checks the PortMaster port that tools/port made:
#   tests/port/check.sh BUILD_PORT_DIR NATIVE_GAME
# - what PortMaster's own check (build_release.py --do-check, and
#   build_gameinfo.py) looks at: the folder's name, port.json, the files a
#   port must have, known genres, no file of 90 MiB or more; and the zip
#   laid out as their release script lays it out, with the same files
# - the launcher's calls, and a key map that presses none of the game's keys
#   (the game reads the pad itself: a key from gptokeyb too would be a
#   second press)
# - every ELF file: aarch64, every NEEDED bundled or part of every
#   firmware's base, and no symbol version newer than the oldest firmware
#   has: glibc 2.30, and GCC 9.1's libstdc++ and libgcc_s
# - the real launcher under a stand-in PortMaster, with the native game:
#   stopped by name as gptokeyb's exit hotkey stops it, it ends cleanly
set -uo pipefail
out=$(cd "${1:?usage: tests/port/check.sh BUILD_PORT_DIR NATIVE_GAME}" && pwd)
game=${2:?usage: tests/port/check.sh BUILD_PORT_DIR NATIVE_GAME}
port=$out/ports/bitrot
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

echo "-- layout, port.json, gameinfo.xml, the zip"
python3 - "$port" "$out/bitrot.zip" <<'EOF' || fails=$((fails + 1))
import json, pathlib, re, sys, zipfile
import xml.etree.ElementTree as ET
port, zipname = pathlib.Path(sys.argv[1]), sys.argv[2]
errors = []
def check(ok, what):
    if not ok: errors.append(what)

# PortMaster's name_cleaner: lowercase; keep a-z 0-9 space _ - .; runs of spaces
# and dots become one dot.
def clean(name):
    return re.sub(r"[ .]+", ".", re.sub(r"[^a-z0-9 _\-.]", "", name.lower()))
GENRES = {"action", "adventure", "arcade", "casino/card", "fps", "platformer", "puzzle", "racing",
          "rhythm", "rpg", "simulation", "sports", "strategy", "visual novel", "other"}

check(port.name == clean(port.name), f"folder {port.name} is not name_cleaner-clean")
info = json.loads((port / "port.json").read_text())
attr = info.get("attr", {})
check(info.get("version") == 4, "port.json: version is not 4")
check(info.get("name") == port.name + ".zip", "port.json: name is not the folder's .zip")
check(info.get("items") == ["Bitrot.sh", port.name], "port.json: items are not the launcher and the folder")
for key in ("title", "desc", "inst", "porter"):
    check(bool(attr.get(key)), f"port.json: no {key}")
check(attr.get("genres") and set(attr["genres"]) <= GENRES, f"port.json: genres {attr.get('genres')}")
check(attr.get("arch") == ["aarch64"], "port.json: arch is not [aarch64]")
check(attr.get("rtr") is True and attr.get("runtime") == [] and attr.get("reqs") == [],
      "port.json: rtr, runtime or reqs")
check(attr.get("availability") == "full", "port.json: availability is not full")

kinds = {"README.md", "port.json", "gameinfo.xml", "screenshot.png", "Bitrot.sh", port.name}
top = {p.name for p in port.iterdir()}
check(top == kinds, f"top level is {sorted(top)}, not {sorted(kinds)}")
check((port / port.name).is_dir(), f"no folder {port.name}/ inside")
for d in port.rglob("*"):
    if d.is_dir():
        check(d.name == clean(d.name), f"folder {d.relative_to(port)} is not name_cleaner-clean")
    elif d.stat().st_size >= 90 << 20:
        check(False, f"{d.relative_to(port)} is 90 MiB or more")
png = (port / "screenshot.png").read_bytes()
check(png[:8] == b"\x89PNG\r\n\x1a\n" and png[16:24] == (640).to_bytes(4, "big") + (480).to_bytes(4, "big"),
      "screenshot.png is not a 640x480 PNG")

# build_gameinfo.py's rules.
root = ET.parse(port / "gameinfo.xml").getroot()
games = list(root)
check(root.tag == "gameList" and len(games) == 1 and games[0].tag == "game", "gameinfo.xml: not one game")
tags = {t.tag: (t.text or "") for t in games[0]}
check(set(tags) <= {"path", "name", "image", "desc", "releasedate", "developer", "publisher", "genre", "players"},
      f"gameinfo.xml: unknown tags {sorted(tags)}")
check(tags.get("path") == "./Bitrot.sh" and tags.get("name"), "gameinfo.xml: path or name")
image = tags.get("image", "")
check(image.startswith("./") and "/" in image[2:] and (port / image[2:].split("/")[0]).is_dir()
      and (port / image.split("/")[-1]).is_file(), f"gameinfo.xml: image {image}")

inner = port / port.name
for f in ("bitrot.aarch64", "0.ogg", "1.ogg", "bitrot.gptk"):
    check((inner / f).is_file(), f"no {port.name}/{f}")
libs = sorted(p.name for p in (inner / "libs.aarch64").iterdir())
check(libs == ["libSDL-1.2.so.0", "libSDL_mixer-1.2.so.0", "libogg.so.0", "libvorbis.so.0", "libvorbisfile.so.3"],
      f"libs.aarch64 holds {libs}")
licences = {p.name for p in (inner / "licenses").iterdir()}
components = ("bitrot", "sdl12-compat", "SDL_mixer", "libvorbis", "libogg")
check(licences == {f"LICENSE.{c}.txt" for c in components}, f"licenses/ holds {sorted(licences)}")
for f in ("Bitrot.sh", f"{port.name}/bitrot.gptk"):
    check(b"\r" not in (port / f).read_bytes(), f"{f} has CR line ends")

# The zip: the launcher and the folder, the top-level files moved inside it.
moved = {"screenshot.png": "bitrot/screenshot.png", "README.md": "bitrot/bitrot.md",
         "port.json": "bitrot/port.json", "gameinfo.xml": "bitrot/gameinfo.xml"}
want = {moved.get(str(p.relative_to(port)), str(p.relative_to(port))): p.read_bytes()
        for p in port.rglob("*") if p.is_file()}
with zipfile.ZipFile(zipname) as z:
    got = {n: z.read(n) for n in z.namelist()}
check(sorted(got) == sorted(want), f"the zip holds {sorted(set(got) ^ set(want))} unlike the folder")
check(all(got[n] == want[n] for n in got if n in want), "a file in the zip differs from the folder's")
for e in errors:
    print("FAIL:", e)
sys.exit(1 if errors else 0)
EOF

echo "-- the launcher and the key map"
sh=$port/Bitrot.sh
bash -n "$sh" || fail "Bitrot.sh does not parse"
# The calls a PortMaster launcher makes, in this order.
calls=('source $controlfolder/control.txt' 'get_controls' 'GAMEDIR=/$directory/ports/bitrot' 'cd "$GAMEDIR"'
  'log.txt' 'LD_LIBRARY_PATH="$GAMEDIR/libs.${DEVICE_ARCH}' 'SDL_GAMECONTROLLERCONFIG="$sdl_controllerconfig"'
  '$GPTOKEYB "bitrot.${DEVICE_ARCH}" -c "$GAMEDIR/bitrot.gptk" &'
  'pm_platform_helper "$GAMEDIR/bitrot.${DEVICE_ARCH}"' './bitrot.${DEVICE_ARCH}' 'pm_finish')
at=0
for c in "${calls[@]}"; do
  n=$(grep -nF -- "$c" "$sh" | head -1 | cut -d: -f1)
  if [ -z "$n" ] || [ "$n" -lt "$at" ]; then fail "Bitrot.sh: no '$c' after line $at"; else at=$n; fi
done
# Nothing a player's launcher has no use for: the game starts with no
# arguments, and sets its own sharp scaling.
grep -nE '"\$@"|\$[*@]|SDL12COMPAT_' "$sh" | sed 's/^/FAIL: Bitrot.sh: /' | grep . && fails=$((fails + 1))
# gptokeyb presses keys for every button it is not told otherwise about
# (its defaults: Select Esc, Start and Guide Enter, the D-pad and the right
# stick arrows, hotkey+A/B/L1/R1 Enter or Esc...), so every one must be
# unassigned.
for b in back start guide a b x y l1 l2 l3 r1 r2 r3 up down left right a_hk b_hk x_hk y_hk l1_hk l2_hk \
  r1_hk r2_hk {left,right}_analog_{up,down,left,right}; do
  grep -qx "$b = \\\\\"" "$port/bitrot/bitrot.gptk" || fail "bitrot.gptk: $b is not unassigned"
done
grep -vE '^(#|$)' "$port/bitrot/bitrot.gptk" | grep -v ' = \\"$' | sed 's/^/FAIL: bitrot.gptk maps a key: /' |
  grep . && fails=$((fails + 1))

echo "-- ELF files: aarch64, needs met, no runtime newer than the oldest firmware's"
base="libc.so.6 libm.so.6 libdl.so.2 libpthread.so.0 librt.so.1 ld-linux-aarch64.so.1 libSDL2-2.0.so.0
  libstdc++.so.6 libgcc_s.so.1"
# The newest version of each runtime that the oldest firmwares have: ArkOS's
# glibc 2.30, and GCC 9.1's libstdc++ and libgcc_s.
declare -A newest=() ceiling=([GLIBC]=GLIBC_2.30 [GLIBCXX]=GLIBCXX_3.4.26 [CXXABI]=CXXABI_1.3.12 [GCC]=GCC_7.0.0)
while read -r f; do
  name=${f#"$port"/}
  readelf -h "$f" | grep -q 'Machine:.*AArch64' || fail "$name is not aarch64"
  for need in $(readelf -d "$f" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    [ -f "$port/bitrot/libs.aarch64/$need" ] || [[ " ${base//$'\n'/ } " == *" $need "* ]] ||
      fail "$name needs $need, neither bundled nor part of a firmware"
  done
  for v in $( (aarch64-linux-gnu-objdump -T "$f"; readelf -V "$f") |
    grep -oE '\b(GLIBC|GLIBCXX|CXXABI|GCC)_[0-9][0-9.]*[0-9]' | sort -u); do
    kind=${v%%_*} top=${ceiling[${v%%_*}]}
    [ "$(printf '%s\n' "$v" "$top" | sort -V | tail -1)" = "$top" ] || fail "$name needs $v, newer than $top"
    newest[$kind]=$(printf '%s\n' "$v" ${newest[$kind]:-} | sort -V | tail -1)
  done
done < <(find "$port" -type f -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
echo "newest versions asked for: ${newest[*]}"
for banned in libSDL2 libc.so libGL libEGL libstdc++ libgcc_s; do
  compgen -G "$port/bitrot/libs.aarch64/$banned*" >/dev/null && fail "libs.aarch64 bundles $banned"
done

echo "-- the launcher under a stand-in PortMaster: stopped by the exit hotkey's kill"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/share/PortMaster" "$work/roms/ports"
cp -r "$port/bitrot" "$work/roms/ports/bitrot"
cp "$port/Bitrot.sh" "$work/roms/ports/"
cp "$game" "$work/roms/ports/bitrot/bitrot.x86_64"
# What PortMaster's control.txt gives a launcher, pared down: the folders,
# the architecture, the pad's layout, and gptokeyb and the helpers writing
# down that they ran.
cat >"$work/share/PortMaster/control.txt" <<EOF
directory=${work#/}/roms
DEVICE_ARCH=x86_64
get_controls() { sdl_controllerconfig="03000000,stand-in pad,a:b0,platform:Linux,"; }
GPTOKEYB="echo gptokeyb"
pm_platform_helper() { echo "helper \$1"; }
pm_finish() { echo "finished \$?"; }
EOF
# Through a pipe, read until every writer is gone (the launcher and its tee).
mkfifo "$work/pipe"
cat "$work/pipe" >"$work/out.txt" &
reader=$!
(
  cd "$work" && HOME=$work XDG_DATA_HOME=$work/share SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    exec bash "$work/roms/ports/Bitrot.sh" >"$work/pipe" 2>&1
) &
launcher=$!
bin=$work/roms/ports/bitrot/bitrot.x86_64
pid=""
for _ in $(seq 100); do
  pid=$(pgrep -P "$launcher" -x bitrot.x86_64)
  [ -n "$pid" ] && break
  sleep 0.1
done
if [ -z "$pid" ]; then
  fail "the game did not start under the launcher: $(cat "$work/out.txt")"
  kill "$launcher"
else
  tr '\0' '\n' <"/proc/$pid/environ" >"$work/env.txt"
  [ "$(readlink "/proc/$pid/cwd")" = "$work/roms/ports/bitrot" ] || fail "the game does not run in its folder"
  grep -qx "LD_LIBRARY_PATH=$work/roms/ports/bitrot/libs.x86_64:.*" "$work/env.txt" || fail "LD_LIBRARY_PATH"
  grep -qx 'SDL_GAMECONTROLLERCONFIG=03000000,stand-in pad,.*' "$work/env.txt" || fail "SDL_GAMECONTROLLERCONFIG"
  # gptokeyb's kill: SIGTERM to the program by name, SIGKILL 3 s later. A
  # player presses the hotkey at a game that has started; here it waits until
  # the game takes SIGTERM (bit 14 of SigCgt), or a slow start would kill it.
  caught=""
  for _ in $(seq 200); do
    mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$pid/status" 2>/dev/null)
    [ -n "$mask" ] && (((0x$mask >> 14) & 1)) && caught=1 && break
    sleep 0.05
  done
  [ -n "$caught" ] || fail "the game set no SIGTERM handler within 10 s of starting"
  kill -TERM "$pid"
  for _ in $(seq 100); do kill -0 "$launcher" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$launcher" 2>/dev/null; then
    fail "the launcher was still running 10 s after SIGTERM"
    kill -KILL "$pid" "$launcher" 2>/dev/null
  fi
fi
wait "$launcher"
echo "launcher: status $?"
wait "$reader"
grep -qx 'gptokeyb bitrot.x86_64 -c .*/roms/ports/bitrot/bitrot.gptk' "$work/out.txt" || fail "gptokeyb not started"
grep -qx "helper $bin" "$work/out.txt" || fail "pm_platform_helper not called with the game"
# pm_finish runs last, right after the game, whose status it sees.
tail -1 "$work/out.txt" | grep -qx 'finished 0' || fail "the game's end: $(tail -3 "$work/out.txt")"
cmp -s "$work/out.txt" "$work/roms/ports/bitrot/log.txt" || fail "log.txt is not what the launcher printed"

[ "$fails" -eq 0 ] && echo "port: all checks passed" || { echo "port: $fails check(s) failed"; exit 1; }
