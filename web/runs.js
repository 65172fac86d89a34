// Runs kept on the page: the last run saved as a recording, in the format of
// `bitrot --record`, or passed on as a link; a recording watched, from a file
// picked or dropped on the page or from a link opened, at the game's pace, as
// `bitrot --playback` plays it. Escape stops the watching.
//
// A link is the page's address with the run in its fragment, #run=..., which
// browsers never send to a server: the recording packed a byte per event
// (src/link/link.h), raw-deflated by the browser's own CompressionStream and
// written in base64url. bitrot-replay and bitrot --playback open it too.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page || !window.Module) return;  // no WebAssembly: page.js has said so
  const $ = id => document.getElementById(id);
  const card = $('card'), controls = $('runs'), lasted = $('lasted'), said = $('runsaid'), bar = $('watching');
  const save = $('save'), share = $('share'), copy = $('copy'), runlink = $('runlink'), again = $('again');
  const picker = $('watch');
  // Why a recording of this many bytes is too large, or '': the core's limit.
  const toolarge = size => Module.UTF8ToString(Module._webtoolarge(size));
  let watched = '';          // the name of what is being watched
  let shared = null;         // the content of the link the page was opened with, until it is watched
  let ended = 0;             // runs ended, so that a link made late is not another run's
  let sharetext = '';

  // A click on these is theirs, not the card's "click to play".
  controls.addEventListener('click', e => e.stopPropagation());
  Module.postRun.push(function () { controls.hidden = false; });

  function tobase64url(bytes) {
    let s = '';
    for (let i = 0; i < bytes.length; i += 32768) s += String.fromCharCode.apply(null, bytes.subarray(i, i + 32768));
    return btoa(s).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  function frombase64url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) throw new Error('not base64url');
    return Uint8Array.from(atob(text.replace(/-/g, '+').replace(/_/g, '/')), c => c.charCodeAt(0));
  }

  function deflate(bytes) {
    return new Response(new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'))).arrayBuffer();
  }

  // Stops as soon as it passes the size of the largest file the page watches.
  async function inflate(bytes) {
    const from = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
    const parts = [];
    for (let size = 0; ;) {
      let got;
      try {
        got = await from.read();
      } catch (e) {
        throw new Error('damaged: its data does not inflate whole');
      }
      if (got.done) break;
      const why = toolarge(size += got.value.length);
      if (why) {
        from.cancel().catch(() => {});
        throw new Error(why);
      }
      parts.push(got.value);
    }
    return new Uint8Array(await new Blob(parts).arrayBuffer());
  }

  // The page's own address, with no query: the recording holds the seed.
  function address() { return location.href.replace(/[?#].*$/, ''); }

  function lasting(frames) {  // at the game's pace, 20 frames a second
    const s = Math.floor(frames / 20);
    return s < 60 ? s + ' s' : Math.floor(s / 60) + ' min ' + (s % 60) + ' s';
  }

  page.onrunend = function () {
    said.textContent = '';
    save.hidden = false;
    again.hidden = true;
    const turns = Module._webturns(), time = lasting(Module._webframes());
    const day = page.today(), daily = (Module._webseed() >>> 0) === day.seed;
    const length = `${turns} turn${turns === 1 ? '' : 's'}, ${time} at the game's pace`;
    lasted.textContent = 'This run: ' + length + (daily ? `, in today's world (${day.date})` : '');
    lasted.hidden = false;
    sharetext = daily ? `My run in today's world of bitrot (${day.date}): ${length}.` : `A run of bitrot: ${length}.`;

    const run = ++ended;
    const at = Module._webpacked();
    const packed = Module.HEAPU8.slice(at, at + Module._webpackedsize());
    deflate(packed).then(function (bytes) {
      if (run !== ended) return;
      runlink.href = address() + '#run=' + tobase64url(new Uint8Array(bytes));
      runlink.hidden = false;
      copy.hidden = !(navigator.clipboard && navigator.clipboard.writeText);
      share.hidden = !(navigator.share && (!navigator.canShare || navigator.canShare({url: runlink.href})));
    }, e => console.warn('bitrot: no link to the run: ' + e.message));
  };

  save.addEventListener('click', function () {
    const text = Module.UTF8ToString(Module._webrecording());
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([text], {type: 'text/plain'}));
    a.download = 'bitrot-' + (Module._webseed() >>> 0) + '.txt';
    a.click();
    save.blur();  // the next key starts a run, as anywhere on the card
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
  });

  copy.addEventListener('click', function () {
    copy.blur();
    navigator.clipboard.writeText(runlink.href).then(() => { said.textContent = 'Copied'; },
                                                     e => { said.textContent = 'Not copied: ' + e.message; });
  });

  share.addEventListener('click', function () {
    share.blur();
    navigator.share({title: 'bitrot', text: sharetext, url: runlink.href}).catch(function (e) {
      if (e.name !== 'AbortError') said.textContent = 'Not shared: ' + e.message;  // not the player's own cancel
    });
  });

  function refuse(name, why) {
    said.textContent = name + ': ' + why;
    console.warn('bitrot: ' + said.textContent);
  }

  // The recording's bytes read by the game's own reader, the file's or the
  // link's alike; it starts playing unless refused. Only between runs; a
  // refused recording changes nothing.
  function play(name, bytes, label) {
    page.opensound();
    Module.FS.writeFile('/watching', bytes);
    const why = Module.UTF8ToString(Module._webwatch(0));
    if (why) return refuse(name, why);
    watched = name;
    said.textContent = '';
    for (const c of [lasted, save, share, copy, runlink, again]) c.hidden = true;
    card.hidden = true;
    bar.textContent = 'Watching ' + label + ' · Escape stops';
    bar.hidden = false;
    page.setstate('watching');
  }

  function watch(file) {
    const from = page.state();
    if (from !== 'ready' && from !== 'ended') return;
    if (toolarge(file.size)) return refuse(file.name, 'too large to be a recording');
    file.arrayBuffer().then(function (bytes) {
      if (page.state() === from) play(file.name, new Uint8Array(bytes), file.name);
    }, e => refuse(file.name, e.message));
  }

  // The desktop's words: played N frames; the last matches the end line (or not).
  Module.onwatchend = function (result) {
    page.setstate('ended');
    bar.hidden = true;
    page.say('Press a key or click to play');
    said.textContent = watched + ': ' + result;
    again.hidden = false;  // a run of one's own on the recording's seed
  };
  again.addEventListener('click', function () {
    again.blur();
    page.begin(Module._webwatchseed() >>> 0);
  });
  $('today').addEventListener('click', function (e) {
    e.currentTarget.blur();
    page.begin(page.today().seed);
  });

  // A link opened: its run is read once the game is there (whose reader
  // knows how large a recording may be), and refused with the reason or
  // watched at the player's first key, click or tap (browsers hold sound back
  // until then). Until it is read, no run starts.
  let reading = false;
  Module.postRun.push(function () {
    if (!location.hash.startsWith('#run=')) return;
    reading = true;
    page.say('Reading the run shared with you…');
    Promise.resolve(location.hash.slice(5)).then(frombase64url).then(inflate)
      .then(bytes => ({bytes: bytes}), e => ({why: e.message})).then(function (got) {
        reading = false;
        let why = got.why;
        if (!why) {
          Module.FS.writeFile('/watching', got.bytes);
          why = Module.UTF8ToString(Module._webwatch(1));
        }
        if (why) {
          page.say('Press a key, click or tap to play');
          return refuse('The link', why);
        }
        shared = got.bytes;
        page.say('A run was shared with you. Press a key, click or tap to watch it');
      });
  });
  page.onstart = function () {
    if (reading) return true;
    if (!shared) return false;
    play('The link', shared, 'a shared run');
    shared = null;
    return true;
  };

  picker.addEventListener('change', function () {
    if (picker.files.length) watch(picker.files[0]);
    picker.value = '';  // the same file may be picked again
    picker.blur();
  });
  // A file dropped anywhere on the page, never opened by the browser in its place.
  addEventListener('dragover', e => e.preventDefault());
  addEventListener('drop', function (e) {
    e.preventDefault();
    if (e.dataTransfer.files.length) watch(e.dataTransfer.files[0]);
  });
})();
