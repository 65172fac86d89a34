// The three whole frames of frame_bench.cpp timed by a plain clock instead of
// Google Benchmark, so that the same program runs natively and as WebAssembly
// under Node.js; bench/web_vs_native.sh runs both and compares them.
//
// bitrot-framebench [N]: for each frame, N timed runs (default 20000) from the
// same saved state, restored outside the timing; prints the mean per frame.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "frames.h"

using namespace frames;

static double meanns(const snapshot& start, const inputevent* e, std::size_t n, int runs) {
  using clock = std::chrono::steady_clock;
  clock::duration total{};
  for (int i = 0; i < runs; i++) {
    start.put();
    feed(e, n);
    const auto t0 = clock::now();
    frame(io);
    total += clock::now() - t0;
  }
  return std::chrono::duration<double, std::nano>(total).count() / runs;
}

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 20000;
  if (runs < 1) {
    std::fprintf(stderr, "usage: bitrot-framebench [RUNS]\n");
    return 2;
  }
  snapshot s;
  title();
  s.take();
  meanns(s, nullptr, 0, runs / 10);  // warm up
  std::printf("frame_title %.0f ns\n", meanns(s, nullptr, 0, runs));
  if (!midgame()) {
    std::fprintf(stderr, "bitrot-framebench: the game ended before the middle\n");
    return 1;
  }
  b.goalx = s16(b.camx + 6);  // a glide in progress, as in BM_frame_play_idle
  s.take();
  std::printf("frame_play_idle %.0f ns\n", meanns(s, nullptr, 0, runs));
  midgame();
  s.take();
  std::printf("frame_play_turn %.0f ns\n", meanns(s, &lctrldown, 1, runs));
  return 0;
}
