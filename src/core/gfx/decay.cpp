// The decay: an effect map fixed to the screen that gathers one random code a
// frame, and a palette whose colours wander one channel step at a time.
#include "core/state.h"
#include "gfx.h"

namespace {

// Effect codes; every other value of 0..15 does nothing.
enum : u8 {
  fxdim = 1,     // the pixel shows in its dark shade
  fxblank = 8,   // the pixel goes white, unless this frame's flicker bit is set
  fxleft = 10,   // the pixel takes its left neighbour's value
  fxabove = 11,  // ... its upper neighbour's
  fxright = 12,  // ... its right neighbour's
  fxbelow = 13,  // ... its lower neighbour's
};

// One draw, as a non-negative number. rand never returns less than zero;
// reading it unsigned keeps every remainder below inside its table even if a
// replacement source ever did.
unsigned draw() { return unsigned(rnd()); }

// Moves one channel of a bright shade one step and writes it with its dark
// shade. A step off either end of a channel goes the other way instead, so
// the colours bounce around their range and never stick or wrap.
void drift(unsigned i, unsigned op) {
  unsigned c = pal16[i];
  int r = c >> 11, g = (c >> 5) & 63, bl = c & 31;
  switch (op) {
  case 0: bl = bl == 0 ? 1 : bl - 1; break;
  case 1: g = g == 0 ? 1 : g - 1; break;
  case 2: r = r == 0 ? 1 : r - 1; break;
  case 3: bl = bl == 31 ? 30 : bl + 1; break;
  case 4: g = g == 63 ? 62 : g + 1; break;
  case 5: r = r == 31 ? 30 : r + 1; break;
  default: break;  // 6: the colour stays, but its dark shade still catches up
  }
  pal16[i] = u16(r * 2048 + g * 32 + bl);
  pal16[i + 16] = u16((r / 2) * 2048 + (g / 2) * 32 + bl / 2);
}

}  // namespace

void mutaterender() {
  // Six draws every frame, always in this order, so a replay's random stream
  // stays in step whatever the map and the palette hold.
  unsigned x = draw() % loww;
  unsigned y = draw() % lowh;
  scfx[y * loww + x] = u8(draw() % 16);  // acts already in this frame's walk
  bool flicker = draw() & 32;

  // Column by column, top to bottom, in place. The order is what makes the
  // copies look right: left and upper neighbours are already final (runs of
  // copy-from-left or -above smear one colour), right and lower ones are still
  // as rendered (runs of copy-from-right or -below shift the picture by one).
  for (int cx = 0; cx < loww; cx++) {
    for (int cy = 0; cy < lowh; cy++) {
      int p = cy * loww + cx;
      switch (scfx[p]) {
      // On a freshly rendered pixel (0..15) this is the same as adding 16; if
      // a frame were ever decayed twice it still stays a dark shade instead
      // of running past the 32 entries of the screen palette.
      case fxdim: scrb[p] |= 16; break;
      case fxblank:
        if (!flicker) scrb[p] = 15;
        break;
      case fxleft:
        if (cx > 0) scrb[p] = scrb[p - 1];
        break;
      case fxabove:
        if (cy > 0) scrb[p] = scrb[p - loww];
        break;
      case fxright:
        if (cx < loww - 1) scrb[p] = scrb[p + 1];
        break;
      case fxbelow:
        if (cy < lowh - 1) scrb[p] = scrb[p + loww];
        break;
      default: break;
      }
    }
  }

  unsigned i = draw() % 16;
  drift(i, draw() % 7);
}
