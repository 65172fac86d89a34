// The reduce-flashing mode's cost a frame, over frames of ordinary play and
// over the worst a frame can bring: every block changed at full contrast.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/recording.h"
#include "flash/calm.h"

namespace {

std::vector<inputevent> events;
std::size_t nextevent;
std::vector<std::vector<u16>> played;

bool poll(inputevent* e) {
  if (nextevent >= events.size()) return false;
  *e = events[nextevent++];
  return true;
}
void keep() { played.emplace_back(scrbuf, scrbuf + scrw * scrh); }

// Frames 600 to 999 of the ten-minute walk the mode's test measures: play,
// the view gliding, the decay built up.
const std::vector<std::vector<u16>>& walkframes() {
  if (!played.empty()) return played;
  const shellio io = {[] {}, poll, [] {}, [] {}};
  const shellio keeping = {[] {}, poll, keep, [] {}};
  std::ifstream in(BITROT_SOURCE_DIR "/tests/flashes/walk.trace");
  std::string line, bad;
  std::getline(in, line);
  zerostate();
  startgame();
  gamesrand(22);
  a.running = 1;
  for (int f = 0; f < 1000 && std::getline(in, line); f++) {
    parseevents(line, events, bad);
    nextevent = 0;
    frame(f < 600 ? io : keeping);
  }
  return played;
}

void BM_calm_play(benchmark::State& st) {
  const auto& frames = walkframes();
  setcalm(true);
  std::size_t i = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(calmed(frames[i].data()));
    i = (i + 1) % frames.size();
  }
  setcalm(false);
}
BENCHMARK(BM_calm_play);

void BM_calm_everyblock(benchmark::State& st) {
  std::vector<u16> frames[2] = {std::vector<u16>(scrw * scrh), std::vector<u16>(scrw * scrh)};
  for (int i = 0; i < scrw * scrh; i++) frames[(i / 4 + i / scrw / 4) % 2][i] = 0xffff;
  setcalm(true);
  int i = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(calmed(frames[i].data()));
    i ^= 1;
  }
  setcalm(false);
}
BENCHMARK(BM_calm_everyblock);

}  // namespace
