#!/usr/bin/env python3
"""The page in Debian's Chromium, headless, through Selenium: every promise of
the page to the player, from the start card to play again, the canvas equal to
bitrot-replay's screen for the trace the page played, and bad input (a seed
that is no number, damaged music, no WebAssembly). The checks say what each
one covers. Usage: web_browser_test.py NATIVE_BUILD SITE_DIR [--shots DIR]"""
import base64, functools, http.server, os, shutil, subprocess, sys, tempfile, threading, time
from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

native, site = sys.argv[1:3]
shots = sys.argv[4] if sys.argv[3:4] == ['--shots'] else None
results = []


def check(ok, what):
    print(('ok: ' if ok else 'FAIL: ') + what)
    results.append(bool(ok))


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args): pass
    srv = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=srv.serve_forever, daemon=True).start()
    return 'http://127.0.0.1:%d/' % srv.server_port


opts = webdriver.ChromeOptions()
for arg in ['headless=new', 'no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-sync',
            'disable-background-networking', 'disable-component-update', 'window-size=1400,1000',
            'user-data-dir=' + tempfile.mkdtemp()]:
    opts.add_argument('--' + arg)
opts.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
d = webdriver.Chrome(options=opts)
js = d.execute_script


def until(cond, timeout=15):
    end = time.time() + timeout
    while not cond() and time.time() < end:
        time.sleep(0.05)
    return cond()


def card(): return d.find_element('id', 'cardtext').text if d.find_element('id', 'card').is_displayed() else ''
def frames(): return js('return Module.UTF8ToString(Module._webtrace()).split("\\n").length - 1')
def hold(key): ActionChains(d).key_down(key).pause(0.25).key_up(key).perform()
def music(): return js('const m = SDL.music.audio; return [SDL.audioContext.state, !!(m && m.webAudioNode)]')
def logged(level, text): return any(text in e['message'] for e in d.get_log('browser') if e['level'] == level)
def start(): return until(lambda: 'Press a key' in card()) and ActionChains(d).send_keys('a').perform()


def played(*args):  # the page's seed and trace, and the native replay of them
    seed, trace = js('return [Module._webseed() >>> 0, Module.UTF8ToString(Module._webtrace())]')
    out = subprocess.run([native + '/bitrot-replay', '--seed', str(seed), *args], input=trace,
                         capture_output=True, text=True, check=True).stdout
    return seed, trace, [dict(kv.split('=') for kv in line.split()) for line in out.splitlines()]


url = serve(site)
d.get(url + '?seed=22')
check(until(lambda: 'Press a key' in card()), 'the start card appears')
w, h, look = js('const r = canvas.getBoundingClientRect(); return [r.width * devicePixelRatio, r.height * '
                'devicePixelRatio, getComputedStyle(canvas).imageRendering + getComputedStyle(document.body).background]')
check(w % 320 == 0 and w >= 960 and w * 3 == h * 4 and look.startswith('pixelatedrgb(0, 0, 0)'),
      'the screen at a whole scale of 3 or more: %dx%d, %s' % (w, h, look[:30]))
if shots: d.save_screenshot(os.path.join(shots, 'screenshot-web-start.png'))

start()
check(until(lambda: not card() and frames() > 3), 'a key starts the game')
check(until(lambda: music() == ['running', True]), 'the music plays: %s' % music())
hold(Keys.SPACE)  # in the lock-out
until(lambda: frames() > 45)
hold(Keys.SPACE)
until(lambda: played()[2][-1]['mode'] == '1' and frames() > 70)
js('addEventListener("keydown", e => window.unscrolled = e.defaultPrevented && scrollY == 0)')
hold(Keys.ARROW_LEFT)
until(lambda: frames() > 90)
seed, trace, st = played()
spaces = [i for i, line in enumerate(trace.split('\n')) if 'd32' in line]
begun = next(i for i, s in enumerate(st) if s['mode'] == '1')
check(int(st[spaces[0]]['count']) < 41 and begun == spaces[1],
      'Space in the lock-out (frame %d) starts nothing, after it (%d) play' % (spaces[0], spaces[1]))
step = next(i for i, s in enumerate(st) if s['pl'] != st[begun]['pl'])
xs = [int(s['cam'].split(',')[0]) for s in st[step - 1:step + 9]]
moves = ''.join(str(a - b) for a, b in zip(xs, xs[1:])).rstrip('0')  # pixels the view moved each frame
check(st[step]['pl'] == '8,21' and len(moves) > 2 and moves == '1' * len(moves) and js('return unscrolled'),
      'Left steps to %s, the view glides a pixel a frame (%s), the page does not scroll' % (st[step]['pl'], xs))

rgba = js('Module.pauseMainLoop(); let s = ""; for (const v of canvas.getContext("2d").getImageData(0, 0, 320,'
          '240).data) s += String.fromCharCode(v); return btoa(s)')
ppm = tempfile.mktemp(suffix='.ppm')
seed, trace, st = played('--last', '--screen', ppm)
js('Module.resumeMainLoop()')
rgb = bytes(v for i, v in enumerate(base64.b64decode(rgba)) if i % 4 != 3)
check(open(ppm, 'rb').read() == b'P6\n320 240\n255\n' + rgb,
      'the canvas at frame %d equals bitrot-replay --seed %d --screen' % (trace.count('\n'), seed))
if shots: d.save_screenshot(os.path.join(shots, 'screenshot-web-play.png'))

hold(Keys.ESCAPE)
check(until(lambda: 'play again' in card()) and not js('return SDL.music.audio'), 'Escape ends the run and the music')
n = frames()
start()
check(until(lambda: not card() and 3 < frames() < n), 'a key plays again, from the start')
check(not logged('SEVERE', ''), 'no console error')

d.get(url + '?seed=12x')
start()
check(logged('WARNING', '?seed=12x is not a number') and until(lambda: frames() > 3) and
      abs(js('return Module._webseed() >>> 0') - time.time()) < 60, 'a seed that is no number: the clock, and said')
damaged = tempfile.mkdtemp()
shutil.copytree(site, damaged, dirs_exist_ok=True)
with open(os.path.join(damaged, 'bitrot.data'), 'r+b') as f:
    f.write(bytes(os.path.getsize(f.name)))  # the packed music, all zeros
d.get(serve(damaged))
start()
check(until(lambda: frames() > 30) and music() == ['running', False] and logged('WARNING', 'could not be decoded'),
      'damaged music: the game plays on, silent, and says so')
d.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': 'delete window.WebAssembly'})
d.get(url)
check(until(lambda: 'cannot run WebAssembly' in card()), 'no WebAssembly: %s' % card())
d.quit()
print('%d passed, %d failed' % (results.count(True), results.count(False)))
sys.exit(0 if all(results) else 1)
