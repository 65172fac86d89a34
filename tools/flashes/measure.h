// The flash measure: frames as a platform shows them, 320x240 RGB at 8 bits a
// channel, top row first, one after another at 20 a second; flashes counted
// by flash.h's definitions, per pixel and by area.
//
// By area is the 25% rule: a window makes a transition in a frame where more
// than a quarter of its pixels make one. The windows are the whole screen and
// every 80x60 and 108x80 window (WCAG's 341x256 of 1024x768, scaled to this
// screen), slid a pixel at a time, so that no placement of a flash escapes.
// "Most in a second" is over every run of 20 frames; the seconds counted over
// 3 are whole seconds, frames 0-19, 20-39 and so on.
#pragma once

#include <cstddef>
#include <memory>

#include "core/state.h"

struct flashfigures {
  double pixelmost = 0;   // most flashes a pixel makes in any second
  long pixelseconds = 0;  // seconds in which some pixel makes more than 3
  double pixelshare = 0;  // share of all pixel-seconds over 3, 0 to 1
  double areamost = 0;    // most flashes any window makes in any second
  long areafrom = 0;      // the first frame of that second
  long areaseconds = 0;   // seconds in which some window makes more than 3
};

class flashmeasure {
public:
  flashmeasure();
  ~flashmeasure();
  // Takes the next frame, scrw x scrh x 3 bytes.
  void add(const u8* rgb);
  long frames() const;
  // Figures for general (0) and red (1) flashes, over the frames added so far.
  flashfigures figures(int kind) const;

private:
  struct impl;
  std::unique_ptr<impl> m;
};

constexpr std::size_t framebytes = std::size_t(scrw) * scrh * 3;
