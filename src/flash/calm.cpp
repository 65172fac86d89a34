#include "calm.h"

#include <cstdint>
#include <cstring>

#include "flash.h"

namespace {

constexpr int blocks = loww * lowh;
constexpr u32 gap = 4;  // frames from a transition to the next one allowed

// What a block shows: its two colours as the measure follows them, and the
// frame of each colour's last transition of either kind.
struct blockstate {
  flashpixel bright, dark;
  u32 lastgen[2], lastred[2];
};

// Every RGB565 colour's shade, made when the mode is first switched on: a
// lookup where working one out costs a few dozen instructions, twice for
// every block that changes.
shade shades[65536];
bool haveshades;

bool on, fresh;
u32 frameno;  // wraps, harmlessly: only differences are taken
u16 shown[scrw * scrh];
blockstate state[blocks];

// Would a colour's transitions `got` (flashpixel::step's) come too soon after
// its last ones?
bool toosoon(int got, u32 lastgen, u32 lastred) {
  return ((got & 1) && frameno - lastgen < gap) || ((got & 2) && frameno - lastred < gap);
}

// A block's four rows of four pixels, eight bytes each, alike?
bool sameblock(const u16* x, const u16* y) {
  std::uint64_t d = 0;
  for (int row = 0; row < 4; row++) {
    std::uint64_t p, q;
    std::memcpy(&p, x + row * scrw, 8), std::memcpy(&q, y + row * scrw, 8);
    d |= p ^ q;
  }
  return !d;
}

void mark(int got, u32& lastgen, u32& lastred) {
  if (got & 1) lastgen = frameno;
  if (got & 2) lastred = frameno;
}

}  // namespace

void setcalm(bool o) {
  if (o && !on) fresh = true;
  on = o;
}
bool calm() { return on; }

const u16* calmed(const u16* screen) {
  if (!on) return screen;
  frameno++;
  if (fresh) {
    fresh = false;
    if (!haveshades)
      for (u32 c = 0; c < 65536; c++) shades[c] = shadeof(u16(c));
    haveshades = true;
    std::memcpy(shown, screen, sizeof shown);
    for (int k = 0; k < blocks; k++) {
      const u16* at = screen + (k / loww) * 4 * scrw + (k % loww) * 4;
      blockstate& b = state[k];
      b.bright.start(shades[at[0]]);
      b.dark.start(shades[at[3 * scrw + 3]]);
      b.lastgen[0] = b.lastgen[1] = b.lastred[0] = b.lastred[1] = frameno - gap;
    }
    return shown;
  }
  for (int k = 0; k < blocks; k++) {
    const int off = (k / loww) * 4 * scrw + (k % loww) * 4;
    const u16* at = screen + off;
    u16* to = shown + off;
    if (sameblock(at, to)) continue;
    blockstate& b = state[k];
    // Tried on copies, kept only when the block passes.
    flashpixel bright = b.bright, dark = b.dark;
    const int gotbright = bright.step(shades[at[0]]), gotdark = dark.step(shades[at[3 * scrw + 3]]);
    if (toosoon(gotbright, b.lastgen[0], b.lastred[0]) || toosoon(gotdark, b.lastgen[1], b.lastred[1]))
      continue;  // held: the block keeps what it shows
    b.bright = bright, b.dark = dark;
    mark(gotbright, b.lastgen[0], b.lastred[0]);
    mark(gotdark, b.lastgen[1], b.lastred[1]);
    for (int y = 0; y < 4; y++) std::memcpy(to + y * scrw, at + y * scrw, 8);
  }
  return shown;
}
