// bitrot-soak: plays the game headless for a great many frames with a random
// but plausible player, through the same frame code as the game and the replay
// runner, and checks the whole state after every frame. Stops at the first
// broken rule with a message that says which rule, where, and in which frame.
//
//   bitrot-soak [--seed N] [--frames N] [--inject WHAT@FRAME]
//
// --inject damages the state after the given frame (cell, player, wall, scrb,
// pal, keys, count, mode), so a test can see that the checks catch it.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/game/game.h"
#include "core/state.h"

namespace {

constexpr int startx = 9, starty = 21;  // the player's cell after every new game
constexpr u32 lockout = 41;             // frames after a new game in which input doesn't count

// ---------------------------------------------------------------------------
// The platform the frame sees: this frame's events, no music, no delay.
// ---------------------------------------------------------------------------
std::vector<inputevent> pending;
std::size_t nextev;
long musicloads;

bool soakpoll(inputevent* e) {
  if (nextev >= pending.size()) return false;
  *e = pending[nextev++];
  return true;
}
void soakmusic() { musicloads++; }
void soakdelay() {}
const shellio io = {soakmusic, soakpoll, [] {}, soakdelay};

// ---------------------------------------------------------------------------
// Failure: one line on stderr and a nonzero status.
// ---------------------------------------------------------------------------
long framenum;  // frames run so far, over all runs and games

[[noreturn]] void broken(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void broken(const char* fmt, ...) {
  std::fprintf(stderr, "bitrot-soak: frame %ld: ", framenum);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fprintf(stderr, "\n");
  std::exit(1);
}

// ---------------------------------------------------------------------------
// What start-up fixes: the wall grid and the play area around the start.
// ---------------------------------------------------------------------------
u8 wallsatstart[gridsize][gridsize];
bool inplay[gridsize][gridsize];
int playcells;

bool ongrid(int x, int y) { return x >= 0 && x < gridsize && y >= 0 && y < gridsize; }

// The non-wall cells that side steps reach from the start.
void floodplay() {
  std::memset(inplay, 0, sizeof inplay);
  playcells = 0;
  if (a.walls[starty][startx]) broken("the start cell (%d,%d) is a wall", startx, starty);
  std::vector<std::pair<int, int>> todo = {{startx, starty}};
  inplay[starty][startx] = true;
  const int dx[4] = {1, 0, -1, 0}, dy[4] = {0, -1, 0, 1};
  while (!todo.empty()) {
    auto [x, y] = todo.back();
    todo.pop_back();
    playcells++;
    for (int i = 0; i < 4; i++) {
      int nx = x + dx[i], ny = y + dy[i];
      if (ongrid(nx, ny) && !a.walls[ny][nx] && !inplay[ny][nx]) {
        inplay[ny][nx] = true;
        todo.push_back({nx, ny});
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The player: holds and releases keys the way hands do.
// ---------------------------------------------------------------------------
enum : int { kright, kup, kleft, kdown, kspace, klctrl, kreturn, kescape };

std::mt19937 hands;  // the player's own draws; the game's come from rand
bool held[8];        // keys physically down
int holdfor[8];      // frames left before a held key is let go
bool gamekeys[8];    // what the game's key flags should be, from the events sent

double chance() { return std::uniform_real_distribution<double>(0, 1)(hands); }
int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(hands); }

void send(inputevent::kind type, u32 sym) {
  pending.push_back({type, sym});
  if (type == inputevent::keydown || type == inputevent::keyup)
    for (int i = 0; i < 8; i++)
      if (kbk[i] == sym) gamekeys[i] = type == inputevent::keydown;
}
void press(int k, int frames) {
  send(inputevent::keydown, kbk[k]);
  held[k] = true;
  holdfor[k] = frames;
}
void release(int k) {
  send(inputevent::keyup, kbk[k]);
  held[k] = false;
}

// Where the last check found the nearest mender to the player, if any.
bool havemender;
int menderx, mendery;

// An arrow toward the nearest mender half the time, any arrow otherwise; an
// arrow into ripe growth is mostly thought better of.
int choosearrow() {
  int k = pick(4);
  if (havemender && chance() < 0.5) {
    int dx = menderx - b.plx, dy = mendery - b.ply;
    if (dx == 0 && dy == 0) return k;
    if (std::abs(dx) >= std::abs(dy)) k = dx > 0 ? kright : kleft;
    else k = dy > 0 ? kdown : kup;
  }
  const int sx[4] = {1, 0, -1, 0}, sy[4] = {0, -1, 0, 1};
  int tx = b.plx + sx[k], ty = b.ply + sy[k];
  if (ongrid(tx, ty) && a.cells[ty][tx] >= cgrowth && chance() < 0.8) k = pick(4);
  return k;
}

long bursts, strays;

// A flood of events at once: any kind, any key code, ups of keys not held.
void burst() {
  bursts++;
  int n = 50 + pick(2000);
  for (int i = 0; i < n; i++) {
    int r = pick(10);
    if (r < 6) {
      send(pick(2) ? inputevent::keydown : inputevent::keyup, kbk[pick(7)]);  // never Escape: see below
    } else if (r < 8) {
      send(pick(2) ? inputevent::keydown : inputevent::keyup, u32(hands()));
    } else {
      send(inputevent::other, u32(hands()));
    }
  }
  // Leave the game's flags as the hands hold the keys, so the flood ends in a
  // state the player could have reached.
  for (int k = 0; k < 7; k++) send(held[k] ? inputevent::keydown : inputevent::keyup, kbk[k]);
}

long quitsasked;

// This frame's events.
void play() {
  pending.clear();
  nextev = 0;

  for (int k = 0; k < 8; k++)
    if (held[k] && --holdfor[k] <= 0) release(k);

  bool arrowheld = held[kright] || held[kup] || held[kleft] || held[kdown];
  if (!arrowheld && chance() < 0.3) press(choosearrow(), 1 + pick(6));
  else if (arrowheld && chance() < 0.03) press(choosearrow(), 1 + pick(4));  // a second arrow
  if (!held[kspace] && chance() < 0.05) press(kspace, 1 + pick(4));
  if (!held[klctrl] && chance() < 0.01) press(klctrl, 1 + pick(20));
  if (!held[kreturn] && chance() < 0.01) press(kreturn, 1 + pick(20));
  // Escape mostly with another key; alone it ends the run, which the caller
  // then starts again.
  if (!held[kescape] && chance() < 0.0005) press(kescape, 1 + pick(3));
  if (chance() < 0.01) {  // a tap within one frame: down and up together
    int k = pick(7);
    if (!held[k]) {
      send(inputevent::keydown, kbk[k]);
      send(inputevent::keyup, kbk[k]);
    }
  }
  if (chance() < 0.005) {  // a key the game doesn't know
    strays++;
    u32 sym = pick(2) ? u32(pick(400)) : u32(hands());
    send(inputevent::keydown, sym);
    send(inputevent::keyup, sym);
  }
  if (chance() < 0.01) send(inputevent::other, 0);
  if (chance() < 0.0002) burst();
  if (chance() < 0.00005) {
    quitsasked++;
    send(inputevent::quit, 0);
  }
}

// ---------------------------------------------------------------------------
// Checks.
// ---------------------------------------------------------------------------
struct before {
  u32 count;
  u8 mode, lastmask;
  s16 plx, ply;
  u16 pal16[32];
};

u16 halves(u16 c) { return u16(((c >> 11) / 2) * 2048 + (((c >> 5) & 63) / 2) * 32 + (c & 31) / 2); }

// True when c and d differ by one step of one channel.
bool onestep(u16 c, u16 d) {
  int dr = std::abs((c >> 11) - (d >> 11)), dg = std::abs(((c >> 5) & 63) - ((d >> 5) & 63));
  int db = std::abs((c & 31) - (d & 31));
  return dr + dg + db == 1;
}

u16 base16(int i) {
  u32 c = pal[i];
  return u16(((c >> 19) << 11) + ((c >> 3) & 0x1F) + ((c >> 5) & 0x7E0));
}

// The dark shade of some colour at most one channel step from c.
bool darkofnear(u16 dark, u16 c) {
  int ch[3] = {c >> 11, (c >> 5) & 63, c & 31};
  const int top[3] = {31, 63, 31};
  if (dark == halves(c)) return true;
  for (int k = 0; k < 3; k++)
    for (int step : {-1, 1}) {
      int v[3] = {ch[0], ch[1], ch[2]};
      v[k] += step;
      if (v[k] < 0 || v[k] > top[k]) continue;
      if (dark == halves(u16(v[0] * 2048 + v[1] * 32 + v[2]))) return true;
    }
  return false;
}

// What the frame must have done to the palette: drift at most one bright entry
// by one channel step, or reload the base palette (a new game or a pick-up)
// with at most one entry drifted after it. A dark entry changes only with its
// bright one, to that colour's halves; in the frame of a death the reload
// comes after the drift, so the dark shade is of the drifted colour.
void checkpal(const before& pre, bool newgame) {
  int brightchanged = 0, darkchanged = 0;
  for (int i = 0; i < 16; i++) {
    if (pal16[i] != pre.pal16[i]) brightchanged++;
    if (pal16[i + 16] != pre.pal16[i + 16]) {
      darkchanged++;
      if (pal16[i + 16] != halves(pal16[i]) && !(newgame && darkofnear(pal16[i + 16], pre.pal16[i])))
        broken("dark entry %d is %04x, not the halves %04x of bright entry %04x", i + 16, pal16[i + 16],
               halves(pal16[i]), pal16[i]);
    }
    u16 d = pal16[i + 16];
    if ((d >> 11) > 15 || ((d >> 5) & 63) > 31 || (d & 31) > 15)
      broken("dark entry %d is %04x, brighter than half of any colour", i + 16, d);
  }
  if (darkchanged > 1) broken("%d dark palette entries changed in one frame", darkchanged);

  bool drifted = brightchanged == 0;
  for (int i = 0; i < 16 && brightchanged == 1; i++)
    if (pal16[i] != pre.pal16[i]) drifted = onestep(pal16[i], pre.pal16[i]);
  if (drifted) return;
  int offbase = 0;
  for (int i = 0; i < 16; i++) {
    u16 want = base16(i);
    if (pal16[i] == want) continue;
    if (!onestep(pal16[i], want))
      broken("palette entry %d went from %04x to %04x: neither a drift nor a reload", i, pre.pal16[i],
             pal16[i]);
    offbase++;
  }
  if (offbase > 1) broken("%d palette entries off the base colours right after a reload", offbase);
}

struct tally {
  long frames, turns, plays, deaths, pickups, restarts, escapes;
  long maxgrowth, maxmenders, maxturnsgame, maxeffects, longestgame;
  long turnsgame;
} t;

const int sx[5] = {0, 1, 0, -1, 0}, sy[5] = {0, 0, -1, 0, 1};

void check(const before& pre) {
  // Flags and counters.
  if (a.mode > 1) broken("mode is %d", a.mode);
  if (a.alive != 1) broken("alive is %d at the end of a frame", a.alive);
  if (a.track > 1) broken("track is %d", a.track);
  if (a.curtrack > 1) broken("curtrack is %d after a frame", a.curtrack);
  if (a.alarm > 10) broken("alarm is %d", a.alarm);
  u8 mask = 0;
  for (int i = 0; i < 8; i++) {
    if (a.keys[i] > 1) broken("keys[%d] is %d", i, a.keys[i]);
    if (a.keys[i]) mask |= u8(1 << i);
  }
  if (a.keymask != mask) broken("keymask %d but the held keys make %d", a.keymask, mask);

  const bool newgame = count == 0;
  if (!newgame && count != pre.count + 1) broken("count went from %u to %u", pre.count, count);
  if (newgame) {
    if (pre.mode != 1) broken("a new game came from title mode");
    for (bool& k : gamekeys) k = false;  // a new game forgets the held keys
  }
  for (int i = 0; i < 8; i++)
    if (a.keys[i] != gamekeys[i])
      broken("keys[%d] is %d but the events sent make it %d", i, a.keys[i], gamekeys[i]);

  // The turn, if this frame made one: the mask the frame built changed, the
  // lock-out was over, play was on, and an arrow or SPACE was held.
  const int dirs[5][2] = {{16, 0}, {1, 1}, {2, 2}, {4, 3}, {8, 4}};
  const bool turn =
      newgame || (pre.mode == 1 && pre.count >= lockout && a.keymask != pre.lastmask && (a.keymask & 31));
  if (newgame) {
    t.deaths++;
    t.turns++;
    t.maxturnsgame = std::max(t.maxturnsgame, t.turnsgame + 1);
    t.longestgame = std::max(t.longestgame, long(pre.count) + 1);
    t.turnsgame = 0;
  } else if (turn) {
    t.turns++;
    t.turnsgame++;
    int dir = 0;
    for (auto& d : dirs)
      if (a.keymask & d[0]) {
        dir = d[1];
        break;
      }
    int tx = pre.plx + sx[dir], ty = pre.ply + sy[dir];
    if (b.tryx != tx || b.tryy != ty)
      broken("direction %d from (%d,%d) tried (%d,%d)", dir, pre.plx, pre.ply, b.tryx, b.tryy);
    bool free = ongrid(tx, ty) && !a.walls[ty][tx];
    if (b.plx != (free ? tx : pre.plx) || b.ply != (free ? ty : pre.ply))
      broken("direction %d from (%d,%d) ended at (%d,%d)", dir, pre.plx, pre.ply, b.plx, b.ply);
    if (b.goalx != b.plx * 8 - 36 || b.goaly != b.ply * 8 - 26)
      broken("after a turn the view's goal is (%d,%d) for the player at (%d,%d)", b.goalx, b.goaly, b.plx,
             b.ply);
    // The turn's generation left the cell the player stepped onto in nextcells.
    if (b.plx > 0 && b.ply > 0 && b.plx < gridsize - 1 && b.ply < gridsize - 1 &&
        a.nextcells[b.ply][b.plx] == cmender)
      t.pickups++;
  } else if (b.plx != pre.plx || b.ply != pre.ply) {
    broken("the player moved from (%d,%d) to (%d,%d) without a turn", pre.plx, pre.ply, b.plx, b.ply);
  }
  if (pre.mode == 0 && a.mode == 1) t.plays++;

  // The player.
  if (!ongrid(b.plx, b.ply)) broken("the player is at (%d,%d), off the grid", b.plx, b.ply);
  if (a.walls[b.ply][b.plx]) broken("the player is in a wall at (%d,%d)", b.plx, b.ply);
  if (!inplay[b.ply][b.plx]) broken("the player left the play area, to (%d,%d)", b.plx, b.ply);
  u8 here = a.cells[b.ply][b.plx];
  if (here < cright || here > cdown) broken("the player's cell (%d,%d) holds %d", b.plx, b.ply, here);

  // Every cell: a known value, nothing in a wall or outside the play area,
  // one player.
  int players = 0, growth = 0, menders = 0, best = 1 << 30;
  havemender = false;
  for (int y = 0; y < gridsize; y++)
    for (int x = 0; x < gridsize; x++) {
      u8 v = a.cells[y][x];
      if (!v) continue;
      if (v > cripe) broken("cell (%d,%d) holds %d", x, y, v);
      if (a.walls[y][x]) broken("cell (%d,%d) is a wall but holds %d", x, y, v);
      if (!inplay[y][x]) broken("cell (%d,%d) holds %d outside the play area", x, y, v);
      if (v <= cdown) players++;
      else if (v == cmender) {
        menders++;
        int d = std::abs(x - b.plx) + std::abs(y - b.ply);
        if (d < best) {
          best = d;
          menderx = x;
          mendery = y;
          havemender = true;
        }
      } else {
        growth++;
      }
    }
  if (players != 1) broken("%d cells hold the player", players);
  t.maxgrowth = std::max<long>(t.maxgrowth, growth);
  t.maxmenders = std::max<long>(t.maxmenders, menders);

  if (std::memcmp(a.walls, wallsatstart, sizeof wallsatstart) != 0)
    broken("the wall grid changed since start-up");

  int effects = 0;
  for (int i = 0; i < lowh * loww; i++) {
    if (scrb[i] > 31) broken("scrb pixel (%d,%d) is %d", i % loww, i / loww, scrb[i]);
    if (scfx[i] > 15) broken("effect code at (%d,%d) is %d", i % loww, i / loww, scfx[i]);
    effects += scfx[i] != 0;
  }
  t.maxeffects = std::max<long>(t.maxeffects, effects);

  checkpal(pre, newgame);
}

// Damage for the self-test: each breaks one of the rules above.
void inject(const std::string& what) {
  if (what == "cell") a.cells[100][100] = 10;
  else if (what == "player") a.cells[b.ply][b.plx] = cfree;
  else if (what == "wall") a.walls[0][0] ^= 1;
  else if (what == "scrb") scrb[123] = 32;
  else if (what == "pal") pal16[20] = 0xFFFF;
  else if (what == "keys") a.keys[3] = a.keys[3] ? 0 : 1;
  else if (what == "count") count += 2;
  else if (what == "mode") a.mode = 2;
  else {
    std::fprintf(stderr, "bitrot-soak: nothing known to inject as \"%s\"\n", what.c_str());
    std::exit(2);
  }
}

// Start-up as the game does it; also after each run that a quit or Escape ended.
void start() {
  startgame();
  a.running = 1;
  for (int k = 0; k < 8; k++) held[k] = gamekeys[k] = false;
  t.turnsgame = 0;
}

int usage() {
  std::fprintf(stderr, "usage: bitrot-soak [--seed N] [--frames N] [--inject WHAT@FRAME]\n");
  return 2;
}

bool number(const char* s, unsigned long long max, unsigned long long& v) {
  char* end;
  if (!*s || *s == '-') return false;
  v = std::strtoull(s, &end, 10);
  return !*end && v <= max;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long long seed = 1, frames = 1000000, injectat = 0;
  std::string injectwhat;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      if (!number(argv[++i], 0xFFFFFFFFull, seed)) return usage();
    } else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
      if (!number(argv[++i], 1ull << 40, frames)) return usage();
    } else if (!std::strcmp(argv[i], "--inject") && i + 1 < argc) {
      std::string s = argv[++i];
      std::size_t at = s.find('@');
      if (at == std::string::npos || !number(s.c_str() + at + 1, 1ull << 40, injectat)) return usage();
      injectwhat = s.substr(0, at);
    } else {
      return usage();
    }
  }

  auto t0 = std::chrono::steady_clock::now();
  start();
  std::srand(unsigned(seed));
  hands.seed(unsigned(seed) ^ 0x5eed50a4u);
  std::memcpy(wallsatstart, a.walls, sizeof wallsatstart);
  floodplay();

  for (framenum = 0; framenum < long(frames); framenum++) {
    before pre = {count, a.mode, a.lastmask, b.plx, b.ply, {}};
    std::memcpy(pre.pal16, pal16, sizeof pal16);
    play();
    frame(io);
    t.frames++;
    if (!injectwhat.empty() && framenum == long(injectat)) inject(injectwhat);
    if (!a.running) {
      // A quit or Escape held alone: the program would end here. Check the
      // frame as it stands, then start the game again as a new launch would.
      a.running = 1;
      check(pre);
      t.restarts++;
      start();
      continue;
    }
    check(pre);
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

  std::printf("bitrot-soak: seed %llu, %ld frames in %.1f s, all checks held\n", seed, t.frames, secs);
  std::printf("  play area        %d cells around (%d,%d)\n", playcells, startx, starty);
  std::printf("  games played     %ld started, %ld ended in death\n", t.plays, t.deaths);
  std::printf("  turns            %ld (most in one game %ld)\n", t.turns, t.maxturnsgame);
  std::printf("  longest game     %ld frames\n", t.longestgame);
  std::printf("  pick-ups         %ld\n", t.pickups);
  std::printf("  most growth      %ld cells at once, most menders %ld\n", t.maxgrowth, t.maxmenders);
  std::printf("  most effects     %ld of %d effect map cells set\n", t.maxeffects, lowh * loww);
  std::printf("  music loads      %ld\n", musicloads);
  std::printf("  restarts         %ld (quit events sent %ld; the rest Escape held alone)\n", t.restarts,
              quitsasked);
  std::printf("  event floods     %ld, stray key codes %ld\n", bursts, strays);
  return 0;
}
