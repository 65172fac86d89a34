#include "measure.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "flash/flash.h"

namespace {

constexpr int pixels = scrw * scrh;

// Transitions of one thing (a pixel, a window) in one kind: the last 32
// frames as bits, and the current whole second's count, both brought up to
// date only when it makes one.
struct tally {
  u32 bits = 0;
  signed char dir = 0;  // a window's: the direction of its last transition
  long at = -100;       // the frame of bit 0
  long second = -1;
  int insecond = 0;
  // Adds a transition at frame f; returns how many fall in the 20 frames to f.
  int add(long f) {
    bits = f - at >= 32 ? 0 : bits << (f - at);
    bits |= 1;
    at = f;
    if (f / 20 != second) second = f / 20, insecond = 0;
    insecond++;
    return std::popcount(bits & 0xfffffu);
  }
};

struct window {
  int w, h;
};
constexpr window windows[] = {{scrw, scrh}, {80, 60}, {108, 80}};

struct kindstate {
  std::vector<tally> pixel = std::vector<tally>(pixels);
  std::vector<std::vector<tally>> area;
  std::vector<u8> now = std::vector<u8>(pixels);  // this frame's transitions: 1 up, 2 down
  int nnow[2] = {};
  int pixelmost = 0, areamost = 0;
  long areafrom = 0, pixelover = 0;
  std::vector<bool> pixelsec, areasec;  // whole seconds over 3
  kindstate() {
    for (const window& w : windows) area.emplace_back(std::size_t(scrw - w.w + 1) * (scrh - w.h + 1));
  }
};

void mark(std::vector<bool>& v, long second) {
  if (v.size() <= std::size_t(second)) v.resize(second + 1);
  v[second] = true;
}

}  // namespace

struct flashmeasure::impl {
  long frames = 0;
  std::vector<flashpixel> px = std::vector<flashpixel>(pixels);
  std::vector<u8> prev = std::vector<u8>(framebytes);
  kindstate kind[2];
  std::vector<int> sums = std::vector<int>((scrw + 1) * (scrh + 1));

  // The pixels that made a transition in direction d (1 up, 2 down) in this
  // frame, summed over every rectangle from the top left corner.
  void sum(const kindstate& k, u8 d) {
    for (int y = 0; y < scrh; y++) {
      int run = 0;
      for (int x = 0; x < scrw; x++) {
        run += k.now[y * scrw + x] == d;
        sums[(y + 1) * (scrw + 1) + x + 1] = sums[y * (scrw + 1) + x + 1] + run;
      }
    }
  }

  // A window over a quarter of whose pixels rise together, or fall together,
  // makes a transition that way; rising again (or falling again) in a later
  // frame goes on with that one rather than making another, as a pixel's run
  // does.
  void byarea(kindstate& k, long f) {
    for (u8 d = 1; d <= 2; d++) {
      // No window can fill a quarter with fewer than a quarter of the
      // smallest one's pixels.
      if (k.nnow[d - 1] * 4 <= 80 * 60) continue;
      sum(k, d);
      const signed char dir = d == 1 ? 1 : -1;
      for (std::size_t i = 0; i < std::size(windows); i++) {
        const window w = windows[i];
        const int across = scrw - w.w + 1;
        for (int y = 0; y + w.h <= scrh; y++)
          for (int x = 0; x < across; x++) {
            const int n = sums[(y + w.h) * (scrw + 1) + x + w.w] - sums[y * (scrw + 1) + x + w.w] -
                          sums[(y + w.h) * (scrw + 1) + x] + sums[y * (scrw + 1) + x];
            if (n * 4 <= w.w * w.h) continue;
            tally& t = k.area[i][y * across + x];
            if (t.dir == dir) continue;
            t.dir = dir;
            const int in20 = t.add(f);
            if (in20 > k.areamost) k.areamost = in20, k.areafrom = std::max(0L, f - 19);
            if (t.insecond > 6) mark(k.areasec, f / 20);
          }
      }
    }
  }

  void add(const u8* rgb) {
    const long f = frames++;
    for (kindstate& k : kind) std::fill(k.now.begin(), k.now.end(), 0), k.nnow[0] = k.nnow[1] = 0;
    for (int i = 0; i < pixels; i++) {
      const u8* c = rgb + 3 * i;
      if (f == 0) {
        px[i].start(shadeof(c[0], c[1], c[2]));
        continue;
      }
      if (!std::memcmp(c, &prev[3 * i], 3)) continue;
      const int got = px[i].step(shadeof(c[0], c[1], c[2]));
      for (int j = 0; j < 2; j++) {
        if (!(got >> j & 1)) continue;
        kindstate& k = kind[j];
        const bool up = (j ? px[i].red.dir : px[i].general.dir) > 0;
        k.now[i] = up ? 1 : 2, k.nnow[up ? 0 : 1]++;
        tally& t = k.pixel[i];
        k.pixelmost = std::max(k.pixelmost, t.add(f));
        if (t.insecond == 7) k.pixelover++, mark(k.pixelsec, f / 20);  // 3.5 flashes: over 3
      }
    }
    std::memcpy(prev.data(), rgb, framebytes);
    for (kindstate& k : kind) byarea(k, f);
  }
};

flashmeasure::flashmeasure() : m(new impl) {}
flashmeasure::~flashmeasure() = default;
void flashmeasure::add(const u8* rgb) { m->add(rgb); }
long flashmeasure::frames() const { return m->frames; }

flashfigures flashmeasure::figures(int kind) const {
  const kindstate& k = m->kind[kind];
  const long seconds = (m->frames + 19) / 20;
  flashfigures r;
  r.pixelmost = k.pixelmost / 2.0;
  r.pixelseconds = std::count(k.pixelsec.begin(), k.pixelsec.end(), true);
  r.pixelshare = seconds ? double(k.pixelover) / (double(seconds) * pixels) : 0;
  r.areamost = k.areamost / 2.0;
  r.areafrom = k.areafrom;
  r.areaseconds = std::count(k.areasec.begin(), k.areasec.end(), true);
  return r;
}
