#include <cstring>

#include "gfx.h"
#include "shell/state.h"

// Each low-res pixel becomes a 4x4 block: a bright 3x3 square with the dark
// shade down its right column and along its bottom row. A dark entry (16..31)
// has the same colour for both, so its block is flat.
void expandscreen() {
  for (int r = 0; r < lowh; r++) {
    u16* top = scrbuf + r * 4 * scrw;
    u16* bottom = top + 3 * scrw;
    const u8* src = scrb + r * loww;
    for (int c = 0; c < loww; c++) {
      u8 v = src[c];
      u16 bright = pal16[v];
      u16 dark = pal16[(v & 15) + 16];
      u16* t = top + 4 * c;
      u16* d = bottom + 4 * c;
      t[0] = t[1] = t[2] = bright;
      t[3] = dark;
      d[0] = d[1] = d[2] = d[3] = dark;
    }
    std::memcpy(top + scrw, top, scrw * sizeof(u16));
    std::memcpy(top + 2 * scrw, top, scrw * sizeof(u16));
  }
}

void renderscreen() {
  expandscreen();
  presentscreen();
}
