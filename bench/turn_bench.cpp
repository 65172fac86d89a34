// The turn on the starting world and on the busiest grid there can be, and
// one frame's input handling.
#include <benchmark/benchmark.h>

#include <cstring>

#include "core/game/game.h"
#include "core/state.h"

namespace {

// Draws the same for every run, cheaply, so the benchmark measures the turn
// and not the C library's generator.
unsigned lcg;
int benchrand() {
  lcg = lcg * 1103515245u + 12345u;
  return int((lcg >> 16) & 0x7FFF);
}

void startworld() {
  newgame();
  prepblock();
  rnd = benchrand;
  lcg = 1;
}

// The interior alternates menders and ripe growth like a checkerboard: every
// cell draws or spreads, and every free-looking neighbour is tested.
void checkerboard() {
  startworld();
  for (int y = 1; y < gridsize - 1; y++)
    for (int x = 1; x < gridsize - 1; x++) a.cells[y][x] = (x + y) % 2 ? cmender : cripe;
}

// Menders in the top half, ripe growth in the bottom: the most draws with
// offspring into the ring, and a front between them.
void halves() {
  startworld();
  for (int y = 1; y < gridsize - 1; y++)
    std::memset(&a.cells[y][1], y < gridsize / 2 ? cmender : cripe, gridsize - 2);
}

// The starting grid again before every turn, restored outside the timing, so
// every iteration measures the same work.
void turnbench(benchmark::State& st, void (*setup)()) {
  setup();
  static u8 saved[gridsize][gridsize];
  std::memcpy(saved, a.cells, sizeof saved);
  const viewrecord view = b;
  for (auto _ : st) {
    st.PauseTiming();
    std::memcpy(a.cells, saved, sizeof saved);
    b = view;
    a.alive = 1;
    st.ResumeTiming();
    newturn(0);
    benchmark::ClobberMemory();
  }
}

void BM_newturn_startworld(benchmark::State& st) { turnbench(st, startworld); }
void BM_newturn_checkerboard(benchmark::State& st) { turnbench(st, checkerboard); }
void BM_newturn_halves(benchmark::State& st) { turnbench(st, halves); }
BENCHMARK(BM_newturn_startworld);
BENCHMARK(BM_newturn_checkerboard);
BENCHMARK(BM_newturn_halves);

// procgame in play with the mask unchanged: the lock-out test and the glide,
// what almost every frame costs.
void BM_procgame_idle(benchmark::State& st) {
  startworld();
  count = 100;
  a.mode = 1;
  for (auto _ : st) {
    b.goalx = s16(b.camx + 5);
    procgame();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_procgame_idle);

// procgame with a changed mask on every call: a wait turn each time, on the
// starting world (its growth ripens and spreads as the turns go by).
void BM_procgame_turn(benchmark::State& st) {
  startworld();
  count = 100;
  a.mode = 1;
  unsigned n = 0;
  for (auto _ : st) {
    a.keymask = n++ % 2 ? 16 | 32 : 16;  // SPACE, then SPACE with LCTRL: a wait on every change
    procgame();
    a.alive = 1;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_procgame_turn);

}  // namespace
