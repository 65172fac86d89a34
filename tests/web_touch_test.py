#!/usr/bin/env python3
"""The page on phones (touch, headless Chromium) and with a made-up gamepad:
the touch pad's place, size and names, the cards whole on four screens, a run
by touch replayed to the canvas's picture, a pad's buttons and stick as keys,
M and Fullscreen kept out of the game, Fullscreen only where it works.
Usage: web_touch_test.py NATIVE_BUILD SITE_DIR [--shots DIR]"""
import os, sys
from selenium.webdriver.common.keys import Keys
from webpage import *

native, site = sys.argv[1:3]
shots = sys.argv[4] if sys.argv[3:4] == ['--shots'] else None
d = browser().d
js = d.execute_script
cdp = d.execute_cdp_cmd
url = serve(site)
d.get(url)
check(ready() and not js('return document.querySelectorAll(".ctl").length') and 'M music' in js(
    'return document.getElementById("keys").textContent'), 'with a mouse and keys, no touch pad; the card names M')
cdp('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})
# No pad until the test connects one; then navigator.getGamepads() gives it.
# Share as a phone has it.
cdp('Page.addScriptToEvaluateOnNewDocument', {'source': '''
  navigator.share = () => Promise.resolve();
  let pads = [null];
  navigator.getGamepads = () => pads;
  window.connectpad = () => {
    pads = [window.pad = {index: 0, id: 'test pad', mapping: 'standard', connected: true, axes: [0, 0, 0, 0],
                          buttons: Array.from({length: 17}, () => ({pressed: false, value: 0}))}];
    dispatchEvent(new Event('gamepadconnected'));
  };'''})


def phone(w, h, dpr=3):  # and waits for the page to fit itself to it
    js('window.fitted = false; addEventListener("resize", () => fitted = true)')
    cdp('Emulation.setDeviceMetricsOverride', {'width': w, 'height': h, 'deviceScaleFactor': dpr, 'mobile': True})
    until(lambda: js('return fitted'))
def rect(sel): return js('const r = document.querySelector(arguments[0]).getBoundingClientRect(); '
                         'return [r.left, r.top, r.right, r.bottom]', sel)
def at(sel): (l, t, r, b) = rect(sel); return {'x': (l + r) / 2, 'y': (t + b) / 2}
def touch(kind, *points): cdp('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': list(points)})
def finger(n, sel): return dict(at('.ctl[aria-label="%s"]' % sel), id=n)
def shown(): return js('return !document.getElementById("card").hidden')
def padset(what): js('const p = window.pad; ' + what)


def fits(what, want):  # the card on four phones: every line and control in sight, none on another, a finger's size
    for w, h in [(360, 640), (390, 844), (430, 932), (844, 390)]:
        phone(w, h)
        lines, ctls, pad, names = js('''const box = e => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.right, r.bottom]; };
          const seen = e => e.getClientRects().length && getComputedStyle(e).visibility == 'visible';
          const all = s => [...document.querySelectorAll(s)].filter(seen).map(box);
          return [all('#card h1, #card p:not(:empty):not(#runs)'), all('#runs > :not(input)'), all('.ctl'),
                  [...document.querySelectorAll('#runs > :not(input)')].filter(seen).map(e => e.textContent)]''')
        off = [r for r in lines + ctls if r[0] < 0 or r[1] < 0 or r[2] > w or r[3] > h]
        small = [r for r in ctls if r[3] - r[1] < 44]
        over = [(a, c) for i, a in enumerate(ctls + pad) for c in (ctls + pad)[i + 1:] + lines * (a in pad)
                if a[0] < c[2] and c[0] < a[2] and a[1] < c[3] and c[1] < a[3]]
        k = (rect('#canvas')[2] - rect('#canvas')[0]) * 3 / 320
        check(not off and not small and not over and abs(k - round(k)) < 0.01 and names == want,
              '%s on %dx%d: %d lines and %s in sight, none under 44 px or on another, the screen x%g '
              '(off: %s, small: %s, over: %s)' % (what, w, h, len(lines), names, k, off, small, over))


phone(390, 844)
d.get(url + '?seed=22')
check(ready(), 'the start card appears on the phone')
pad = ['Up', 'Left', 'Right', 'Down', 'End', 'Music', 'Fullscreen', 'Wait']
for w, h, dpr, scale, where, what in [
        (390, 844, 3, 0, lambda c: rect('#dpad')[1] >= c[3], 'portrait: the pad below the screen'),
        (844, 390, 3, 0, lambda c: rect('#dpad')[2] <= c[0] and rect('#buttons')[0] >= c[2],
         'landscape: the arrows left of the screen, the buttons right'),
        (667, 375, 2, 2, lambda c: True, 'a small phone on its side: smaller controls')]:
    phone(w, h, dpr)  # the pad's names and place, none on the screen or under 48 px, a whole scale
    names = js('return [...document.querySelectorAll(".ctl")].map(b => b.getAttribute("aria-label") || b.textContent)')
    c = rect('#canvas')
    boxes = {n: rect('.ctl[aria-label="%s"]' % n) for n in names}
    over = [n for n, (l, t, r, b) in boxes.items() if l < c[2] and r > c[0] and t < c[3] and b > c[1]]
    small = [n for n, (l, t, r, b) in boxes.items() if min(r - l, b - t) < 48]
    k = (c[2] - c[0]) * js('return devicePixelRatio') / 320
    check(names == pad and not over and not small and abs(k - round(k)) < 0.01 and k == (scale or k) and where(c),
          '%s, the screen x%g (%s; over: %s, small: %s)' % (what, k, names, over, small))
phone(390, 844)

sound = music()[0]
touch('touchStart', finger(1, 'Wait'))
touch('touchEnd')
check(sound == 'suspended' and until(lambda: not shown()) and frames() == 0 and step() and
      until(lambda: music() == ['running', True]), 'a tap on a control starts a run, and the sound held back till then')
stepto(45)
touch('touchStart', finger(1, 'Down'))
step()  # frame 45
touch('touchStart', finger(1, 'Down'), finger(2, 'Right'))
step()  # 46: Down and Right, two fingers: play starts
touch('touchEnd')
stepto(60)
touch('touchStart', finger(1, 'Wait'))
step()  # 60
touch('touchEnd')
stepto(70)
touch('touchStart', finger(1, 'Right'))
held = js('return [...document.querySelectorAll(".held")].map(b => b.getAttribute("aria-label"))')
step()  # 70
touch('touchMove', finger(1, 'Up'))
step()  # 71: slid from Right to Up
touch('touchEnd')
stepto(90)
seed, trace, st = played(native)
lines = trace.split('\n')
want = {45: 'd274', 46: 'd275', 47: 'u274 u275', 60: 'd32', 61: 'u32', 70: 'd275', 71: 'u275 d273', 72: 'u273'}
got = {i: l for i, l in enumerate(lines) if l}
check(got == want, 'the controls as key events at their frames: %s' % got)
check(st[45]['mode'] == '0' and st[46]['mode'] == '1' and st[60]['pl'] == st[59]['pl'] and
      st[70]['pl'] == '10,21' and st[71]['km'] == '2' and held == ['Right'],
      'Down with Right starts play, Wait waits, Right steps to %s, the slide holds Up; Right shows held' % st[70]['pl'])
check(js('return [scrollX, scrollY, visualViewport.scale, getSelection().toString()]') == [0, 0, 1, ''] and
      js('return [getComputedStyle(document.body).touchAction, getComputedStyle(dpad).touchAction]') ==
      ['pinch-zoom', 'none'], 'the page did not scroll, zoom or select; it zooms with two fingers, but not on the pad')

same, seed = canvas_is_replayed(native)
check(same, 'the canvas at frame 90 equals bitrot-replay --seed %d --screen of the touch run' % seed)
if shots:
    d.save_screenshot(os.path.join(shots, 'screenshot-web-phone.png'))
    phone(844, 390)
    d.save_screenshot(os.path.join(shots, 'screenshot-web-phone-wide.png'))
    phone(390, 844)

until(lambda: music() == ['running', True])  # the play track decoded and playing
down('m')
step()
volume = js('return [SDL.music.volume, SDL.music.audio.webAudioGainNode.gain.value]')
up('m')
touch('touchStart', finger(1, 'Music'))
touch('touchEnd')
until(lambda: js('return SDL.music.volume') == 1, 5)
step()
check(volume == [0, 0] and js('return [SDL.music.volume, document.getElementById("music").ariaPressed]') == [1, 'true']
      and played(native)[1].split('\n')[90:] == ['', '', ''],
      'M turns the music off (%s), the Music control on again; neither reaches the game' % volume)
js('window.clicks = 0; addEventListener("click", () => clicks++, true)')
touch('touchStart', finger(1, 'End'))
ended = step(5)
touch('touchEnd')
check(ended == 1 and until(lambda: js('return clicks'), 5) and shown() and 'play again' in card(),
      'End ends the run; lifting the finger from it starts no other')
until(lambda: js('return !document.getElementById("share").hidden'))
fits('the end card', ['Save the run', 'Share', 'Copy link', 'Link to this run', "Today's world",
                        'Watch a recording'])
phone(390, 844)
touch('touchStart', finger(1, 'Fullscreen'))
touch('touchEnd')
check(until(lambda: js('return document.fullscreenElement === document.getElementById("screen")'), 10) and
      until(lambda: (rect('#canvas')[2] - rect('#canvas')[0]) * 3 % 320 == 0, 10),
      'the Fullscreen control puts the screen in fullscreen, at a whole scale')
down(Keys.F11)
check(until(lambda: js('return document.fullscreenElement') is None, 10), 'F11 takes it out')
up(Keys.F11)

d.get(url + '#run=@')
check(until(lambda: 'not base64url' in js('return runsaid.textContent')), 'a link that is none is refused')
fits('the card refusing it', ["Today's world", 'Watch a recording'])
phone(390, 844)
d.get(url + '?seed=22')
ready()
js('connectpad(); pad.buttons[0].pressed = true')
note = lambda: js('return document.getElementById("padnote").textContent')
check(until(lambda: 'a tap, a click or a key' in note()) and shown() and music()[0] == 'suspended',
      'before any sound a pad cannot start the run, and the card says so: ' + note())
padset('p.buttons[0].pressed = false')
touch('touchStart', {**at('#cardtext'), 'id': 1})  # the card's words, clear of its controls
touch('touchEnd')
until(lambda: not shown())
stepto(45)
for f, what in [(45, 'p.buttons[0].pressed = true'), (46, 'p.buttons[0].pressed = false'),
                (50, 'p.buttons[15].pressed = true'), (51, 'p.buttons[15].pressed = false'),
                (55, 'p.axes[0] = 0.9'), (56, 'p.axes[0] = 0.3'), (60, 'p.axes[0] = 0.45; p.axes[1] = -0.4'),
                (61, 'p.axes[1] = 0.8'), (62, 'p.axes[0] = p.axes[1] = 0'), (65, 'p.buttons[9].pressed = true'),
                (66, 'p.buttons[9].pressed = false'), (70, 'p.buttons[8].pressed = true')]:
    stepto(f)
    padset(what)
ended = step(5)
seed, trace, st = played(native)
got = {i: l for i, l in enumerate(trace.split('\n')) if l}
check(ended == 1 and got == {45: 'd32', 46: 'u32', 50: 'd275', 51: 'u275', 55: 'd275', 56: 'u275', 61: 'd274',
                             62: 'u274', 65: 'd13', 66: 'u13', 70: 'd27'} and st[45]['mode'] == '1',
      'A, the D-pad, the stick past half its travel, Start and Back, at their frames; near the middle nothing: %s'
      % got)
padset('p.buttons[8].pressed = false')
js('pad.buttons[9].pressed = true')
check(until(lambda: not shown()) and step(2) == 2 and frames() == 2, 'once the sound runs, Start on the pad plays again')
js('navigator.getGamepads = () => { throw new DOMException("not in this frame", "SecurityError"); }')
check(step(3) == 3 and frames() == 5, 'pads the browser refuses (a game host\'s frame): the game plays on')
# An iPhone's Safari has no Fullscreen API for a page, an iPad's older one only
# the webkit- names: the control is there only where it works.
for gone, want in [('requestFullscreen webkitRequestFullscreen', False), ('requestFullscreen', True)]:
    first = cdp('Page.addScriptToEvaluateOnNewDocument', {'source': 'for (const n of "%s fullscreenEnabled".split(" ")) '
                '{ delete Element.prototype[n]; delete Document.prototype[n]; }' % gone})
    d.get(serve(site))
    cdp('Page.removeScriptToEvaluateOnNewDocument', first)
    ready()
    visible = js('return !document.querySelector(".full").hidden')
    if want: touch('touchStart', finger(1, 'Fullscreen')), touch('touchEnd')
    check(visible == want and until(lambda: js('return !!document.webkitFullscreenElement') == want, 10),
          'with no %s the Fullscreen control is %s' % (gone, 'shown, and works' if want else 'not shown'))
sys.exit(finish())
