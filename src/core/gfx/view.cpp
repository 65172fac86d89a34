#include <cstring>

#include "core/state.h"
#include "gfx.h"

void render() {
  // Every cell shows the same phase in one frame; it flips every 10 frames.
  const int phase = (count / 10) % 2;
  for (int r = 0; r < lowh; r++) {
    u8* out = scrb + r * loww;
    // The view's words wrap as 16-bit signed numbers, so a view far out on
    // either side sees only the white beyond the world.
    const s16 y = s16(u16(b.camy) + r);
    if (y < 0 || y >= worldsize) {
      std::memset(out, 15, loww);
      continue;
    }
    const u8* world = header_data + y * worldsize;
    const u8* cellrow = a.cells[y >> 3];
    // This pixel row of every picture in the sprite strip.
    const u8* strip = header_data + (8 + (y & 7)) * worldsize;
    for (int c = 0; c < loww; c++) {
      const s16 x = s16(u16(b.camx) + c);
      if (x < 0 || x >= worldsize) {
        out[c] = 15;
        continue;
      }
      const u8 v = cellrow[x >> 3];
      if (v == cfree) {
        out[c] = world[x];
        continue;
      }
      if (v >= cgrowth) a.alarm = 10;
      // Pictures are opaque: their black hides the floor under them.
      out[c] = strip[16 * (v - 1) + 8 * phase + (x & 7)];
    }
  }
}
