#include "calm.h"

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

bool on, fresh;
u32 frameno;  // wraps, harmlessly: only differences are taken
u16 shown[scrw * scrh];
blockstate state[blocks];

// Would the block's colour, as p follows it, complete a transition too soon
// after its last one? Tries it on a copy.
bool toosoon(const flashpixel& p, const shade& s, u32 lastgen, u32 lastred) {
  flashpixel t = p;
  const int got = t.step(s);
  return ((got & 1) && frameno - lastgen < gap) || ((got & 2) && frameno - lastred < gap);
}

void take(flashpixel& p, const shade& s, u32& lastgen, u32& lastred) {
  const int got = p.step(s);
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
    std::memcpy(shown, screen, sizeof shown);
    for (int k = 0; k < blocks; k++) {
      const u16* at = screen + (k / loww) * 4 * scrw + (k % loww) * 4;
      blockstate& b = state[k];
      b.bright.start(shadeof(at[0]));
      b.dark.start(shadeof(at[3 * scrw + 3]));
      b.lastgen[0] = b.lastgen[1] = b.lastred[0] = b.lastred[1] = frameno - gap;
    }
    return shown;
  }
  for (int k = 0; k < blocks; k++) {
    const int off = (k / loww) * 4 * scrw + (k % loww) * 4;
    const u16* at = screen + off;
    u16* to = shown + off;
    bool same = true;
    for (int y = 0; y < 4 && same; y++) same = !std::memcmp(at + y * scrw, to + y * scrw, 8);
    if (same) continue;
    blockstate& b = state[k];
    const shade sb = shadeof(at[0]), sd = shadeof(at[3 * scrw + 3]);
    if (toosoon(b.bright, sb, b.lastgen[0], b.lastred[0]) || toosoon(b.dark, sd, b.lastgen[1], b.lastred[1]))
      continue;  // held: the block keeps what it shows
    take(b.bright, sb, b.lastgen[0], b.lastred[0]);
    take(b.dark, sd, b.lastgen[1], b.lastred[1]);
    for (int y = 0; y < 4; y++) std::memcpy(to + y * scrw, at + y * scrw, 8);
  }
  return shown;
}
