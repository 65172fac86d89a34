"""The handheld's disk: a firmware generation's Debian root, made once and kept."""

import hashlib
import json
import os
import re
import shutil
import subprocess

from common import fail, run, say

# What a handheld's firmware gives a port: SDL 2 with KMSDRM (mesa's GBM and
# EGL, with its software driver for a display that has no GPU of its own, and
# libGL, without which SDL 2.0.14's KMSDRM can't make a window), ALSA, udev to
# find the keyboard and the pad. busybox-static makes the initramfs; the
# kernel's modules come from its package.
COMMON = ["linux-image-arm64", "busybox-static", "kmod", "udev", "libsdl2-2.0-0", "libgl1-mesa-dri",
          "libgl1", "libegl1", "libegl-mesa0", "libgbm1", "libgles2", "alsa-utils"]


class Firmware:
    def __init__(self, suite, packages, display, env):
        self.suite, self.packages, self.display, self.env = suite, packages, display, env


# old: the oldest firmwares' SDL 2.0.14 (Debian 11); new: a current SDL 2,
# kernel and mesa, as the newer firmwares carry (Debian 13, whose ALSA
# library took a new name in the 64-bit time change). The display's driver
# took a new name in between (bochs-drm, then bochs).
FIRMWARES = {
    # SDL 2.0.14 tries its atomic KMSDRM driver first, and on this display it
    # dies in SDL_CreateWindow (SIGSEGV in its clean-up of the window it
    # failed to make); its older driver draws. A firmware chooses its SDL's
    # driver so. Later SDLs have the one KMSDRM driver, which draws.
    "old": Firmware("bullseye", COMMON + ["libasound2"], "bochs-drm", "export SDL_VIDEODRIVER=KMSDRM_LEGACY\n"),
    "new": Firmware("trixie", COMMON + ["libasound2t64"], "bochs", ""),
}
IMAGE_VERSION = "3"  # bump when the image's making changes


def image_dir(cache, firmware):
    suite, packages = FIRMWARES[firmware].suite, FIRMWARES[firmware].packages
    key = hashlib.sha256(json.dumps([suite, packages, IMAGE_VERSION]).encode()).hexdigest()[:16]
    return os.path.join(cache, f"{suite}-{key}")


def build_image(cache, firmware, mirror):
    """The root image, made once and kept in cache; returns its folder and whether it was made now.

    debootstrap's first stage fetches the packages and unpacks the essential
    ones; the rest are unpacked here. Their maintainer scripts never run: that
    takes arm64 programs, which qemu-user runs only when registered with the
    kernel's binfmt_misc (not ours to change on a shared machine), and the
    emulated machine itself took over 25 minutes for the essential packages
    alone. A root that only runs the game as root needs none of what they do
    (users, the linker's cache, udev's hardware database).
    """
    suite, packages = FIRMWARES[firmware].suite, FIRMWARES[firmware].packages
    dest = image_dir(cache, firmware)
    if os.path.exists(os.path.join(dest, "done")):
        return dest, False
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(dest)
    root = os.path.join(dest, "root")
    say(f"making the {suite} arm64 root in {dest} (once)")
    with open(os.path.join(dest, "debootstrap.log"), "w") as log:
        try:
            run(["debootstrap", "--foreign", "--arch=arm64", "--variant=minbase",
                 "--include=" + ",".join(packages), suite, root, mirror], stdout=log, stderr=log)
        except subprocess.CalledProcessError:
            fail(f"debootstrap's first stage (see {log.name})")
    archives = os.path.join(root, "var/cache/apt/archives")
    debs = sorted(n for n in os.listdir(archives) if n.endswith(".deb"))
    for n in debs:
        run(["dpkg-deb", "-x", os.path.join(archives, n), root])
    for n in ("passwd", "group"):
        shutil.copy(os.path.join(root, f"usr/share/base-passwd/{n}.master"), os.path.join(root, "etc", n))
    for pattern, sub in ((r"linux-image-\d.*\.deb", "kernel"), (r"busybox-static_.*\.deb", "busybox")):
        deb = [n for n in debs if re.fullmatch(pattern, n)]
        if len(deb) != 1:
            fail(f"debootstrap fetched {len(deb)} packages like {pattern}")
        run(["dpkg-deb", "-x", os.path.join(archives, deb[0]), os.path.join(dest, sub)])
    kernel = os.path.join(dest, "kernel")
    vmlinuz = [n for n in os.listdir(os.path.join(kernel, "boot")) if n.startswith("vmlinuz")][0]
    shutil.copy(os.path.join(kernel, "boot", vmlinuz), os.path.join(dest, "vmlinuz"))
    # The modules' dependencies, for modprobe --show-depends when the
    # initramfs is made; newer kernels keep their modules under /usr, where
    # an older depmod doesn't look.
    if not os.path.exists(os.path.join(kernel, "lib/modules")):
        os.symlink("usr/lib", os.path.join(kernel, "lib"))
    for release in os.listdir(os.path.join(kernel, "lib/modules")):
        run(["depmod", "-b", kernel, release])
    # What the image holds, for the record of each run.
    with open(os.path.join(dest, "versions.txt"), "w") as f:
        f.write(f"suite {suite}\n" + "".join(n[:-4].replace("_", " ", 2) + "\n" for n in debs))
    # The guest loads its modules from the initramfs; the root needs neither
    # them nor the packages' files.
    for mods in ("lib/modules", "usr/lib/modules"):
        if not os.path.islink(os.path.join(root, mods)):
            shutil.rmtree(os.path.join(root, mods), ignore_errors=True)
    for n in debs:
        os.remove(os.path.join(archives, n))
    run(["mke2fs", "-q", "-t", "ext4", "-L", "root", "-d", root, os.path.join(dest, "root.img"), "2G"],
        stdout=subprocess.DEVNULL)
    shutil.rmtree(root)
    open(os.path.join(dest, "done"), "w").close()
    return dest, True
