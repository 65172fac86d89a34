// How long a link to a run is: runs of ordinary play, played through the
// game's own frames headless and recorded as the page records them, then
// made into links as the page makes them (packed, raw deflate at zlib's
// default level, which is the browsers' CompressionStream's, base64url).
// Prints the median, least and most of the link's #run= part, and of the
// same recordings deflated without packing.
//
// bitrot-linklength [RUNS [FRAMES]]: 36 runs of 12,000 frames (ten minutes)
// unless told otherwise.
//
// Ordinary play, as hands play a game of turns: on the title card Space after
// a moment; in play a key every few frames, an arrow (half the time the one
// pressed last) or now and then Space, held for 2 to 5 frames (a tenth to a
// quarter of a second), the next one 3 to 12 frames after it is let go, or
// after a pause to look around (20 to 80 frames, one press in ten; 100 to 300,
// one in fifty); one press in ten rolls over the last, going down a frame
// before the other comes up. The run ends with Escape in its last frame.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/recording.h"
#include "core/state.h"
#include "core/statehash.h"
#include "link/link.h"

namespace {

enum : int { kright, kup, kleft, kdown, kspace, kescape = 7 };

std::vector<inputevent> pending;
std::size_t nextev;
bool poll(inputevent* e) {
  if (nextev >= pending.size()) return false;
  *e = pending[nextev++];
  return true;
}
void nothing() {}
const shellio io = {nothing, poll, nothing, nothing};

struct hands {
  std::mt19937 r;
  long next = 0;      // the frame of the next press
  long upat[8] = {};  // the frame a held key is let go, or 0
  int last = kright;  // the arrow pressed last
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(r); }
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(r) < p; }

  void frame(long f, bool lastframe) {
    for (int k = 0; k < 8; k++)
      if (upat[k] == f || (lastframe && upat[k])) pending.push_back({inputevent::keyup, kbk[k]}), upat[k] = 0;
    if (lastframe) {
      pending.push_back({inputevent::keydown, kbk[kescape]});
      return;
    }
    if (f == 0) next = between(45, 90);
    if (f < next) return;
    int k = kspace;
    if (a.mode && !chance(0.08)) k = last = chance(0.5) ? last : between(kright, kdown);
    if (upat[k]) return;
    pending.push_back({inputevent::keydown, kbk[k]});
    upat[k] = f + between(2, 5);
    if (chance(0.1)) next = upat[k] - 1;
    else if (chance(0.02)) next = upat[k] + between(100, 300);
    else if (chance(0.1)) next = upat[k] + between(20, 80);
    else next = upat[k] + between(3, 12);
  }
};

std::string playrun(unsigned seed, long frames, std::size_t& events) {
  hands h{std::mt19937(seed)};
  zerostate();
  startgame();
  gamesrand(seed);
  a.running = 1;
  std::string rec = seedline(seed);
  long f = 0;
  int loaded = -1;
  for (; a.running && f < frames; f++) {
    pending.clear();
    nextev = 0;
    h.frame(f, f == frames - 1);
    std::string line;
    for (const inputevent& e : pending) appendevent(line, e);
    events += pending.size();
    rec += line + '\n';
    loaded = frame(io);
  }
  return rec + "end " + stateline(f - 1, loaded);
}

// The #run= part of a link to the recording deflated as it is: zlib's own
// stream is the raw one between a 2-byte head and a 4-byte check.
std::size_t unpacked(const std::string& rec) {
  uLongf n = compressBound(uLong(rec.size()));
  std::vector<Bytef> out(n);
  compress2(out.data(), &n, reinterpret_cast<const Bytef*>(rec.data()), uLong(rec.size()),
            Z_DEFAULT_COMPRESSION);
  return 4 + ((n - 6) * 4 + 2) / 3;
}

void show(const char* what, std::vector<std::size_t> v) {
  std::sort(v.begin(), v.end());
  const std::size_t mid = v.size() / 2;
  const double median = v.size() % 2 ? double(v[mid]) : (v[mid - 1] + v[mid]) / 2.0;
  std::printf("%-28s median %7.0f  least %6zu  most %6zu\n", what, median, v.front(), v.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 36;
  const long frames = argc > 2 ? std::atol(argv[2]) : 12000;
  if (runs < 1 || frames < 2) return std::fprintf(stderr, "usage: bitrot-linklength [RUNS [FRAMES]]\n"), 2;
  std::vector<std::size_t> links, plain, texts, events;
  for (int i = 1; i <= runs; i++) {
    std::size_t n = 0;
    const std::string rec = playrun(unsigned(i), frames, n);
    std::string back, why;
    const std::string link = makelink(rec);
    if (!openlink(link, back, why) || back != rec)
      return std::fprintf(stderr, "bitrot-linklength: run %d does not come back from its link\n", i), 1;
    links.push_back(link.size());
    plain.push_back(unpacked(rec));
    texts.push_back(rec.size());
    events.push_back(n);
  }
  std::printf("%d runs of %ld frames of ordinary play\n", runs, frames);
  show("recording, bytes", texts);
  show("key events", events);
  show("link, packed (run=...)", links);
  show("link, text deflated", plain);
  return 0;
}
