// Input: the lock-out, which masks start play, the key priority on press and
// release, and the view's glide.
#include <array>
#include <vector>

#include "core/game/game.h"
#include "testutil.h"

namespace {

enum : u8 { kright = 1, kup = 2, kleft = 4, kdown = 8, kspace = 16, kctrl = 32, kreturn = 64, kesc = 128 };

// One frame's input handling, as the frame runs it: the mask, procgame, then the count goes up.
void tick(u8 mask) {
  a.keymask = mask;
  procgame();
  count++;
}

class Input : public ::testing::Test {
protected:
  void SetUp() override {
    testutil::wipe();
    newgame();
    a.cells[12][53] = 0;  // no mender, so no draws: any draw fails the test
    testutil::script({});
    a.alarm = 200;  // render never runs here, so every turn counts this down by one
  }
  static int turns() { return 200 - a.alarm; }
  // Past the lock-out, into play with SPACE, and every key released.
  static void play() {
    count = 41;
    tick(kspace);
    tick(0);
    ASSERT_EQ(a.mode, 1);
  }
};

TEST_F(Input, NothingActsUntilCountReaches41) {
  count = 40;
  tick(kspace);
  EXPECT_EQ(a.mode, 0);
  EXPECT_EQ(a.lastmask, kspace);
  tick(kspace);  // count 41, but the mask held since the lock-out has not changed
  tick(0);
  EXPECT_EQ(a.mode, 0);
  tick(kspace);
  EXPECT_EQ(a.mode, 1);
}

TEST_F(Input, WhichMasksStartPlay) {
  for (int m : {1, 2, 4, 7, 8, 9, 10, 15, 16, 32, 64, 128, 255}) {
    SCOPED_TRACE(m);
    SetUp();
    count = 41;
    tick(u8(m));
    const bool starts = m >= 9;  // DOWN with another arrow, or any of SPACE, LCTRL, RETURN, ESCAPE
    EXPECT_EQ(a.mode, starts);
    EXPECT_EQ(a.track, starts);
    EXPECT_EQ(b.camx, starts ? 32 : 0);     // (9 - 5) * 8
    EXPECT_EQ(b.camy, starts ? 138 : 964);  // 21 * 8 - 30, or still on the title card
    EXPECT_EQ(a.lastmask, m);
    EXPECT_EQ(turns(), 0);  // no turn in the frame that starts play
  }
}

TEST_F(Input, FirstWaitGlidesIntoPlaceInTheFourthFrame) {
  play();
  EXPECT_EQ(b.goalx, 32);
  EXPECT_EQ(b.goaly, 138);
  EXPECT_EQ(b.camx, 32);  // nothing glides before the first turn
  EXPECT_EQ(b.camy, 138);
  for (int x : {33, 34, 35, 36, 36}) {
    tick(kspace);  // the first is the turn's frame, which already takes a pixel
    EXPECT_EQ(b.goalx, 36);
    EXPECT_EQ(b.goaly, 142);
    EXPECT_EQ(b.camx, x);
    EXPECT_EQ(b.camy, x + 106);
  }
  EXPECT_EQ(turns(), 1);  // held without change: no more turns
}

TEST_F(Input, PriorityOfTheHeldKeys) {
  using r = std::array<int, 4>;  // the new mask, the step tried, and whether it makes a turn
  for (auto [mask, dx, dy, turn] :
       {r{kspace, 0, 0, 1}, r{kspace | kright, 0, 0, 1}, r{255, 0, 0, 1}, r{kright, 1, 0, 1}, r{15, 1, 0, 1},
        r{kup | kleft | kdown, 0, -1, 1}, r{kleft | kdown, -1, 0, 1}, r{kdown, 0, 1, 1},
        r{kdown | kctrl | kreturn | kesc, 0, 1, 1}, r{kctrl | kreturn | kesc, 0, 0, 0}, r{kesc, 0, 0, 0}}) {
    SCOPED_TRACE(mask);
    SetUp();
    play();
    b.tryx = b.tryy = -1;
    tick(u8(mask));
    EXPECT_EQ(turns(), turn);
    EXPECT_EQ(a.lastmask, mask);
    EXPECT_EQ(b.tryx, turn ? 9 + dx : -1);
    EXPECT_EQ(b.tryy, turn ? 21 + dy : -1);
  }
}

// A turn for every change of the mask while SPACE or an arrow is held, for the first held key of
// SPACE, RIGHT, UP, LEFT, DOWN, whichever key changed; releasing the last key makes none.
TEST_F(Input, EveryChangeWithAKeyHeldMakesOneTurn) {
  struct c {
    std::vector<int> masks;
    int plx, turns;
  };
  for (const c& t :
       {c{{kspace, kspace | kright, kspace | kright | kup, kspace | kup, kspace, 0}, 9, 5},
        c{{kright, kright | kup, kright}, 12, 3}, c{{kright, kright | kreturn, kright, kright}, 12, 3}}) {
    SCOPED_TRACE(t.masks[1]);
    SetUp();
    play();
    for (int m : t.masks) tick(u8(m));
    EXPECT_EQ(b.plx, t.plx);
    EXPECT_EQ(b.ply, 21);
    EXPECT_EQ(turns(), t.turns);
  }
}

TEST_F(Input, GlideOnlyInPlaySignedAndNeverPastTheGoal) {
  // The far ends of the range, where an unsigned comparison would go the wrong way.
  b.camx = 32767;
  b.goalx = -32768;
  b.camy = -32768;
  b.goaly = 32767;
  tick(0);  // title mode: nothing moves
  EXPECT_EQ(b.camx, 32767);
  EXPECT_EQ(b.camy, -32768);
  a.mode = 1;
  tick(0);
  EXPECT_EQ(b.camx, 32766);
  EXPECT_EQ(b.camy, -32767);

  b.camx = 7;
  b.goalx = 8;
  b.camy = 9;
  b.goaly = 8;
  tick(0);
  tick(0);
  EXPECT_EQ(b.camx, 8);
  EXPECT_EQ(b.camy, 8);
}

}  // namespace
