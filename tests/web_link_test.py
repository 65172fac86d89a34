#!/usr/bin/env python3
"""A run as a link, in Debian's Chromium, headless: today's world (a day fixed
by ?date=) gives two fresh browsers the same first screen, by the address and
by the start card's "Today's world"; a run's end card says how long it lasted
and in which world, and links to it; the link, opened in the other browser,
plays the run to the canvas bitrot-replay --screen draws of the same link, and
both say the last frame matches; "Play this world" starts its seed. A damaged
or hostile link is refused with the same reason by the page, which goes on,
and by bitrot-replay. Usage: web_link_test.py NATIVE_BUILD SITE_DIR [--shots DIR]"""
import base64, os, subprocess, sys, tempfile, zlib
from selenium.webdriver.common.keys import Keys
import webpage
from webpage import *

o = options(__doc__)
native, shots = o.native, o.shots
url = serve(o.site)
day = 'date=2026-12-08'  # never the real date: the test must not depend on the day it runs


def js(*args): return webpage.js(*args)
def el(name): return webpage.d.find_element('id', name)
def replay(*args): return subprocess.run([native + '/bitrot-replay', *args], capture_output=True, text=True)
def fresh(): webpage.d.quit() if webpage.d else None; return browser()


fresh().get(url + '?seed=today&' + day)
start()
step(1)
first = screen()
check(seed() == 20261208, '?seed=today on 2026-12-08 is seed 20261208')
playsome(7, 4)
stepto(300)
escape(2)
n = frames()
lasted = el('lasted').text
check(lasted == "This run: 20 turns, %d s at the game's pace, in today's world (2026-12-08)" % (n // 20),
      'the end card says how long the run lasted, and in which world: %s (%d frames)' % (lasted, n))
check(until(lambda: el('runlink').get_attribute('href')), 'it makes a link')
a = el('runlink')
link = a.get_attribute('href')
check(a.text == 'Link to this run' and link.startswith(url + '#run=') and
      el('copy').is_displayed(), 'a real link, %d characters, and "Copy link"' % len(link))
if shots: webpage.d.save_screenshot(os.path.join(shots, 'screenshot-web-link.png'))
ppm = tempfile.mktemp(suffix='.ppm')
r = replay('--last', '--screen', ppm, link)
check(r.returncode == 0 and r.stderr == 'bitrot-replay: the link: the last frame matches the end line\n',
      'bitrot-replay plays the link: %s' % r.stderr.strip())

fresh().get(url + '?' + day)
ready()
el('today').click()
check(step(1) == 1 and seed() == 20261208 and screen() == first,
      'in another browser, "Today\'s world" on the same day: the same first screen')
escape()

webpage.d.get(link)
check(until(lambda: 'shared with you' in card()), 'the link, opened there, offers its run: %s' % card())
start()
check(watching() and step(n + 100) == n and
      said() == 'The link: played %d frames; the last matches the end line' % n and
      screen() == open(ppm, 'rb').read(),
      'and plays it to its end, the canvas equal to bitrot-replay --screen: %s' % said())
if shots: webpage.d.save_screenshot(os.path.join(shots, 'screenshot-web-linked.png'))
again = el('again')
check(again.text == 'Play this world' and again.is_displayed(), 'then offers "Play this world"')
again.click()
check(step(2) == 2 and seed() == 20261208, 'which plays the link\'s seed')
escape()


def linkto(content): return base64.urlsafe_b64encode(zlib.compress(content, 6, -15)).decode().rstrip('=')


big = 64 << 20
for i, (fragment, why) in enumerate([
        ('ab!c', 'not base64url'),
        (base64.urlsafe_b64encode(b'hello!').decode(), 'damaged: its data does not inflate whole'),
        (linkto(b'seed 1\n\n')[:-2], 'damaged: its data does not inflate whole'),
        (linkto(b'\n' * (big + 1)), 'over 64 MiB once inflated'),
        (linkto(b'run 1\n' + b'\xfd' * (big // 14 + 1)), 'over 64 MiB once inflated'),  # grows as it unpacks
        (linkto(b'<html>hello</html>'), 'no seed: not a recording'),
        (linkto(b'seed 5\nd275 hello\n'), 'line 2: cannot read "hello"')]):
    webpage.d.get(url + '?n=%d#run=%s' % (i, fragment))
    ok = until(lambda: said()) and ready()
    r = replay('#run=' + fragment)
    check(ok and said() == 'The link: ' + why and 'Press a key' in card() and r.returncode == 2 and
          r.stderr == 'bitrot-replay: the link: %s\n' % said()[len('The link: '):],
          'a link refused, by the page and bitrot-replay alike: %s' % said())
start()
check(step(3) == 3, 'and the page plays on')
noerrors()
sys.exit(finish())
