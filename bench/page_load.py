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
(compiling and starting the game), which a busy machine stretches.
Usage: bench/page_load.py SITE_DIR [RUNS]"""
import os, socket, statistics, subprocess, sys, tempfile, time
from selenium import webdriver

site = sys.argv[1]
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5

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


def freeport():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


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


port = freeport()
server = subprocess.Popen([sys.executable, '-m', 'http.server', '--bind', '127.0.0.1', '--directory', site,
                           str(port)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    for _ in range(100):  # until the server listens
        try:
            socket.create_connection(('127.0.0.1', port)).close()
            break
        except OSError:
            time.sleep(0.05)
    ready, music = [], []
    for i in range(runs):
        r, m, files = load('http://127.0.0.1:%d/' % port)
        ready.append(r)
        music.append(m)
        print('load %d: a key answered by the start card %.2f s, music playing %.2f s' % (i + 1, r, m))
finally:
    server.terminate()
    server.wait()

print('\nfiles of the last load: bytes on the wire, and seconds from navigation to the last byte')
for name, size, done in files:
    print('  %-24s %9d %7.2f' % (os.path.basename(name) or name, size, done))
print('  %-24s %9d' % ('total', sum(s for _, s, _ in files)))
print('\nmedian of %d cold loads: a key answered by the start card %.2f s, music playing %.2f s' % (
    runs, statistics.median(ready), statistics.median(music)))
