// The frames that the whole-frame benchmarks time, set up the same way for
// frame_bench.cpp (Google Benchmark) and webframes.cpp (a plain clock, which
// also runs as WebAssembly): the game run headless through the real frame,
// events fed from an array, and a snapshot of everything a frame touches.
#pragma once

#include <cstdlib>
#include <cstring>

#include "core/frame.h"
#include "core/state.h"

namespace frames {

// The events of the frame being run.
inline const inputevent* evs;
inline std::size_t nevs, at;

inline bool poll(inputevent* e) {
  if (at >= nevs) return false;
  *e = evs[at++];
  return true;
}
inline void nothing() {}
inline const shellio io = {nothing, poll, nothing, nothing};

inline void feed(const inputevent* e, std::size_t n) {
  evs = e;
  nevs = n;
  at = 0;
}

// Everything a frame reads or writes, to put back between iterations.
struct snapshot {
  stateblock st;
  viewrecord view;
  u32 frames;
  u8 fx[lowh * loww], low[lowh * loww];
  u16 p16[32];
  void take() {
    st = a;
    view = b;
    frames = count;
    std::memcpy(fx, scfx, sizeof fx);
    std::memcpy(low, scrb, sizeof low);
    std::memcpy(p16, pal16, sizeof p16);
  }
  void put() const {
    a = st;
    b = view;
    count = frames;
    std::memcpy(scfx, fx, sizeof fx);
    std::memcpy(scrb, low, sizeof low);
    std::memcpy(pal16, p16, sizeof p16);
  }
};

inline const inputevent spacedown = {inputevent::keydown, 32}, lctrldown = {inputevent::keydown, 306};

// The title card after the lock-out, no keys held.
inline void title() {
  rnd = gamerand;
  gamesrand(1);
  startgame();
  a.running = 1;
  feed(nullptr, 0);
  for (int i = 0; i < 50; i++) frame(io);
}

// Mid-game: play started from the title card and sixteen waits made, so the
// seed has ripened and growth has begun to spread; SPACE is still held.
// Returns false if the game has ended by then.
inline bool midgame() {
  rnd = gamerand;
  gamesrand(1);
  startgame();
  a.running = 1;
  feed(nullptr, 0);
  while (count < 41) frame(io);
  feed(&spacedown, 1);
  frame(io);
  for (int i = 0; i < 16; i++) {
    const inputevent toggle = {a.keys[5] ? inputevent::keyup : inputevent::keydown, 306};
    feed(&toggle, 1);
    frame(io);
  }
  feed(nullptr, 0);
  for (int i = 0; i < 8; i++) frame(io);  // the view catches up with the last turn
  return a.mode == 1 && count > 41 && a.keys[4] && !a.keys[5];
}

}  // namespace frames
