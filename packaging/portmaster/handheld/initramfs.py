"""The handheld's initramfs: busybox, the modules the guest loads before its
root, and the first stage's init, packed by cpio."""

import lzma
import os
import shutil
import subprocess

from common import fail

HERE = os.path.dirname(os.path.abspath(__file__))
# The disk and its file system, the 9p shares, the display (its module named
# by the firmware), the sound card, the keyboard, and the pad with the serial
# port it follows.
MODULES = ["virtio_pci", "virtio_blk", "crc32c_generic", "ext4", "9pnet_virtio", "9p", None,
           "snd-hda-codec-generic", "snd-hda-intel", "virtio_input", "evdev", "uinput",
           "virtio_console"]


def module_files(kernel, display):
    """The .ko files to load, each after what it depends on, as modprobe orders them."""
    release = os.listdir(os.path.join(kernel, "lib/modules"))[0]
    order = []
    for name in MODULES:
        r = subprocess.run(["modprobe", "--show-depends", "-d", kernel, "-S", release, name or display],
                           capture_output=True, text=True)
        if r.returncode != 0:
            fail(f"no module {name or display} in the kernel's package: {r.stderr.strip()}")
        for line in r.stdout.splitlines():
            words = line.split()
            if words[0] == "insmod" and words[1] not in order:
                order.append(words[1])
    return order


def make_initramfs(dest, display, out):
    """Writes the initramfs for the image in dest to out."""
    stage = out + ".d"
    shutil.rmtree(stage, ignore_errors=True)
    for d in ("bin", "dev", "proc", "sys", "m"):
        os.makedirs(os.path.join(stage, d))
    # Newer packages put it under /usr.
    busybox = [p for p in ("bin/busybox", "usr/bin/busybox") if os.path.exists(os.path.join(dest, "busybox", p))]
    if not busybox:
        fail("no busybox in busybox-static's package")
    shutil.copy(os.path.join(dest, "busybox", busybox[0]), os.path.join(stage, "bin/busybox"))
    shutil.copy(os.path.join(HERE, "guest/initramfs-init"), os.path.join(stage, "init"))
    os.chmod(os.path.join(stage, "init"), 0o755)
    names = []
    for i, path in enumerate(module_files(os.path.join(dest, "kernel"), display)):
        # busybox's insmod takes modules as they are; newer kernels pack theirs.
        base = os.path.basename(path)
        name = f"m/{i:02d}-{base[:-3] if base.endswith('.xz') else base}"
        with open(os.path.join(stage, name), "wb") as f:
            f.write(lzma.open(path).read() if path.endswith(".xz") else open(path, "rb").read())
        names.append(name)
    with open(os.path.join(stage, "modules"), "w") as f:
        f.write("\n".join(names) + "\n")
    files = subprocess.run(["find", "."], cwd=stage, capture_output=True, check=True).stdout
    with open(out, "wb") as f:
        subprocess.run(["cpio", "--quiet", "-o", "-H", "newc", "-R", "0:0"], cwd=stage, input=files,
                       stdout=f, check=True)
    shutil.rmtree(stage)
