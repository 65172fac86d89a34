"""What a run must show: the recording plays to its end line, the grabbed
screen is the replay's picture of one of its frames, placed and scaled as the
game places it, and the sound ran."""

import os
import re
import subprocess
import tempfile

from common import run, say
from play import frames


def read_ppm(path):
    """(width, height, RGB bytes) of a binary PPM with 8-bit samples."""
    data = open(path, "rb").read()
    m = re.match(rb"P6\s+(?:#[^\n]*\n\s*)*(\d+)\s+(\d+)\s+255\s", data)
    if not m:
        raise ValueError(f"{path}: not an 8-bit binary PPM")
    w, h = int(m.group(1)), int(m.group(2))
    return w, h, data[m.end():m.end() + 3 * w * h]


def placed(picture, width, height):
    """The screen the game shows: its picture at the largest whole multiple that fits, centred on black."""
    pw, ph, px = picture
    s = max(1, min(width // pw, height // ph))
    x0, y0 = (width - pw * s) // 2, (height - ph * s) // 2
    black = bytes(3 * width)
    rows = []
    for y in range(ph):
        src = px[3 * pw * y:3 * pw * (y + 1)]
        row = b"".join(src[3 * i:3 * i + 3] * s for i in range(pw))
        rows += [black[:3 * x0] + row + black[:3 * (width - x0 - pw * s)]] * s
    return black * y0 + b"".join(rows) + black * (height - y0 - ph * s)


def differing(a, b):
    """How many pixels of two equal-sized RGB images differ."""
    if a == b:
        return 0
    return sum(a[i:i + 3] != b[i:i + 3] for i in range(0, len(a), 3))


def replay_picture(replay, rec, upto, tmp):
    """bitrot-replay's picture after the recording's first upto frames."""
    lines = open(rec).read().split("\n")
    trace, ppm = os.path.join(tmp, "trace.txt"), os.path.join(tmp, "frame.ppm")
    with open(trace, "w") as f:
        f.write("\n".join(lines[:1 + upto]) + "\n")
    run([replay, "--last", "--screen", ppm, trace], stdout=subprocess.DEVNULL)
    return read_ppm(ppm)


def check(args, fig, width, height):
    out = os.path.abspath(args.out)
    rec = os.path.join(out, "rec.txt")
    ok = True
    r = subprocess.run([args.replay, "--last", rec], capture_output=True, text=True)
    said = r.stderr.strip()
    say(f"recording: {len(frames(rec))} frames; bitrot-replay: {said}")
    if r.returncode != 0 or "the last frame matches the end line" not in said:
        ok = False
        say("FAILED: the recording does not match")
    gw, gh, grab = read_ppm(os.path.join(out, "screen.ppm"))
    if (gw, gh) != (width, height):
        ok = False
        say(f"FAILED: the grab is {gw}x{gh}, not the screen's {width}x{height}")
    matched = None
    with tempfile.TemporaryDirectory(prefix="handheld-") as tmp:
        # The frame on screen may be one whose line was not yet written when
        # the guest stopped, or a frame or two behind the last line written.
        for upto in range(fig["grabbed"] + 1, fig["grabbed"] - 4, -1):
            n = differing(placed(replay_picture(args.replay, rec, upto, tmp), gw, gh), grab)
            say(f"screen: frame {upto} of the recording: {n} pixels differ")
            if n == 0:
                matched = upto
                break
    if matched is None:
        ok = False
        say("FAILED: the grabbed screen is none of those frames' pictures")
    else:
        say(f"screen: the grab is frame {matched}; the recording held {fig['grabbed']} frames then")
    sound = os.path.join(out, "sound.txt")
    if os.path.exists(sound):
        text = open(sound).read()
        say("sound: the playback stream was running: " + ", ".join(
            l.strip() for l in text.splitlines() if l.split(":")[0] in ("state", "rate", "format", "channels")))
    else:
        ok = False
        say("FAILED: the guest's playback stream never ran")
    return check_end(args, out, rec) and ok


def check_end(args, out, rec):
    """The game's status, and on the pad, that the exit hotkey's SIGTERM ended it."""
    status = open(os.path.join(out, "status.txt")).read().strip() if os.path.exists(
        os.path.join(out, "status.txt")) else "unknown"
    say(f"the game ended with status {status}")
    ok = status == "0"
    if args.pad:
        log = open(os.path.join(out, "log.txt"), errors="replace").read() if os.path.exists(
            os.path.join(out, "log.txt")) else ""
        sent = [l for l in log.splitlines() if "SIGTERM to" in l]
        last = (frames(rec) or [""])[-1].split()
        say(f"exit hotkey: {sent[0] if sent else 'no SIGTERM sent'}; the last frame: {' '.join(last)}")
        # The signal reaches the game as a quit, which its last frame records.
        if not sent or "q" not in last:
            ok = False
            say("FAILED: the exit hotkey did not end the game")
    if not ok:
        say("FAILED: the game's end")
    return ok
