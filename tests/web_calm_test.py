#!/usr/bin/env python3
"""Reduced flashing on the page, in Chromium: on under prefers-reduced-motion
only, the choice on the card kept over it, and the canvas what bitrot-replay
--reduce-flashing shows for the trace. Usage: web_calm_test.py NATIVE_BUILD SITE_DIR"""
import subprocess, sys, tempfile
from selenium.webdriver.common.keys import Keys
from webpage import *

o = options(__doc__)
b = browser()
js = b.js
url = serve(o.site)


def load(motion):  # the page, as a browser that prefers this motion shows it
    b.d.execute_cdp_cmd('Emulation.setEmulatedMedia', {'features': [{'name': 'prefers-reduced-motion', 'value': motion}]})
    b.get(url + '?seed=22')
    ready()
    return js('return calm.checked')


check(load('reduce') and not load('no-preference'), 'on by itself under prefers-reduced-motion only')
load('reduce')
b.click('#calm')  # off, against the preference
off = not load('reduce') and card().startswith('Press a key')
b.click('#calm')  # and on again
check(off and load('no-preference'), 'the choice on the card is kept over the preference, and starts no run')
down('f'), up('f')
check(js('return calm.checked') is False and not load('no-preference'), 'F switches it, and is kept')
down('f'), up('f')
start()
playsome(13, rounds=6)
rgb = tempfile.mktemp()
seed, trace, st = played(o.native, '--reduce-flashing', '--frames', rgb)
shown = open(rgb, 'rb').read()[-320 * 240 * 3:]
check(len(st) > 400 and screen()[15:] == shown and not canvas_is_replayed(o.native)[0],
      'the canvas after %d frames is the calmed picture, not the game\'s own' % len(st))
noerrors()
sys.exit(finish())
