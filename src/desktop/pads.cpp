// The desktop's gamepads. sdl12-compat runs SDL 1.2 over SDL 2, but SDL 1.2's
// API counts pads once, at SDL_Init, and numbers their buttons in whatever
// order the driver chose, which differs from one make to the next. So pads are
// read here through SDL 2's own game-controller API, from the same libSDL2
// that sdl12-compat has loaded: SDL's layouts (its built-in database, and the
// player's SDL_GAMECONTROLLERCONFIG or the file SDL_GAMECONTROLLERCONFIG_FILE
// names) say which physical control is which, whatever the make.
//   bottom face button: Space; Start: Return; Back: Escape
//   D-pad, left stick past half way: the arrows
//   top face button (Y): reduced flashing on or off, for the window alone
// Every other control does nothing. A pad SDL has no layout for plays with
// its first hat and first stick only, so no button of unknown meaning can end
// a run.
#include "pads.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <cstdlib>
#include <initializer_list>
#include <utility>

namespace {

// SDL 2's functions, found by name in the libSDL2 that sdl12-compat loaded.
// Many share SDL 1.2's names (SDL_NumJoysticks, SDL_JoystickOpen, ...), so a
// link would reach sdl12-compat's; dlsym on SDL 2's handle reaches SDL 2's.
// Every one is in SDL 2.0.14, the oldest SDL 2 the game runs on.
#define PADCALLS(X)               \
  X(InitSubSystem);               \
  X(QuitSubSystem);               \
  X(NumJoysticks);                \
  X(IsGameController);            \
  X(JoystickGetDeviceInstanceID); \
  X(GameControllerOpen);          \
  X(GameControllerClose);         \
  X(GameControllerGetAttached);   \
  X(GameControllerGetButton);     \
  X(GameControllerGetAxis);       \
  X(JoystickOpen);                \
  X(JoystickClose);               \
  X(JoystickGetAttached);         \
  X(JoystickNumHats);             \
  X(JoystickGetHat);              \
  X(JoystickNumAxes);             \
  X(JoystickGetAxis);
struct {
#define DECLARE(name) decltype(&::SDL_##name) name
  PADCALLS(DECLARE)
#undef DECLARE
} sdl2;
bool started;

constexpr int maxpads = 8;                           // pads past these are not read
constexpr int half = 16384;                          // a stick past this, either way, holds its arrow
constexpr u8 right = 1, up = 2, left = 4, down = 8;  // bits of kbk's rows
constexpr u8 space = 16, enter = 64, escape = 128;

// An open pad: a controller when SDL has its layout, else a bare joystick.
struct pad {
  SDL_JoystickID id;
  SDL_GameController* gc;
  SDL_Joystick* js;
};
pad pads[maxpads];
int npads;
u8 padsent;            // the kbk rows the key events sent so far hold
bool yheld, ypressed;  // some pad's Y is down; it went down at the last read

u8 stickarrows(int x, int y) {
  return u8((x >= half ? right : 0) | (x <= -half ? left : 0) | (y >= half ? down : 0) |
            (y <= -half ? up : 0));
}

// The kbk rows one pad holds now.
u8 held(const pad& p) {
  if (p.gc) {
    u8 h = stickarrows(sdl2.GameControllerGetAxis(p.gc, SDL_CONTROLLER_AXIS_LEFTX),
                       sdl2.GameControllerGetAxis(p.gc, SDL_CONTROLLER_AXIS_LEFTY));
    for (auto [button, bit] : {std::pair{SDL_CONTROLLER_BUTTON_DPAD_RIGHT, right},
                               {SDL_CONTROLLER_BUTTON_DPAD_UP, up},
                               {SDL_CONTROLLER_BUTTON_DPAD_LEFT, left},
                               {SDL_CONTROLLER_BUTTON_DPAD_DOWN, down},
                               {SDL_CONTROLLER_BUTTON_A, space},
                               {SDL_CONTROLLER_BUTTON_START, enter},
                               {SDL_CONTROLLER_BUTTON_BACK, escape}})
      if (sdl2.GameControllerGetButton(p.gc, button)) h |= bit;
    return h;
  }
  u8 h = 0;
  if (sdl2.JoystickNumAxes(p.js) >= 2)
    h = stickarrows(sdl2.JoystickGetAxis(p.js, 0), sdl2.JoystickGetAxis(p.js, 1));
  if (sdl2.JoystickNumHats(p.js) >= 1) {
    const Uint8 hat = sdl2.JoystickGetHat(p.js, 0);
    h |= u8((hat & SDL_HAT_RIGHT ? right : 0) | (hat & SDL_HAT_UP ? up : 0) |
            (hat & SDL_HAT_LEFT ? left : 0) | (hat & SDL_HAT_DOWN ? down : 0));
  }
  return h;
}

void close(const pad& p) {
  if (p.gc) sdl2.GameControllerClose(p.gc);
  else sdl2.JoystickClose(p.js);
}

bool attached(const pad& p) {
  return p.gc ? sdl2.GameControllerGetAttached(p.gc) : sdl2.JoystickGetAttached(p.js);
}

// Opens device i unless it is open already or every slot is taken.
void open(int i) {
  const SDL_JoystickID id = sdl2.JoystickGetDeviceInstanceID(i);
  if (id < 0 || npads == maxpads) return;
  for (int k = 0; k < npads; k++)
    if (pads[k].id == id) return;
  pad p{id, nullptr, nullptr};
  if (sdl2.IsGameController(i)) p.gc = sdl2.GameControllerOpen(i);
  else p.js = sdl2.JoystickOpen(i);
  // One that can't be opened is tried again next frame.
  if (p.gc || p.js) pads[npads++] = p;
}

}  // namespace

void padsprepare() {
  // SDL follows the printed labels on Nintendo pads, where A is the right
  // face button; the game goes by position, as on every other make. Unless
  // the player said otherwise. It must be set before SDL reads its layouts.
  setenv(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0", 0);
}

bool padsstart() {
  void* lib = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!lib) return false;
  bool all = true;
#define FIND(name) all = (sdl2.name = reinterpret_cast<decltype(sdl2.name)>(dlsym(lib, "SDL_" #name))) && all
  PADCALLS(FIND)
#undef FIND
  dlclose(lib);  // drops only this dlopen's reference; sdl12-compat keeps it loaded
  started = all && sdl2.InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  npads = 0;
  padsent = 0;
  yheld = ypressed = false;
  return started;
}

int padsread(inputevent out[8]) {
  if (!started) return 0;
  // A pad pulled out holds nothing from now on.
  int kept = 0;
  for (int k = 0; k < npads; k++)
    if (attached(pads[k])) pads[kept++] = pads[k];
    else close(pads[k]);
  npads = kept;
  for (int i = 0, n = sdl2.NumJoysticks(); i < n; i++) open(i);

  // Each pad's controls are read apart and the keys follow what all of them
  // together hold: a key goes down when the first pad takes it and up when
  // the last lets go, and a key the pads never pressed (the keyboard's, say)
  // is never released by them. Releases first, so that the D-pad going from
  // Up to Right lets go of Up before it presses Right.
  u8 now = 0;
  bool y = false;
  for (int k = 0; k < npads; k++) {
    now |= held(pads[k]);
    y = y || (pads[k].gc && sdl2.GameControllerGetButton(pads[k].gc, SDL_CONTROLLER_BUTTON_Y));
  }
  ypressed = y && !yheld;
  yheld = y;
  int n = 0;
  for (auto [kind, bits] :
       {std::pair{inputevent::keyup, u8(padsent & ~now)}, {inputevent::keydown, u8(now & ~padsent)}})
    for (int r = 0; r < 8; r++)
      if (bits >> r & 1) out[n++] = {kind, kbk[r]};
  padsent = now;
  return n;
}

bool padscalmkey() {
  const bool was = ypressed;
  ypressed = false;
  return was;
}

void padsstop() {
  if (!started) return;
  for (int k = 0; k < npads; k++) close(pads[k]);
  npads = 0;
  padsent = 0;
  sdl2.QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started = false;
}
