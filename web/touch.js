// The touch pad: on a device with touch, buttons beside or below the screen,
// never on it. A finger on one of the game's controls holds its key, and
// sliding onto another lets go of the first and presses the next; two fingers
// hold two keys. The game gets them as the keyboard's keys, through webkey.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page || !page.start) return;
  const fromtouch = 1;  // webkey's number for this source
  const html = document.documentElement;
  const screen = document.getElementById('screen');
  let dpad, buttons;

  // Builds a group of buttons: [label, text, key code or null, class].
  function group(id, list) {
    const g = document.createElement('div');
    g.id = id;
    g.className = 'pad';
    for (const [label, text, key, cls] of list) {
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'ctl ' + cls;
      b.textContent = text;
      b.setAttribute('aria-label', label);
      if (key !== null) b.dataset.key = key;
      g.appendChild(b);
    }
    screen.appendChild(g);
    return g;
  }

  // The room the pad takes from the screen: beside it when the display is
  // wider than tall, below it otherwise; with smaller controls and gaps when
  // that gives the screen a larger whole scale (a small phone on its side).
  // page.js's fit() calls it.
  const wide = matchMedia('(orientation: landscape)');  // as style.css lays it out
  function measure(compact) {
    html.classList.toggle('compact', compact);
    const gap = compact ? 8 : 16;
    if (wide.matches) return [2 * (Math.max(dpad.offsetWidth, buttons.offsetWidth) + 2 * gap), 0];
    return [0, Math.max(dpad.offsetHeight, buttons.offsetHeight) + 3 * gap];
  }
  function room() {
    const roomy = measure(false);
    return page.scale(measure(true)) > page.scale(roomy) ? measure(true) : measure(false);
  }

  // Each finger (pointer) and the control under it; each control, how many
  // fingers are on it and how many of those the game was told of. A finger
  // that came onto a control between runs holds nothing in the game.
  const fingers = new Map();
  const on = new Map();
  const told = new Map();
  // The game's control at or inside el, or null (Music and Fullscreen are the
  // page's, and act on a click).
  function control(el) { return el && el.closest ? el.closest('#dpad .ctl, #buttons .ctl[data-key]') : null; }
  // A finger comes onto el: it shows pressed, and in play the game gets its
  // key unless another finger holds it already.
  function enter(f, el) {
    f.el = el;
    f.live = page.playing();
    on.set(el, (on.get(el) || 0) + 1);
    el.classList.add('held');
    if (!f.live) return;
    told.set(el, (told.get(el) || 0) + 1);
    if (told.get(el) === 1) Module._webkey(Number(el.dataset.key), 1, fromtouch);
  }
  // A finger leaves its control: the key goes up when no finger the game was
  // told of is left on it.
  function leave(f) {
    const el = f.el;
    f.el = null;
    on.set(el, on.get(el) - 1);
    if (!on.get(el)) el.classList.remove('held');
    if (!f.live) return;
    told.set(el, told.get(el) - 1);
    if (!told.get(el)) Module._webkey(Number(el.dataset.key), 0, fromtouch);
  }
  // Finger id is now on el (null: on no control, or lifted). Called on its
  // press, on every move and when it lifts.
  function moveto(id, el) {
    const f = fingers.get(id);
    if (f.el === el) return;
    if (f.el) leave(f);
    if (el) enter(f, el);
  }

  // A tap on a control between runs starts one, through page.js's click
  // handler as a tap on the card does; a touch that began in play must not
  // start the next run when the finger lifts from End.
  let begunplaying = false;
  // Shows the pad, once: at start-up on a device whose pointer is a finger, or
  // at the first touch on any other.
  function show() {
    if (dpad) return;
    html.classList.add('touch');  // style.css: the pad's place, the card's, and no gestures but zooming
    const k = page.keys;
    dpad = group('dpad', [['Up', '▲', k.up, 'up'], ['Left', '◀', k.left, 'left'],
                          ['Right', '▶', k.right, 'right'], ['Down', '▼', k.down, 'down']]);
    buttons = group('buttons', [['End', 'End', k.end, 'end'], ['Music', '♪', null, 'music'],
                                ['Fullscreen', '⤢', null, 'full'], ['Wait', 'Wait', k.wait, 'wait']]);
    const music = buttons.querySelector('.music');
    music.id = 'music';
    music.setAttribute('aria-pressed', 'true');
    music.addEventListener('click', function () { page.togglemusic(); });
    const full = buttons.querySelector('.full');
    full.hidden = !page.canfullscreen;
    full.addEventListener('click', function () { page.togglefullscreen(); });
    for (const g of [dpad, buttons]) {
      g.addEventListener('pointerdown', function (e) {
        begunplaying = page.playing();
        if (e.target.hasPointerCapture && e.target.hasPointerCapture(e.pointerId)) {
          e.target.releasePointerCapture(e.pointerId);
        }
        const el = control(e.target);
        if (!el) return;
        e.preventDefault();
        fingers.set(e.pointerId, {el: null, live: false});
        moveto(e.pointerId, el);
      });
      g.addEventListener('click', function (e) {
        if (begunplaying || !control(e.target)) e.stopPropagation();
      });
    }
    const keys = document.getElementById('keys');
    if (keys) keys.textContent = 'The arrows step · Wait waits · End ends the run';
    page.room = room;
    page.fit();
  }
  addEventListener('pointermove', function (e) {
    if (fingers.has(e.pointerId)) moveto(e.pointerId, control(document.elementFromPoint(e.clientX, e.clientY)));
  });
  for (const type of ['pointerup', 'pointercancel']) {
    addEventListener(type, function (e) {
      if (!fingers.has(e.pointerId)) return;
      moveto(e.pointerId, null);
      fingers.delete(e.pointerId);
    });
  }
  // No long-press menu, on the controls or on the screen.
  addEventListener('contextmenu', function (e) { if (dpad) e.preventDefault(); });

  if (matchMedia('(pointer: coarse)').matches) show();
  else addEventListener('pointerdown', function (e) { if (e.pointerType === 'touch') show(); }, true);
})();
