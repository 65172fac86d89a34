"""The files the guest finds on its "work" share: its init, the port installed
as PortMaster installs one, a stand-in PortMaster control folder, and the
pad and gptokeyb programs, built here for aarch64."""

import os
import shutil
import string
import subprocess

from common import fail

HERE = os.path.dirname(os.path.abspath(__file__))
GUEST = os.path.join(HERE, "guest")


def copy(name, to, mode=0o644, **fields):
    """Copies guest/name to to, filling in ${fields} when given."""
    os.makedirs(os.path.dirname(to), exist_ok=True)
    text = open(os.path.join(GUEST, name)).read()
    if fields:
        text = string.Template(text).substitute(fields)
    with open(to, "w") as f:
        f.write(text)
    os.chmod(to, mode)


def build(name, out):
    """Builds guest/name.c as a static aarch64 program."""
    try:
        r = subprocess.run(["aarch64-linux-gnu-gcc", "-static", "-O2", "-Wall", "-Wextra", "-o", out,
                            os.path.join(GUEST, name + ".c")], capture_output=True, text=True)
    except FileNotFoundError:
        fail(f"building guest/{name}.c: no aarch64-linux-gnu-gcc (gcc-aarch64-linux-gnu)")
    if r.returncode != 0 or r.stderr:
        fail(f"building guest/{name}.c for aarch64: {r.stderr.strip()}")


def guest_files(work, port, seed, width, height, firmware, pad):
    copy("init", os.path.join(work, "init"), 0o755)
    with open(os.path.join(work, "args"), "w") as f:
        f.write(f"--seed {seed} --record /mnt/out/rec.txt\n")
    with open(os.path.join(work, "firmware.env"), "w") as f:
        f.write(firmware.env)
    # Installed as PortMaster installs a port: the launcher and the game's folder side by side.
    ports = os.path.join(work, "roms/ports")
    shutil.copytree(os.path.join(port, "bitrot"), os.path.join(ports, "bitrot"))
    shutil.copy(os.path.join(port, "Bitrot.sh"), os.path.join(ports, "Bitrot.sh"))
    # The game itself moves out, beside its music, and a wrapper of its name
    # takes its place: the seed and the recording reach it that way.
    game = os.path.join(work, "game")
    os.makedirs(game)
    for n in ("bitrot.aarch64", "0.ogg", "1.ogg"):
        shutil.copy(os.path.join(ports, "bitrot", n), os.path.join(game, n))
    copy("bitrot.aarch64", os.path.join(ports, "bitrot/bitrot.aarch64"), 0o755)
    pm = os.path.join(ports, "PortMaster")
    for n in ("control.txt", "funcs.txt", "gamecontrollerdb.txt"):
        copy(n, os.path.join(pm, n))
    g = next(d for d in range(min(width, height), 0, -1) if width % d == 0 and height % d == 0)
    copy("device_info.txt", os.path.join(pm, "device_info.txt"),
         width=width, height=height, aspect_x=width // g, aspect_y=height // g)
    build("gptokeyb", os.path.join(pm, "gptokeyb"))
    os.makedirs(os.path.join(work, "bin"))
    build("norepeat", os.path.join(work, "bin/norepeat"))
    if pad:
        build("pad", os.path.join(work, "bin/pad"))
