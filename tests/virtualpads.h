// Pads made up in SDL 2 (its virtual joysticks), for the tests: no SDL type
// here, since the tests that use them speak SDL 1.2.
#pragma once

#include <string>

namespace vpad {

// SDL 2's calls from sdl12-compat's libSDL2; false before SDL_Init or below 2.24.
bool load();

// Plugs in a pad; its instance id, or -1.
int attach(int vendor, int product, const char* name, int buttons, int axes, int hats);
// Sets one control of pad id: 'b' button, 'a' axis, 'h' hat.
void set(int id, char kind, int n, int value);
// Pulls pad id out.
void detach(int id);

// The GUID SDL gives the pad (to name it in a layout), or "".
std::string guid(int id);
// SDL's layout for a real pad's GUID, from the name on, or "".
std::string layout(const char* realguid);

}  // namespace vpad
