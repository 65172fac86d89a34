#!/usr/bin/env python3
"""Reads the game's window back from the X server and compares it with what
the world image says it should show.

The screen is 80x60 blocks of 4x4 pixels; pixel (1, 1) of a block is always
its bright shade, or the flat dark shade where the decay dimmed it. Each block
is compared with the palette colour it should have, at the screen's 5/6/5-bit
precision, allowing for the palette drift. Blocks the
decay dimmed, blanked or smeared simply fail to match, so a check asks for a
share of matching blocks rather than all of them.

Commands (WORLD is the image from `bitrot-replay --dump-world`):
  wait WORLD WID SCENE [--timeout S]   poll until the window shows SCENE
  keep WORLD WID SCENE --for S         the window shows SCENE all that time
  glide WORLD WID FROM TO [--timeout S] [--ready FILE]
                                       the view glides from scene FROM to TO;
                                       FILE is made once watching has begun
  shot WID OUT.png [--scale N]         save the window as a PNG
  wall WORLD C R                       status 0 when cell (C, R) is a wall
A SCENE is "title", or "view:X,Y" followed by ":C,R,V" for every occupied
cell (column, row, cell value) that may be in view, e.g.
  view:32,138:9,21,1:5,23,6
Exit status 0 when the check holds, 1 with a reason on stderr when not.
"""
import struct
import subprocess
import sys
import time
import zlib

W, H = 80, 60

# The base palette at the screen's precision: (red 0-31, green 0-63, blue 0-31).
BASE = [0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
        0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF]
PAL = [((c >> 19) & 31, (c >> 10) & 63, (c >> 3) & 31) for c in BASE]

# Drift moves one channel of one colour by one step per frame, so every block
# of one colour shows the same drifted shade. Each colour's shade is taken
# from the screen itself (the commonest colour among the blocks that should
# show it) and must lie within DRIFT steps of the base colour (in a minute a
# channel wanders up to about 10 steps); blocks then match when within MATCH
# steps of that shade.
DRIFT = (12, 24, 12)
MATCH = (1, 2, 1)
# Share of all blocks that must match, and of the blocks of each figure's cell.
# The decay touches one block per frame at most, and most of its codes are
# inert, so in the half minute of a test well under 5 % of blocks go astray;
# a view one pixel off still matches 85-92 % of them, so the bar sits above.
FRAME_SHARE = 0.95
CELL_SHARE = 0.85


def grab(wid):
    """Dumps the window; returns (width, height, pixel) where pixel(x, y) is
    its (r, g, b) colour at 8 bits per channel."""
    data = subprocess.run(["xwd", "-silent", "-id", str(wid)], check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
    f = struct.unpack(">25I", data[:100])
    hsize, fmt, depth, w, h = f[0], f[2], f[3], f[4], f[5]
    order, bpp, bpl = f[7], f[11], f[12]
    masks, ncolors = f[14:17], f[19]
    if fmt != 2 or bpp not in (24, 32) or depth < 15:
        raise RuntimeError(f"unexpected xwd image: format {fmt}, depth {depth}, {bpp} bits per pixel")
    pix = data[hsize + 12 * ncolors:]
    if len(pix) < bpl * h:
        raise RuntimeError("short xwd image")
    step = bpp // 8
    endian = "little" if order == 0 else "big"
    chans = []
    for m in masks:
        s = (m & -m).bit_length() - 1
        chans.append((s, m >> s))

    def pixel(x, y):
        i = y * bpl + x * step
        v = int.from_bytes(pix[i:i + step], endian)
        return tuple(((v >> s) & mk) * 255 // mk for s, mk in chans)
    return w, h, pixel


def blocks(wid):
    """The bright pixel of every 4x4 block, at 5/6/5-bit precision."""
    w, h, pixel = grab(wid)
    if (w, h) != (4 * W, 4 * H):
        raise RuntimeError(f"window is {w}x{h}, not {4 * W}x{4 * H}")
    return [[tuple(v >> k for v, k in zip(pixel(4 * x + 1, 4 * y + 1), (3, 2, 3))) for x in range(W)]
            for y in range(H)]


def load_world(path):
    data = open(path, "rb").read()
    if len(data) != 1024 * 1024:
        raise RuntimeError(f"{path} is {len(data)} bytes, not a 1024x1024 world image")
    return data


def walls(world):
    """Cells with any pixel of wall material (index 8 or more)."""
    wall = set()
    for y in range(1024):
        row = world[y * 1024:(y + 1) * 1024]
        for x in range(0, 1024, 8):
            if max(row[x:x + 8]) >= 8:
                wall.add((x // 8, y // 8))
    return wall


def expect(world, camx, camy, cells, phase):
    """What the view at (camx, camy) draws, as palette indices, before decay."""
    out = []
    for r in range(H):
        y = camy + r
        row = []
        for c in range(W):
            x = camx + c
            if not (0 <= x < 1024 and 0 <= y < 1024):
                row.append(15)
                continue
            v = cells.get((x // 8, y // 8), 0)
            if v:
                p = 2 * (v - 1) + phase
                row.append(world[(8 + y % 8) * 1024 + 8 * p + x % 8])
            else:
                row.append(world[y * 1024 + x])
        out.append(row)
    return out


def within(a, b, tol):
    return all(abs(x - y) <= t for x, y, t in zip(a, b, tol))


def shades(shot, view):
    """Each palette index's shade on screen, as drift has left it, or its
    base colour when the blocks that should show it disagree with it."""
    seen = {}
    for r in range(H):
        for c in range(W):
            seen.setdefault(view[r][c], {}).setdefault(shot[r][c], 0)
            seen[view[r][c]][shot[r][c]] += 1
    out = {}
    for idx, counts in seen.items():
        common = max(counts, key=counts.get)
        out[idx] = common if within(common, PAL[idx], DRIFT) else PAL[idx]
    return out


class Scene:
    """A view position and the occupied cells it shows. `regions` are the
    cells whose blocks are checked on their own: a figure is 64 of the 4800
    blocks, too few to show in the whole-frame share."""

    def __init__(self, world, text):
        self.text = text
        self.cells = {}
        if text == "title":
            self.cam = (0, 964)
        elif text.startswith("view:"):
            parts = text[5:].split(":")
            self.cam = tuple(int(v) for v in parts[0].split(","))
            for p in parts[1:]:
                c, r, v = (int(t) for t in p.split(","))
                self.cells[(c, r)] = v
        else:
            raise ValueError(f"unknown scene {text!r}")
        self.regions = list(self.cells)
        self.views = [expect(world, *self.cam, self.cells, f) for f in (0, 1)]

    def variant(self, world, text, cam, cells):
        s = Scene.__new__(Scene)
        s.text, s.cam, s.cells, s.regions = text, cam, cells, self.regions
        s.views = [expect(world, *cam, cells, f) for f in (0, 1)]
        return s

    def score(self, shot):
        """(whole-frame share, worst share of a checked cell, phase, note) for
        the better of the two animation phases."""
        best = None
        for f, view in enumerate(self.views):
            ref = shades(shot, view)
            ok = [[within(shot[r][c], ref[view[r][c]], MATCH) for c in range(W)] for r in range(H)]
            whole = sum(map(sum, ok)) / (W * H)
            worst, note = 1.0, ""
            for (cc, cr) in self.regions:
                x0, y0 = 8 * cc - self.cam[0], 8 * cr - self.cam[1]
                inview = [(x, y) for y in range(y0, y0 + 8) for x in range(x0, x0 + 8)
                          if 0 <= x < W and 0 <= y < H]
                if not inview:
                    continue
                share = sum(ok[y][x] for x, y in inview) / len(inview)
                if share < worst:
                    worst, note = share, f"cell ({cc},{cr}) at view ({x0},{y0})"
            cand = (min(whole, worst), whole, worst, f, note)
            if best is None or cand[:3] > best[:3]:
                best = cand
        return best[1:]

    def holds(self, res):
        return res[0] >= FRAME_SHARE and res[1] >= CELL_SHARE

    def rivals(self, world):
        """The same scene one pixel off on each axis, and without its figures:
        a screen that passes for one of these as well proves nothing."""
        x, y = self.cam
        out = [self.variant(world, f"view:{x + dx},{y + dy}", (x + dx, y + dy), self.cells)
               for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))]
        if self.cells:
            out.append(self.variant(world, self.text + " without its figures", self.cam, {}))
        return out


def describe(scene, res):
    whole, worst, f, note = res
    s = f"{scene.text}: {whole:.1%} of blocks match (phase {f})"
    if scene.regions:
        s += f", worst figure cell {worst:.1%}" + (f" ({note})" if note else "")
    return s


def cmd_wait(world, wid, scene, timeout):
    end = time.monotonic() + timeout
    while True:
        shot = blocks(wid)
        res = scene.score(shot)
        if scene.holds(res):
            for r in scene.rivals(world):
                rres = r.score(shot)
                if r.holds(rres):
                    print(f"the screen passes for {scene.text} and for " + describe(r, rres), file=sys.stderr)
                    return 1
            print("seen " + describe(scene, res))
            return 0
        if time.monotonic() > end:
            print(f"not seen within {timeout:g} s; last screen: " + describe(scene, res), file=sys.stderr)
            return 1
        time.sleep(0.1)


def nearest(colour):
    return min(range(16), key=lambda i: sum((x - y) ** 2 for x, y in zip(colour, PAL[i])))


def cmd_glide(world, wid, start, goal, timeout, ready):
    """Follows the view from the scene `start` to the scene `goal`, one pixel
    per axis per frame, the figures already where `goal` has them. Every
    screen caught on the way must show a view on that path, in order, at
    least one of them between the ends, and the last one the goal."""
    path = [start.cam]
    x, y = start.cam
    while (x, y) != goal.cam:
        x += (goal.cam[0] > x) - (goal.cam[0] < x)
        y += (goal.cam[1] > y) - (goal.cam[1] < y)
        path.append((x, y))
    # Each screen is placed by plain palette indices, which is quick; the goal
    # then gets the full check.
    cands = []
    for i, cam in enumerate(path):
        cells = start.cells if i == 0 else goal.cells
        for f in (0, 1):
            view = expect(world, *cam, cells, f)
            cands.append((i, [v for row in view for v in row]))
    cache = {}

    def index(px):
        if px not in cache:
            cache[px] = nearest(px)
        return cache[px]
    seen, shots = [], 0
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        shot = blocks(wid)
        shots += 1
        if shots == 1 and ready:
            open(ready, "w").close()
        flat = [index(px) for row in shot for px in row]
        i, share = max(((i, sum(a == b for a, b in zip(flat, exp)) / (W * H)) for i, exp in cands),
                       key=lambda t: t[1])
        if share < 0.9:
            print(f"screen {shots} shows no view on the way from {path[0]} to {path[-1]}: "
                  f"best {path[i]} with {share:.1%}", file=sys.stderr)
            return 1
        if not seen or seen[-1] != i:
            seen.append(i)
        if i == len(path) - 1 and goal.holds(goal.score(shot)):
            break
    names = " ".join(f"{path[i][0]},{path[i][1]}" for i in seen)
    if not seen or seen[-1] != len(path) - 1:
        print(f"the view never reached {path[-1]}; views seen: {names}", file=sys.stderr)
        return 1
    if seen != sorted(seen):
        print(f"the view went back and forth: {names}", file=sys.stderr)
        return 1
    if not any(0 < i < len(path) - 1 for i in seen):
        print(f"the view jumped instead of gliding: {names}", file=sys.stderr)
        return 1
    print(f"glided over {len(path) - 1} frames; views seen: {names}")
    return cmd_wait(world, wid, goal, 2)


def cmd_keep(wid, scene, seconds):
    end = time.monotonic() + seconds
    n = 0
    while True:
        res = scene.score(blocks(wid))
        n += 1
        if not scene.holds(res):
            print(f"after {n} screens: " + describe(scene, res), file=sys.stderr)
            return 1
        if time.monotonic() > end:
            break
        time.sleep(0.1)
    print(f"kept over {n} screens; last " + describe(scene, res))
    return 0


def write_png(path, rows, scale):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    for row in rows:
        line = bytearray(b"\0")
        for px in row:
            line += bytes(px) * scale
        raw += line * scale

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w * scale, h * scale, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


def option(args, name, default):
    if name in args:
        i = args.index(name)
        return float(args[i + 1])
    return default


def main(argv):
    if len(argv) >= 3 and argv[0] == "shot":
        w, h, pixel = grab(argv[1])
        rows = [[pixel(x, y) for x in range(w)] for y in range(h)]
        write_png(argv[2], rows, int(option(argv, "--scale", 1)))
        return 0
    if len(argv) >= 4 and argv[0] in ("wait", "keep"):
        world = load_world(argv[1])
        scene = Scene(world, argv[3])
        if argv[0] == "wait":
            return cmd_wait(world, argv[2], scene, option(argv, "--timeout", 10))
        return cmd_keep(argv[2], scene, option(argv, "--for", 2))
    if len(argv) >= 5 and argv[0] == "glide":
        world = load_world(argv[1])
        return cmd_glide(world, argv[2], Scene(world, argv[3]), Scene(world, argv[4]),
                         option(argv, "--timeout", 10),
                         argv[argv.index("--ready") + 1] if "--ready" in argv else None)
    if len(argv) == 4 and argv[0] == "wall":
        return 0 if (int(argv[2]), int(argv[3])) in walls(load_world(argv[1])) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
