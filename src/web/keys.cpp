#include "web.h"

// Emscripten's SDL names the keys that have no character by their USB
// scancode plus 1024, as SDL 2 does; a right-hand modifier is 4 past its
// left-hand one. Keys with a character keep their code, as in SDL 1.2.
bool sdl12key(u32 sym, u32* out) {
  static const struct {
    u32 web, sdl12;
  } table[] = {
      {1024 + 79, 275},   // right
      {1024 + 80, 276},   // left
      {1024 + 81, 274},   // down
      {1024 + 82, 273},   // up
      {1024 + 224, 306},  // left ctrl
      {1024 + 228, 305},  // right ctrl
  };
  for (const auto& k : table)
    if (k.web == sym) {
      *out = k.sdl12;
      return true;
    }
  *out = sym;
  return sym < 1024;
}
