// Runs kept on the page: the last run saved as a recording, in the format of
// `bitrot --record`, and a recording watched, from a file picked or dropped on
// the page, at the game's pace, as `bitrot --playback` plays it. Escape stops
// the watching.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page || !window.Module) return;  // no WebAssembly: page.js has said so
  const card = document.getElementById('card');
  const controls = document.getElementById('runs');
  const save = document.getElementById('save');
  const picker = document.getElementById('watch');
  const said = document.getElementById('runsaid');
  const bar = document.getElementById('watching');
  const biggest = 64 << 20;  // a day of play is a few MB; past this it is no recording
  let watched = '';          // the name of the file being watched

  // A click on these is theirs, not the card's "click to play".
  controls.addEventListener('click', e => e.stopPropagation());
  Module.postRun.push(function () { controls.hidden = false; });

  const runend = Module.onrunend;
  Module.onrunend = function () {
    runend();
    said.textContent = '';
    save.hidden = false;
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

  function refuse(name, why) {
    said.textContent = name + ': ' + why;
    console.warn('bitrot: ' + said.textContent);
  }

  // Only between runs; a refused file changes nothing.
  function watch(file) {
    const from = page.state();
    if (from !== 'ready' && from !== 'ended') return;
    if (file.size > biggest) return refuse(file.name, 'too large to be a recording');
    file.arrayBuffer().then(function (bytes) {
      if (page.state() !== from) return;
      Module.FS.writeFile('/watching', new Uint8Array(bytes));
      const why = Module.UTF8ToString(Module._webwatch());
      if (why) return refuse(file.name, why);
      watched = file.name;
      said.textContent = '';
      save.hidden = true;
      card.hidden = true;
      bar.textContent = 'Watching ' + file.name + ' · Escape stops';
      bar.hidden = false;
      page.setstate('watching');
    }, e => refuse(file.name, e.message));
  }

  // The desktop's words: played N frames; the last matches the end line (or not).
  Module.onwatchend = function (result) {
    page.setstate('ended');
    bar.hidden = true;
    page.say('Press a key or click to play');
    said.textContent = watched + ': ' + result;
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
