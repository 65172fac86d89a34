#!/usr/bin/env python3
"""A run played in Firefox, its link opened in WebKit (an iPhone's engine),
plays to bitrot-replay's screen of it, the last frame matching.
Usage: web_across_test.py NATIVE_BUILD SITE_DIR"""
import sys, tempfile
import webpage
from webpage import *

native, site = sys.argv[1:3]
url = serve(site)
browser(engine='firefox').get(url + '?seed=9')
start()
playsome(8)
escape()
n = frames()
ppm = tempfile.mktemp(suffix='.ppm')
played(native, '--last', '--screen', ppm)
link = until(lambda: webpage.js('const a = document.getElementById("runlink"); return a.hidden ? "" : a.href'))
check(screen() == open(ppm, 'rb').read() and link.startswith(url + '#run='),
      'Firefox plays a run of %d frames to bitrot-replay\'s screen, and links to it' % n)
webpage.b.quit()

browser(engine='webkit').get(link)
check(until(lambda: 'shared with you' in card()), 'WebKit opens the link: %s' % card())
start()
check(watching() and step(n + 100) == n and
      said() == 'The link: played %d frames; the last matches the end line' % n and
      screen() == open(ppm, 'rb').read(), 'and plays it to the same screen: %s' % said())
sys.exit(finish())
