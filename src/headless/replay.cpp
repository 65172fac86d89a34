#include "replay.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

#include "core/gfx/gfx.h"
#include "core/playback.h"
#include "core/statehash.h"
#include "flash/calm.h"

// The current frame's events, handed to the frame's event step one by one.
static std::vector<inputevent> pending;
static std::size_t next;

static bool tracepoll(inputevent* e) {
  if (next >= pending.size()) return false;
  *e = pending[next++];
  return true;
}
static void nothing() {}

std::FILE* framesout;

// The platforms' present: what the window would show, into framesout.
static void present() {
  const u16* shown = calmed(scrbuf);
  if (!framesout) return;
  static u8 wide[65536][3];
  static bool made;
  if (!made) {
    for (u32 c = 0; c < 65536; c++) widen(u16(c), wide[c]);
    made = true;
  }
  static u8 rgb[scrw * scrh * 3];
  for (int i = 0; i < scrw * scrh; i++) std::memcpy(&rgb[3 * i], wide[shown[i]], 3);
  std::fwrite(rgb, 1, sizeof rgb, framesout);
}

// A refusal by readtrace (got refused or failed) as its message: always 2.
static int refused(readresult got, const char* name, std::string& err) {
  err = refusal(name, got, err);
  return 2;
}

int runreplay(tracesource& trace, const char* name, std::ostream& out, std::optional<unsigned> seed,
              bool last, std::string& err, replayend* end) {
  static const shellio io = {nothing, tracepoll, present, nothing};
  tracereader r{trace};
  traceline t;
  readresult got = readtrace(r, t, err);
  if (got == readresult::refused || got == readresult::failed) return refused(got, name, err);
  if (got == readresult::line && t.type == traceline::isseed) {
    if (!seed) seed = t.seed;
    got = readtrace(r, t, err);
    if (got == readresult::refused || got == readresult::failed) return refused(got, name, err);
  }
  if (!seed) {
    err = noseed(name);
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
  for (; got == readresult::line; got = readtrace(r, t, err)) {
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
  if (got != readresult::end) return refused(got, name, err);
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
