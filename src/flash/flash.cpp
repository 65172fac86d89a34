#include "flash.h"

#include <cmath>

#include "core/trace.h"

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

}  // namespace

shade shadeof(u8 r, u8 g, u8 b) {
  const float R = linear.v[r], G = linear.v[g], B = linear.v[b];
  const float redness = R - G - B;
  return {0.2126f * R + 0.7152f * G + 0.0722f * B, redness > 0 ? redness * 320.0f : 0.0f,
          R > 0 && R >= 0.8f * (R + G + B)};
}

shade shadeof(u16 c) {
  u8 rgb[3];
  widen(c, rgb);
  return shadeof(rgb[0], rgb[1], rgb[2]);
}
