// The decay: seeding of the effect map, the effect walk over the low-res frame
// and the palette drift.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "game/game.h"
#include "gfx/gfx.h"
#include "shell/frame.h"
#include "testutil.h"

namespace {

enum : int { dim = 1, blank = 8, left = 10, above = 11, right = 12, below = 13 };

// Where the seeding puts its harmless code 0 when a test sets the map itself.
constexpr int asidex = 70, asidey = 45;

class Decay : public ::testing::Test {
protected:
  u8 rendered[lowh * loww];

  void SetUp() override {
    testutil::wipe();
    loadpal();
    // A frame as render leaves it: every pixel 0..15, neighbours mostly differ.
    for (int y = 0; y < lowh; y++)
      for (int x = 0; x < loww; x++) setpx(x, y, (x * 7 + y * 3) % 16);
  }

  void setpx(int x, int y, int v) { scrb[y * loww + x] = rendered[y * loww + x] = u8(v); }
  void setfx(int x, int y, int code) { scfx[y * loww + x] = u8(code); }
  int px(int x, int y) const { return scrb[y * loww + x]; }
  // The frame back as render drew it, as the next frame would have it.
  void rerender() { std::memcpy(scrb, rendered, sizeof scrb); }

  // One call with the six draws given; the test fails if the call draws more
  // or fewer than six.
  void decay(int sx, int sy, int code, int flick = 0, int pi = 0, int op = 6) {
    testutil::script({sx, sy, code, flick, pi, op});
    mutaterender();
    EXPECT_EQ(testutil::drawn, 6u);
  }
  // One call whose seeding changes nothing: code 0 into a cell off to the side.
  void walk(int flick = 0) { decay(asidex, asidey, 0, flick); }

  // Every pixel but those listed still holds its rendered value.
  void restasrendered(std::vector<std::pair<int, int>> touched = {}) {
    int stray = 0;
    for (int y = 0; y < lowh; y++)
      for (int x = 0; x < loww; x++) {
        bool listed = false;
        for (auto& t : touched) listed |= t.first == x && t.second == y;
        if (!listed && px(x, y) != rendered[y * loww + x] && stray++ < 5)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") changed from " << int(rendered[y * loww + x])
                        << " to " << px(x, y);
      }
    EXPECT_EQ(stray, 0);
  }
  std::vector<int> row(int y, int x0, int x1) const {
    std::vector<int> v;
    for (int x = x0; x <= x1; x++) v.push_back(px(x, y));
    return v;
  }
  std::vector<int> column(int x, int y0, int y1) const {
    std::vector<int> v;
    for (int y = y0; y <= y1; y++) v.push_back(px(x, y));
    return v;
  }
};

// --- Seeding ---------------------------------------------------------------

TEST_F(Decay, EmptyMapAndCodeZeroLeaveTheFrame) {
  walk();
  restasrendered();
  for (int i = 0; i < lowh * loww; i++) ASSERT_EQ(scfx[i], 0) << i;
}

TEST_F(Decay, SeedingTakesRemaindersAndReplacesTheCode) {
  setfx(0, 0, dim);
  decay(159, 119, 31);
  EXPECT_EQ(scfx[59 * loww + 79], 15);
  rerender();
  decay(80, 60, 16);
  EXPECT_EQ(scfx[0], 0) << "code 0 replaces the dim code";
  rerender();
  decay(12345, 67890, 13);
  EXPECT_EQ(scfx[30 * loww + 25], 13);
  int nonzero = 0;
  for (int i = 0; i < lowh * loww; i++) nonzero += scfx[i] != 0;
  EXPECT_EQ(nonzero, 2);
  // The dim is gone and the copy from below at (25, 30) acts.
  EXPECT_EQ(px(25, 30), rendered[31 * loww + 25]);
  restasrendered({{25, 30}});
}

TEST_F(Decay, SeededCodeActsInItsOwnFrame) {
  setpx(3, 4, 9);
  decay(3, 4, dim);
  EXPECT_EQ(px(3, 4), 25);
  restasrendered({{3, 4}});

  setpx(50, 7, 2);
  decay(50, 7, blank, 0);
  EXPECT_EQ(px(50, 7), 15);
}

TEST_F(Decay, InertCodeSeededOverAnActiveOneEndsItAtOnce) {
  setfx(3, 4, dim);
  setfx(10, 10, left);
  for (int inert : {0, 2, 3, 4, 5, 6, 7, 9, 14, 15}) {
    SCOPED_TRACE(inert);
    rerender();
    decay(3, 4, inert);
    EXPECT_EQ(scfx[4 * loww + 3], inert);
    EXPECT_EQ(px(10, 10), px(9, 10)) << "the other code still acts";
    restasrendered({{10, 10}});
    setfx(3, 4, dim);
  }
}

// --- Single codes and the flicker bit ---------------------------------------

TEST_F(Decay, DimAddsSixteenToEveryIndex) {
  for (int v = 0; v < 16; v++) {
    setpx(v, 2, v);
    setfx(v, 2, dim);
  }
  walk();
  for (int v = 0; v < 16; v++) EXPECT_EQ(px(v, 2), v + 16);
}

// The walk must meet each frame fresh from render; should a frame ever be
// decayed twice, a dark pixel stays the same dark shade rather than running
// past the 32 screen colours.
TEST_F(Decay, DecayingAFrameTwiceStaysInsideThePalette) {
  for (int i = 0; i < lowh * loww; i++) scfx[i] = u8(i % 3 == 0 ? dim : i % 3 == 1 ? left : above);
  walk();
  std::vector<int> once(scrb, scrb + lowh * loww);
  walk();
  for (int i = 0; i < lowh * loww; i++) {
    ASSERT_LE(scrb[i], 31) << i;
    if (scfx[i] == dim) {
      ASSERT_EQ(scrb[i], once[i]) << i;
    }
  }
}

TEST_F(Decay, BlankFollowsBit32OfTheFourthDraw) {
  setfx(30, 20, blank);
  setfx(0, 0, blank);
  setfx(79, 59, blank);
  setpx(30, 20, 3);
  setpx(0, 0, 0);
  setpx(79, 59, 5);
  for (int f : {32, 33, 63, 96, 0x7FFFFFFF}) {
    SCOPED_TRACE(f);
    walk(f);
    restasrendered();
  }
  for (int f : {0, 31, 64, 0x7FFFFFDF}) {
    SCOPED_TRACE(f);
    walk(f);
    EXPECT_EQ(px(30, 20), 15);
    EXPECT_EQ(px(0, 0), 15);
    EXPECT_EQ(px(79, 59), 15);
    restasrendered({{30, 20}, {0, 0}, {79, 59}});
    rerender();
  }
}

TEST_F(Decay, CopiesStopAtTheirOwnEdge) {
  // Each edge alone, so a copy that wraps to the other side of the frame or
  // into the next row shows up as a changed pixel.
  for (int y = 0; y < lowh; y++) setfx(0, y, left);
  walk();
  restasrendered();

  std::memset(scfx, 0, sizeof scfx);
  for (int y = 0; y < lowh; y++) setfx(79, y, right);
  walk();
  restasrendered();

  std::memset(scfx, 0, sizeof scfx);
  for (int x = 0; x < loww; x++) setfx(x, 0, above);
  walk();
  restasrendered();

  std::memset(scfx, 0, sizeof scfx);
  for (int x = 0; x < loww; x++) setfx(x, 59, below);
  walk();
  restasrendered();
}

TEST_F(Decay, EachCopyTakesItsOwnNeighbour) {
  setfx(20, 20, left);
  setfx(40, 20, above);
  setfx(60, 20, right);
  setfx(20, 40, below);
  walk();
  EXPECT_EQ(px(20, 20), rendered[20 * loww + 19]);
  EXPECT_EQ(px(40, 20), rendered[19 * loww + 40]);
  EXPECT_EQ(px(60, 20), rendered[20 * loww + 61]);
  EXPECT_EQ(px(20, 40), rendered[41 * loww + 20]);
  restasrendered({{20, 20}, {40, 20}, {60, 20}, {20, 40}});
}

// --- Runs of copies: what the walk's order decides --------------------------

TEST_F(Decay, RunOfCopyFromLeftSmearsRightward) {
  int vals[7] = {6, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; i++) setpx(9 + i, 7, vals[i]);
  for (int x = 10; x <= 14; x++) setfx(x, 7, left);
  walk();
  EXPECT_EQ(row(7, 9, 15), (std::vector<int>{6, 6, 6, 6, 6, 6, 0}));
  restasrendered({{10, 7}, {11, 7}, {12, 7}, {13, 7}, {14, 7}});
}

TEST_F(Decay, RunOfCopyFromRightShiftsLeft) {
  int vals[7] = {6, 5, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; i++) setpx(9 + i, 7, vals[i]);
  for (int x = 10; x <= 14; x++) setfx(x, 7, right);
  walk();
  EXPECT_EQ(row(7, 9, 15), (std::vector<int>{6, 4, 3, 2, 1, 0, 0}));
  restasrendered({{10, 7}, {11, 7}, {12, 7}, {13, 7}, {14, 7}});
}

TEST_F(Decay, RunOfCopyFromAboveSmearsDownward) {
  int vals[6] = {3, 0, 5, 10, 15, 12};
  for (int i = 0; i < 6; i++) setpx(33, i, vals[i]);
  for (int y = 0; y <= 4; y++) setfx(33, y, above);
  walk();
  EXPECT_EQ(column(33, 0, 5), (std::vector<int>{3, 3, 3, 3, 3, 12}));
  restasrendered({{33, 1}, {33, 2}, {33, 3}, {33, 4}});
}

TEST_F(Decay, RunOfCopyFromBelowShiftsUp) {
  int vals[6] = {1, 6, 11, 8, 13, 2};
  for (int i = 0; i < 6; i++) setpx(33, 54 + i, vals[i]);
  for (int y = 55; y <= 59; y++) setfx(33, y, below);
  walk();
  EXPECT_EQ(column(33, 54, 59), (std::vector<int>{1, 11, 8, 13, 2, 2}));
  restasrendered({{33, 55}, {33, 56}, {33, 57}, {33, 58}});
}

// A block of copy-from-left beside a block of copy-from-above: the smear of one
// run feeds the other, across columns and rows, in one frame.
TEST_F(Decay, SmearsCarryAcrossRunsOfBothKinds) {
  for (int y = 10; y <= 12; y++)
    for (int x = 10; x <= 12; x++) setfx(x, y, left);
  for (int y = 13; y <= 15; y++) setfx(12, y, above);
  walk();
  for (int y = 10; y <= 12; y++)
    for (int x = 10; x <= 12; x++) EXPECT_EQ(px(x, y), rendered[y * loww + 9]) << x << "," << y;
  for (int y = 13; y <= 15; y++) EXPECT_EQ(px(12, y), rendered[12 * loww + 9]) << y;
}

// --- Codes that meet ----------------------------------------------------------

TEST_F(Decay, DimFeedsCopiesFromLeftAndAbove) {
  setpx(0, 0, 0);
  setfx(0, 0, dim);
  setfx(1, 0, left);
  setfx(0, 1, above);
  walk();
  EXPECT_EQ(px(0, 0), 16);
  EXPECT_EQ(px(1, 0), 16);
  EXPECT_EQ(px(0, 1), 16);
  restasrendered({{0, 0}, {1, 0}, {0, 1}});
}

TEST_F(Decay, CopiesFromRightAndBelowTakeTheUndimmedValue) {
  setpx(30, 20, 2);
  setpx(31, 20, 3);
  setfx(30, 20, right);
  setfx(31, 20, dim);
  setpx(50, 20, 2);
  setpx(50, 21, 7);
  setfx(50, 20, below);
  setfx(50, 21, dim);
  walk();
  EXPECT_EQ(px(30, 20), 3);
  EXPECT_EQ(px(31, 20), 19);
  EXPECT_EQ(px(50, 20), 7);
  EXPECT_EQ(px(50, 21), 23);
}

TEST_F(Decay, DimBesideCopyFromLeftIsNeverDimmedTwice) {
  // dim, left, dim in a row: the middle shows the dimmed left value, the
  // right one its own value dimmed once.
  setpx(10, 10, 7);
  setpx(12, 10, 9);
  setfx(10, 10, dim);
  setfx(11, 10, left);
  setfx(12, 10, dim);
  // copy-from-right next to a dim on its right stays undimmed.
  setpx(20, 10, 4);
  setpx(21, 10, 5);
  setfx(20, 10, right);
  setfx(21, 10, dim);
  walk();
  EXPECT_EQ(row(10, 10, 12), (std::vector<int>{23, 23, 25}));
  EXPECT_EQ(row(10, 20, 21), (std::vector<int>{5, 21}));
}

TEST_F(Decay, CopyFromBelowOverABlankTakesTheRenderedValue) {
  setpx(30, 20, 2);
  setpx(30, 21, 1);
  setfx(30, 20, below);
  setfx(30, 21, blank);
  walk(0);
  EXPECT_EQ(px(30, 20), 1);
  EXPECT_EQ(px(30, 21), 15);

  rerender();
  walk(32);
  EXPECT_EQ(px(30, 20), 1);
  EXPECT_EQ(px(30, 21), 1);
}

TEST_F(Decay, CopyFromAboveUnderABlankTakesTheBlank) {
  setpx(30, 20, 4);
  setpx(30, 21, 6);
  setfx(30, 20, blank);
  setfx(30, 21, above);
  walk(0);
  EXPECT_EQ(px(30, 20), 15);
  EXPECT_EQ(px(30, 21), 15);

  rerender();
  walk(32);
  EXPECT_EQ(px(30, 20), 4);
  EXPECT_EQ(px(30, 21), 4);
}

TEST_F(Decay, FacingCopiesBothTakeTheRightPixel) {
  setpx(5, 6, 9);
  setpx(6, 6, 4);
  setfx(5, 6, right);
  setfx(6, 6, left);
  walk();
  EXPECT_EQ(px(5, 6), 4);
  EXPECT_EQ(px(6, 6), 4);
}

// --- Palette drift ------------------------------------------------------------

class Drift : public Decay {
protected:
  // One call that drifts entry `i` with operation `op` from `bright`, with
  // dark entry primed to a value no drift would write.
  void drift(int i, u16 bright, int op) {
    pal16[i] = bright;
    pal16[i + 16] = 0xABCD;
    decay(asidex, asidey, 0, 0, i, op);
  }
};

TEST_F(Drift, BlackBouncesOffTheLowEnd) {
  const u16 want[3] = {0x0001, 0x0020, 0x0800};
  for (int op = 0; op < 3; op++) {
    drift(0, 0x0000, op);
    EXPECT_EQ(pal16[0], want[op]) << "op " << op;
    EXPECT_EQ(pal16[16], 0x0000) << "op " << op;
  }
}

TEST_F(Drift, WhiteBouncesOffTheHighEnd) {
  const u16 want[4] = {0xFFFE, 0xFFDF, 0xF7FF, 0xFFFF};
  for (int op = 3; op < 7; op++) {
    drift(15, 0xFFFF, op);
    EXPECT_EQ(pal16[15], want[op - 3]) << "op " << op;
    EXPECT_EQ(pal16[31], 0x7BEF) << "op " << op;
  }
}

TEST_F(Drift, MidRangeStepsOneChannelEachWay) {
  // Grey: R 16, G 32, B 16.
  const u16 want[7] = {0x840F, 0x83F0, 0x7C10, 0x8411, 0x8430, 0x8C10, 0x8410};
  for (int op = 0; op < 7; op++) {
    drift(7, 0x8410, op);
    EXPECT_EQ(pal16[7], want[op]) << "op " << op;
    int r = want[op] >> 11, g = (want[op] >> 5) & 63, bl = want[op] & 31;
    EXPECT_EQ(pal16[23], (r / 2) * 2048 + (g / 2) * 32 + bl / 2) << "op " << op;
  }
  // The other ends of the range are ordinary steps, not bounces.
  drift(3, 0x0000, 3);
  EXPECT_EQ(pal16[3], 0x0001);
  drift(3, 0xFFFF, 1);
  EXPECT_EQ(pal16[3], 0xFFDF);
}

TEST_F(Drift, OpSixStillBringsTheDarkShadeInLine) {
  ASSERT_EQ(pal16[8], 0xC618);
  ASSERT_EQ(pal16[24], 0x0000);
  decay(asidex, asidey, 0, 0, 8, 6);
  EXPECT_EQ(pal16[8], 0xC618);
  EXPECT_EQ(pal16[24], 0x630C);
}

TEST_F(Drift, DrawsPickEntryAndOpByRemainder) {
  const std::vector<u16> before(pal16, pal16 + 32);
  // 21 % 16 is entry 5 (0x8010: R 16, G 0, B 16); 1000 % 7 is op 6, 22 % 7 op 1.
  decay(asidex, asidey, 0, 0, 21, 1000);
  EXPECT_EQ(pal16[5], 0x8010);
  EXPECT_EQ(pal16[21], 0x4008);
  decay(asidex, asidey, 0, 0, 21, 22);
  EXPECT_EQ(pal16[5], 0x8030) << "G 0 bounces to 1";
  EXPECT_EQ(pal16[21], 0x4008);
  for (int i = 0; i < 32; i++)
    if (i != 5 && i != 21) {
      EXPECT_EQ(pal16[i], before[i]) << "entry " << i;
    }
}

// --- The draws and the frame ----------------------------------------------------

TEST_F(Decay, SixDrawsWhateverTheMapHolds) {
  walk();  // empty map: decay() checks the count
  const int codes[6] = {dim, blank, left, above, right, below};
  for (int i = 0; i < lowh * loww; i++) scfx[i] = u8(codes[i % 6]);
  walk();
  walk(32);
  for (int i = 0; i < lowh * loww; i++) scfx[i] = u8(i % 16);
  walk();
}

TEST_F(Decay, EveryFrameDrawsSixInOrder) {
  const shellio quiet = {[](inputevent*) { return false; }, [] {}, [] {}};
  testutil::wipe();
  startgame();
  // Three frames with no input, so no turn: each draws exactly its six, and
  // the draws land in order (cell, code, flicker, entry, op).
  testutil::script({3, 4, dim, 0, 2, 6, 80 + 5, 60 + 6, 16 + 10, 32, 16 + 9, 7 + 0, 79, 59, 15, 0, 0, 2});
  frame(quiet);
  EXPECT_EQ(testutil::drawn, 6u);
  EXPECT_EQ(scfx[4 * loww + 3], dim);
  EXPECT_EQ(pal16[2], 0x0400);
  EXPECT_EQ(pal16[18], 0x0200);
  frame(quiet);
  EXPECT_EQ(testutil::drawn, 12u);
  EXPECT_EQ(scfx[6 * loww + 5], left);
  EXPECT_EQ(pal16[9], 0x001E);
  EXPECT_EQ(pal16[25], 0x000F);
  frame(quiet);
  EXPECT_EQ(testutil::drawn, 18u);
  EXPECT_EQ(scfx[59 * loww + 79], 15);
  EXPECT_EQ(pal16[0], 0x0800);
  EXPECT_EQ(pal16[16], 0x0000);
}

// --- Many random frames ---------------------------------------------------------

// The source rand, with every draw of the current call kept.
std::vector<int> calldraws;
int recordrand() {
  int v = std::rand();
  calldraws.push_back(v);
  return v;
}

// What a pixel must end as, worked out from its code alone: left and upper
// neighbours give their own end value, right and lower ones their rendered
// value, and nothing else reads a neighbour.
int endvalue(const u8* ren, bool flick, int x, int y, std::vector<int>& memo) {
  int p = y * loww + x;
  if (memo[p] >= 0) return memo[p];
  int v = ren[p];
  switch (scfx[p]) {
  case dim: v += 16; break;
  case blank: v = flick ? v : 15; break;
  case left: v = x > 0 ? endvalue(ren, flick, x - 1, y, memo) : v; break;
  case above: v = y > 0 ? endvalue(ren, flick, x, y - 1, memo) : v; break;
  case right: v = x < loww - 1 ? ren[p + 1] : v; break;
  case below: v = y < lowh - 1 ? ren[p + loww] : v; break;
  default: break;
  }
  return memo[p] = v;
}

TEST_F(Decay, TwentyThousandRandomFramesKeepTheRules) {
  std::srand(20240611);
  rnd = recordrand;
  std::mt19937 gen(7);
  const int active[6] = {dim, blank, left, above, right, below};
  int mismatches = 0, dimmed = 0, copiedup = 0;
  std::vector<int> memo(lowh * loww);

  for (int frameno = 0; frameno < 20000 && mismatches == 0; frameno++) {
    // A fresh map every 50 frames, of varying density; in between the map
    // gathers the seeding's codes as it does in play.
    if (frameno % 50 == 0) {
      int density = int(gen() % 101);
      for (int i = 0; i < lowh * loww; i++) {
        if (int(gen() % 100) >= density) scfx[i] = 0;
        else scfx[i] = u8(gen() % 2 ? active[gen() % 6] : gen() % 16);
      }
    }
    for (int i = 0; i < lowh * loww; i++) scrb[i] = rendered[i] = u8(gen() % 16);
    const std::vector<u16> before(pal16, pal16 + 32);

    calldraws.clear();
    mutaterender();
    ASSERT_EQ(calldraws.size(), 6u) << "frame " << frameno;
    int sx = calldraws[0] % loww, sy = calldraws[1] % lowh;
    ASSERT_EQ(scfx[sy * loww + sx], calldraws[2] % 16) << "frame " << frameno;
    bool flick = calldraws[3] & 32;

    std::fill(memo.begin(), memo.end(), -1);
    for (int y = 0; y < lowh; y++)
      for (int x = 0; x < loww; x++) {
        int p = y * loww + x, v = scrb[p];
        bool ok = v >= 0 && v <= 31 && v == endvalue(rendered, flick, x, y, memo);
        // A dark value comes from a dim on this pixel's own rendered value, or
        // from the end value of the left or upper neighbour.
        if (v >= 16) {
          bool own = scfx[p] == dim && v == rendered[p] + 16;
          bool fromleft = scfx[p] == left && x > 0 && v == scrb[p - 1];
          bool fromabove = scfx[p] == above && y > 0 && v == scrb[p - loww];
          ok &= own || fromleft || fromabove;
          dimmed += own;
          copiedup += fromleft || fromabove;
        }
        if (!ok && mismatches++ == 0)
          ADD_FAILURE() << "frame " << frameno << ", pixel (" << x << ", " << y << "): code " << int(scfx[p])
                        << ", rendered " << int(rendered[p]) << ", got " << v << ", want "
                        << endvalue(rendered, flick, x, y, memo);
      }

    // The drift: only the drawn entry and its dark shade change; the bright
    // one moves one channel by exactly one (never wraps), the dark is its half.
    int i = calldraws[4] % 16, op = calldraws[5] % 7;
    for (int e = 0; e < 32; e++)
      if (e != i && e != i + 16) {
        ASSERT_EQ(pal16[e], before[e]) << "frame " << frameno << " entry " << e;
      }
    int o = before[i], n = pal16[i];
    int dr = std::abs((n >> 11) - (o >> 11)), dg = std::abs(((n >> 5) & 63) - ((o >> 5) & 63));
    int db = std::abs((n & 31) - (o & 31));
    ASSERT_EQ(dr + dg + db, op == 6 ? 0 : 1) << "frame " << frameno << " op " << op;
    ASSERT_EQ(pal16[i + 16], ((n >> 11) / 2) * 2048 + (((n >> 5) & 63) / 2) * 32 + (n & 31) / 2);
  }
  EXPECT_EQ(mismatches, 0);
  // The frames did exercise both ways to a dark value.
  EXPECT_GT(dimmed, 1000);
  EXPECT_GT(copiedup, 1000);
}

}  // namespace
