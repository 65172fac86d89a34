// The screen output against the floor for its work: filling and copying the
// same 153,600 bytes with the C library.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/gfx/gfx.h"
#include "core/state.h"

static void BM_renderscreen_expand(benchmark::State& st) {
  loadpal();
  for (int i = 0; i < lowh * loww; i++) scrb[i] = u8(i % 32);
  for (auto _ : st) {
    renderscreen();
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * std::int64_t(sizeof scrbuf));
}
BENCHMARK(BM_renderscreen_expand);

// The whole of renderscreen's work with the surface copy: expansion, then the
// 153,600-byte copy to a surface-sized buffer.
static void BM_renderscreen_expand_copy(benchmark::State& st) {
  static u16 surface[scrw * scrh];
  loadpal();
  for (int i = 0; i < lowh * loww; i++) scrb[i] = u8(i % 32);
  for (auto _ : st) {
    renderscreen();
    std::memcpy(surface, scrbuf, sizeof scrbuf);
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * std::int64_t(sizeof scrbuf));
}
BENCHMARK(BM_renderscreen_expand_copy);

static void BM_floor_memset_memcpy(benchmark::State& st) {
  static u16 surface[scrw * scrh];
  int fill = 0;
  for (auto _ : st) {
    // Hidden from the optimiser, so neither the fill nor the copy can be
    // folded into the other or left out.
    benchmark::DoNotOptimize(fill);
    std::memset(scrbuf, fill++ & 0xFF, sizeof scrbuf);
    benchmark::DoNotOptimize(scrbuf);
    std::memcpy(surface, scrbuf, sizeof scrbuf);
    benchmark::DoNotOptimize(surface);
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * std::int64_t(sizeof scrbuf));
}
BENCHMARK(BM_floor_memset_memcpy);
