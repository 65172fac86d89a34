// The decay: seeding of the effect map, the effect walk over the low-res frame
// and the palette drift.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <vector>

#include "core/frame.h"
#include "core/gfx/gfx.h"
#include "testutil.h"

namespace {

enum : int { dim = 1, blank = 8, left = 10, above = 11, right = 12, below = 13 };

int at(int x, int y) { return y * loww + x; }

class Decay : public ::testing::Test {
protected:
  u8 rendered[lowh * loww];

  void SetUp() override {
    testutil::wipe();
    loadpal();
    // A frame as render leaves it: every pixel 0..15, neighbours always differ.
    for (int y = 0; y < lowh; y++)
      for (int x = 0; x < loww; x++) scrb[at(x, y)] = rendered[at(x, y)] = u8((x * 7 + y * 3) % 16);
  }

  void rerender() { std::memcpy(scrb, rendered, sizeof scrb); }

  // One call with the six draws given; fails if the call draws more or fewer.
  void decay(int sx, int sy, int code, int flick = 0, int pi = 0, int op = 6) {
    testutil::script({sx, sy, code, flick, pi, op});
    mutaterender();
    EXPECT_EQ(testutil::drawn, 6u);
  }
  // One call whose seeding changes nothing: code 0 into a cell off to the side.
  void walk(int flick = 0) { decay(70, 45, 0, flick); }

  // Every pixel but those in `skip` still holds its rendered value.
  void restasrendered(const std::vector<int>& skip = {}) {
    for (int p = 0; p < lowh * loww; p++)
      if (scrb[p] != rendered[p] && std::find(skip.begin(), skip.end(), p) == skip.end()) {
        ADD_FAILURE() << "pixel (" << p % loww << ", " << p / loww << ") changed from " << int(rendered[p])
                      << " to " << int(scrb[p]);
        return;
      }
  }
};

TEST_F(Decay, SeedingTakesRemaindersAndReplacesTheCode) {
  walk();  // empty map, code 0: the frame stays as drawn
  restasrendered();
  scfx[0] = dim;
  decay(159, 119, 31);
  EXPECT_EQ(scfx[at(79, 59)], 15);
  EXPECT_EQ(scrb[0], 16);
  walk();  // should a frame ever be decayed twice, it stays inside the 32 screen colours
  EXPECT_EQ(scrb[0], 16);
  rerender();
  decay(80, 60, 16);  // code 0 over the dim ends it in this very frame
  EXPECT_EQ(scfx[0], 0);
  restasrendered();
  decay(12345, 67890, 13);
  EXPECT_EQ(scfx[at(25, 30)], 13);
  EXPECT_EQ(std::count_if(scfx, scfx + lowh * loww, [](u8 c) { return c != 0; }), 2);
  EXPECT_EQ(scrb[at(25, 30)], rendered[at(25, 31)]) << "a freshly seeded copy from below acts at once";
  restasrendered({at(25, 30)});
}

TEST_F(Decay, BlankFollowsBit32OfTheFourthDraw) {
  const std::vector<int> blanks = {at(30, 20), at(0, 0), at(79, 59)};
  for (int p : blanks) scfx[p] = blank;
  for (int f : {32, 33, 63, 96, 0x7FFFFFFF, 0, 31, 64, 0x7FFFFFDF}) {
    rerender();
    walk(f);
    for (int p : blanks) EXPECT_EQ(scrb[p], f & 32 ? rendered[p] : 15) << "draw " << f;
    restasrendered(blanks);
  }
}

TEST_F(Decay, CopiesStopAtTheirOwnEdge) {
  // A whole edge at a time (code, first cell, down its column?), so a copy that wraps round the frame or
  // into the next row shows up as a changed pixel.
  const int edges[][4] = {{left, 0, 0, 1}, {right, 79, 0, 1}, {above, 0, 0, 0}, {below, 0, 59, 0}};
  for (auto& e : edges) {
    SCOPED_TRACE(e[0]);
    std::memset(scfx, 0, sizeof scfx);
    for (int i = 0; i < (e[3] ? lowh : loww); i++)
      scfx[at(e[1] + (e[3] ? 0 : i), e[2] + (e[3] ? i : 0))] = u8(e[0]);
    walk();
    restasrendered();
  }
}

// Codes along a row or a column. Left and upper neighbours are read after the walk has passed them (so a
// run smears one colour), right and lower ones as rendered (so a run shifts the picture by one).
TEST_F(Decay, CopiesSeeTheirNeighboursInWalkOrder) {
  struct line {
    int x, y, down;  // first cell; along its column when `down`, else along its row
    std::vector<int> ren, codes, want;
    int flick = 0;
  };
  const line lines[] = {
      {9, 7, 0, {6, 5, 4, 3, 2, 1, 0}, {0, left, left, left, left, left, 0}, {6, 6, 6, 6, 6, 6, 0}},
      {9, 7, 0, {6, 5, 4, 3, 2, 1, 0}, {0, right, right, right, right, right, 0}, {6, 4, 3, 2, 1, 0, 0}},
      {33, 0, 1, {3, 0, 5, 10, 15, 12}, {above, above, above, above, above, 0}, {3, 3, 3, 3, 3, 12}},
      {33, 54, 1, {1, 6, 11, 8, 13, 2}, {0, below, below, below, below, below}, {1, 11, 8, 13, 2, 2}},
      {0, 0, 0, {0, 5}, {dim, left}, {16, 16}},
      {0, 0, 1, {0, 9}, {dim, above}, {16, 16}},
      {10, 10, 0, {7, 2, 9}, {dim, left, dim}, {23, 23, 25}},  // nothing dimmed twice
      {30, 20, 0, {2, 3}, {right, dim}, {3, 19}},              // the copy takes the undimmed value
      {50, 20, 1, {2, 7}, {below, dim}, {7, 23}},
      {30, 20, 1, {2, 1}, {below, blank}, {1, 15}},
      {30, 20, 1, {2, 1}, {below, blank}, {1, 1}, 32},
      {30, 20, 1, {4, 6}, {blank, above}, {15, 15}},
      {30, 20, 1, {4, 6}, {blank, above}, {4, 4}, 32},
      {5, 6, 0, {9, 4}, {right, left}, {4, 4}},
  };
  for (int n = 0; n < int(std::size(lines)); n++) {
    const line& l = lines[n];
    SCOPED_TRACE(n);
    SetUp();
    std::vector<int> cells, got;
    for (int i = 0; i < int(l.ren.size()); i++) {
      cells.push_back(at(l.x + (l.down ? 0 : i), l.y + (l.down ? i : 0)));
      scrb[cells[i]] = rendered[cells[i]] = u8(l.ren[i]);
      scfx[cells[i]] = u8(l.codes[i]);
    }
    walk(l.flick);
    for (int p : cells) got.push_back(scrb[p]);
    EXPECT_EQ(got, l.want);
    restasrendered(cells);
  }
}

TEST_F(Decay, DriftStepsOneChannelAndBouncesOffTheEnds) {
  // Bright entry before, op, bright and dark entries after. Grey 0x8410 (R 16, G 32, B 16) shows each op
  // has its own channel and direction; 0x0000 with op 3 and 0xFFFF with op 1 are plain steps, not bounces.
  const int cases[][4] = {
      {0x0000, 0, 0x0001, 0x0000}, {0x0000, 1, 0x0020, 0x0000}, {0x0000, 2, 0x0800, 0x0000},
      {0xFFFF, 3, 0xFFFE, 0x7BEF}, {0xFFFF, 4, 0xFFDF, 0x7BEF}, {0xFFFF, 5, 0xF7FF, 0x7BEF},
      {0xFFFF, 6, 0xFFFF, 0x7BEF}, {0x0000, 3, 0x0001, 0x0000}, {0xFFFF, 1, 0xFFDF, 0x7BEF},
      {0x8410, 0, 0x840F, 0x4207}, {0x8410, 1, 0x83F0, 0x41E8}, {0x8410, 2, 0x7C10, 0x3A08},
      {0x8410, 3, 0x8411, 0x4208}, {0x8410, 4, 0x8430, 0x4208}, {0x8410, 5, 0x8C10, 0x4208},
      {0x8410, 6, 0x8410, 0x4208}, {0xC618, 6, 0xC618, 0x630C}};
  for (int n = 0; n < int(std::size(cases)); n++) {
    SCOPED_TRACE(n);
    int i = n % 16;
    pal16[i] = u16(cases[n][0]);
    pal16[i + 16] = 0xABCD;  // no drift writes this
    decay(70, 45, 0, 0, i + 16 * n, cases[n][1] + 7 * n);
    EXPECT_EQ(pal16[i], cases[n][2]);
    EXPECT_EQ(pal16[i + 16], cases[n][3]);
  }
}

TEST_F(Decay, EveryFrameDrawsSixInOrder) {
  const shellio quiet = {[] {}, [](inputevent*) { return false; }, [] {}, [] {}};
  startgame();
  // No input, so no turn: each frame draws cell, code, flicker, entry, op.
  testutil::script({3, 4, dim, 0, 2, 6, 80 + 5, 60 + 6, 16 + 10, 32, 16 + 9, 7 + 0});
  frame(quiet);
  EXPECT_EQ(testutil::drawn, 6u);
  EXPECT_EQ(scfx[at(3, 4)], dim);
  EXPECT_EQ(pal16[18], 0x0200);  // op 6 still brings entry 2's dark shade in line
  frame(quiet);
  EXPECT_EQ(testutil::drawn, 12u);
  EXPECT_EQ(scfx[at(5, 6)], left);
}

// What a pixel must end as: left and upper neighbours give their end value, right and lower ones as rendered.
int endvalue(const u8* ren, bool flick, int x, int y, std::vector<int>& memo) {
  int p = at(x, y), v = ren[p];
  if (memo[p] >= 0) return memo[p];
  switch (scfx[p]) {
  case dim: v += 16; break;
  case blank: v = flick ? v : 15; break;
  case left: v = x > 0 ? endvalue(ren, flick, x - 1, y, memo) : v; break;
  case above: v = y > 0 ? endvalue(ren, flick, x, y - 1, memo) : v; break;
  case right: v = x < loww - 1 ? ren[p + 1] : v; break;
  case below: v = y < lowh - 1 ? ren[p + loww] : v; break;
  }
  return memo[p] = v;
}

TEST_F(Decay, RandomFramesKeepTheRules) {
  std::mt19937 gen(7);
  const int active[6] = {dim, blank, left, above, right, below};
  std::vector<int> memo(lowh * loww);
  int darkcopies = 0;
  for (int f = 0; f < 5000; f++) {
    SCOPED_TRACE(f);
    // A fresh map of random density every 50 frames; in between it gathers seeded codes.
    if (f % 50 == 0) {
      unsigned density = gen() % 101;
      for (u8& c : scfx) c = gen() % 100 >= density ? 0 : u8(gen() % 2 ? active[gen() % 6] : gen() % 16);
    }
    for (int p = 0; p < lowh * loww; p += 8)
      for (u32 w = gen(), k = 0; k < 8; k++) scrb[p + k] = rendered[p + k] = u8(w >> 4 * k & 15);
    const std::vector<u16> before(pal16, pal16 + 32);
    int d[6];
    for (int& v : d) v = int(gen() >> 1);
    decay(d[0], d[1], d[2], d[3], d[4], d[5]);
    ASSERT_EQ(scfx[at(d[0] % loww, d[1] % lowh)], d[2] % 16);

    std::fill(memo.begin(), memo.end(), -1);
    int bad = -1;
    for (int p = 0; p < lowh * loww && bad < 0; p++) {
      if (scrb[p] != endvalue(rendered, d[3] & 32, p % loww, p / loww, memo)) bad = p;
      darkcopies += scrb[p] >= 16 && (scfx[p] == left || scfx[p] == above);
    }
    ASSERT_EQ(bad, -1) << "code " << int(scfx[bad]) << ", rendered " << int(rendered[bad]) << ", got "
                       << int(scrb[bad]) << ", want " << memo[bad];

    // Only the drawn entry and its dark shade change, and one channel moves by exactly one.
    int i = d[4] % 16, o = before[i], n = pal16[i];
    for (int e = 0; e < 32; e++) ASSERT_TRUE(e % 16 == i || pal16[e] == before[e]) << "entry " << e;
    int moved = std::abs((n >> 11) - (o >> 11)) + std::abs((n >> 5 & 63) - (o >> 5 & 63)) +
                std::abs((n & 31) - (o & 31));
    ASSERT_EQ(moved, d[5] % 7 == 6 ? 0 : 1);
  }
  EXPECT_GT(darkcopies, 1000);  // the frames did carry dark values along copies
}

}  // namespace
