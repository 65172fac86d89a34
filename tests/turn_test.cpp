// The turn: growth ripening and spreading, menders, the order in which
// neighbours' writes land in one cell, the player's step, pick-ups, death, the
// music wish, the view's goal and the grid's edge.
#include <initializer_list>

#include "game/game.h"
#include "gfx/gfx.h"
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
void player(int x, int y, u8 facing = cright) {
  b.plx = s16(x);
  b.ply = s16(y);
  cell(x, y) = facing;
}

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
  }
  static std::size_t draws() { return testutil::drawn; }
};

// ---------------------------------------------------------------------------
// Growth
// ---------------------------------------------------------------------------

TEST_F(Turn, GrowthRipensOneStageATurnAndRipeGrowthSpreads) {
  place({{28, 30, 6}, {30, 30, 7}, {32, 30, 8}});
  newturn(0);
  expectgrid({me, {28, 30, 7}, {30, 30, 8}, {32, 30, 9}});

  newturn(0);
  expectgrid({me, {28, 30, 8}, {30, 30, 9}, {32, 30, 9}, {32, 29, 6}, {32, 31, 6}, {31, 30, 6}, {33, 30, 6}});

  // (31, 30) is already growth beside the new 9: it ripens and is not set back to 6.
  newturn(0);
  expectgrid({me,
              {28, 30, 9},
              {30, 30, 9},
              {32, 30, 9},
              {32, 29, 7},
              {32, 31, 7},
              {31, 30, 7},
              {33, 30, 7},
              {30, 29, 6},
              {30, 31, 6},
              {29, 30, 6}});
  EXPECT_EQ(a.alive, 1);
}

TEST_F(Turn, RipeGrowthStopsAtWalls) {
  place({{30, 30, 9}});
  wall(31, 30);
  newturn(0);
  expectgrid({me, {30, 30, 9}, {30, 29, 6}, {29, 30, 6}, {30, 31, 6}});

  // Walled in on all four sides it stays alone for good.
  fresh();
  place({{30, 30, 9}});
  for (auto [x, y] : {std::pair{30, 29}, {30, 31}, {29, 30}, {31, 30}}) wall(x, y);
  for (int i = 0; i < 3; i++) newturn(0);
  expectgrid({me, {30, 30, 9}});
}

TEST_F(Turn, LeftoversInTheScratchGridDoNotLeak) {
  for (int y = 1; y < gridsize - 1; y++) std::memset(&a.nextcells[y][1], cripe, gridsize - 2);
  newturn(0);
  expectgrid({me});
}

// ---------------------------------------------------------------------------
// Menders and the order of writes into one cell, X = (40, 40)
// ---------------------------------------------------------------------------

TEST_F(Turn, RipeAboveThenMenderBelowLeavesAMender) {
  place({{40, 39, 9}, {40, 41, 5}});
  testutil::script({41});  // 41 mod 20 = 1: offspring upward
  newturn(0);
  expectgrid({me, {40, 39, 9}, {40, 38, 6}, {39, 39, 6}, {41, 39, 6}, {40, 40, 5}, {40, 41, 5}});
  EXPECT_EQ(draws(), 1u);
}

TEST_F(Turn, MenderAboveThenRipeBelowLeavesGrowth) {
  place({{40, 39, 5}, {40, 41, 9}});
  testutil::script({2});
  newturn(0);
  expectgrid({me, {40, 39, 5}, {40, 40, 6}, {40, 41, 9}, {40, 42, 6}, {39, 41, 6}, {41, 41, 6}});
}

TEST_F(Turn, RipeLeftThenMenderRightLeavesAMender) {
  place({{39, 40, 9}, {41, 40, 5}});
  testutil::script({3});
  newturn(0);
  expectgrid({me, {39, 40, 9}, {39, 39, 6}, {39, 41, 6}, {38, 40, 6}, {40, 40, 5}, {41, 40, 5}});
}

TEST_F(Turn, MenderLeftThenRipeRightLeavesGrowth) {
  place({{39, 40, 5}, {41, 40, 9}});
  testutil::script({24});  // 24 mod 20 = 4: offspring to the right
  newturn(0);
  expectgrid({me, {39, 40, 5}, {40, 40, 6}, {41, 40, 9}, {41, 39, 6}, {41, 41, 6}, {42, 40, 6}});
}

TEST_F(Turn, TwoMendersIntoOneCellLeaveOneMender) {
  place({{40, 39, 5}, {40, 41, 5}});
  testutil::script({2, 1});
  newturn(0);
  expectgrid({me, {40, 39, 5}, {40, 40, 5}, {40, 41, 5}});

  place({{39, 45, 5}, {41, 45, 5}});
  testutil::script({0, 0, 0, 4, 3});  // the three above draw nothing, then left and right aim at (40, 45)
  newturn(0);
  expectgrid({me, {40, 39, 5}, {40, 40, 5}, {40, 41, 5}, {39, 45, 5}, {40, 45, 5}, {41, 45, 5}});
  EXPECT_EQ(draws(), 5u);
}

TEST_F(Turn, OverrunMenderThatVanishesEndsFreeOnlyWhenTheGrowthCameFirst) {
  struct side {
    int x, y;
    u8 expect;
  };
  // Above and left write before the mender's own rule, which then clears the
  // cell; below and right write after it and leave growth.
  for (side s : {side{40, 39, 0}, side{39, 40, 0}, side{40, 41, 6}, side{41, 40, 6}}) {
    SCOPED_TRACE(testing::Message() << "ripe growth at (" << s.x << ", " << s.y << ")");
    fresh();
    place({{40, 40, 5}, {s.x, s.y, 9}});
    testutil::script({7});
    newturn(0);
    EXPECT_EQ(cell(40, 40), s.expect);
    EXPECT_EQ(cell(s.x, s.y), 9);
    EXPECT_EQ(draws(), 1u);
  }
}

TEST_F(Turn, OverrunMenderStillPlacesItsOffspring) {
  place({{40, 39, 9}, {40, 40, 5}});
  testutil::script({4});
  newturn(0);
  expectgrid({me, {40, 39, 9}, {40, 38, 6}, {39, 39, 6}, {41, 39, 6}, {40, 40, 6}, {41, 40, 5}});
}

TEST_F(Turn, MenderWithOtherDrawsStaysAndDoesNothingElse) {
  for (int k : {0, 5, 6, 8, 19, 20, 27}) {  // 20 and 27 are 0 and 7 mod 20
    SCOPED_TRACE(k);
    fresh();
    place({{40, 40, 5}});
    testutil::script({k});
    newturn(0);
    if (k % 20 == 7) expectgrid({me});
    else expectgrid({me, {40, 40, 5}});
  }
}

TEST_F(Turn, MendersBreedOnlyIntoFreeFloor) {
  // k = 1 up onto the player, 2 down onto a mender, 3 left onto growth, 4 right into a wall.
  fresh();
  cell(me.x, me.y) = 0;
  player(40, 39, cdown);
  place({{40, 40, 5}});
  testutil::script({1});
  newturn(0);
  expectgrid({{40, 39, cdown}, {40, 40, 5}});

  fresh();
  place({{40, 40, 5}, {40, 41, 5}});
  testutil::script({2, 0});
  newturn(0);
  expectgrid({me, {40, 40, 5}, {40, 41, 5}});

  fresh();
  place({{40, 40, 5}, {39, 40, 6}});
  testutil::script({3});
  newturn(0);
  expectgrid({me, {40, 40, 5}, {39, 40, 7}});

  fresh();
  place({{40, 40, 5}});
  wall(41, 40);
  testutil::script({4});
  newturn(0);
  expectgrid({me, {40, 40, 5}});
  EXPECT_EQ(draws(), 1u);
}

TEST_F(Turn, OneDrawPerInteriorMenderInScanOrder) {
  // Row by row, left to right: (10, 5), (100, 5), then (3, 6). Menders on the
  // outer ring never act, and the offspring born at (100, 6) does not draw.
  place({{10, 5, 5}, {100, 5, 5}, {3, 6, 5}, {0, 5, 5}, {127, 6, 5}, {50, 0, 5}, {50, 127, 5}});
  testutil::script({1, 2, 3});
  newturn(0);
  EXPECT_EQ(draws(), 3u);
  expectgrid({me,
              {10, 5, 5},
              {100, 5, 5},
              {3, 6, 5},
              {0, 5, 5},
              {127, 6, 5},
              {50, 0, 5},
              {50, 127, 5},
              {10, 4, 5},
              {100, 6, 5},
              {2, 6, 5}});
}

// ---------------------------------------------------------------------------
// The player's step
// ---------------------------------------------------------------------------

TEST_F(Turn, WaitingBesideRipeGrowthIsDeathFromAnySide) {
  for (auto [x, y] : {std::pair{100, 99}, {100, 101}, {99, 100}, {101, 100}}) {
    SCOPED_TRACE(testing::Message() << "ripe growth at (" << x << ", " << y << ")");
    fresh();
    place({{x, y, 9}});
    newturn(0);
    EXPECT_EQ(a.alive, 0);
    EXPECT_EQ(cell(100, 100), 6);
    EXPECT_EQ(b.plx, 100);
    EXPECT_EQ(b.ply, 100);
    EXPECT_EQ(b.goalx, 100 * 8 - 36);  // the goal is set after a death too
    EXPECT_EQ(b.goaly, 100 * 8 - 26);
  }
}

TEST_F(Turn, UnripeGrowthBesideIsSafeForOneMoreTurn) {
  place({{101, 100, 8}});
  newturn(0);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(cell(100, 100), cright);
  newturn(0);
  EXPECT_EQ(a.alive, 0);
}

TEST_F(Turn, MovingAwaySavesThePlayer) {
  place({{101, 100, 9}});
  newturn(cleft);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(b.plx, 99);
  EXPECT_EQ(cell(99, 100), cleft);
  EXPECT_EQ(cell(100, 100), 0);  // the 6 spread into the old cell is erased by leaving it
  EXPECT_EQ(cell(101, 99), 6);
}

TEST_F(Turn, MovingIntoAWallBesideGrowthSurvivesFacingTheWall) {
  wall(101, 100);
  place({{100, 99, 9}});
  newturn(cright);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(b.plx, 100);
  EXPECT_EQ(b.ply, 100);
  EXPECT_EQ(b.tryx, 101);
  EXPECT_EQ(b.tryy, 100);
  EXPECT_EQ(cell(100, 100), cright);
  EXPECT_EQ(cell(101, 100), 0);
}

TEST_F(Turn, SteppingOntoGrowthIsDeathAndTheCellKeepsIt) {
  place({{101, 100, 9}});
  newturn(cright);
  EXPECT_EQ(a.alive, 0);
  EXPECT_EQ(b.plx, 101);
  EXPECT_EQ(cell(101, 100), 9);
  EXPECT_EQ(cell(100, 100), 0);
  EXPECT_EQ(b.goalx, 101 * 8 - 36);
}

TEST_F(Turn, SteppingWhereGrowthSpreadThisTurnIsDeath) {
  place({{102, 100, 9}});
  newturn(cright);
  EXPECT_EQ(a.alive, 0);
  EXPECT_EQ(b.plx, 101);
  EXPECT_EQ(cell(101, 100), 6);
}

TEST_F(Turn, SteppingOntoYoungGrowthIsDeathToo) {
  place({{100, 99, 6}});
  newturn(cup);
  EXPECT_EQ(a.alive, 0);
  EXPECT_EQ(cell(100, 99), 7);
}

TEST_F(Turn, WaitKeepsTheFacingAndOtherDirectionsWait) {
  cell(100, 100) = cleft;
  for (int d : {0, -1, -200, 5, 9, 1000}) {
    SCOPED_TRACE(d);
    newturn(d);
    EXPECT_EQ(cell(100, 100), cleft);
    EXPECT_EQ(b.plx, 100);
    EXPECT_EQ(b.ply, 100);
    EXPECT_EQ(b.tryx, 100);
    EXPECT_EQ(b.tryy, 100);
  }
  expectgrid({{100, 100, cleft}});
  EXPECT_EQ(a.alive, 1);
}

TEST_F(Turn, GoalsFromTwentyTwenty) {
  struct c {
    int dir, gx, gy, px, py;
  };
  for (c t : {c{0, 124, 134, 20, 20}, c{1, 132, 134, 21, 20}, c{2, 124, 126, 20, 19}, c{3, 116, 134, 19, 20},
              c{4, 124, 142, 20, 21}}) {
    SCOPED_TRACE(t.dir);
    fresh();
    cell(me.x, me.y) = 0;
    player(20, 20);
    newturn(t.dir);
    EXPECT_EQ(b.goalx, t.gx);
    EXPECT_EQ(b.goaly, t.gy);
    EXPECT_EQ(b.plx, t.px);
    EXPECT_EQ(b.ply, t.py);
    EXPECT_EQ(b.tryx, t.px);
    EXPECT_EQ(b.tryy, t.py);
    EXPECT_EQ(cell(t.px, t.py), t.dir ? t.dir : cright);
    if (t.dir) {
      EXPECT_EQ(cell(20, 20), 0);
    }
  }
}

// ---------------------------------------------------------------------------
// Pick-ups
// ---------------------------------------------------------------------------

class Pickup : public Turn {
protected:
  void SetUp() override {
    Turn::SetUp();
    for (int i = 0; i < lowh * loww; i++) scfx[i] = u8(1 + i % 7);
    for (u16& p : pal16) p = 0x1234;
  }
  static bool scfxclear() {
    for (u8 v : scfx)
      if (v) return false;
    return true;
  }
  static bool scfxkept() {
    for (int i = 0; i < lowh * loww; i++)
      if (scfx[i] != 1 + i % 7) return false;
    return true;
  }
  static bool palreloaded() {
    // The base palette's bright half; the dark half is loadpal's to leave alone.
    return pal16[0] == 0x0000 && pal16[1] == 0x0010 && pal16[12] == 0xF800 && pal16[15] == 0xFFFF &&
           pal16[16] == 0x1234 && pal16[31] == 0x1234;
  }
  static bool palkept() {
    for (u16 p : pal16)
      if (p != 0x1234) return false;
    return true;
  }
};

TEST_F(Pickup, OddDrawClearsTheEffectsAndKeepsThePalette) {
  place({{101, 100, 5}});
  testutil::script({0, 13});
  newturn(cright);
  EXPECT_EQ(draws(), 2u);
  EXPECT_TRUE(scfxclear());
  EXPECT_TRUE(palkept());
  EXPECT_EQ(cell(101, 100), cright);
  EXPECT_EQ(b.plx, 101);
  EXPECT_EQ(a.alive, 1);
}

TEST_F(Pickup, EvenDrawReloadsThePaletteAndKeepsTheEffects) {
  place({{100, 101, 5}});
  testutil::script({0, 8});
  newturn(cdown);
  EXPECT_EQ(draws(), 2u);
  EXPECT_TRUE(scfxkept());
  EXPECT_TRUE(palreloaded());
  EXPECT_EQ(cell(100, 101), cdown);
}

TEST_F(Pickup, ThePickUpDrawsAfterEveryMender) {
  // The mender picked up comes first in the scan, one later in the grid draws
  // after it; the pick-up's own draw is the last.
  place({{101, 100, 5}, {20, 120, 5}});
  testutil::script({0, 0, 1});
  newturn(cright);
  EXPECT_EQ(draws(), 3u);
  EXPECT_TRUE(scfxclear());
  EXPECT_TRUE(palkept());
}

TEST_F(Pickup, OffspringBornThisTurnCanBePickedUp) {
  place({{102, 100, 5}});
  testutil::script({3, 1});
  newturn(cright);
  EXPECT_EQ(draws(), 2u);
  EXPECT_TRUE(scfxclear());
  expectgrid({{101, 100, cright}, {102, 100, 5}});
}

TEST_F(Pickup, AMenderThatVanishedThisTurnPicksNothingUp) {
  place({{101, 100, 5}});
  testutil::script({7});
  newturn(cright);
  EXPECT_EQ(draws(), 1u);
  EXPECT_TRUE(scfxkept());
  EXPECT_TRUE(palkept());
  expectgrid({{101, 100, cright}});
}

// ---------------------------------------------------------------------------
// Music wish
// ---------------------------------------------------------------------------

TEST_F(Turn, AlarmWantsTheDangerTrackAndCountsDown) {
  struct c {
    u8 alarm, track, after;
  };
  for (c t : {c{3, 0, 2}, c{1, 0, 0}, c{10, 0, 9}, c{0, 1, 0}}) {
    SCOPED_TRACE(int(t.alarm));
    a.alarm = t.alarm;
    a.track = 7;
    newturn(0);
    EXPECT_EQ(a.track, t.track);
    EXPECT_EQ(a.alarm, t.after);
  }
}

// ---------------------------------------------------------------------------
// The edge of the grid: stepping off it is blocked like a wall, and nothing
// indexes outside it (the sanitizer build checks the indexing).
// ---------------------------------------------------------------------------

TEST_F(Turn, SteppingOffTheGridIsBlocked) {
  struct c {
    int x, y, dir, tx, ty;
  };
  for (c t : {c{127, 60, 1, 128, 60}, c{60, 0, 2, 60, -1}, c{0, 60, 3, -1, 60}, c{60, 127, 4, 60, 128},
              c{0, 0, 2, 0, -1}, c{0, 0, 3, -1, 0}, c{127, 127, 1, 128, 127}, c{127, 127, 4, 127, 128}}) {
    SCOPED_TRACE(testing::Message() << "(" << t.x << ", " << t.y << ") direction " << t.dir);
    fresh();
    cell(me.x, me.y) = 0;
    player(t.x, t.y, cdown);
    newturn(t.dir);
    EXPECT_EQ(a.alive, 1);
    EXPECT_EQ(b.plx, t.x);
    EXPECT_EQ(b.ply, t.y);
    EXPECT_EQ(b.tryx, t.tx);
    EXPECT_EQ(b.tryy, t.ty);
    EXPECT_EQ(b.goalx, t.x * 8 - 36);
    EXPECT_EQ(b.goaly, t.y * 8 - 26);
    expectgrid({{t.x, t.y, u8(t.dir)}});
  }
}

TEST_F(Turn, TheAutomatonNeverChangesTheOuterRing) {
  // Ripe growth along the whole edge of the interior spreads outward, and
  // menders on it breed outward; none of it may land on the ring of `cells`.
  cell(me.x, me.y) = 0;
  player(0, 60, cright);
  for (int i = 2; i < gridsize - 2; i++) place({{i, 1, 9}, {i, 126, 9}, {1, i, 9}, {126, i, 9}});
  place({{1, 1, 5}, {126, 1, 5}, {1, 126, 5}, {126, 126, 5}});
  testutil::script({1, 4, 3, 2});
  newturn(0);
  EXPECT_EQ(draws(), 4u);
  // The player on the ring beside ripe growth is out of the automaton's reach.
  EXPECT_EQ(a.alive, 1);
  for (int i = 0; i < gridsize; i++) {
    EXPECT_EQ(cell(i, 0), 0) << i;
    EXPECT_EQ(cell(i, 127), 0) << i;
    EXPECT_EQ(cell(0, i), i == 60 ? cright : 0) << i;
    EXPECT_EQ(cell(127, i), 0) << i;
  }
  EXPECT_EQ(cell(1, 1), 6);  // overrun from the right and below, after its own draw
  EXPECT_EQ(cell(2, 2), 6);
}

TEST_F(Turn, APositionOffTheGridIsNeverIndexed) {
  // The game never puts the player there; if it ever were, the turn must not
  // read or write outside the grid.
  for (auto [x, y] : {std::pair{-1, 60}, {128, 60}, {60, -300}, {-32768, 32767}}) {
    SCOPED_TRACE(testing::Message() << "(" << x << ", " << y << ")");
    fresh();
    cell(me.x, me.y) = 0;
    for (int d = 0; d <= 4; d++) {
      b.plx = s16(x);
      b.ply = s16(y);
      newturn(d);
      EXPECT_EQ(a.alive, 1);
    }
  }
  // From just off the edge a step back onto the grid is an ordinary step.
  fresh();
  cell(me.x, me.y) = 0;
  b.plx = 128;
  b.ply = 60;
  newturn(cleft);
  EXPECT_EQ(b.plx, 127);
  expectgrid({{127, 60, cleft}});
}

}  // namespace
