// The browser's frame loop. The page calls webstart once the player has pressed
// a key or clicked, since browsers hold sound back until then; a run ends as on
// the desktop (Escape alone, or a quit) and the page may start another.
#include <SDL/SDL_mixer.h>
#include <emscripten.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/trace.h"
#include "web.h"

SDL_Surface* scr;
static Mix_Music* mus;

bool playing;
static bool timed = true;  // the browser's timer runs the frames; false: only webstep does
static bool (*onframe)();  // the frame of what is under way: a run, or a recording watched
static void (*onend)();    // what follows its last frame
static unsigned seed;
static std::string played, line;  // the trace of this run, and of the frame under way
static std::string endline;       // the recording's end line, once the run has ended
static long ran;                  // frames of this run
static std::vector<u32> held;     // keys down, to drop the browser's key repeats

static bool webpoll(inputevent* e) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (ev.type == SDL_QUIT) {
      *e = {inputevent::quit, 0};
    } else if (ev.type == SDL_KEYDOWN || ev.type == SDL_KEYUP) {
      u32 sym;
      if (!sdl12key(u32(ev.key.keysym.sym), &sym)) continue;
      auto at = std::find(held.begin(), held.end(), sym);
      if (ev.type == SDL_KEYDOWN) {
        // The desktop never turns key repeat on: one key-down per press.
        if (at != held.end()) continue;
        held.push_back(sym);
        *e = {inputevent::keydown, sym};
      } else {
        if (at != held.end()) held.erase(at);
        *e = {inputevent::keyup, sym};
      }
    } else {
      continue;  // mouse, focus and the like: nothing to the game
    }
    appendevent(line, *e);
    return true;
  }
  return false;
}

void webplaymusic() {
  Mix_HaltMusic();
  if (mus) Mix_FreeMusic(mus);
  mus = Mix_LoadMUS(spth);
  // A missing or unreadable file leaves the game silent; that is all.
  if (mus) Mix_PlayMusic(mus, 100);
}

static void nodelay() {}  // the browser's timer paces the frames

static const shellio webio = {webplaymusic, webpoll, presentscreen, nodelay};

static void webframe() {
  if (onframe()) return;
  if (timed) emscripten_cancel_main_loop();
  Mix_HaltMusic();
  playing = false;
  onend();
}

void startframes(unsigned s, bool (*each)(), void (*end)()) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
  }  // what came before the start is not the game's
  // Called from the player's key press or click, when browsers let sound start.
  EM_ASM(if (SDL.audioContext && SDL.audioContext.state == 'suspended') SDL.audioContext.resume());
  held.clear();
  zerostate();
  startgame();
  std::srand(s);
  a.running = 1;
  playing = true;
  onframe = each, onend = end;
  if (timed) emscripten_set_main_loop(webframe, 20, 0);
}

// One frame of the player's run; false once it has ended. The end line is
// written at once, as the desktop writes it, before anything else can touch
// the state it describes.
static bool runframe() {
  const int loaded = frame(webio);
  played += line;
  played += '\n';
  line.clear();
  ran++;
  if (a.running) return true;
  endline = "end " + stateline(ran - 1, loaded);
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
  ran = 0;
  seed = s;
  startframes(s, runframe, runended);
}

// The page's clock. Tests stop it before a run starts and then step the run's
// frames themselves, so that where an event lands never depends on how fast
// the machine is. Takes effect at the next webstart.
EMSCRIPTEN_KEEPALIVE void webclock(int on) { timed = on != 0; }

// Runs up to n frames of the run under way, at once; returns how many ran
// (fewer when the run ends).
EMSCRIPTEN_KEEPALIVE int webstep(int n) {
  int ran = 0;
  for (; ran < n && playing; ran++) webframe();
  return ran;
}

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

// The page fetches the music once the start card is up, so a track may arrive
// after the music switch that wanted it found no file. It is played then, if it
// is still the track the game wants and nothing plays; the game's state is not
// touched, only the platform's music.
EMSCRIPTEN_KEEPALIVE void webmusic(int track) {
  if (!playing || mus || a.curtrack != track) return;
  char name[16];
  std::snprintf(name, sizeof name, "%d.ogg", track);
  mus = Mix_LoadMUS(name);
  if (mus) Mix_PlayMusic(mus, 100);
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
