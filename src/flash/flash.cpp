#include "flash.h"

#include <cmath>

#include "core/gfx/gfx.h"

namespace {

// sRGB's channel values, 8 bits each, made linear.
struct lineartable {
  float v[256];
  lineartable() {
    for (int i = 0; i < 256; i++) {
      const double c = i / 255.0;
      v[i] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
  }
};
const lineartable linear;

shade fromlinear(float R, float G, float B) {
  const float redness = R - G - B;
  return {0.2126f * R + 0.7152f * G + 0.0722f * B, redness > 0 ? redness * 320.0f : 0.0f,
          R > 0 && R >= 0.8f * (R + G + B)};
}

// The linear values of RGB565's channels, widened as the window widens them.
struct widetable {
  float r[32], g[64], b[32];
  widetable() {
    for (unsigned v = 0; v < 64; v++) {
      u8 rgb[3];
      widen(u16((v & 31) << 11 | v << 5 | (v & 31)), rgb);
      if (v < 32) r[v] = linear.v[rgb[0]], b[v] = linear.v[rgb[2]];
      g[v] = linear.v[rgb[1]];
    }
  }
};
const widetable wide;

}  // namespace

shade shadeof(u8 r, u8 g, u8 b) { return fromlinear(linear.v[r], linear.v[g], linear.v[b]); }

shade shadeof(u16 c) { return fromlinear(wide.r[c >> 11], wide.g[c >> 5 & 63], wide.b[c & 31]); }
