// The game's random stream is glibc's rand, drawn from a generator of the
// game's own: a seed means the same game on every platform only if every
// platform draws the same numbers, and only if nothing else in the process
// draws from the stream. The C library's rand is shared with every library
// the program loads, and some do draw from it or seed it (mesa 25's
// gallium, for one, which the game's SDL loads on a handheld), so recordings
// made there did not replay.
#include <cstdint>

#include "state.h"

namespace {

// The additive feedback generator x[i] = x[i-3] + x[i-31], each draw the new
// word shifted right by one, seeded through the Park-Miller generator and run
// 310 draws in before the first one counts.
constexpr int deg = 31, sep = 3;
std::uint32_t st[deg];
int fi, ri;
bool seeded;

std::uint32_t next() {
  const std::uint32_t v = st[fi] += st[ri];
  if (++fi >= deg) {
    fi = 0;
    ++ri;
  } else if (++ri >= deg) {
    ri = 0;
  }
  return v >> 1;
}

void seed(unsigned s) {
  if (s == 0) s = 1;
  std::int32_t word = std::int32_t(s);
  st[0] = std::uint32_t(word);
  for (int i = 1; i < deg; i++) {
    const std::int64_t hi = word / 127773, lo = word % 127773;
    std::int64_t w = 16807 * lo - 2836 * hi;
    if (w < 0) w += 2147483647;
    word = std::int32_t(w);
    st[i] = std::uint32_t(word);
  }
  fi = sep;
  ri = 0;
  for (int i = 0; i < 10 * deg; i++) next();
  seeded = true;
}

}  // namespace

void gamesrand(unsigned s) { seed(s); }

int gamerand() {
  if (!seeded) seed(1);  // as if srand(1), like the C library
  return int(next());
}
