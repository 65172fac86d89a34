#include <cstdint>
#include <cstring>

#include "core/state.h"
#include "gfx.h"

// Each low-res pixel becomes a 4x4 block: a bright 3x3 square with the dark
// shade down its right column and along its bottom row. A dark entry (16..31)
// has the same colour for both, so its block is flat.
//
// A block's row is four pixels, eight bytes: the rows of all 32 possible
// blocks are worked out once per frame (the palette may have drifted). Two
// neighbouring blocks then fill sixteen bytes of each of their four screen
// rows, so the whole screen is written in 16-byte stores, each byte once.
typedef std::uint64_t blockpair __attribute__((vector_size(16)));

void renderscreen() {
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
    for (int c = 0; c < loww; c += 2) {
      // Nothing above 31 occurs; the mask keeps the lookups inside the tables.
      const u8 v = src[c] & 31, w = src[c + 1] & 31;
      const blockpair t = {top[v], top[w]}, d = {bottom[v], bottom[w]};
      std::memcpy(row + 4 * c, &t, sizeof t);
      std::memcpy(row + scrw + 4 * c, &t, sizeof t);
      std::memcpy(row + 2 * scrw + 4 * c, &t, sizeof t);
      std::memcpy(row + 3 * scrw + 4 * c, &d, sizeof d);
    }
  }
}

void widen(u16 c, u8 rgb[3]) {
  const unsigned r = c >> 11, g = (c >> 5) & 63, bl = c & 31;
  rgb[0] = u8(r * 255 / 31);
  rgb[1] = u8(g * 4 + g / 24);
  rgb[2] = u8(bl * 255 / 31);
}
