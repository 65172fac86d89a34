#include <cstdint>
#include <cstring>

#include "gfx.h"
#include "shell/state.h"

// Each low-res pixel becomes a 4x4 block: a bright 3x3 square with the dark
// shade down its right column and along its bottom row. A dark entry (16..31)
// has the same colour for both, so its block is flat.
//
// A block's row is four pixels, eight bytes: the rows of all 32 possible
// blocks are worked out once per frame (the palette may have drifted), and
// each block then costs two 8-byte stores. The second and third screen row of
// every block row are copies of the first.
void expandscreen() {
  std::uint64_t top[32], bottom[32];
  for (int v = 0; v < 32; v++) {
    const u16 bright = pal16[v], dark = pal16[(v & 15) + 16];
    const u16 t[4] = {bright, bright, bright, dark}, d[4] = {dark, dark, dark, dark};
    std::memcpy(&top[v], t, sizeof t);
    std::memcpy(&bottom[v], d, sizeof d);
  }
  for (int r = 0; r < lowh; r++) {
    u16* row = scrbuf + r * 4 * scrw;
    const u8* src = scrb + r * loww;
    for (int c = 0; c < loww; c++) {
      const u8 v = src[c] & 31;  // nothing else occurs; the mask keeps the lookup inside the table
      std::memcpy(row + 4 * c, &top[v], 8);
      std::memcpy(row + 3 * scrw + 4 * c, &bottom[v], 8);
    }
    std::memcpy(row + scrw, row, scrw * sizeof(u16));
    std::memcpy(row + 2 * scrw, row, scrw * sizeof(u16));
  }
}

void renderscreen() {
  expandscreen();
  presentscreen();
}
