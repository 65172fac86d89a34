#include <dlfcn.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "desktop.h"

SDL_Surface* scr;
Mix_Music* mus;

// SIGTERM and SIGINT become a quit event. SDL does that too, but a signal that
// came while SDL was still starting up was seen to be lost. Ours are set first
// thing, and SDL leaves handlers it finds in place alone.
static volatile std::sig_atomic_t stopasked;
static void onstop(int) { stopasked = 1; }

// F11 and M belong to the window, not to the game: they never reach the frame.
static bool musicoff;
static void windowkey(SDLKey k) {
  if (k == SDLK_F11 && scr) SDL_WM_ToggleFullScreen(scr);
  if (k == SDLK_m) {
    musicoff = !musicoff;
    // The tracks still load and switch as ever; only what is heard changes.
    Mix_VolumeMusic(musicoff ? 0 : MIX_MAX_VOLUME);
  }
}

// Gamepads become the game's own keys, so a recording holds ordinary key
// events. The numbers are SDL 1.2's as sdl12-compat gives them: SDL 2's raw
// joystick numbering, which on Linux is the kernel's order of the pad's
// buttons. On an Xbox-style pad that is A 0, B 1, X 2, Y 3, LB 4, RB 5,
// Back 6, Start 7, Guide 8; a PlayStation pad's Cross is 0 too.
//   D-pad (hat 0), left stick (axes 0 and 1) past half way: the arrows
//   button 0 (A, Cross): Space; 7 (Start): Return; 6 (Back): Escape
// Each pad's hat, stick and buttons are held apart, and the keys sent follow
// what all of them together hold: an arrow goes down when the first source
// takes it and up when the last lets go, and a key the pads never pressed is
// never released by them. The keyboard's own keys are its business.
namespace {
constexpr int maxpads = 8;                                 // pads past these are not read
constexpr int half = 16384;                                // a stick past this, either way, holds its arrow
constexpr u8 right = 1, up = 2, left = 4, down = 8;        // bits of kbk's rows
constexpr u8 padbutton[8] = {16, 0, 0, 0, 0, 0, 128, 64};  // buttons 0 to 7: Space, Escape, Return
u8 hatheld[maxpads], stickheld[maxpads], buttonheld[maxpads];  // kbk rows each source holds
u8 padsent;                                                    // what the keys sent hold

// The key events of one SDL event, handed out one per poll.
inputevent padq[8];
int padqn, padqat;

// After each pad event, from sdlpoll: queues what changed in the union of
// every pad's sources, releases first, so that a hat going from Up to Right
// lets go of Up before it presses Right.
void padsync() {
  u8 held = 0;
  for (int i = 0; i < maxpads; i++) held |= hatheld[i] | stickheld[i] | buttonheld[i];
  for (auto [kind, bits] :
       {std::pair{inputevent::keyup, u8(padsent & ~held)}, {inputevent::keydown, u8(held & ~padsent)}})
    for (int r = 0; r < 8; r++)
      if (bits >> r & 1) padq[padqn++] = {kind, kbk[r]};
  padsent = held;
}

// For padevent: the arrow one axis of the stick holds, if any.
u8 stickarrow(int axis, int v) {
  if (v >= half) return axis ? down : right;
  if (v <= -half) return axis ? up : left;
  return 0;
}

// For sdlpoll: reads a pad's event into its sources; false when it is not a
// pad event the game uses.
bool padevent(const SDL_Event& ev) {
  switch (ev.type) {
  case SDL_JOYHATMOTION:
    if (ev.jhat.which >= maxpads || ev.jhat.hat != 0) return false;
    hatheld[ev.jhat.which] =
        u8((ev.jhat.value & SDL_HAT_RIGHT ? right : 0) | (ev.jhat.value & SDL_HAT_UP ? up : 0) |
           (ev.jhat.value & SDL_HAT_LEFT ? left : 0) | (ev.jhat.value & SDL_HAT_DOWN ? down : 0));
    return true;
  case SDL_JOYAXISMOTION: {
    if (ev.jaxis.which >= maxpads || ev.jaxis.axis > 1) return false;
    u8& held = stickheld[ev.jaxis.which];
    const u8 axisbits = ev.jaxis.axis ? up | down : left | right;
    held = u8((held & ~axisbits) | stickarrow(ev.jaxis.axis, ev.jaxis.value));
    return true;
  }
  case SDL_JOYBUTTONDOWN:
  case SDL_JOYBUTTONUP: {
    if (ev.jbutton.which >= maxpads || ev.jbutton.button >= 8 || !padbutton[ev.jbutton.button]) return false;
    u8& held = buttonheld[ev.jbutton.which];
    const u8 key = padbutton[ev.jbutton.button];
    held = u8(ev.type == SDL_JOYBUTTONDOWN ? held | key : held & ~key);
    return true;
  }
  default: return false;
  }
}
}  // namespace

// At start-up, from runbitrot: opens every pad there is. sdl12-compat counts the pads once,
// when SDL starts, and never again: a pad plugged in later is not seen until
// the game is started again.
static void openpads() {
  for (int i = 0; i < SDL_NumJoysticks() && i < maxpads; i++) SDL_JoystickOpen(i);
  SDL_JoystickEventState(SDL_ENABLE);
}

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
  if (!SDL_PollEvent(&ev)) return false;
  if (padevent(ev)) {
    padsync();
    *e = padqn ? padq[padqat++] : inputevent{inputevent::other, 0};
    return true;
  }
  if ((ev.type == SDL_KEYDOWN || ev.type == SDL_KEYUP) &&
      (ev.key.keysym.sym == SDLK_F11 || ev.key.keysym.sym == SDLK_m)) {
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

const shellio sdlio = {sdlplaymusic, sdlpoll, presentscreen, sdldelay};

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
  std::signal(SIGTERM, onstop);
  std::signal(SIGINT, onstop);
  // Sharp pixels, unless the player's own settings say otherwise; SDL reads
  // this as it starts, before the screen's size can be known.
  setenv("SDL12COMPAT_SCALE_METHOD", "nearest", o.scale != 0);
  gotodata();
  startgame();

  // Some SDL builds refuse the whole set for want of an audio back end; the
  // game can do without sound, but not without its display.
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) SDL_Init(SDL_INIT_VIDEO);
  openpads();
  Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024);
  const unsigned seed = o.haveseed ? o.seed : unsigned(std::time(nullptr));
  std::srand(seed);
  SDL_WM_SetCaption("bitrot", "bitrot");
  // Whole pixels, as large as the screen has room for, unless --scale
  // or the player's own settings say otherwise. Before the mode is set, SDL
  // gives the desktop's size here; a size it can't tell keeps three times.
  bool fullscreen = o.fullscreen;
  if (o.scale || !std::getenv("SDL12COMPAT_WINDOW_SCALING")) {
    const SDL_VideoInfo* vi = SDL_GetVideoInfo();
    fit f = {3, false};
    if (vi && vi->current_w > 0 && vi->current_h > 0) f = fitscreen(vi->current_w, vi->current_h);
    if (o.scale) f = {o.scale, false};
    setenv("SDL12COMPAT_WINDOW_SCALING", std::to_string(f.scale).c_str(), 1);
    fullscreen = fullscreen || f.fullscreen;
  }
  scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
  const char* why = scr ? nodisplay() : SDL_GetError();
  if (why) {
    std::fprintf(stderr, "bitrot: cannot open the 320x240 16-bit display: %s\n", why);
    scr = nullptr;
    droprecording();  // nothing was played
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

  Mix_CloseAudio();
  SDL_Quit();
  return rc;
}
