// bitrot-soak [--seed N] [--frames N] [--trace FILE]: random play through the
// game's own frame, the whole state checked after every frame; stops at the
// first broken rule. --trace writes the events as bitrot-replay reads them,
// and ends the run where the game first ends.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/recording.h"

namespace {

std::vector<inputevent> pending;
std::size_t nextev;
bool pollpending(inputevent* e) {
  if (nextev >= pending.size()) return false;
  *e = pending[nextev++];
  return true;
}
const shellio io = {[] {}, pollpending, [] {}, [] {}};

long long framenum;  // 64 bits everywhere: long has 32 on armhf, and --frames allows 2^40
[[noreturn]] __attribute__((format(printf, 1, 2))) void broken(const char* fmt, ...) {
  std::fprintf(stderr, "bitrot-soak: frame %lld: ", framenum);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fputc('\n', stderr);
  std::exit(1);
}

bool ongrid(int x, int y) { return x >= 0 && x < gridsize && y >= 0 && y < gridsize; }
const int sx[5] = {0, 1, 0, -1, 0}, sy[5] = {0, 0, -1, 0, 1};  // the step of each direction

// What start-up fixes: the wall grid, and the play area, the floor that side
// steps reach from the start.
u8 startwalls[gridsize][gridsize];
bool area[gridsize][gridsize];
void floodarea() {
  std::vector<std::pair<int, int>> todo = {{9, 21}};
  area[21][9] = true;
  while (!todo.empty()) {
    auto [x, y] = todo.back();
    todo.pop_back();
    for (int d = 1; d <= 4; d++) {
      const int nx = x + sx[d], ny = y + sy[d];
      if (ongrid(nx, ny) && !a.walls[ny][nx] && !area[ny][nx]) area[ny][nx] = true, todo.push_back({nx, ny});
    }
  }
}

// The player: holds keys as hands do, taps, strays, floods the queue or quits.
enum : int { kright, kup, kleft, kdown, kspace, klctrl, kreturn, kescape };
std::mt19937 hands;
bool held[8], gamekeys[8];  // keys physically down; the game's key flags as the events sent make them
int holdfor[8];
int menderx = -1, mendery;  // the nearest mender, as the last check found it
long long floods, strays, quits;

double chance() { return std::uniform_real_distribution<double>(0, 1)(hands); }
int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(hands); }
void send(inputevent::kind type, u32 sym) {
  pending.push_back({type, sym});
  for (int i = 0; i < 8; i++)
    if (kbk[i] == sym && type != inputevent::other) gamekeys[i] = type == inputevent::keydown;
}
void press(int k, int frames) {
  send(inputevent::keydown, kbk[k]);
  held[k] = true;
  holdfor[k] = frames;
}

// Toward the nearest mender half the time; mostly not into growth.
int arrow() {
  int k = pick(4);
  const int dx = menderx - b.plx, dy = mendery - b.ply;
  if (menderx >= 0 && (dx || dy) && chance() < 0.5)
    k = std::abs(dx) >= std::abs(dy) ? (dx > 0 ? kright : kleft) : (dy > 0 ? kdown : kup);
  const int tx = b.plx + sx[k + 1], ty = b.ply + sy[k + 1];
  if (ongrid(tx, ty) && a.cells[ty][tx] >= cgrowth && chance() < 0.8) k = pick(4);
  return k;
}

void play() {
  pending.clear();
  nextev = 0;
  for (int k = 0; k < 8; k++)
    if (held[k] && --holdfor[k] <= 0) send(inputevent::keyup, kbk[k]), held[k] = false;
  const bool arrowheld = held[kright] || held[kup] || held[kleft] || held[kdown];
  // Draws one at a time, never two in one call's arguments: their order there
  // is the compiler's to choose, and ARM's differs from x86's, which would give
  // one seed two different runs.
  if (chance() < (arrowheld ? 0.03 : 0.3)) {
    const int hold = 1 + pick(arrowheld ? 4 : 6);
    press(arrow(), hold);
  }
  if (!held[kspace] && chance() < 0.05) press(kspace, 1 + pick(4));
  if (!held[klctrl] && chance() < 0.01) press(klctrl, 1 + pick(20));
  if (!held[kreturn] && chance() < 0.01) press(kreturn, 1 + pick(20));
  if (!held[kescape] && chance() < 0.0005) press(kescape, 1 + pick(3));  // alone, it ends the run
  if (const int k = pick(7); !held[k] && chance() < 0.01)
    send(inputevent::keydown, kbk[k]), send(inputevent::keyup, kbk[k]);
  if (chance() < 0.005) {
    strays++;
    const u32 sym = pick(2) ? u32(pick(400)) : u32(hands());
    send(inputevent::keydown, sym), send(inputevent::keyup, sym);
  }
  if (chance() < 0.01) send(inputevent::other, 0);
  if (chance() < 0.0002) {  // any kind, any code, then the keys as the hands hold them
    floods++;
    for (int i = 50 + pick(2000); i > 0; i--) {
      const u32 sym = pick(2) ? kbk[pick(7)] : u32(hands());
      send(pick(3) ? (pick(2) ? inputevent::keydown : inputevent::keyup) : inputevent::other, sym);
    }
    for (int k = 0; k < 7; k++) send(held[k] ? inputevent::keydown : inputevent::keyup, kbk[k]);
  }
  if (chance() < 0.00005) quits++, send(inputevent::quit, 0);
}

struct before {
  u32 count;
  u8 mode, lastmask;
  s16 plx, ply;
  u16 pal16[32];
};
struct {
  long long turns, plays, deaths, pickups, restarts, growth;
} t;

u16 halves(u16 c) { return u16((c >> 12) * 2048 + ((c >> 6) & 31) * 32 + (c & 31) / 2); }
bool onestep(u16 c, u16 d) {
  return std::abs((c >> 11) - (d >> 11)) + std::abs((c >> 5 & 63) - (d >> 5 & 63)) +
             std::abs((c & 31) - (d & 31)) ==
         1;
}

void check(const before& pre) {
  if (a.mode > 1 || a.alive != 1 || a.track > 1 || a.curtrack > 1 || a.alarm > 10)
    broken("mode %d alive %d track %d curtrack %d alarm %d", a.mode, a.alive, a.track, a.curtrack, a.alarm);
  const bool newgame = count == 0;
  if (newgame && pre.mode != 1) broken("a new game came from the title card");
  if (!newgame && count != pre.count + 1) broken("count went from %u to %u", pre.count, count);
  if (newgame) std::fill(gamekeys, gamekeys + 8, false);
  u8 mask = 0;
  for (int i = 0; i < 8; i++) {
    if (a.keys[i] != gamekeys[i])
      broken("keys[%d] is %d, the events sent make it %d", i, a.keys[i], gamekeys[i]);
    mask = u8(mask | a.keys[i] << i);
  }
  if (a.keymask != mask) broken("keymask %d, the held keys make %d", a.keymask, mask);

  // A turn, when the mask changed after the lock-out in play with SPACE or an
  // arrow held: the first of SPACE, RIGHT, UP, LEFT, DOWN makes it.
  bool pickup = false;
  if (newgame) {
    t.deaths++;
  } else if (pre.mode == 1 && pre.count >= 41 && a.keymask != pre.lastmask && (a.keymask & 31)) {
    t.turns++;
    const int dir = a.keymask & 16 ? 0 : __builtin_ctz(a.keymask) + 1;
    const int tx = pre.plx + sx[dir], ty = pre.ply + sy[dir];
    const bool free = ongrid(tx, ty) && !a.walls[ty][tx];
    if (b.tryx != tx || b.tryy != ty || b.plx != (free ? tx : pre.plx) || b.ply != (free ? ty : pre.ply))
      broken("direction %d from (%d,%d) tried (%d,%d) and ended at (%d,%d)", dir, pre.plx, pre.ply, b.tryx,
             b.tryy, b.plx, b.ply);
    if (b.goalx != b.plx * 8 - 36 || b.goaly != b.ply * 8 - 26)
      broken("the view's goal is (%d,%d) for the player at (%d,%d)", b.goalx, b.goaly, b.plx, b.ply);
    pickup =
        a.nextcells[b.ply][b.plx] == cmender;  // what the turn's generation left where the player stepped
    t.pickups += pickup;
  } else if (b.plx != pre.plx || b.ply != pre.ply) {
    broken("the player moved from (%d,%d) to (%d,%d) without a turn", pre.plx, pre.ply, b.plx, b.ply);
  }
  t.plays += pre.mode == 0 && a.mode == 1;

  int players = 0, growth = 0, best = 1 << 30;
  menderx = -1;
  for (int y = 0; y < gridsize; y++)
    for (int x = 0; x < gridsize; x++) {
      const u8 v = a.cells[y][x];
      if (v && (v > cripe || a.walls[y][x] || !area[y][x])) broken("cell (%d,%d) holds %d", x, y, v);
      players += v >= cright && v <= cdown && x == b.plx && y == b.ply;
      growth += v >= cgrowth;
      const int d = std::abs(x - b.plx) + std::abs(y - b.ply);
      if (v == cmender && d < best) best = d, menderx = x, mendery = y;
      if (v && v <= cdown && (x != b.plx || y != b.ply))
        broken("a player at (%d,%d), not (%d,%d)", x, y, b.plx, b.ply);
    }
  if (players != 1) broken("the player's cell (%d,%d) does not hold the player", b.plx, b.ply);
  t.growth = std::max<long long>(t.growth, growth);
  if (std::memcmp(a.walls, startwalls, sizeof startwalls) != 0) broken("the wall grid changed");
  for (int i = 0; i < lowh * loww; i++)
    if (scrb[i] > 31 || scfx[i] > 15)
      broken("pixel (%d,%d) is %d, effect %d", i % loww, i / loww, scrb[i], scfx[i]);

  // The palette: one entry drifts a step with its dark shade its halves; a new
  // game or a pick-up may reload the bright ones.
  int drifted = 0, moved = 0;
  for (int i = 0; i < 16; i++) {
    moved += pal16[i] != pre.pal16[i];
    if ((moved > 1 || (pal16[i] != pre.pal16[i] && !onestep(pal16[i], pre.pal16[i]))) && !newgame && !pickup)
      broken("palette entry %d went from %04x to %04x", i, pre.pal16[i], pal16[i]);
    if (pal16[i + 16] != pre.pal16[i + 16]) {
      drifted++;
      if (pal16[i + 16] != halves(pal16[i]) && !newgame && !pickup)
        broken("dark entry %d is %04x, not the halves of %04x", i + 16, pal16[i + 16], pal16[i]);
    }
  }
  if (drifted > 1) broken("%d dark entries changed", drifted);
}

bool number(const char* s, unsigned long long max, unsigned long long& v) {
  char* end;
  v = std::strtoull(s, &end, 10);
  return *s && *s != '-' && !*end && v <= max;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long seed = 1, frames = 1000000;
  const char* tracepath = nullptr;
  for (int i = 1; i < argc; i += 2) {
    const char* v = i + 1 < argc ? argv[i + 1] : "";
    const bool ok = !std::strcmp(argv[i], "--seed")     ? number(v, 0xFFFFFFFFull, seed)
                    : !std::strcmp(argv[i], "--frames") ? number(v, 1ull << 40, frames)
                    : !std::strcmp(argv[i], "--trace")  ? (tracepath = v, *v != '\0')
                                                        : false;
    if (!ok) return std::fprintf(stderr, "usage: bitrot-soak [--seed N] [--frames N] [--trace FILE]\n"), 2;
  }
  std::FILE* trace = tracepath ? std::fopen(tracepath, "w") : nullptr;
  if (tracepath && !trace) return std::fprintf(stderr, "bitrot-soak: cannot write %s\n", tracepath), 1;
  const auto t0 = std::chrono::steady_clock::now();
  startgame();
  a.running = 1;
  gamesrand(unsigned(seed));
  hands.seed(unsigned(seed) ^ 0x5eed50a4u);
  std::memcpy(startwalls, a.walls, sizeof startwalls);
  floodarea();

  for (framenum = 0; framenum < static_cast<long long>(frames); framenum++) {
    before pre = {count, a.mode, a.lastmask, b.plx, b.ply, {}};
    std::memcpy(pre.pal16, pal16, sizeof pal16);
    play();
    if (trace) {
      std::string line;
      for (const inputevent& e : pending) appendevent(line, e);
      std::fprintf(trace, "%s\n", line.c_str());
    }
    frame(io);
    const bool ended = !a.running;
    a.running = 1;
    check(pre);
    if (ended && trace) {
      framenum++;
      break;
    }
    if (ended) {  // a quit or Escape alone: the game starts again, as a new launch would
      t.restarts++;
      startgame();
      a.running = 1;
      std::fill(held, held + 8, false);
      std::fill(gamekeys, gamekeys + 8, false);
    }
  }
  if (trace && std::fclose(trace)) return std::fprintf(stderr, "bitrot-soak: cannot write the trace\n"), 1;
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("bitrot-soak: seed %llu, %lld frames in %.1f s, all checks held\n", seed, framenum, secs);
  std::printf("  games %lld, deaths %lld, turns %lld, pick-ups %lld, most growth %lld\n", t.plays, t.deaths,
              t.turns, t.pickups, t.growth);
  std::printf("  restarts %lld (quits sent %lld), floods %lld, stray keys %lld\n", t.restarts, quits, floods,
              strays);
}
