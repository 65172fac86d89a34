// Flashes as the screen shows them: how bright a colour is, how red, and when
// a pixel's changes add up to a transition. The measure (tools/flashes) and
// the reduce-flashing mode (calm.h) count by this one definition, so what the
// mode holds back is exactly what the measure would count.
//
// The definitions are WCAG 2.2's:
//   - relative luminance of sRGB, 0 to 1;
//   - a general transition is a change of 0.1 or more in it whose darker end
//     is below 0.8;
//   - a red transition is a change of more than 20 in (R - G - B) x 320
//     (below 0 taken as 0) where either end is saturated red, its red ratio
//     R / (R + G + B) 0.8 or more; R, G and B are the linear channel values
//     of the luminance formula;
//   - a flash is a pair of opposing transitions, so flashes in a second are
//     transitions in 20 frames over two.
// A change builds up over frames: a pixel's transition is a run of changes in
// one direction, from the value where the last run turned to the latest one,
// counted once, at the frame its span first reaches the threshold.
#pragma once

#include "core/state.h"

// The two quantities of one colour.
struct shade {
  float lum;  // relative luminance, 0 to 1
  float red;  // max(0, R - G - B) x 320, 0 to 320
  bool sat;   // saturated red: R / (R + G + B) >= 0.8
};

// Of a colour in 8-bit sRGB channels.
shade shadeof(u8 r, u8 g, u8 b);

// Of an RGB565 colour, as the window shows it (widened as trace.h's widen).
shade shadeof(u16 c);

// One pixel's runs in one of the two quantities.
struct swing {
  float base = 0;  // where the current run started
  float last = 0;  // the latest value
  bool basesat = false, lastsat = false;
  signed char dir = 0;   // +1 rising, -1 falling, 0 no run yet
  bool counted = false;  // the current run has made its transition

  void start(float v, bool sat) { *this = {v, v, sat, sat, 0, false}; }
  // Takes the next value; true when it completes a transition by `enough`.
  template <class F>
  bool step(float v, bool sat, F enough) {
    if (v != last) {
      const signed char d = v > last ? 1 : -1;
      if (d != dir) base = last, basesat = lastsat, dir = d, counted = false;
      last = v;
    }
    lastsat = sat;
    if (counted || !dir || !enough(*this)) return false;
    counted = true;
    return true;
  }
};

// The thresholds of the two kinds of transition.
inline bool generalenough(const swing& s) {
  const float lo = s.base < s.last ? s.base : s.last, hi = s.base < s.last ? s.last : s.base;
  return hi - lo >= 0.1f && lo < 0.8f;
}
inline bool redenough(const swing& s) {
  const float d = s.base < s.last ? s.last - s.base : s.base - s.last;
  return d > 20.0f && (s.basesat || s.lastsat);
}

// A pixel's two swings, stepped together: bit 0 of the result a general
// transition, bit 1 a red one.
struct flashpixel {
  swing general, red;
  void start(const shade& s) { general.start(s.lum, false), red.start(s.red, s.sat); }
  int step(const shade& s) {
    return int(general.step(s.lum, false, generalenough)) | int(red.step(s.red, s.sat, redenough)) << 1;
  }
};
