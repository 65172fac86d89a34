#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/state.h"
#include "desktop.h"
#include "flash/calm.h"
#include "pads.h"

SDL_Surface* scr;

// SIGTERM and SIGINT become a quit event. SDL does that too, but a signal that
// came while SDL was still starting up was seen to be lost, and one that came
// before any handler (a handheld's exit hotkey pressed as the game starts)
// killed it. Ours are set first thing in main, and SDL leaves handlers it
// finds in place alone.
static volatile std::sig_atomic_t stopasked;
static void onstop(int) { stopasked = 1; }
void catchstop() {
  std::signal(SIGTERM, onstop);
  std::signal(SIGINT, onstop);
}

// F11, M and F belong to the window, not to the game: they never reach the
// frame, nor a recording.
static bool musicoff;
static bool iswindowkey(SDLKey k) { return k == SDLK_F11 || k == SDLK_m || k == SDLK_f; }
static void windowkey(SDLKey k) {
  if (k == SDLK_F11 && scr) SDL_WM_ToggleFullScreen(scr);
  if (k == SDLK_f) setcalm(!calm());
  if (k == SDLK_m) {
    musicoff = !musicoff;
    // The tracks still load and switch as ever; only what is heard changes.
    Mix_VolumeMusic(musicoff ? 0 : MIX_MAX_VOLUME);
  }
}

// The pads' key events of this frame, handed out one per poll; padsread
// tells their story.
static inputevent padq[8];
static int padqn, padqat;
static bool padsseen;  // this frame's padsread has run; the frame's end clears it

static bool sdlpoll(inputevent* e) {
  if (padqat < padqn) {
    *e = padq[padqat++];
    return true;
  }
  padqat = padqn = 0;
  if (stopasked) {
    stopasked = 0;
    *e = {inputevent::quit, 0};
    return true;
  }
  SDL_Event ev;
  if (!SDL_PollEvent(&ev)) {
    // The queue has run dry, and SDL has just looked at the pads: once a
    // frame, their keys come last.
    if (padsseen) return false;
    padsseen = true;
    padqn = padsread(padq);
    if (padscalmkey()) setcalm(!calm());
    if (padqn == 0) return false;
    *e = padq[padqat++];
    return true;
  }
  if ((ev.type == SDL_KEYDOWN || ev.type == SDL_KEYUP) && iswindowkey(ev.key.keysym.sym)) {
    if (ev.type == SDL_KEYDOWN) windowkey(ev.key.keysym.sym);
    *e = {inputevent::other, 0};
    return true;
  }
  switch (ev.type) {
  case SDL_KEYDOWN: *e = {inputevent::keydown, u32(ev.key.keysym.sym)}; break;
  case SDL_KEYUP: *e = {inputevent::keyup, u32(ev.key.keysym.sym)}; break;
  case SDL_QUIT: *e = {inputevent::quit, 0}; break;
  default: *e = {inputevent::other, 0}; break;
  }
  return true;
}

static void nopause() { padsseen = false; }
static void sdlendframe() {
  nopause();
  SDL_Delay(50);
}

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

// Xlib ends a process whose display went away (the X server killed, or its
// connection cut) with exit(1) from inside the call that found the loss. That
// runs the exit handlers and library destructors while SDL's audio thread is
// still mixing the music, and the process was seen to die of SIGSEGV there.
// Ours ends it at once instead: the recording, flushed at every frame's end,
// already holds every frame played; nothing else needs closing.
static int displaygone(void*) {
  static const char line[] = "bitrot: the display went away\n";
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line, sizeof line - 1);
  _exit(1);  // Xlib's I/O error handler must not return
}

// Called once the video mode is set. The handler is Xlib's own, found in the
// libX11 that SDL has loaded; with no libX11 in the process (another video
// driver) there is nothing to do, and the game needs no X11 at build time.
static void watchdisplay() {
  void* x11 = dlopen("libX11.so.6", RTLD_NOLOAD | RTLD_LAZY);
  if (!x11) return;
  using handler = int (*)(void*);
  if (void* set = dlsym(x11, "XSetIOErrorHandler")) reinterpret_cast<handler (*)(handler)>(set)(displaygone);
  dlclose(x11);  // drops only the reference this dlopen took
}

const shellio sdlio = {playmusic, sdlpoll, presentscreen, sdlendframe};
const shellio sdlnopause = {playmusic, sdlpoll, presentscreen, nopause};

// Installed, the game finds its music in a data folder beside the folder
// of the program (BITROT_DATA, relative to it unless absolute), so the tree
// can live under any prefix and be moved. Anywhere else, a build folder say,
// it reads the music from the folder it was started in.
static void gotodata() {
  std::string dir = BITROT_DATA;
  if (dir[0] != '/') {
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
    if (n <= 0 || n == sizeof exe) return;
    const std::string path(exe, std::size_t(n));
    dir = path.substr(0, path.rfind('/') + 1) + dir;
  }
  // Where there is no such folder, the game stays in the one it started in.
  [[maybe_unused]] const int moved = chdir(dir.c_str());
}

// A handheld's screen has no windows (SDL 2 draws straight to the display):
// there the game takes the whole screen at its own size, and draws its
// picture at a whole scale itself, for sdl12-compat to show pixel for pixel.
// Left to sdl12-compat, a 320x240 mode is stretched to the screen's height,
// 2.25 times on 720x720, in pixels of uneven size.
static bool windowless() {
  char name[32];
  if (!SDL_VideoDriverName(name, sizeof name)) return false;
  for (const char* d : {"KMSDRM", "KMSDRM_LEGACY", "RPI", "vivante", "mali", "fbcon"})
    if (strcasecmp(name, d) == 0) return true;
  return false;
}

fit fitscreen(int w, int h) {
  // On a small screen a window would cover it anyway, and whole pixels
  // matter more than the tenth left free around a window.
  const bool small = w <= 2 * scrw && h <= 2 * scrh;
  const int room = small ? 10 : 9;  // tenths of the screen the picture may take
  int s = 8;
  while (s > 1 && (scrw * s * 10 > room * w || scrh * s * 10 > room * h)) s--;
  return {s, small};
}

int runbitrot(const options& o) {
  // Sharp pixels, unless the player's own settings say otherwise; SDL reads
  // this as it starts, before the screen's size can be known.
  setenv("SDL12COMPAT_SCALE_METHOD", "nearest", o.scale != 0);
  gotodata();
  startgame();
  setcalm(o.reduceflashing);

  // Some SDL builds refuse the whole set for want of an audio back end; the
  // game can do without sound, but not without its display.
  padsprepare();
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) SDL_Init(SDL_INIT_VIDEO);
  // Whole pixels, as large as the screen has room for, unless --scale
  // or the player's own settings say otherwise. Before the mode is set, SDL
  // gives the desktop's size here; a size it can't tell keeps three times.
  // This comes before the sound opens: setenv while SDL's audio thread reads
  // the environment (its thread-priority hints) was seen to crash in getenv.
  bool fullscreen = o.fullscreen;
  const SDL_VideoInfo* vi = SDL_GetVideoInfo();
  const bool known = vi && vi->current_w > 0 && vi->current_h > 0;
  int modew = scrw, modeh = scrh;
  if (known && windowless()) {
    modew = vi->current_w, modeh = vi->current_h;
    setenv("SDL12COMPAT_WINDOW_SCALING", "1", 1);
    fullscreen = true;
  } else if (o.scale || !std::getenv("SDL12COMPAT_WINDOW_SCALING")) {
    fit f = {3, false};
    if (known) f = fitscreen(vi->current_w, vi->current_h);
    if (o.scale) f = {o.scale, false};
    setenv("SDL12COMPAT_WINDOW_SCALING", std::to_string(f.scale).c_str(), 1);
    fullscreen = fullscreen || f.fullscreen;
  }
  padsstart();
  Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);
  const unsigned seed = o.haveseed ? o.seed : unsigned(std::time(nullptr));
  gamesrand(seed);
  SDL_WM_SetCaption("bitrot", "bitrot");
  scr = SDL_SetVideoMode(modew, modeh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
  const char* why = scr ? nodisplay() : SDL_GetError();
  if (why) {
    std::fprintf(stderr, "bitrot: cannot open the %dx%d 16-bit display: %s\n", modew, modeh, why);
    scr = nullptr;
    droprecording();  // nothing was played
    padsstop();
    Mix_CloseAudio();
    SDL_Quit();
    return 1;
  }
  watchdisplay();
  SDL_ShowCursor(SDL_DISABLE);
  // Fullscreen the way F11 goes there, so that F11 comes back to the window
  // at its scale rather than at 320x240.
  if (fullscreen) SDL_WM_ToggleFullScreen(scr);
  a.running = 1;

  int rc = 0;
  if (o.record) rc = recordgame(seed);
  else if (o.playback) rc = playgame();
  else
    while (a.running) frame(sdlio);

  padsstop();
  Mix_CloseAudio();
  SDL_Quit();
  return rc;
}
