"""What the page tests share: a quiet static server, Debian's Chromium headless
through Selenium, and the page's own handles. The page's timer is stopped
before each run and the tests step the frames themselves: an event sent
between two steps lands in the next frame, however busy the machine is.
Waits with until() are only for what the browser does in its own time
(loading, decoding)."""
import base64, functools, http.server, subprocess, tempfile, threading, time
from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains

d = js = None
servers = {}  # url: its server, for stop()
results = []
seen = []  # the browser's log, which it hands out only once


def check(ok, what):
    print(('ok: ' if ok else 'FAIL: ') + what)
    results.append(bool(ok))


def finish():
    d.quit()
    print('%d passed, %d failed' % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args): pass
    srv = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=srv.serve_forever, daemon=True).start()
    url = 'http://127.0.0.1:%d/' % srv.server_port
    servers[url] = srv
    return url


def stop(url):  # the server at url shut and its port closed: no network there any more
    servers[url].shutdown()
    servers.pop(url).server_close()


def browser(*args):  # more Chromium switches in args
    global d, js
    opts = webdriver.ChromeOptions()
    for arg in ['headless=new', 'no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-sync',
                'disable-background-networking', 'disable-component-update', 'window-size=1400,1000',
                'user-data-dir=' + tempfile.mkdtemp(), *args]:
        opts.add_argument('--' + arg)
    opts.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    d = webdriver.Chrome(options=opts)
    js = d.execute_script
    return d


def until(cond, timeout=30):
    end = time.time() + timeout
    while not cond() and time.time() < end:
        time.sleep(0.05)
    return cond()


def card(): return d.find_element('id', 'cardtext').text if d.find_element('id', 'card').is_displayed() else ''
def frames(): return js('return Module.UTF8ToString(Module._webtrace()).split("\\n").length - 1')
def step(n=1): return js('return Module._webstep(arguments[0])', n)
def stepto(f): return step(f - frames())
def down(key): ActionChains(d).key_down(key).perform()
def up(key): ActionChains(d).key_up(key).perform()
def tap(key): down(key), step(), up(key), step()  # held for one frame, let go in the next
def music(): return js('const m = SDL.music.audio; return [SDL.audioContext.state, !!(m && m.webAudioNode)]')


def logged(level, text):
    seen.extend(d.get_log('browser'))
    return any(text in e['message'] for e in seen if e['level'] == level)


def ready():  # the start card asks, and the clock is stopped for the next run
    ok = until(lambda: 'Press a key' in card() or 'play again' in card())
    js('Module._webclock(0)')
    return ok


def start():
    ok = ready()
    ActionChains(d).send_keys('a').perform()
    return ok


def played(native, *args):  # the page's seed and trace, and the native replay of them
    seed, trace = js('return [Module._webseed() >>> 0, Module.UTF8ToString(Module._webtrace())]')
    out = subprocess.run([native + '/bitrot-replay', '--seed', str(seed), *args], input=trace,
                         capture_output=True, text=True, check=True).stdout
    return seed, trace, [dict(kv.split('=') for kv in line.split()) for line in out.splitlines()]


def canvas_is_replayed(native):  # the canvas equals bitrot-replay --screen of the page's trace; and the seed
    rgba = js('let s = ""; for (const v of canvas.getContext("2d").getImageData(0, 0, 320,'
              '240).data) s += String.fromCharCode(v); return btoa(s)')
    ppm = tempfile.mktemp(suffix='.ppm')
    seed, trace, st = played(native, '--last', '--screen', ppm)
    rgb = bytes(v for i, v in enumerate(base64.b64decode(rgba)) if i % 4 != 3)
    return open(ppm, 'rb').read() == b'P6\n320 240\n255\n' + rgb, seed
