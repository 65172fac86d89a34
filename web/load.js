// What the page fetches once the start card is up, so that nothing holds the
// game back: the music, then the offline copy of the whole page. Until a
// track has arrived the game's music switch finds no file and the game plays
// silent, as the desktop does without its music; the game never waits for it.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page || !window.Module) return;  // no WebAssembly: page.js has said so

  // Written where the game's music switch looks for it; when the game wants
  // this track now, the platform starts it at once.
  function track(t) {
    return fetch(t + '.ogg')
      .then(function (r) {
        if (!r.ok) throw new Error(r.status + ' ' + r.statusText);
        return r.arrayBuffer();
      })
      .then(function (b) {
        Module.FS.writeFile('/' + t + '.ogg', new Uint8Array(b));
        open();  // before the game plays it
        Module._webtrack(t);
      })
      .catch(e => console.warn(`bitrot: ${t}.ogg could not be loaded (${e.message}); the game goes on without it`));
  }

  // The service worker (sw.js) keeps every file, so the next visit plays with
  // no network; it is asked for only now, so as not to fetch the music twice
  // over a slow link.
  function offline() {
    if (!('serviceWorker' in navigator)) return;
    navigator.serviceWorker.register('sw.js')
      .catch(e => console.warn('bitrot: the page will not play offline: ' + e.message));
  }

  // Opening the sound can take a while (0.2 s in a headless Chromium with no
  // sound card, most of it the browser starting its audio, and more on a busy
  // machine), and it blocks the page meanwhile; browsers let it play only
  // once the player has acted. So it is opened just after the player's key,
  // click or tap that starts a run or a recording (page.opensound), in a task
  // of its own, so that the card goes at once; and at the latest before
  // anything that plays: the run's first frame, a track arriving. SDL opens
  // the sound at the game's start-up; it is given a stand-in then, suspended,
  // which its start-up merely asks to resume on a key, and which nothing
  // plays, since everything that plays comes after open().
  const Context = window.AudioContext || window.webkitAudioContext;
  let wanted = false, sound = null;
  function open() {
    if (!wanted || sound || !Context) return;
    SDL.audioContext = sound = new Context();
    if (sound.state === 'suspended') sound.resume().catch(() => {});
  }
  page.opensound = function () {
    wanted = true;
    setTimeout(open, 0);
  };
  page.eachframe.push(open);
  Module.preRun = [function () {
    if (!Context) return;  // no Web Audio: SDL does without, as it did
    SDL.openAudioContext = function () {
      if (!SDL.audioContext) SDL.audioContext = {state: 'suspended', resume: () => Promise.resolve()};
    };
  }];

  // Once the start card has been drawn: a page that loads fast (from a cache,
  // or a machine's own server) could otherwise start fetching 2 MB before it
  // is first drawn.
  Module.postRun.push(function () {
    requestAnimationFrame(() => setTimeout(() => track(0).then(() => track(1)).then(offline), 0));
  });

  // A new build's worker takes over as soon as it holds all its files. A page
  // still loading would get the rest of its files from that build, and the
  // program of one build with the other's is no program: it starts again.
  if ('serviceWorker' in navigator && navigator.serviceWorker.controller) {
    navigator.serviceWorker.addEventListener('controllerchange', function () {
      if (page.state() === 'loading') location.reload();
    });
  }
})();
