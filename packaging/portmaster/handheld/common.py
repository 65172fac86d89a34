"""What every part of the handheld's harness shares: failing, saying, waiting."""

import subprocess
import sys
import time


def fail(what):
    print(f"handheld-vm: FAILED: {what}", file=sys.stderr)
    sys.exit(1)


def say(what):
    print(f"handheld-vm: {what}", flush=True)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def wait_for(what, timeout, test, step=0.1):
    """Polls test() until it gives something true, for at most timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        got = test()
        if got:
            return got
        if time.monotonic() > end:
            fail(f"{what} (waited {timeout} s)")
        time.sleep(step)
