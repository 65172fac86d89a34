#!/usr/bin/env python3
"""Runs kept, and the page offline, in Chromium, Firefox or WebKit: a saved run
replays natively to its end line; a desktop recording plays on the page to
bitrot-replay's screen, saying whether it matches; what is no recording is
refused as bitrot-replay refuses it; the page is installable, with a home
screen icon; a new build replaces every file; with the server gone the page
still plays, music and all; the first download stays small.
Usage: web_kept_test.py NATIVE_BUILD SITE_DIR [--engine E] [--shots DIR]"""
import base64, glob, hashlib, os, re, shutil, struct, subprocess, sys, tempfile
from selenium.webdriver.common.keys import Keys
from webpage import *

o = options(__doc__)
native, site, shots = o.native, o.site, o.shots
copy = tempfile.mkdtemp()  # the site as a host would serve it, changed below as by a new build
shutil.copytree(site, copy, dirs_exist_ok=True)
downloads = tempfile.mkdtemp()
b = browser(engine=o.engine, downloads=downloads)
js, wait = b.js, b.wait


def replay(*args):  # in the folder of the recordings, so that it names them as the page does
    return subprocess.run([os.path.abspath(native) + '/bitrot-replay', *args], capture_output=True, text=True,
                          cwd=downloads)






url = serve(copy)
b.get(url + '?seed=5')
start()
playsome(9)
escape(2)
check('play again' in card() and js('const s = document.getElementById("save"); return !s.hidden && s.innerText')
      == 'Save the run', 'the end card offers "Save the run": %s' % card())
if shots: b.shot(os.path.join(shots, 'screenshot-web-end.png'))
b.click('#save')
check(until(lambda: glob.glob(downloads + '/bitrot-5.txt')) and 'play again' in card(),
      'it downloads bitrot-5.txt, and the card stays')
rec = open(downloads + '/bitrot-5.txt').read()
trace = js('return Module.UTF8ToString(Module._webtrace())')
end = subprocess.run([native + '/bitrot-replay', '--seed', '5', '--last'], input=trace, capture_output=True,
                     text=True).stdout
r = replay(downloads + '/bitrot-5.txt')
check(rec == 'seed 5\n' + trace + 'end ' + end and trace.split().count('d27') == 1 and
      r.returncode == 0 and 'matches the end line' in r.stderr,
      'the saved run (%d frames, 30 keys) replays natively to its end line: %s' % (
          trace.count('\n'), r.stderr.strip()))

# A recording as `bitrot --record` writes one: seed, frames, and the end line,
# from a trace that starts play, dies and quits in the frame of its death.
golden = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'golden', 'play.trace')
desk = os.path.join(downloads, 'desktop.txt')
end = replay('--seed', '22', '--last', golden).stdout
open(desk, 'w').write('seed 22\n' + open(golden).read() + 'end ' + end)
ppm = os.path.join(downloads, 'desktop.ppm')
replay('--screen', ppm, desk)
ready()
b.pick('#watch', desk)
check(watching() and not card() and step(100) == 100,
      'the picked recording plays, frame by frame')
if shots: b.shot(os.path.join(shots, 'screenshot-web-watch.png'))
n = 100 + step(1000)
check(n == 463 and said() == 'desktop.txt: played 463 frames; the last matches the end line' and screen() ==
      open(ppm, 'rb').read(), 'to its end: %s, the canvas equal to bitrot-replay --screen' % said())
open(desk, 'w').write('seed 22\n' + open(golden).read() + 'end ' + end.replace('alive=1', 'alive=0'))
ready()
b.pick('#watch', desk)
check(watching() and step(1000) == 463 and
      said().endswith('played 463 frames; the last differs from the end line'), 'an end line not met: %s' % said())
for how, halt in [('Escape', lambda: escape(5)), ("the touch pad's End", lambda: js('Module._webkey(27, 1, 1)') or step(5))]:
    ready()
    b.pick('#watch', desk)  # the file picker, as a player picks one
    check(watching() and step(10) == 10 and halt() == 1 and said() == 'desktop.txt: stopped after 11 frames' and
          'Press a key' in card(), '%s stops the watching in its frame: %s' % (how, said()))

bad = os.path.join(downloads, 'bad.txt')
open(bad, 'w').write('seed 5\nd275 u275\nd275 hello\n')
ready()
js('const t = new DataTransfer(); t.items.add(new File([arguments[0]], "bad.txt")); '
   'document.getElementById("canvas").dispatchEvent(new DragEvent("drop", {dataTransfer: t, bubbles: true}))',
   open(bad).read())
why = replay('bad.txt').stderr
check(until(lambda: said()) and 'bitrot-replay: %s\n' % said() == why and 'Press a key' in card(),
      'a dropped file that is no recording: one line, as bitrot-replay says it: %s' % said())
b.pick('#watch', os.path.join(copy, 'icon-192.png'))
check(until(lambda: 'icon' in said()) and said() == 'icon-192.png: no seed: not a recording',
      'a picture picked: %s' % said())
start()
check(step(3) == 3 and seed() == 5, 'and the page plays on')
escape()

icons = ['%dx%d' % struct.unpack('>II', open(os.path.join(copy, 'icon-%d.png' % s), 'rb').read()[16:24])
         for s in (180, 192, 512)]  # from the PNG's header
errors = b.d.execute_cdp_cmd('Page.getInstallabilityErrors', {})['installabilityErrors'] if o.engine == 'chromium' else []
check(errors == [] and icons == ['180x180', '192x192', '512x512'] and
      js('return document.querySelector("link[rel=apple-touch-icon]").href') == url + 'icon-180.png',
      'installable: %s, icons %s, the home screen icon-180.png' % (errors, icons))

# Offline: the worker holds every file, in a cache named after their content.
check(wait('navigator.serviceWorker.ready.then(() => caches.keys())') == [re.search(
    "const cache = '(.*)'", open(copy + '/sw.js').read())[1]], 'the service worker is ready')
names = re.search(r'const files = \[(.*)\]', open(copy + '/sw.js').read())[1].replace("'", '').split(', ')[1:]
build = hashlib.sha256(''.join('%s %s\n' % (f, hashlib.sha256(open(os.path.join(copy, f), 'rb').read())
                                            .hexdigest()) for f in names).encode()).hexdigest()[:16]
held = wait('caches.open("bitrot-%s").then(c => c.keys()).then(k => k.map(r => r.url))' % build)
check(sorted(held) == sorted([url] + [url + f for f in names]) and set(names) == set(os.listdir(copy)) - {'sw.js'},
      'its cache, bitrot-%s, is named after the %d files of the site and holds them all' % (build, len(names)))
# What a player waits for before the first run, raw (a host that does not compress): kept from growing
# past the 204,906 bytes it reached with the reduce-flashing mode in, give or take a kilobyte.
first = sum(os.path.getsize(os.path.join(copy, f)) for f in ['index.html', 'bitrot.js', 'bitrot.wasm'])
check(first <= 206000, 'the first download, the page and the program, is %d bytes, at most 206,000' % first)

# A new build: another cache name, a file changed. The next visit gets it, and
# the old cache is gone.
with open(copy + '/icon-180.png', 'ab') as f: f.write(b'a new build')
sw = open(copy + '/sw.js').read()
open(copy + '/sw.js', 'w').write(sw.replace('bitrot-' + build, 'bitrot-0000000000000002'))
b.get(url)
check(until(lambda: wait('caches.keys()') == ['bitrot-0000000000000002']) and
      'a new build' in wait('fetch("icon-180.png").then(r => r.text())'),
      'a new build replaces the old cache and its files')

stop(url)
b.get(url + '?seed=7')
start()
check(step(30) == 30 and until(lambda: music() == ['running', True]) and
      'a new build' in wait('fetch("icon-180.png").then(r => r.text())'),
      'with the server stopped the page plays, music and all, from the new cache')
noerrors()
sys.exit(finish())
