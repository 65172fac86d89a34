// Pads made up in SDL 2 (its virtual joysticks), for the tests: no SDL type
// here, since the tests that use them speak SDL 1.2.
#pragma once

#include <string>

namespace vpad {

// Finds SDL 2's calls in the libSDL2 that sdl12-compat loaded; false before
// SDL_Init, or in an SDL 2 older than 2.24, which can't make pads up.
bool load();

// Plugs in a pad with this USB vendor and product and so many controls,
// numbered from 0; returns its instance id, or -1.
int attach(int vendor, int product, const char* name, int buttons, int axes, int hats);
// Sets one control of pad id: 'b' button, 'a' axis, 'h' hat.
void set(int id, char kind, int n, int value);
// Pulls pad id out.
void detach(int id);

// The GUID SDL gives the pad (to name it in a layout), or "".
std::string guid(int id);
// The layout SDL's database has for a real pad's GUID, without the GUID: it
// starts at the name. "" when there is none.
std::string layout(const char* realguid);

}  // namespace vpad
