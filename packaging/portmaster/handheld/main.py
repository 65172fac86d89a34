"""tools/handheld-vm's command line: the image, the run, the checks."""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

from check import check
from common import fail, say
from image import FIRMWARES, build_image
from play import play

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))


def screen(text):
    m = re.fullmatch(r"(\d+)x(\d+)", text)
    if not m or not (320 <= int(m.group(1)) <= 4096 and 240 <= int(m.group(2)) <= 4096):
        raise argparse.ArgumentTypeError(f"{text}: a size such as 640x480, at least 320x240")
    return int(m.group(1)), int(m.group(2))


def main(doc):
    # A kill of this script still ends the guest (the finally clauses run).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("handheld-vm: FAILED: killed"))
    ap = argparse.ArgumentParser(description=doc.split("\n")[0])
    ap.add_argument("--cache", default="/var/cache/bitrot/handheld")
    ap.add_argument("--build-only", action="store_true", help="make the image, and play nothing")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--out")
    ap.add_argument("--screen", type=screen, default=(640, 480), help="the screen's size (640x480)")
    ap.add_argument("--firmware", choices=sorted(FIRMWARES), default="old",
                    help="old: Debian 11's kernel, SDL 2.0.14 and mesa; new: Debian 13's")
    ap.add_argument("--pad", action="store_true", help="play on the handheld's built-in pad, not keys")
    ap.add_argument("--port", default=os.path.join(ROOT, "build-port/ports/bitrot"),
                    help="the port as built, Bitrot.sh and its folder (build-port/ports/bitrot)")
    ap.add_argument("--replay", default=os.path.join(ROOT, "build-port/host/bitrot-replay"),
                    help="this machine's bitrot-replay (tools/port builds it)")
    args = ap.parse_args()
    if not args.build_only and not args.out:
        ap.error("--out DIR is needed")
    if not args.build_only:
        for need in (args.replay, os.path.join(args.port, "Bitrot.sh")):
            if not os.path.exists(need):
                fail(f"no {need}: run tools/port first")
    # The packages, and the Debian mirror this machine's apt uses (so a local
    # mirror, a package cache or a proxy serves the image too), as tools/lib.sh
    # gives them to the other scripts.
    subprocess.run(["bash", "-c", '. "$0/tools/lib.sh" && need_packages "${handheld_packages[@]}"', ROOT],
                   check=True)
    mirror = subprocess.run(["bash", "-c", '. "$0/tools/lib.sh" && debian_mirror', ROOT], stdout=subprocess.PIPE,
                            text=True).stdout.strip()
    if not mirror:
        fail("no Debian mirror in this machine's apt sources")
    t0 = time.monotonic()
    dest, made = build_image(args.cache, args.firmware, mirror)
    say(f"image {dest}: {'made' if made else 'kept'} in {time.monotonic() - t0:.0f} s")
    versions = open(os.path.join(dest, "versions.txt")).read()
    for pkg in ("linux-image-[0-9][^ ]*", "libsdl2-2.0-0", "libgl1-mesa-dri"):
        m = re.search(rf"^({pkg}) (\S+)", versions, re.M)
        say(f"firmware {args.firmware}: {m.group(1)} {m.group(2)}" if m else f"firmware: no {pkg}")
    if args.build_only:
        return
    width, height = args.screen
    fig = play(args, dest, FIRMWARES[args.firmware], width, height)
    say(f"boot to init {fig['init']:.1f} s, to the game's first frame {fig['first']:.1f} s, "
        f"{fig['fps']:.1f} frames a second, ended after {fig['end']:.1f} s")
    if not check(args, fig, width, height):
        sys.exit(1)
    say("all matched")
