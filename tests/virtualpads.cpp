#include "virtualpads.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>

#include <map>

namespace vpad {
namespace {

#define VPADCALLS(X)               \
  X(JoystickAttachVirtualEx);      \
  X(JoystickDetachVirtual);        \
  X(JoystickSetVirtualButton);     \
  X(JoystickSetVirtualAxis);       \
  X(JoystickSetVirtualHat);        \
  X(JoystickOpen);                 \
  X(JoystickClose);                \
  X(JoystickInstanceID);           \
  X(NumJoysticks);                 \
  X(JoystickGetDeviceInstanceID);  \
  X(JoystickGetGUID);              \
  X(JoystickGetGUIDString);        \
  X(JoystickGetGUIDFromString);    \
  X(GameControllerMappingForGUID); \
  X(free);
struct {
#define DECLARE(name) decltype(&::SDL_##name) name
  VPADCALLS(DECLARE)
#undef DECLARE
} sdl2;

std::map<int, SDL_Joystick*> open;  // the test's own handle on each pad it plugged in

}  // namespace

bool load() {
  void* lib = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!lib) return false;
  bool all = true;
#define FIND(name) all = (sdl2.name = reinterpret_cast<decltype(sdl2.name)>(dlsym(lib, "SDL_" #name))) && all
  VPADCALLS(FIND)
#undef FIND
  dlclose(lib);
  return all;
}

int attach(int vendor, int product, const char* name, int buttons, int axes, int hats) {
  SDL_VirtualJoystickDesc d{};
  d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  d.type = SDL_JOYSTICK_TYPE_UNKNOWN;  // not a made-up layout: SDL's database or ours decides
  d.naxes = Uint16(axes), d.nbuttons = Uint16(buttons), d.nhats = Uint16(hats);
  d.vendor_id = Uint16(vendor), d.product_id = Uint16(product);
  d.name = name;
  const int index = sdl2.JoystickAttachVirtualEx(&d);
  SDL_Joystick* js = index < 0 ? nullptr : sdl2.JoystickOpen(index);
  if (!js) return -1;
  const int id = sdl2.JoystickInstanceID(js);
  open[id] = js;
  return id;
}

void set(int id, char kind, int n, int value) {
  SDL_Joystick* js = open.at(id);
  if (kind == 'b') sdl2.JoystickSetVirtualButton(js, n, Uint8(value));
  if (kind == 'a') sdl2.JoystickSetVirtualAxis(js, n, Sint16(value));
  if (kind == 'h') sdl2.JoystickSetVirtualHat(js, n, Uint8(value));
}

void detach(int id) {
  for (int i = 0; i < sdl2.NumJoysticks(); i++)
    if (sdl2.JoystickGetDeviceInstanceID(i) == id) sdl2.JoystickDetachVirtual(i);
  sdl2.JoystickClose(open.at(id));
  open.erase(id);
}

std::string guid(int id) {
  char s[33] = "";
  if (open.count(id)) sdl2.JoystickGetGUIDString(sdl2.JoystickGetGUID(open[id]), s, sizeof s);
  return s;
}

std::string layout(const char* realguid) {
  char* m = sdl2.GameControllerMappingForGUID(sdl2.JoystickGetGUIDFromString(realguid));
  if (!m) return "";
  std::string s = m;
  sdl2.free(m);
  return s.substr(s.find(',') + 1);
}

}  // namespace vpad
