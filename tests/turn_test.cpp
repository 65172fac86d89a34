// The turn: growth ripening and spreading, menders, the order in which
// neighbours' writes land in one cell, the player's step, pick-ups, death, the
// music wish, the view's goal and the grid's edge.
#include <algorithm>
#include <array>
#include <initializer_list>
#include <iterator>

#include "core/game/game.h"
#include "core/gfx/gfx.h"
#include "testutil.h"

namespace {

struct put {
  int x, y;
  u8 v;
};

u8& cell(int x, int y) { return a.cells[y][x]; }
void wall(int x, int y) { a.walls[y][x] = 1; }
void place(std::initializer_list<put> ps) {
  for (const put& p : ps) cell(p.x, p.y) = p.v;
}
void player(int x, int y, u8 f = cright) { b.plx = s16(x), b.ply = s16(y), cell(x, y) = f; }

// The whole grid must be exactly `want`, every other cell free.
void expectgrid(std::initializer_list<put> want) {
  static u8 grid[gridsize][gridsize];
  std::memset(grid, 0, sizeof grid);
  for (const put& p : want) grid[p.y][p.x] = p.v;
  int wrong = 0;
  for (int y = 0; y < gridsize; y++)
    for (int x = 0; x < gridsize; x++)
      if (a.cells[y][x] != grid[y][x] && wrong++ < 8)
        ADD_FAILURE() << "cell (" << x << ", " << y << ") holds " << int(a.cells[y][x]) << ", expected "
                      << int(grid[y][x]);
}

// The player waits far from everything the tests build around (40, 40).
const put me = {100, 100, cright};

class Turn : public ::testing::Test {
protected:
  void SetUp() override { fresh(); }
  // An empty world with the player at `me`; any draw a test did not script fails it.
  static void fresh() {
    testutil::wipe();
    testutil::script({});
    a.alive = 1;
    player(me.x, me.y, me.v);
    // Effects and palette as neither clearscfx nor loadpal leaves them, so that a pick-up shows.
    std::memset(scfx, 3, sizeof scfx);
    for (u16& p : pal16) p = 0x1234;
  }
  static std::size_t draws() { return testutil::drawn; }
  static long zeros() { return std::count(std::begin(scfx), std::end(scfx), 0); }
};

TEST_F(Turn, GrowthRipensOneStageATurnAndRipeGrowthSpreadsButNotIntoWalls) {
  place({{28, 30, 6}, {30, 30, 7}, {32, 30, 8}});
  wall(33, 30);
  newturn(0);
  expectgrid({me, {28, 30, 7}, {30, 30, 8}, {32, 30, 9}});
  newturn(0);
  expectgrid({me, {28, 30, 8}, {30, 30, 9}, {32, 30, 9}, {32, 29, 6}, {32, 31, 6}, {31, 30, 6}});
  // (31, 30) is already growth beside the new 9: it ripens and is not set back to 6.
  newturn(0);
  EXPECT_EQ(cell(31, 30), 7);
  EXPECT_EQ(cell(29, 30), 6);
  EXPECT_EQ(cell(28, 30), 9);
  EXPECT_EQ(a.alive, 1);
}

TEST_F(Turn, LeftoversInTheScratchGridDoNotLeak) {
  for (int y = 1; y < gridsize - 1; y++) std::memset(&a.nextcells[y][1], cripe, gridsize - 2);
  newturn(0);
  expectgrid({me});
}

// Writes into X = (40, 40): above and left land before X's own rule, right and
// below after it, and the last one stands.
TEST_F(Turn, WritesIntoOneCellLandInScanOrder) {
  struct c {
    put p, q;
    int k1, k2;  // the draws, k2 -1 for none
    u8 x;
  };
  // 41 mod 20 = 1: offspring upward. The last four: a mender overrun that vanishes ends free only
  // when the growth wrote first.
  const c table[] = {c{{40, 39, 9}, {40, 41, 5}, 41, -1, 5}, c{{40, 39, 5}, {40, 41, 9}, 2, -1, 6},
                     c{{39, 40, 9}, {41, 40, 5}, 3, -1, 5},  c{{39, 40, 5}, {41, 40, 9}, 24, -1, 6},
                     c{{40, 39, 5}, {40, 41, 5}, 2, 1, 5},   c{{40, 40, 5}, {40, 39, 9}, 7, -1, 0},
                     c{{40, 40, 5}, {39, 40, 9}, 7, -1, 0},  c{{40, 40, 5}, {40, 41, 9}, 7, -1, 6},
                     c{{40, 40, 5}, {41, 40, 9}, 7, -1, 6}};
  for (const c& t : table) {
    SCOPED_TRACE(&t - table);
    fresh();
    place({t.p, t.q});
    if (t.k2 < 0) testutil::script({t.k1});
    else testutil::script({t.k1, t.k2});
    newturn(0);
    EXPECT_EQ(cell(40, 40), t.x);
    EXPECT_EQ(draws(), t.k2 < 0 ? 1u : 2u);
  }
}

TEST_F(Turn, OverrunMenderStillPlacesItsOffspring) {
  place({{40, 39, 9}, {40, 40, 5}});
  testutil::script({4});
  newturn(0);
  EXPECT_EQ(cell(40, 40), 6);
  EXPECT_EQ(cell(41, 40), 5);
}

TEST_F(Turn, MenderWithOtherDrawsStaysAndDoesNothingElse) {
  for (int k : {0, 5, 6, 8, 19, 20}) {
    SCOPED_TRACE(k);
    fresh();
    place({{40, 40, 5}});
    testutil::script({k});
    newturn(0);
    expectgrid({me, {40, 40, 5}});
  }
}

TEST_F(Turn, MendersBreedOnlyIntoFreeFloor) {
  // The mender, its draw, the cell it aims at (0 a wall) and what that cell holds after.
  using r = std::array<int, 7>;
  for (auto [mx, my, k, tx, ty, v, after] :
       {r{100, 101, 1, me.x, me.y, me.v, me.v}, r{40, 40, 3, 39, 40, 6, 7}, r{40, 40, 4, 41, 40, 0, 0}}) {
    SCOPED_TRACE(k);
    fresh();
    place({{mx, my, 5}, {tx, ty, u8(v)}});
    if (!v) wall(tx, ty);
    testutil::script({k});
    newturn(0);
    expectgrid({me, {mx, my, 5}, {tx, ty, u8(after)}});
  }
}

TEST_F(Turn, OneDrawPerInteriorMenderInScanOrder) {
  // Menders on the outer ring never act, and the offspring born at (100, 6) does not draw.
  place({{10, 5, 5}, {100, 5, 5}, {3, 6, 5}, {0, 5, 5}, {127, 6, 5}, {50, 0, 5}, {50, 127, 5}});
  testutil::script({1, 2, 3});
  newturn(0);
  EXPECT_EQ(draws(), 3u);
  EXPECT_EQ(cell(10, 4), 5);
  EXPECT_EQ(cell(100, 6), 5);
  EXPECT_EQ(cell(2, 6), 5);
}

TEST_F(Turn, MovingBesideRipeGrowthSavesThePlayerEvenIntoAWall) {
  place({{101, 100, 9}});
  newturn(cleft);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(b.plx, 99);
  expectgrid({{99, 100, cleft}, {101, 100, 9}, {101, 99, 6}, {101, 101, 6}, {102, 100, 6}});

  // Into a wall the player stays in its cleared cell, facing the wall.
  fresh();
  wall(101, 100);
  place({{100, 99, 9}});
  newturn(cright);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(b.plx, 100);
  EXPECT_EQ(b.tryx, 101);
  EXPECT_EQ(b.tryy, 100);
  EXPECT_EQ(cell(100, 100), cright);
}

TEST_F(Turn, WaitingBesideRipeGrowthOrSteppingOntoGrowthIsDeath) {
  using r = std::array<int, 7>;
  // Growth, the direction, the cell the player ends on and what it holds: ripe growth on each side of
  // a wait; a step onto ripe growth, onto a free cell it spreads into this turn, and onto young growth.
  for (auto [gx, gy, gv, dir, tx, ty, after] :
       {r{100, 99, 9, 0, 100, 100, 6}, r{100, 101, 9, 0, 100, 100, 6}, r{99, 100, 9, 0, 100, 100, 6},
        r{101, 100, 9, 0, 100, 100, 6}, r{101, 100, 9, 1, 101, 100, 9}, r{102, 100, 9, 1, 101, 100, 6},
        r{100, 99, 6, 2, 100, 99, 7}}) {
    SCOPED_TRACE(testing::Message() << "growth at (" << gx << ", " << gy << "), direction " << dir);
    fresh();
    place({{gx, gy, u8(gv)}});
    newturn(dir);
    EXPECT_EQ(a.alive, 0);
    EXPECT_EQ(b.plx, tx);
    EXPECT_EQ(b.ply, ty);
    EXPECT_EQ(cell(tx, ty), after);
    EXPECT_EQ(cell(100, 100), dir ? 0 : 6);  // a move leaves its cell free
    EXPECT_EQ(b.goalx, tx * 8 - 36);         // the goal is set after a death too
    EXPECT_EQ(b.goaly, ty * 8 - 26);
  }
}

TEST_F(Turn, WaitKeepsTheFacingAndOtherDirectionsWait) {
  cell(100, 100) = cleft;
  for (int d : {0, -1, -200, 5, 9, 1000}) {
    SCOPED_TRACE(d);
    newturn(d);
    EXPECT_EQ(b.tryx, 100);
    EXPECT_EQ(b.tryy, 100);
  }
  expectgrid({{100, 100, cleft}});
  EXPECT_EQ(a.alive, 1);
}

TEST_F(Turn, GoalsFromTwentyTwenty) {
  using r = std::array<int, 5>;
  for (auto [dir, gx, gy, px, py] : {r{0, 124, 134, 20, 20}, r{1, 132, 134, 21, 20}, r{2, 124, 126, 20, 19},
                                     r{3, 116, 134, 19, 20}, r{4, 124, 142, 20, 21}}) {
    SCOPED_TRACE(dir);
    fresh();
    cell(me.x, me.y) = 0;
    player(20, 20);
    newturn(dir);
    EXPECT_EQ(b.goalx, gx);
    EXPECT_EQ(b.goaly, gy);
    EXPECT_EQ(b.plx, px);
    EXPECT_EQ(b.ply, py);
    EXPECT_EQ(cell(px, py), dir ? dir : cright);
    EXPECT_EQ(cell(20, 20), dir ? 0 : cright);
  }
}

TEST_F(Turn, PickUpOddDrawClearsTheEffectsEvenDrawReloadsThePalette) {
  using r = std::array<int, 4>;
  for (auto [dir, x, y, draw] : {r{1, 101, 100, 13}, r{4, 100, 101, 8}}) {
    SCOPED_TRACE(draw);
    const bool odd = draw % 2;
    fresh();
    // The mender picked up comes first in the scan; the pick-up draws after the one at (20, 120).
    place({{x, y, 5}, {20, 120, 5}});
    testutil::script({0, 0, draw});
    newturn(dir);
    EXPECT_EQ(draws(), 3u);
    EXPECT_EQ(zeros(), odd ? long(sizeof scfx) : 0);
    EXPECT_EQ(pal16[15], odd ? 0x1234 : 0xFFFF);
    EXPECT_EQ(pal16[31], 0x1234);  // the dark half is not the reload's
    expectgrid({{x, y, u8(dir)}, {20, 120, 5}});
    EXPECT_EQ(a.alive, 1);
  }
}

TEST_F(Turn, WhatTheTurnLeftIsWhatIsPickedUp) {
  // An offspring born this turn beside the player is picked up.
  place({{102, 100, 5}});
  testutil::script({3, 1});
  newturn(cright);
  EXPECT_EQ(zeros(), long(sizeof scfx));
  expectgrid({{101, 100, cright}, {102, 100, 5}});

  // A mender that vanished this turn is not.
  fresh();
  place({{101, 100, 5}});
  testutil::script({7});
  newturn(cright);
  EXPECT_EQ(draws(), 1u);
  EXPECT_EQ(zeros(), 0);
  EXPECT_EQ(pal16[15], 0x1234);
  expectgrid({{101, 100, cright}});
}

TEST_F(Turn, AlarmWantsTheDangerTrackAndCountsDown) {
  using r = std::array<int, 3>;
  for (auto [alarm, track, after] : {r{3, 0, 2}, r{1, 0, 0}, r{0, 1, 0}}) {
    SCOPED_TRACE(alarm);
    a.alarm = u8(alarm);
    a.track = 7;
    newturn(0);
    EXPECT_EQ(a.track, track);
    EXPECT_EQ(a.alarm, after);
  }
}

// The edge of the grid: stepping off it is blocked like a wall, and nothing
// indexes outside it (the sanitizer build checks the indexing).
TEST_F(Turn, SteppingOffTheGridIsBlocked) {
  using r = std::array<int, 5>;
  for (auto [x, y, dir, tx, ty] :
       {r{127, 60, 1, 128, 60}, r{60, 0, 2, 60, -1}, r{0, 60, 3, -1, 60}, r{60, 127, 4, 60, 128}}) {
    SCOPED_TRACE(dir);
    fresh();
    cell(me.x, me.y) = 0;
    player(x, y, cdown);
    newturn(dir);
    EXPECT_EQ(b.plx, x);
    EXPECT_EQ(b.ply, y);
    EXPECT_EQ(b.tryx, tx);
    EXPECT_EQ(b.tryy, ty);
    expectgrid({{x, y, u8(dir)}});
  }
}

TEST_F(Turn, TheAutomatonNeverChangesTheOuterRing) {
  // Ripe growth along the whole edge of the interior spreads outward, and the
  // menders in its corners breed outward; the player on the ring is out of reach.
  cell(me.x, me.y) = 0;
  player(0, 60, cright);
  for (int i = 2; i < gridsize - 2; i++) place({{i, 1, 9}, {i, 126, 9}, {1, i, 9}, {126, i, 9}});
  place({{1, 1, 5}, {126, 1, 5}, {1, 126, 5}, {126, 126, 5}});
  testutil::script({1, 4, 3, 2});
  newturn(0);
  EXPECT_EQ(draws(), 4u);
  EXPECT_EQ(a.alive, 1);
  for (int i = 0; i < gridsize; i++) {
    EXPECT_EQ(cell(i, 0), 0) << i;
    EXPECT_EQ(cell(i, 127), 0) << i;
    EXPECT_EQ(cell(0, i), i == 60 ? cright : 0) << i;
    EXPECT_EQ(cell(127, i), 0) << i;
  }
}

TEST_F(Turn, APositionOffTheGridIsNeverIndexed) {
  // The game never puts the player there; if it ever were, the turn must not
  // read or write outside the grid.
  for (auto [x, y] : {std::pair{-1, 60}, {128, 60}, {-32768, 32767}}) {
    SCOPED_TRACE(x);
    fresh();
    for (int d = 0; d <= 4; d++) {
      b.plx = s16(x);
      b.ply = s16(y);
      newturn(d);
      EXPECT_EQ(a.alive, 1);
    }
  }
}

}  // namespace
