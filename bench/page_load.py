#!/usr/bin/python3
"""How long the page takes to become playable over a slow link: Chromium,
headless, with its network held to 1.6 Mbps down, 750 kbps up and 150 ms of
latency, its cache and service worker bypassed, fetching from a plain
`python3 -m http.server` (no compression). Each of RUNS cold loads (a fresh
browser each time) notes, from the start of navigation, when a key sent as
soon as the start card first asks for one has started a run, and when the
music is playing. Prints every file's size on the wire and
when its last byte had come, and the median of both times; the gap between
the last file the game needs and a playable card is the browser's own work
(compiling and starting the game), which a busy machine stretches. With
--gzip the server compresses what it sends, as most web hosts do, gzip at
its highest level (Chromium asks for brotli only over HTTPS).
Usage: bench/page_load.py SITE_DIR [RUNS] [--gzip]"""
import functools, gzip, http.server, os, statistics, sys, tempfile, threading, time
from selenium import webdriver

args = [a for a in sys.argv[1:] if a != '--gzip']
site = args[0]
runs = int(args[1]) if len(args) > 1 else 5
compress = '--gzip' in sys.argv

# Watches the page from its first instant: the first moment the start card
# asks for a key, when it sends one, as a player would, and notes when that key
# has been handled and started the run; and the first moment the music plays.
watch = '''
window.loadtimes = {};
const poll = setInterval(function () {
  const t = window.loadtimes, c = document.getElementById('card'), ct = document.getElementById('cardtext');
  if (!t.ready && c && ct && !c.hidden && ct.textContent.startsWith('Press a key')) {
    dispatchEvent(new KeyboardEvent('keydown', {key: 'a', code: 'KeyA'}));
    dispatchEvent(new KeyboardEvent('keyup', {key: 'a', code: 'KeyA'}));
    if (c.hidden) t.ready = performance.now();  // the card goes as the run starts
  }
  if (t.ready && !t.music && window.SDL && SDL.audioContext && SDL.audioContext.state === 'running' &&
      SDL.music.audio && SDL.music.audio.webAudioNode) {
    t.music = performance.now();
    clearInterval(poll);
  }
}, 5);
'''


class Server(http.server.SimpleHTTPRequestHandler):  # python3 -m http.server's, quiet; gzip with --gzip
    def log_message(self, *args): pass

    def send_head(self):
        path = self.translate_path(self.path)
        if not compress or os.path.isdir(path) and not path.endswith('/') or 'gzip' not in self.headers.get(
                'Accept-Encoding', '') or not path.endswith(('/', '.html', '.js', '.wasm', '.webmanifest')):
            return super().send_head()
        if path.endswith('/'): path += 'index.html'
        try:
            body = gzip.compress(open(path, 'rb').read(), 9)
        except OSError:
            return super().send_head()
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Encoding', 'gzip')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        return None


def load(url):
    opts = webdriver.ChromeOptions()
    for arg in ['headless=new', 'no-sandbox', 'disable-gpu', 'disable-quic', 'no-first-run', 'disable-sync',
                'disable-background-networking', 'disable-component-update', 'window-size=1400,1000',
                'autoplay-policy=no-user-gesture-required', 'user-data-dir=' + tempfile.mkdtemp()]:
        opts.add_argument('--' + arg)
    d = webdriver.Chrome(options=opts)
    try:
        d.execute_cdp_cmd('Network.enable', {})
        d.execute_cdp_cmd('Network.setCacheDisabled', {'cacheDisabled': True})
        d.execute_cdp_cmd('Network.setBypassServiceWorker', {'bypass': True})
        d.execute_cdp_cmd('Network.emulateNetworkConditions', {
            'offline': False, 'latency': 150, 'downloadThroughput': 1.6e6 / 8, 'uploadThroughput': 750e3 / 8})
        d.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': watch})
        d.set_page_load_timeout(120)
        d.get(url)
        end = time.time() + 120
        while time.time() < end and not d.execute_script('return loadtimes.music'):
            time.sleep(0.1)
        t = d.execute_script('return loadtimes')
        files = d.execute_script(
            'return performance.getEntriesByType("navigation").concat(performance.getEntriesByType("resource"))'
            '.map(e => [e.name.replace(location.origin + "/", "") || "index.html", e.encodedBodySize, e.responseEnd / 1000])')
        return t.get('ready', float('nan')) / 1000, t.get('music', float('nan')) / 1000, files
    finally:
        d.quit()


server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Server, directory=site))
threading.Thread(target=server.serve_forever, daemon=True).start()
port = server.server_port
try:
    ready, music = [], []
    for i in range(runs):
        r, m, files = load('http://127.0.0.1:%d/' % port)
        ready.append(r)
        music.append(m)
        print('load %d: a key answered by the start card %.2f s, music playing %.2f s' % (i + 1, r, m))
finally:
    server.shutdown()

print('\nfiles of the last load: bytes on the wire, and seconds from navigation to the last byte')
for name, size, done in files:
    print('  %-24s %9d %7.2f' % (os.path.basename(name) or name, size, done))
print('  %-24s %9d' % ('total', sum(s for _, s, _ in files)))
print('\nmedian of %d cold loads: a key answered by the start card %.2f s, music playing %.2f s' % (
    runs, statistics.median(ready), statistics.median(music)))
