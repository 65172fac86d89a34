// Gamepads, in the standard layout: the D-pad and the left stick past half its
// travel are the arrows, the bottom face button is Space, Start is Return and
// Back is Escape. A button held is the key held; the game gets them as the
// keyboard's keys, through webkey. The pads are read before every game frame,
// and between runs at each animation frame, where a fresh press starts a run.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page || !page.start || !navigator.getGamepads) return;
  const frompad = 2;  // webkey's number for this source
  const k = page.keys;
  const buttonkeys = [[12, k.up], [13, k.down], [14, k.left], [15, k.right], [0, k.wait], [9, k.enter], [8, k.end]];

  // The pads there are. In a frame of another site (a game host) the browser
  // may refuse them, with an exception: then there are none.
  function pads() {
    try {
      return Array.from(navigator.getGamepads()).filter(function (p) { return p; });
    } catch (e) {
      return [];
    }
  }

  // The keys all pads hold now, and every button pressed, as "pad:button".
  function read() {
    const keys = new Set(), pressed = new Set();
    for (const p of pads()) {
      p.buttons.forEach(function (b, i) { if (b.pressed) pressed.add(p.index + ':' + i); });
      for (const [b, key] of buttonkeys) if (p.buttons[b] && p.buttons[b].pressed) keys.add(key);
      const x = p.axes[0] || 0, y = p.axes[1] || 0;
      if (x > 0.5) keys.add(k.right);
      if (x < -0.5) keys.add(k.left);
      if (y > 0.5) keys.add(k.down);
      if (y < -0.5) keys.add(k.up);
    }
    return [keys, pressed];
  }

  // Chromium does not count a pad's button as the player's act that lets a
  // page start sound, and other browsers may not either. Once the page's sound
  // is running (a key, a click or a tap started a run) a pad may start the
  // next; before that the card asks for one of those.
  function soundok() {
    return typeof SDL !== 'undefined' && !!SDL.audioContext && SDL.audioContext.state === 'running';
  }
  const note = document.createElement('p');
  note.id = 'padnote';
  note.hidden = true;
  document.getElementById('card').appendChild(note);
  // The card's line about the pad, kept true as the sound's state changes.
  function say() {
    const text = soundok() ? 'A pad is connected: any of its buttons plays'
      : 'A pad is connected. This browser starts the sound only on a tap, a click or a key: ' +
        'start with one of those, and the pad plays from then on';
    if (note.textContent !== text) note.textContent = text;
    note.hidden = false;
  }

  // Reads the pads: in play, every change of the keys they hold goes to the
  // game; between runs, a button newly pressed starts one. Called before every
  // game frame (page.eachframe) and, while a pad is connected, at every
  // animation frame.
  let held = new Set(), pressed = new Set();
  function poll() {
    const was = held, before = pressed;
    [held, pressed] = read();
    if (page.playing()) {
      for (const k of held) if (!was.has(k)) Module._webkey(k, 1, frompad);
      for (const k of was) if (!held.has(k)) Module._webkey(k, 0, frompad);
      return;
    }
    if (!note.hidden) say();
    // What is held when a run starts stays out of it until pressed again, as
    // with the key that starts it.
    if (![...pressed].some(function (b) { return !before.has(b); })) return;
    say();
    if (soundok()) page.start();
  }

  // The animation-frame reading, while any pad is there.
  let looping = false;
  function loop() {
    poll();
    looping = pads().length > 0;
    if (looping) requestAnimationFrame(loop);
    else note.hidden = true;
  }
  function connected() {
    say();
    if (!looping) loop();
  }
  addEventListener('gamepadconnected', connected);
  if (pads().length) connected();
  page.eachframe.push(poll);
})();
