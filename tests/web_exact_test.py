#!/usr/bin/env python3
"""The same game in WebAssembly: bitrot-replay under Node.js prints every state
line, status and last screen the native one does, for the golden traces and
random play made here, each with three seeds.
Usage: web_exact_test.py NATIVE_BUILD WASM_BUILD SOURCE_DIR"""
import glob, os, random, subprocess, sys, tempfile

native, wasm, src = sys.argv[1:4]
tmp = tempfile.mkdtemp()
traces = sorted(glob.glob(os.path.join(src, 'tests/golden/*.trace')))
rng = random.Random(12)
for frames, ending in [(600, 'd27'), (2500, 'q'), (4000, 'd27')]:
    held, lines = set(), []
    for _ in range(frames):
        line = []
        for k in [rng.choice([275, 273, 276, 274, 32, 306, 13, 97]) for _ in range(rng.choice([0, 0, 0, 1, 1, 2, 3]))]:
            line.append(('u' if k in held else 'd') + str(k))
            held ^= {k}
        lines.append(' '.join(line))
    traces.append('%s/random%d.trace' % (tmp, frames))
    with open(traces[-1], 'w') as f:
        f.write('\n'.join(lines + [' '.join('u%d' % k for k in held), ending]) + '\n')


def replay(cmd, trace, seed):
    with open(trace) as f:
        r = subprocess.run(cmd + ['--seed', str(seed), '--screen', tmp + '/s.ppm'], stdin=f,
                           capture_output=True, text=True, timeout=300)
    return r.returncode, r.stdout.splitlines(), open(tmp + '/s.ppm', 'rb').read()


fails = cases = 0
for trace in traces:
    for seed in (22, 1, 4294967295):
        cases += 1
        want = replay([native + '/bitrot-replay'], trace, seed)
        got = replay(['node', wasm + '/bitrot-replay.js'], trace, seed)
        ok = got == want and want[0] == 0 and len(want[1]) > 50
        fails += not ok
        first = next((i for i, (a, b) in enumerate(zip(want[1], got[1])) if a != b), None)
        print('%s: %s --seed %d, %d frames: status %d/%d, first different line %s, screens %s' % (
            'same' if ok else 'FAIL', os.path.basename(trace), seed, len(want[1]), want[0], got[0], first,
            'equal' if want[2] == got[2] else 'differ'))
print('%d passed, %d failed' % (cases - fails, fails))
sys.exit(1 if fails else 0)
