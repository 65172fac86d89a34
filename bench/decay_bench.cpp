// The decay's per-frame cost: the seeding, the walk over the 4800 cells and
// one palette drift, on an empty and on a full effect map. Every iteration
// starts from the same rendered frame, as each real frame does; the bare copy
// of that frame is measured on its own for comparison.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "core/gfx/gfx.h"
#include "core/state.h"

namespace {

u8 rendered[lowh * loww];

// Draws that always seed the given code into the given cell, so the map the
// benchmark sets up stays as it is; the palette still drifts every call.
int seedx, seedy, seedcode;
unsigned drawno;
int fixeddraw() {
  const int d[6] = {
      seedx, seedy, seedcode, int(drawno * 7 & 0xFFFF), int(drawno * 5 & 0xFFFF), int(drawno * 3 & 0xFFFF)};
  int v = d[drawno % 6];
  drawno++;
  return v;
}

void setup(int code) {
  loadpal();
  std::mt19937 gen(1);
  for (auto& v : rendered) v = u8(gen() % 16);
  seedx = 0, seedy = 0, seedcode = code, drawno = 0;
  rnd = fixeddraw;
}

void run(benchmark::State& st) {
  for (auto _ : st) {
    std::memcpy(scrb, rendered, sizeof scrb);
    mutaterender();
    benchmark::ClobberMemory();
  }
  rnd = gamerand;
}

void BM_decay_empty_map(benchmark::State& st) {
  std::memset(scfx, 0, sizeof scfx);
  setup(0);
  run(st);
}
BENCHMARK(BM_decay_empty_map);

// Every cell active, the six codes mixed at random: the worst case, a map no
// branch predictor can learn.
void BM_decay_full_map_mixed(benchmark::State& st) {
  const u8 active[6] = {1, 8, 10, 11, 12, 13};
  std::mt19937 gen(2);
  for (auto& c : scfx) c = active[gen() % 6];
  setup(scfx[0]);
  run(st);
}
BENCHMARK(BM_decay_full_map_mixed);

// Every cell active with the same code, one map per code.
void BM_decay_full_map_one_code(benchmark::State& st) {
  std::memset(scfx, int(st.range(0)), sizeof scfx);
  setup(int(st.range(0)));
  run(st);
}
BENCHMARK(BM_decay_full_map_one_code)->Arg(1)->Arg(8)->Arg(10)->Arg(11)->Arg(12)->Arg(13);

// A map as play leaves it after a long while: about one cell in four holds a
// code, any of 0..15.
void BM_decay_quarter_map_any(benchmark::State& st) {
  std::mt19937 gen(3);
  for (auto& c : scfx) c = gen() % 4 == 0 ? u8(gen() % 16) : 0;
  setup(scfx[0]);
  run(st);
}
BENCHMARK(BM_decay_quarter_map_any);

void BM_decay_floor_frame_copy(benchmark::State& st) {
  for (auto _ : st) {
    std::memcpy(scrb, rendered, sizeof scrb);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_decay_floor_frame_copy);

}  // namespace
