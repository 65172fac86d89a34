#include "replay.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "core/state.h"
#include "core/trace.h"

// The current frame's events, handed to the frame's event step one by one.
static std::vector<inputevent> pending;
static std::size_t next;

static bool tracepoll(inputevent* e) {
  if (next >= pending.size()) return false;
  *e = pending[next++];
  return true;
}
static void nothing() {}

// The message for a refusal by readtrace (got -1 or -2): always 2.
static int refused(int got, const char* name, std::string& err) {
  err = (got == -2 ? std::string("cannot read ") + name + ": " : std::string(name) + ": ") + err;
  return 2;
}

int runreplay(tracesource& trace, const char* name, std::ostream& out, std::optional<unsigned> seed,
              bool last, std::string& err, replayend* end) {
  static const shellio io = {nothing, tracepoll, nothing, nothing};
  tracereader r{trace};
  traceline t;
  int got = readtrace(r, t, err);
  if (got < 0) return refused(got, name, err);
  if (got > 0 && t.type == traceline::isseed) {
    if (!seed) seed = t.seed;
    got = readtrace(r, t, err);
    if (got < 0) return refused(got, name, err);
  }
  if (!seed) {
    err = std::string(name) + ": no seed: give --seed N, or a recording that starts with a seed line";
    return 2;
  }
  zerostate();
  startgame();
  gamesrand(*seed);
  a.running = 1;

  // The state line hashes the whole screen: with `last` it is made once, for
  // the final frame, which is also the one an end line is compared with
  // (nothing is played after the last frame line, nor read after an end line).
  std::string line;
  long f = 0;
  int loaded = -1;
  bool ended = false;
  for (; got > 0; got = readtrace(r, t, err)) {
    if (t.type == traceline::isend) {
      ended = true;
      if (end) end->recorded = t.state;
      continue;
    }
    if (!a.running) continue;  // the game has ended; the rest is only read
    pending.swap(t.evs);
    next = 0;
    loaded = frame(io);
    if (!last) out << (line = stateline(f, loaded));
    f++;
  }
  if (got < 0) return refused(got, name, err);
  if (last && f > 0) out << (line = stateline(f - 1, loaded));
  if (end && ended) end->seen = true, end->replayed = line;
  return 0;
}

bool writescreen(const char* path) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  std::vector<u8> rgb(scrw * scrh * 3);
  for (int i = 0; i < scrw * scrh; i++) widen(scrbuf[i], &rgb[3 * i]);
  bool ok = std::fprintf(f, "P6\n%d %d\n255\n", scrw, scrh) > 0 &&
            std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
  return std::fclose(f) == 0 && ok;
}
