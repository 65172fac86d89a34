"""What the page tests share: a quiet server, one small driver over Selenium
(Chromium, WebKitGTK) or tests/firefox.mjs, and the page's handles. The tests
step the frames themselves, so an event sent between steps lands in the next
frame; until() waits only for the browser's own work (loading, decoding)."""
import base64, functools, http.server, inspect, json, os, select, signal, subprocess, tempfile, threading, time
from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys
# Debian's drivers by their paths: Debian 13's Selenium would otherwise look
# for its Selenium Manager, which Debian leaves out.
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.webkitgtk.service import Service as WebKitService

b = d = js = None  # the browser's driver (below), Selenium's own where there is one, and the driver's js
servers = {}  # url: its server, for stop()
results = []
seen = []  # the browser's log, which it hands out only once
here = os.path.dirname(os.path.abspath(__file__))


def check(ok, what):
    print(('ok: ' if ok else 'FAIL: ') + what)
    results.append(bool(ok))


def finish():
    b.quit()
    print('%d passed, %d failed' % (results.count(True), results.count(False)))
    return 0 if all(results) else 1


first = []  # scripts the server puts before the page's own, for a driver that can't (WebKit's)


def serve(folder):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args): pass

        def do_GET(self):
            if not first or self.path.split('?')[0] not in ('/', '/index.html'): return super().do_GET()
            page = open(os.path.join(folder, 'index.html'), 'rb').read()
            page = page.replace(b'<head>', b'<head>' + b''.join(b'<script>%s</script>' % s.encode() for s in first))
            self.send_response(200)
            self.send_header('Content-Type', 'text/html'), self.send_header('Content-Length', str(len(page)))
            self.end_headers()
            self.wfile.write(page)
    srv = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Quiet, directory=folder))
    threading.Thread(target=srv.serve_forever, daemon=True).start()
    url = 'http://127.0.0.1:%d/' % srv.server_port
    servers[url] = srv
    return url


def stop(url):  # the server at url shut and its port closed: no network there any more
    servers[url].shutdown()
    servers.pop(url).server_close()


def own(cmd, **kw):  # a helper process the test starts, and kills by its id at exit
    p = subprocess.Popen(cmd, start_new_session=True, **kw)
    import atexit
    atexit.register(lambda: p.poll() is None and os.killpg(p.pid, signal.SIGKILL))
    return p


class Selenium:  # Chromium, headless, or WebKitGTK's MiniBrowser in its own Xvfb
    def __init__(self, engine, downloads, args):
        self.name = engine
        if engine == 'chromium':
            opts = webdriver.ChromeOptions()
            for arg in ['headless=new', 'no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-sync',
                        'disable-background-networking', 'disable-component-update', 'window-size=1400,1000',
                        'user-data-dir=' + tempfile.mkdtemp(), *args]:
                opts.add_argument('--' + arg)
            opts.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
            self.d = webdriver.Chrome(options=opts, service=ChromeService('/usr/bin/chromedriver'))
            if downloads:
                self.d.execute_cdp_cmd('Browser.setDownloadBehavior', {'behavior': 'allow', 'downloadPath': downloads})
            return
        # WebKitGTK is never headless, and its driver has no console and no early
        # script: the server puts one in, keeping the console in storage.
        first.append('''for (const [f, level] of [['warn', 'WARNING'], ['error', 'SEVERE']]) {
          const was = console[f], logs = () => JSON.parse(localStorage.logs || '[]');
          console[f] = (...a) => (localStorage.logs = JSON.stringify([...logs(), {level, message: a.join(' ')}]),
                                  was.apply(console, a));
        }
        addEventListener('error', e => console.error(e.message));''')
        r, w = os.pipe()
        own(['Xvfb', '-displayfd', str(w), '-nolisten', 'tcp', '-screen', '0', '1400x1000x24'], pass_fds=[w],
            stderr=subprocess.DEVNULL)
        os.close(w)
        if not select.select([r], [], [], 30)[0]: raise RuntimeError('Xvfb did not start')
        os.environ['DISPLAY'] = ':' + os.read(r, 16).decode().strip()
        opts = webdriver.WebKitGTKOptions()
        opts.binary_location = '/usr/lib/%s-linux-gnu/webkit2gtk-4.1/MiniBrowser' % os.uname().machine
        opts.add_argument('--automation')
        # Downloads go where GLib says the user's download folder is.
        config = os.environ['XDG_CONFIG_HOME'] = tempfile.mkdtemp()
        open(config + '/user-dirs.dirs', 'w').write('XDG_DOWNLOAD_DIR="%s"\n' % (downloads or tempfile.mkdtemp()))
        if 'service' in inspect.signature(webdriver.WebKitGTK).parameters:  # Selenium 4.10 on (Debian 13)
            self.d = webdriver.WebKitGTK(options=opts, service=WebKitService('/usr/bin/WebKitWebDriver',
                                                                             log_path=os.devnull))
        else:  # Debian 12's 4.8
            self.d = webdriver.WebKitGTK(options=opts, service_log_path=os.devnull)
        self.d.set_window_size(1400, 1000)

    def get(self, url): self.d.get(url)
    def js(self, body, *args): return self.d.execute_script(body, *args)
    def wait(self, promise):  # the value of a promise the page makes, or the error it ends in
        return self.d.execute_async_script('const done = arguments[arguments.length - 1]; (%s).then(done, e => '
                                           'done("error: " + e))' % promise)
    def down(self, key): ActionChains(self.d).key_down(key).perform()
    def up(self, key): ActionChains(self.d).key_up(key).perform()
    def click(self, css): self.d.find_element('css selector', css).click()
    def pick(self, css, path): self.d.find_element('css selector', css).send_keys(path)
    def shot(self, path): self.d.save_screenshot(path)
    def quit(self): self.d.quit()
    def init(self, source):  # a script run before the page's own
        if self.name == 'chromium': self.d.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': source})
        else: first.append(source)

    def logs(self):
        if self.name == 'chromium': return self.d.get_log('browser')
        return self.js('const l = JSON.parse(localStorage.logs || "[]"); localStorage.logs = "[]"; return l')


class Firefox:  # tests/firefox.mjs, a line of JSON each way; with a silent sound server of its own
    keys = {Keys.SPACE: ' ', Keys.ARROW_LEFT: 'ArrowLeft', Keys.ARROW_UP: 'ArrowUp', Keys.ESCAPE: 'Escape',
            Keys.ARROW_RIGHT: 'ArrowRight', Keys.ARROW_DOWN: 'ArrowDown', Keys.F11: 'F11'}

    def __init__(self, downloads):
        self.name = 'firefox'
        env = dict(os.environ, XDG_RUNTIME_DIR=tempfile.mkdtemp())
        # Headless Firefox with no sound server never lets an AudioContext run.
        own(['pulseaudio', '-n', '--daemonize=no', '--exit-idle-time=-1', '--load=module-native-protocol-unix',
             '--load=module-null-sink'], env=env, stderr=subprocess.DEVNULL)
        until(lambda: os.path.exists(env['XDG_RUNTIME_DIR'] + '/pulse/native'), 10)
        self.p = own(['node', here + '/firefox.mjs', downloads], env=env, stdin=subprocess.PIPE,
                     stdout=subprocess.PIPE, text=True)

    def do(self, *req):
        self.p.stdin.write(json.dumps(req) + '\n')
        self.p.stdin.flush()
        if not select.select([self.p.stdout], [], [], 600)[0]: raise RuntimeError('Firefox did not answer %s' % req[0])
        answer = json.loads(self.p.stdout.readline() or '{"error": "Firefox is gone"}')
        if 'error' in answer: raise RuntimeError(answer['error'])
        return answer['value']

    def __getattr__(self, op): return lambda *args: self.do(op, *args)  # get, click, pick, shot, init, logs
    def js(self, body, *args): return self.do('js', body, args)
    def wait(self, promise): return self.do('js', 'return (%s).catch(e => "error: " + e)' % promise)
    def down(self, key): self.do('down', self.keys.get(key, key))
    def up(self, key): self.do('up', self.keys.get(key, key))
    def quit(self): self.p.communicate('["quit"]\n', timeout=60)


def options(usage):  # NATIVE_BUILD SITE_DIR [--engine chromium|firefox|webkit] [--shots DIR]
    import argparse
    a = argparse.ArgumentParser(usage=usage)
    a.add_argument('native'), a.add_argument('site')
    a.add_argument('--engine', default='chromium', choices=['chromium', 'firefox', 'webkit'])
    a.add_argument('--shots')
    return a.parse_args()


def browser(*args, engine='chromium', downloads=None):  # more Chromium switches in args
    global b, d, js
    b = Firefox(downloads or tempfile.mkdtemp()) if engine == 'firefox' else Selenium(engine, downloads, args)
    d = b.d if isinstance(b, Selenium) else None  # Selenium's own, for what only Chromium's DevTools do
    js = b.js
    return b


def until(cond, timeout=30):
    end = time.time() + timeout
    while not cond() and time.time() < end:
        time.sleep(0.05)
    return cond()


def card(): return js('const c = document.getElementById("card"); return c.hidden ? "" : cardtext.innerText')
def frames(): return js('return Module.UTF8ToString(Module._webtrace()).split("\\n").length - 1')
def step(n=1): return js('return Module._webstep(arguments[0])', n)
def stepto(f): return step(f - frames())
def down(key): b.down(key)
def up(key): b.up(key)
def tap(key): down(key), step(), up(key), step()  # held for one frame, let go in the next
def seed(): return js('return Module._webseed() >>> 0')
def said(): return js('return document.getElementById("runsaid").innerText')
def watching(): return until(lambda: js('return bitrot.state()') == 'watching')


def escape(n=1):  # Escape held over n frames; the frames played
    down(Keys.ESCAPE)
    n = step(n)
    up(Keys.ESCAPE)
    return n


def music(): return js('const m = SDL.music.audio; return [SDL.audioContext.state, !!(m && m.webAudioNode)]')


def logged(level, text):
    seen.extend(b.logs())
    return any(text in e['message'] for e in seen if e['level'] == level)


def noerrors():  # checks the console had no error, naming those it had
    logged('SEVERE', '')
    check(not any(e['level'] == 'SEVERE' for e in seen),
          'no console error: %s' % [e['message'][:200] for e in seen if e['level'] == 'SEVERE'])


def ready():  # the start card asks, and the clock is stopped for the next run
    ok = until(lambda: 'Press a key' in card() or 'play again' in card())
    js('Module._webclock(0)')
    return ok


def start():
    ok = ready()
    down('a'), up('a')
    return ok


def playsome(gap, rounds=3):  # from the start card: play starts at frame 45, then a key every gap frames
    stepto(45)
    tap(Keys.SPACE)
    for key in [Keys.ARROW_LEFT, Keys.ARROW_DOWN, Keys.SPACE, Keys.ARROW_RIGHT, Keys.ARROW_UP] * rounds:
        stepto(frames() + gap)
        tap(key)


def played(native, *args):  # the page's seed and trace, and the native replay of them
    seed, trace = js('return [Module._webseed() >>> 0, Module.UTF8ToString(Module._webtrace())]')
    out = subprocess.run([native + '/bitrot-replay', '--seed', str(seed), *args], input=trace,
                         capture_output=True, text=True, check=True).stdout
    return seed, trace, [dict(kv.split('=') for kv in line.split()) for line in out.splitlines()]


def screen():  # the canvas as the P6 picture bitrot-replay --screen writes
    rgba = base64.b64decode(js('let s = ""; for (const v of canvas.getContext("2d").getImageData(0, 0, 320, 240)'
                               '.data) s += String.fromCharCode(v); return btoa(s)'))
    return b'P6\n320 240\n255\n' + bytes(v for i, v in enumerate(rgba) if i % 4 != 3)


def canvas_is_replayed(native):  # the canvas equals bitrot-replay --screen of the page's trace; and the seed
    ppm = tempfile.mktemp(suffix='.ppm')
    seed, trace, st = played(native, '--last', '--screen', ppm)
    return open(ppm, 'rb').read() == screen(), seed
