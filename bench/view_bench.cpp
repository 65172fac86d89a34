// The world view, drawn once a frame, and the wall grid, built once a run.
#include <benchmark/benchmark.h>

#include <cstring>

#include "core/game/game.h"
#include "core/gfx/gfx.h"
#include "core/state.h"

namespace {

// A view in the cave with the player, growth and menders about, as in play.
void BM_render(benchmark::State& state) {
  newgame();
  for (int c = 4; c < 14; c++) a.cells[18][c] = u8(cgrowth + c % 4);
  a.cells[20][12] = cmender;
  b.camx = 37;
  b.camy = 141;
  for (auto _ : state) {
    count++;
    render();
    benchmark::DoNotOptimize(scrb);
  }
}
BENCHMARK(BM_render);

// The view half off the world: the white edge path.
void BM_render_edge(benchmark::State& state) {
  newgame();
  b.camx = -40;
  b.camy = 994;
  for (auto _ : state) {
    render();
    benchmark::DoNotOptimize(scrb);
  }
}
BENCHMARK(BM_render_edge);

void BM_prepblock(benchmark::State& state) {
  for (auto _ : state) {
    std::memset(a.walls, 0, sizeof a.walls);
    prepblock();
    benchmark::DoNotOptimize(a.walls);
  }
}
BENCHMARK(BM_prepblock);

}  // namespace
