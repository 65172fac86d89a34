// bitrot's page: the start card, the screen's scale, the seed, and which keys
// the game gets. The game itself is bitrot.js and bitrot.wasm; load.js fetches
// the music and keeps the page offline, runs.js saves and plays recordings.
//
// The page's contract. index.html names its scripts in this order, and the
// build puts them in that order into one script inside it (pack.js). Each
// runs once, at once, and reaches the others only through window.bitrot
// (`page` in each) and emscripten's Module, set up as follows:
//
//   script      sets on window.bitrot                  sets on Module
//   page.js     keys, scale, fit, room, say, state,    the object: canvas, postRun,
//               setstate, today, begin, start,          onrunend, onAbort, onframe;
//               playing, eachframe                      then adds bitrot.js at
//                                                       DOMContentLoaded
//   ownkeys.js  togglemusic, togglefullscreen,
//               canfullscreen, ownkey
//   touch.js    room (its pad's, once shown)
//   pad.js      eachframe += its reading of the pads
//   load.js     opensound; eachframe += the sound      preRun; postRun += the music
//   runs.js     onstart, onrunend                      onwatchend; postRun += its own
//
// page.js calls the hooks later scripts set (room, ownkey, onstart, onrunend,
// opensound, eachframe) when they exist; no script replaces another's. The
// core's figures come from the core (Module._webtoolarge); its key codes are
// `keys`.
'use strict';

(function () {
  const card = document.getElementById('card');
  const cardtext = document.getElementById('cardtext');
  const canvas = document.getElementById('canvas');

  // The room the page's own controls take beside the screen and below it, in
  // CSS pixels: none until touch.js shows its pad.
  const page = window.bitrot = {room: function () { return [0, 0]; }, fit: fit, scale: scale};

  // The game's codes for the keys the page sends it (SDL 1.2's), by the
  // touch pad and gamepads through webkey.
  page.keys = {up: 273, down: 274, right: 275, left: 276, wait: 32, enter: 13, end: 27};
  page.eachframe = [];

  function say(text) {
    cardtext.textContent = text;
    card.hidden = false;
  }

  // The largest whole number of device pixels per game pixel that fits beside
  // and above controls taking [w, h] CSS pixels (at least 1).
  function scale([w, h]) {
    const dpr = window.devicePixelRatio || 1;
    return Math.max(1, Math.floor(Math.min((innerWidth - w) * dpr / 320, (innerHeight - h) * dpr / 240)));
  }
  function fit() {
    document.documentElement.style.setProperty('--scale', scale(page.room()) / (window.devicePixelRatio || 1));
  }
  addEventListener('resize', fit);
  fit();

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    say('This browser cannot run WebAssembly, which bitrot needs. ' +
        'A current Firefox, Chrome, Edge or Safari can.');
    return;
  }

  // ?seed=N gives every run that seed, ?seed=today today's world; otherwise
  // the clock does, in seconds, as on the desktop.
  //
  // Today's world is the seed made of the UTC date's digits, YYYYMMDD
  // (20261208 on 8 December 2026), so that everyone who plays on one day
  // meets the same world. ?date=YYYY-MM-DD says which day today is: for the
  // tests, and for a day gone by.
  const query = new URLSearchParams(location.search);
  let fixedseed = null, daily = false;
  const asked = query.get('seed');
  if (asked === 'today') daily = true;
  else if (asked !== null) {
    if (/^[0-9]{1,10}$/.test(asked) && Number(asked) <= 4294967295) fixedseed = Number(asked);
    else console.warn(`bitrot: ?seed=${asked} is not a number from 0 to 4294967295 or "today"; the clock seeds the game`);
  }
  let day = query.get('date');
  const isday = d => /^[0-9]{4}-[0-9]{2}-[0-9]{2}$/.test(d) && new Date(Date.parse(d)).toISOString().startsWith(d);
  if (day !== null && !isday(day)) {
    console.warn(`bitrot: ?date=${day} is not a date YYYY-MM-DD; today is the clock's`);
    day = null;
  }
  page.today = function () {
    const date = day || new Date().toISOString().slice(0, 10);
    return {date: date, seed: Number(date.replace(/-/g, ''))};
  };

  // Music that can't be decoded leaves the game silent, as on the desktop.
  addEventListener('unhandledrejection', function (e) {
    if (e.reason && e.reason.name === 'EncodingError') {
      console.warn('bitrot: a music track could not be decoded; the game goes on without it');
      e.preventDefault();
    }
  });

  let state = 'loading';  // then 'ready', 'playing', 'ended'; 'watching' a recording

  // For load.js and runs.js, which start a recording between runs.
  page.say = say;
  page.state = function () { return state; };
  page.setstate = function (s) { state = s; };

  // A run with this seed, between runs only.
  function begin(seed) {
    if (state !== 'ready' && state !== 'ended') return;
    state = 'playing';
    card.hidden = true;
    if (page.opensound) page.opensound();
    Module._webstart(seed);
  }
  page.begin = begin;
  // A run as the address asks; runs.js may take the start instead (a shared
  // run to watch), through page.onstart.
  function start() {
    if (state !== 'ready' && state !== 'ended') return;
    if (page.onstart && page.onstart()) return;
    begin(daily ? page.today().seed : fixedseed !== null ? fixedseed : Math.floor(Date.now() / 1000));
  }
  page.start = start;
  // The game's frames run: a run, or a recording watched, which Escape (End on
  // the touch pad, Back on a pad) stops.
  page.playing = function () { return state === 'playing' || state === 'watching'; };

  // In play the game's keys go to it and the others stay the browser's. Between
  // runs no key reaches the game, and any plain key press starts one.
  const gamekeys = new Set(['ArrowRight', 'ArrowUp', 'ArrowLeft', 'ArrowDown', 'Space',
                            'ControlLeft', 'Enter', 'Escape']);
  function onkey(e) {
    if (page.ownkey && page.ownkey(e)) return;
    if (state === 'playing' || state === 'watching') {
      if (!gamekeys.has(e.code)) e.stopImmediatePropagation();
      return;
    }
    e.stopImmediatePropagation();
    if (e.target.closest && e.target.closest('button, input')) return;  // a control of the card's own
    if (e.code.startsWith('Arrow') || e.code === 'Space') e.preventDefault();
    if (e.type === 'keydown' && !e.repeat && !e.ctrlKey && !e.altKey && !e.metaKey) start();
  }
  for (const type of ['keydown', 'keyup', 'keypress']) addEventListener(type, onkey, true);
  addEventListener('click', start);

  // Reduced flashing, a filter over what is shown (the game is untouched): as
  // the player last chose it on the card, else on wherever the browser says
  // the player prefers reduced motion. A page that may not keep anything
  // still switches it, for the visit.
  const calm = document.getElementById('calm');
  function keep(value) {
    try {
      if (value === undefined) return localStorage.getItem('bitrot-reduce-flashing');
      localStorage.setItem('bitrot-reduce-flashing', value);
    } catch (e) {
      return null;
    }
  }
  const chosen = keep();
  calm.checked = chosen !== null ? chosen === 'on' : matchMedia('(prefers-reduced-motion: reduce)').matches;
  function tellcalm() {
    if (state !== 'loading') Module._webcalm(calm.checked ? 1 : 0);
  }
  calm.addEventListener('change', function () {
    keep(calm.checked ? 'on' : 'off');
    tellcalm();
  });
  page.togglecalm = function () {  // F, as on the desktop (ownkeys.js)
    calm.checked = !calm.checked;
    calm.dispatchEvent(new Event('change'));
  };
  // A click on it is the control's, not a start.
  document.getElementById('calmed').addEventListener('click', e => e.stopPropagation());

  window.Module = {
    canvas: canvas,
    noAudioDecoding: true,  // the music is decoded by Web Audio when it is loaded
    // Browsers hold sound back until the player acts, so the game waits for a
    // key or a click; main has only opened the screen.
    postRun: [function () {
      state = 'ready';
      tellcalm();
      say('Press a key, click or tap to play');
    }],
    onrunend: function () {
      state = 'ended';
      say('The run is over. Press a key, click or tap to play again');
      if (page.onrunend) page.onrunend();
    },
    // Before every game frame, of a run or a recording: what the later
    // scripts must do first (the sound opened, the pads read).
    onframe: function () {
      for (const f of page.eachframe) f();
    },
    onAbort: function (what) {
      state = 'loading';
      say('bitrot stopped: ' + what);
    },
  };
  // Once the page's other scripts have added to Module (index.html preloads it meanwhile).
  addEventListener('DOMContentLoaded', function () {
    const script = document.createElement('script');
    script.src = 'bitrot.js';
    script.onerror = function () { say('bitrot.js could not be loaded.'); };
    document.body.appendChild(script);
  });
})();
