#include "replay.h"

#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <vector>

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

int runreplay(std::istream& trace, std::ostream& out, unsigned seed, bool last, std::string& err) {
  static const shellio io = {nothing, tracepoll, nothing, nothing};
  zerostate();
  startgame();
  std::srand(seed);
  a.running = 1;

  std::string line, bad, lastline;
  long f = 0;
  while (std::getline(trace, line)) {
    if (!parseevents(line, pending, bad)) {
      err = "line " + std::to_string(f + 1) + ": cannot read \"" + bad + "\"";
      return 2;
    }
    next = 0;
    const int loaded = frame(io);
    if (last) lastline = stateline(f, loaded);
    else out << stateline(f, loaded);
    f++;
    if (!a.running) break;
  }
  out << lastline;
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
