#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "desktop.h"

SDL_Surface* scr;
Mix_Music* mus;

// SIGTERM and SIGINT become a quit event. SDL does that too, but a signal that
// came while SDL was still starting up was seen to be lost. Ours are set first
// thing, and SDL leaves handlers it finds in place alone.
static volatile std::sig_atomic_t stopasked;
static void onstop(int) { stopasked = 1; }

static bool sdlpoll(inputevent* e) {
  if (stopasked) {
    stopasked = 0;
    *e = {inputevent::quit, 0};
    return true;
  }
  SDL_Event ev;
  if (!SDL_PollEvent(&ev)) return false;
  switch (ev.type) {
  case SDL_KEYDOWN: *e = {inputevent::keydown, u32(ev.key.keysym.sym)}; break;
  case SDL_KEYUP: *e = {inputevent::keyup, u32(ev.key.keysym.sym)}; break;
  case SDL_QUIT: *e = {inputevent::quit, 0}; break;
  default: *e = {inputevent::other, 0}; break;
  }
  return true;
}

static void sdlplaymusic() {
  Mix_HaltMusic();
  if (mus) Mix_FreeMusic(mus);
  mus = Mix_LoadMUS(spth);
  // A missing or unreadable file leaves the game silent; that is all.
  if (mus) Mix_PlayMusic(mus, 100);
}

static void sdldelay() { SDL_Delay(50); }

// With no display at all, SDL falls back on its offscreen driver and the game
// would run on unseen. Unless the player asked for that driver, it is no
// display; returns why, or null when there is a real one.
static const char* nodisplay() {
  char name[32];
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if (!SDL_VideoDriverName(name, sizeof name) || std::strcmp(name, "offscreen") != 0) return nullptr;
  if (asked && std::strstr(asked, "offscreen")) return nullptr;
  return "no display was found (only SDL's offscreen driver started)";
}

const shellio sdlio = {sdlplaymusic, sdlpoll, presentscreen, sdldelay};

int runbitrot() {
  std::signal(SIGTERM, onstop);
  std::signal(SIGINT, onstop);
  startgame();

  // Some SDL builds refuse the whole set for want of an audio back end; the
  // game can do without sound, but not without its display.
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) SDL_Init(SDL_INIT_VIDEO);
  Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);
  std::srand(unsigned(std::time(nullptr)));
  SDL_WM_SetCaption("bitrot", "bitrot");
  scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
  const char* why = scr ? nodisplay() : SDL_GetError();
  if (why) {
    std::fprintf(stderr, "bitrot: cannot open the 320x240 16-bit display: %s\n", why);
    scr = nullptr;
    Mix_CloseAudio();
    SDL_Quit();
    return 1;
  }
  SDL_ShowCursor(SDL_DISABLE);
  a.running = 1;

  while (a.running) frame(sdlio);

  Mix_CloseAudio();
  SDL_Quit();
  return 0;
}
