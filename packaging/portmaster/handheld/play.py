"""Boots the handheld, plays a few turns on its keyboard or its pad, grabs its
screen and ends the game as a player would."""

import os
import subprocess
import tempfile
import time

from common import fail, wait_for
from guest import guest_files
from initramfs import make_initramfs
from qmp import Qmp

# SDL 1.2 key codes, as the recording holds them.
SPACE, RETURN, ESCAPE, RIGHT, UP, LEFT, DOWN = 32, 13, 27, 275, 273, 276, 274
# The turns played: (what is pressed, the key the game sees). On the pad,
# Start starts play and A waits a turn, and both the D-pad and the stick step.
KEY_TURNS = [("spc", SPACE), ("right", RIGHT), ("down", DOWN), ("left", LEFT), ("up", UP)]
PAD_TURNS = [("start", RETURN), ("a", SPACE), ("right", RIGHT), ("down", DOWN), ("left", LEFT), ("up", UP),
             ("stick-right", RIGHT), ("stick-down", DOWN)]


def frames(rec):
    """The frame lines the recording holds so far (a line half written is not yet a frame)."""
    try:
        text = open(rec).read()
    except FileNotFoundError:
        return []
    lines = text.split("\n")[:-1]
    return [l for l in lines[1:] if not l.startswith("end ")]


class Keyboard:
    """QEMU's virtio keyboard, driven through its monitor."""

    def __init__(self, qmp):
        self.qmp = qmp

    def set(self, control, down):
        self.qmp.key(control, down)


class Pad:
    """The guest's pad program follows the lines sent to it on a virtio serial port.

    (Not a file on the 9p share: Debian 13's kernel was seen to overflow its
    stack retrying a read of a file the host had just replaced.)"""

    def __init__(self, path, timeout):
        self.sock = wait_for("the pad's serial port", timeout, lambda: Qmp._connect(path))
        self.held, self.seq = [], 0

    def set(self, control, down):
        self.held = [c for c in self.held if c != control] + ([control] if down else [])
        self.seq += 1
        self.sock.sendall(f"{self.seq} {' '.join(self.held)}\n".encode())


def qemu_command(dest, tmp, firmware, width, height, work, out, console, pad):
    """The handheld: the image in dest, its initramfs made afresh in tmp, QEMU's monitor at tmp/qmp."""
    initrd = os.path.join(tmp, "initrd")
    make_initramfs(dest, firmware.display, initrd)
    return ["qemu-system-aarch64", "-M", "virt", "-accel", "tcg", "-cpu", "cortex-a53", "-smp", "1",
            "-m", "1024", "-nodefaults", "-no-reboot", "-display", "none",
            "-kernel", os.path.join(dest, "vmlinuz"), "-initrd", initrd,
            "-append", "console=ttyAMA0 quiet panic=1",
            "-serial", f"file:{console}", "-qmp", f"unix:{os.path.join(tmp, 'qmp')},server=on,wait=off",
            "-drive", f"file={os.path.join(dest, 'root.img')},if=virtio,format=raw", "-snapshot",
            "-virtfs", f"local,path={work},mount_tag=work,security_model=none",
            "-virtfs", f"local,path={out},mount_tag=out,security_model=none",
            # The screen's size is the one mode the display offers (its EDID's).
            "-device", f"bochs-display,xres={width},yres={height},romfile=",
            "-device", "virtio-keyboard-pci",
            "-audiodev", "none,id=snd", "-device", "intel-hda", "-device", "hda-duplex,audiodev=snd",
            *(["-chardev", f"socket,id=pad,path={os.path.join(tmp, 'pad')},server=on,wait=off",
               "-device", "virtio-serial-pci", "-device", "virtserialport,chardev=pad,name=pad"] if pad else [])]


def play(args, dest, firmware, width, height):
    """Boots the handheld, plays, grabs the screen, ends the game; returns the figures."""
    out = os.path.abspath(args.out)
    os.makedirs(out, exist_ok=True)
    for n in ("rec.txt", "screen.ppm", "sound.txt", "console.txt", "log.txt", "status.txt"):
        if os.path.exists(os.path.join(out, n)):
            os.remove(os.path.join(out, n))
    rec, console = os.path.join(out, "rec.txt"), os.path.join(out, "console.txt")
    fig = {}
    with tempfile.TemporaryDirectory(prefix="handheld-") as tmp:
        work = os.path.join(tmp, "work")
        guest_files(work, args.port, args.seed, width, height, firmware, args.pad)
        cmd = qemu_command(dest, tmp, firmware, width, height, work, out, console, args.pad)
        t0 = time.monotonic()
        vm = subprocess.Popen(cmd)

        def since():
            return time.monotonic() - t0

        def guest(what, timeout, test, step=0.1):
            return wait_for(what, timeout, lambda: test() or (vm.poll() is not None and fail(
                f"{what}: the guest stopped (see {console})")), step)

        def con():
            return open(console, errors="replace").read() if os.path.exists(console) else ""

        try:
            qmp = Qmp(os.path.join(tmp, "qmp"), 30)
            controls = Pad(os.path.join(tmp, "pad"), 30) if args.pad else Keyboard(qmp)
            guest("the guest's init", 600, lambda: "handheld: init" in con())
            fig["init"] = since()
            guest("the game's first frame", 900, lambda: len(frames(rec)) >= 1)
            fig["first"] = since()
            # The title card takes no key in its first 41 frames.
            guest("the game's frame 50", 600, lambda: len(frames(rec)) >= 50)
            fig["fps"] = 49 / (since() - fig["first"])

            def hold(control, sym, down):
                """Holds or lets go of a control until a new frame has seen its key go that way."""
                n = len(frames(rec))
                controls.set(control, down)
                ev = f"{'d' if down else 'u'}{sym}"
                guest(f"a frame with {control} {'down' if down else 'up'}", 300,
                      lambda: any(ev in l.split() for l in frames(rec)[n:]))

            for control, sym in PAD_TURNS if args.pad else KEY_TURNS:
                hold(control, sym, True)
                hold(control, sym, False)
            n = len(frames(rec))
            guest("ten frames after the last turn", 300, lambda: len(frames(rec)) >= n + 10)
            # The picture changes every frame: the guest stands still while its
            # screen is grabbed and the frames it has played so far are counted.
            qmp.cmd("stop")
            qmp.cmd("screendump", filename=os.path.join(out, "screen.ppm"))
            fig["grabbed"] = len(frames(rec))
            qmp.cmd("cont")
            if args.pad:
                # PortMaster's exit hotkey: Start held, then Select.
                hold("start", RETURN, True)
                controls.set("select", True)
            else:
                controls.set("esc", True)
            guest("the launcher to end", 300, lambda: "handheld: the launcher ended" in con())
            wait_for("the guest to power off", 120, lambda: vm.poll() is not None, step=0.5)
            fig["end"] = since()
        finally:
            if vm.poll() is None:
                vm.kill()
                vm.wait()
    return fig
