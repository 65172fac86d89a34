#!/usr/bin/env python3
"""The page in Chromium, Firefox or WebKit, from the start card to play again,
the canvas equal to bitrot-replay's screen of its trace, and bad input (a seed
that is no number, damaged music, no WebAssembly).
Usage: web_browser_test.py NATIVE_BUILD SITE_DIR [--engine E] [--shots DIR]"""
import base64, os, shutil, sys, tempfile, time
from selenium.webdriver.common.keys import Keys
from webpage import *
import webpage

o = options(__doc__)
native, site, shots = o.native, o.site, o.shots
b = browser(engine=o.engine)
js = b.js

url = serve(site)
b.get(url + '?seed=22')
check(until(lambda: 'Press a key' in card()), 'the start card appears')
w, h, look = js('const r = canvas.getBoundingClientRect(); return [r.width * devicePixelRatio, r.height * '
                'devicePixelRatio, getComputedStyle(canvas).imageRendering + getComputedStyle(document.body).background]')
check(w % 320 == 0 and w >= 960 and w * 3 == h * 4 and look.startswith('pixelatedrgb(0, 0, 0)'),
      'the screen at a whole scale of 3 or more: %dx%d, %s' % (w, h, look[:30]))
if shots: b.shot(os.path.join(shots, 'screenshot-web-start.png'))

sound = music()[0]
start()
check(not card() and frames() == 0 and step(3) == 3, 'a key starts the game, and its frames wait for the test')
check(sound == 'suspended' and until(lambda: music() == ['running', True]),
      'the sound waits for the first key (%s), then the music plays: %s' % (sound, music()))
stepto(10)
tap(Keys.SPACE)  # frame 10, in the lock-out
stepto(45)
tap(Keys.SPACE)  # frame 45, after it
stepto(70)
js('addEventListener("keydown", e => window.unscrolled = e.defaultPrevented && scrollY == 0)')
tap(Keys.ARROW_LEFT)  # frame 70
stepto(90)
seed, trace, st = played(native, )
spaces = [i for i, line in enumerate(trace.split('\n')) if 'd32' in line]
begun = next(i for i, s in enumerate(st) if s['mode'] == '1')
check(spaces == [10, 45] and int(st[10]['count']) < 41 and begun == 45,
      'Space in the lock-out (frame %s) starts nothing, after it (%d) play' % (spaces, begun))
step_at = next(i for i, s in enumerate(st) if s['pl'] != st[begun]['pl'])
xs = [int(s['cam'].split(',')[0]) for s in st[step_at - 1:step_at + 9]]
moves = ''.join(str(a - b) for a, b in zip(xs, xs[1:])).rstrip('0')  # pixels the view moved each frame
check(step_at == 70 and st[step_at]['pl'] == '8,21' and len(moves) > 2 and moves == '1' * len(moves) and
      js('return unscrolled'),
      'Left (frame %d) steps to %s, the view glides a pixel a frame (%s), the page does not scroll' % (
          step_at, st[step_at]['pl'], xs))

same, seed = canvas_is_replayed(native)
check(same, 'the canvas at frame %d equals bitrot-replay --seed %d --screen' % (frames(), seed))
if shots: b.shot(os.path.join(shots, 'screenshot-web-play.png'))

check(escape(5) == 1 and 'play again' in card() and not js('return SDL.music.audio'),
      'Escape ends the run in its frame, and the music')
n = frames()
start()
check(not card() and step(3) == 3 and frames() == 3 < n, 'a key plays again, from the start')
noerrors()
webpage.seen.clear()

b.get(url + '?seed=12x')
start()
check(logged('WARNING', '?seed=12x is not a number') and step(3) == 3 and
      abs(js('return Module._webseed() >>> 0') - time.time()) < 60, 'a seed that is no number: the clock, and said')
damaged = tempfile.mkdtemp()
shutil.copytree(site, damaged, dirs_exist_ok=True)
for track in '0.ogg', '1.ogg':
    with open(os.path.join(damaged, track), 'r+b') as f:
        f.write(bytes(os.path.getsize(f.name)))  # the music, all zeros
b.get(serve(damaged))
start()
check(step(30) == 30 and until(lambda: logged('WARNING', 'could not be decoded')) and
      until(lambda: music() == ['running', False]),
      'damaged music: the game plays on, silent, and says so: %s' % music())
b.init('delete window.WebAssembly')
b.get(serve(site))  # a new address, which no service worker serves from its cache
check(until(lambda: 'cannot run WebAssembly' in card()), 'no WebAssembly: %s' % card())
sys.exit(finish())
