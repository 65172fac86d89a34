// The browser's frame loop. The page calls webstart once the player has pressed
// a key or clicked, since browsers hold sound back until then; a run ends as on
// the desktop (Escape alone, or a quit) and the page may start another.
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/recording.h"
#include "core/statehash.h"
#include "flash/calm.h"
#include "link/link.h"
#include "music/music.h"
#include "web.h"

SDL_Surface* scr;

bool playing;
static bool timed = true;    // the browser's timer runs the frames; false: only webstep does
static bool (*eachframe)();  // the frame of what is under way: a run, or a recording watched
static void (*afterlast)();  // what follows its last frame
static unsigned seed;
static std::string played, line;  // the trace of this run, and of the frame under way
static std::string endline;       // the recording's end line, once the run has ended
static long runlength;            // frames of this run

// Who holds a key: the keyboard (through SDL) and the page's own sources (the
// touch pad, gamepads), one bit each. A key goes down when its first holder
// presses it and up when its last lets go, so a key held twice is one key to
// the game, and the browser's key repeats are dropped as the desktop, which
// never turns key repeat on, has them.
enum : u8 { bykeyboard = 1 };
struct holding {
  u32 sym;
  u8 by;  // holders, one bit per source
};
static std::vector<holding> held;

// Keys the page sent with webkey, waiting for the next frame's poll; no more
// than SDL's own queue holds.
struct pagekey {
  u32 sym;
  bool down;
  u8 by;
};
static std::vector<pagekey> pagekeys;
static size_t pagenext;
static constexpr size_t pagemax = 128;

// A press or release by one source, as the game is to see it; false when the
// game sees nothing of it. A release of a key no one holds passes from the
// keyboard, as on the desktop (a key pressed before the run may be let go in
// it), and from no other source.
static bool keychange(u32 sym, bool down, u8 by, inputevent* e) {
  auto at = std::find_if(held.begin(), held.end(), [sym](const holding& h) { return h.sym == sym; });
  if (down) {
    if (at != held.end()) {
      at->by |= by;
      return false;
    }
    held.push_back({sym, by});
    *e = {inputevent::keydown, sym};
    return true;
  }
  if (at == held.end()) {
    if (by != bykeyboard) return false;
  } else {
    if (!(at->by & by)) return false;
    at->by &= u8(~by);
    if (at->by) return false;
    held.erase(at);
  }
  *e = {inputevent::keyup, sym};
  return true;
}

// SDL's own events first, then what the page sent, both into the trace.
static bool webpoll(inputevent* e) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (ev.type == SDL_QUIT) {
      *e = {inputevent::quit, 0};
    } else if (ev.type == SDL_KEYDOWN || ev.type == SDL_KEYUP) {
      u32 sym;
      if (!sdl12key(u32(ev.key.keysym.sym), &sym)) continue;
      if (!keychange(sym, ev.type == SDL_KEYDOWN, bykeyboard, e)) continue;
    } else {
      continue;  // mouse, focus and the like: nothing to the game
    }
    appendevent(line, *e);
    return true;
  }
  while (pagenext < pagekeys.size()) {
    const pagekey& k = pagekeys[pagenext++];
    if (!keychange(k.sym, k.down, k.by, e)) continue;
    appendevent(line, *e);
    return true;
  }
  pagekeys.clear();
  pagenext = 0;
  return false;
}

bool pageescape() {
  bool escape = false;
  for (const pagekey& k : pagekeys) escape |= k.down && k.sym == SDLK_ESCAPE;
  pagekeys.clear();
  pagenext = 0;
  return escape;
}

static void nopause() {}  // the browser's timer paces the frames

static void webframe() {
  // The page reads its gamepads here, so that what a pad holds lands in the
  // frame about to run, however the frames are paced. Whatever goes wrong in
  // the page's part must not stop the game.
  EM_ASM(
      try {
        if (Module['onframe']) Module['onframe']();
      } catch (e) { console.warn('bitrot: ' + e); });
  if (eachframe()) return;
  if (timed) emscripten_cancel_main_loop();
  Mix_HaltMusic();
  playing = false;
  afterlast();
}

void startframes(unsigned s, bool (*each)(), void (*end)()) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }  // what came before the start is not the game's
  // Called from the player's key press or click, when browsers let sound start.
  EM_ASM(if (SDL.audioContext && SDL.audioContext.state == 'suspended') SDL.audioContext.resume());
  held.clear();
  pagekeys.clear();
  pagenext = 0;
  zerostate();
  startgame();
  gamesrand(s);
  a.running = 1;
  playing = true;
  // Reduced flashing starts afresh with each run, as bitrot-replay's does.
  const bool calming = calm();
  setcalm(false), setcalm(calming);
  eachframe = each, afterlast = end;
  if (timed) emscripten_set_main_loop(webframe, 20, 0);
}

static const shellio runio = {playmusic, webpoll, presentscreen, nopause};

// One frame of the player's run; false once it has ended. The end line is
// written at once, as the desktop writes it, before anything else can touch
// the state it describes.
static bool runframe() {
  const int loaded = frame(runio);
  played += line;
  played += '\n';
  line.clear();
  runlength++;
  if (a.running) return true;
  endline = "end " + stateline(runlength - 1, loaded);
  return false;
}

static void runended() { EM_ASM(if (Module['onrunend']) Module['onrunend']()); }

extern "C" {

// Starts a run with rand seeded by s; does nothing while one is under way.
EMSCRIPTEN_KEEPALIVE void webstart(unsigned s) {
  if (playing) return;
  played.clear();
  line.clear();
  endline.clear();
  runlength = 0;
  seed = s;
  startframes(s, runframe, runended);
}

// The page's clock. Tests stop it before a run starts and then step the run's
// frames themselves, so that where an event lands never depends on how fast
// the machine is. Takes effect at the next webstart.
EMSCRIPTEN_KEEPALIVE void webclock(int on) { timed = on != 0; }

// The start card's Reduce flashing: on or off, from the next frame shown.
EMSCRIPTEN_KEEPALIVE void webcalm(int on) { setcalm(on != 0); }

// Runs up to n frames of the run under way, at once; returns how many ran
// (fewer when the run ends).
EMSCRIPTEN_KEEPALIVE int webstep(int n) {
  int ran = 0;
  for (; ran < n && playing; ran++) webframe();
  return ran;
}

// A key pressed (down 1) or let go (down 0) by one of the page's own sources
// (from 1 to 7: the touch pad, gamepads), as an SDL 1.2 key code. It reaches
// the game at the next frame's poll, after the keyboard's, as a key event like
// any other, so the trace holds it as it would hold the keyboard's. Returns 0
// when it was not taken: no run under way, a source out of range, or too many
// waiting.
EMSCRIPTEN_KEEPALIVE int webkey(u32 sym, int down, int from) {
  if (!playing || from < 1 || from > 7 || pagekeys.size() >= pagemax) return 0;
  pagekeys.push_back({sym, down != 0, u8(bykeyboard << from)});
  return 1;
}

// Music on (1) or off (0), as M does on the desktop: the tracks still load and
// switch as ever; only what is heard changes.
EMSCRIPTEN_KEEPALIVE void webmusic(int on) { Mix_VolumeMusic(on ? MIX_MAX_VOLUME : 0); }

// The seed of the current or last run, and its trace so far: one line per
// frame of the events the frame saw, as bitrot-replay reads them.
EMSCRIPTEN_KEEPALIVE unsigned webseed() { return seed; }
EMSCRIPTEN_KEEPALIVE const char* webtrace() { return played.c_str(); }

// The last run as a recording, as `bitrot --record` writes one: its seed line,
// its frames and, once it has ended, its end line.
EMSCRIPTEN_KEEPALIVE const char* webrecording() {
  static std::string rec;
  rec = seedline(seed) + played + endline;
  return rec.c_str();
}

// The last run packed for its link (link.h): its bytes, and how many there are.
static std::string packed;
EMSCRIPTEN_KEEPALIVE const char* webpacked() {
  packed = packrecording(webrecording());
  return packed.data();
}
EMSCRIPTEN_KEEPALIVE unsigned webpackedsize() { return unsigned(packed.size()); }

// How long the current or last run has lasted: its frames, and the turns its
// games took (the core counts them from the run's start).
EMSCRIPTEN_KEEPALIVE long webframes() { return runlength; }
EMSCRIPTEN_KEEPALIVE long webturns() { return turns; }

// The page fetches the music once the start card is up, so a track may arrive
// after the music switch that wanted it found no file. It is played then, if it
// is still the track the game wants and nothing plays; the game's state is not
// touched, only the platform's music.
EMSCRIPTEN_KEEPALIVE void webtrack(int track) {
  if (!playing || mus || a.curtrack != track) return;
  char name[16];
  std::snprintf(name, sizeof name, "%d.ogg", track);
  playfile(name);
}
}

int main() {
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) SDL_Init(SDL_INIT_VIDEO);
  Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);
  SDL_WM_SetCaption("bitrot", "bitrot");
  // Every frame rewrites the whole surface, opaque: no need for SDL to read the
  // canvas back on each lock, nor to set its alpha.
  EM_ASM(SDL.defaults.discardOnLock = true; SDL.defaults.opaqueFrontBuffer = false);
  scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
  SDL_ShowCursor(SDL_DISABLE);
  presentscreen();  // black until the first frame
  return 0;
}
