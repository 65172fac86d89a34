// A whole frame, headless, as the game runs it but without SDL: on the title
// card, in play between turns, and in play with a turn; and the input steps on
// their own. The screen output's floor (a plain fill and copy of the screen)
// is BM_floor_memset_memcpy in screen_bench.cpp, in this same program.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/game/game.h"
#include "core/gfx/gfx.h"
#include "core/state.h"
#include "frames.h"

namespace {

using namespace frames;

int growthcells() {
  int n = 0;
  for (auto& row : a.cells)
    for (u8 v : row) n += v >= cgrowth;
  return n;
}

// Every iteration starts from the same saved state, restored outside the
// timing, so each measures the same frame.
void framebench(benchmark::State& st, const snapshot& start, const inputevent* e, std::size_t n) {
  for (auto _ : st) {
    st.PauseTiming();
    start.put();
    feed(e, n);
    st.ResumeTiming();
    frame(io);
    benchmark::ClobberMemory();
  }
}

// The title card after the lock-out, no keys: the music check, an empty poll,
// procgame with nothing to do, render, decay and the screen expansion.
void BM_frame_title(benchmark::State& st) {
  title();
  snapshot s;
  s.take();
  framebench(st, s, nullptr, 0);
}
BENCHMARK(BM_frame_title);

// In play between turns: the keys unchanged, the view gliding.
void BM_frame_play_idle(benchmark::State& st) {
  if (!midgame()) return st.SkipWithError("the game ended before the middle");
  b.goalx = s16(b.camx + 6);  // a glide in progress
  st.counters["growth"] = growthcells();
  snapshot s;
  s.take();
  framebench(st, s, nullptr, 0);
}
BENCHMARK(BM_frame_play_idle);

// In play with a turn: LCTRL pressed while SPACE is held changes the mask,
// so the frame makes a wait turn on the mid-game grid.
void BM_frame_play_turn(benchmark::State& st) {
  if (!midgame()) return st.SkipWithError("the game ended before the middle");
  st.counters["growth"] = growthcells();
  snapshot s;
  s.take();
  framebench(st, s, &lctrldown, 1);
  if (count != s.frames + 1 || b.tryx != b.plx) st.SkipWithError("the frame made no wait turn");
}
BENCHMARK(BM_frame_play_turn);

// Building the key mask from the eight flags.
void BM_buildkeymask(benchmark::State& st) {
  std::memset(a.keys, 0, sizeof a.keys);
  a.keys[0] = a.keys[4] = a.keys[6] = 1;
  for (auto _ : st) {
    buildkeymask();
    benchmark::DoNotOptimize(a.keymask);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_buildkeymask);

// One event through the key table scan, averaged over a mix of table keys,
// keys outside the table, ups and downs.
void BM_handleevent(benchmark::State& st) {
  std::vector<inputevent> mix;
  for (u32 i = 0; i < 64; i++) {
    u32 sym = i % 3 ? kbk[i % 8] : 97 + i;
    mix.push_back({i % 2 ? inputevent::keyup : inputevent::keydown, sym});
  }
  for (auto _ : st) {
    for (const inputevent& e : mix) handleevent(e);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * std::int64_t(mix.size()));
}
BENCHMARK(BM_handleevent);

// The poll loop and mask of a frame flooded with ten thousand events: what
// the frame adds to its usual work, per flood.
void BM_events_flood10000(benchmark::State& st) {
  std::vector<inputevent> flood;
  for (u32 i = 0; i < 10000; i++)
    flood.push_back({i % 2 ? inputevent::keyup : inputevent::keydown, i * 7919});
  for (auto _ : st) {
    feed(flood.data(), flood.size());
    inputevent e;
    while (io.poll(&e)) handleevent(e);
    buildkeymask();
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * std::int64_t(flood.size()));
}
BENCHMARK(BM_events_flood10000);

}  // namespace
