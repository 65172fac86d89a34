// The page's own keys, as on the desktop: M turns the music off and on, F11
// puts the screen in fullscreen and takes it out, F switches reduced flashing. They belong to the page, not
// to the game: neither reaches it, so a recording never holds them. The touch
// pad has a control for each.
'use strict';

(function () {
  const page = window.bitrot;
  if (!page) return;
  const screen = document.getElementById('screen');
  let musicon = true;

  // Music off or on; nothing to do until the game has loaded, since until then
  // there is no sound to turn off.
  page.togglemusic = function () {
    if (!window.Module || !Module._webmusic) return;
    musicon = !musicon;
    Module._webmusic(musicon ? 1 : 0);
    const control = document.getElementById('music');
    if (control) control.setAttribute('aria-pressed', String(musicon));
  };

  // The screen's container fills the display; fit() then finds the largest
  // whole scale that fits there.
  const request = screen.requestFullscreen || screen.webkitRequestFullscreen;
  const leave = document.exitFullscreen || document.webkitExitFullscreen;
  // The Fullscreen control is shown only where the page can go fullscreen: not
  // on an iPhone, whose Safari has no Fullscreen API for pages, nor in a frame
  // that is not allowed it. An iPad's older Safari has only the webkit- names.
  const enabled = 'fullscreenEnabled' in document ? document.fullscreenEnabled : document.webkitFullscreenEnabled;
  page.canfullscreen = !!request && enabled !== false;
  page.togglefullscreen = function () {
    if (!page.canfullscreen) return;
    const asked = document.fullscreenElement || document.webkitFullscreenElement
      ? leave.call(document) : request.call(screen);
    if (asked && asked.catch) {
      asked.catch(function (e) { console.warn('bitrot: fullscreen was refused: ' + e.message); });
    }
  };
  document.addEventListener('fullscreenchange', page.fit);
  document.addEventListener('webkitfullscreenchange', page.fit);

  // page.js asks here first about every key event; true means it was ours.
  page.ownkey = function (e) {
    const full = e.key === 'F11', calm = e.key === 'f' || e.key === 'F';
    if (!full && !calm && e.key !== 'm' && e.key !== 'M') return false;
    if (e.ctrlKey || e.altKey || e.metaKey) return false;
    e.preventDefault();
    e.stopImmediatePropagation();
    if (e.type === 'keydown' && !e.repeat) {
      if (full) page.togglefullscreen();
      else if (calm) page.togglecalm();
      else page.togglemusic();
    }
    return true;
  };
})();
