// Input: the lock-out, which masks start play, the key priority on press and
// release, and the view's glide.
#include "game/game.h"
#include "testutil.h"

namespace {

enum : u8 { kright = 1, kup = 2, kleft = 4, kdown = 8, kspace = 16, kctrl = 32, kreturn = 64, kesc = 128 };

// One frame's input handling, as the frame runs it: the mask, procgame, then
// the count goes up.
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
    ASSERT_EQ(turns(), 0);
  }
};

TEST_F(Input, NothingActsUntilCountReaches41) {
  count = 40;
  tick(kspace);
  EXPECT_EQ(a.mode, 0);
  EXPECT_EQ(a.lastmask, kspace);
  tick(kspace);  // count 41, but the mask held since the lock-out has not changed
  EXPECT_EQ(a.mode, 0);
  tick(0);
  EXPECT_EQ(a.mode, 0);
  tick(kspace);
  EXPECT_EQ(a.mode, 1);
  EXPECT_EQ(count, 44u);

  SetUp();
  count = 41;
  tick(kspace);
  EXPECT_EQ(a.mode, 1);
}

TEST_F(Input, WhichMasksStartPlay) {
  for (u8 m : {1, 2, 4, 7, 8}) {
    SCOPED_TRACE(int(m));
    SetUp();
    count = 41;
    tick(m);
    EXPECT_EQ(a.mode, 0);
    EXPECT_EQ(a.track, 0);
    EXPECT_EQ(b.camx, 0);
    EXPECT_EQ(b.camy, 964);
    EXPECT_EQ(a.lastmask, m);
  }
  for (u8 m : {9, 10, 15, 16, 32, 64, 128, 255}) {
    SCOPED_TRACE(int(m));
    SetUp();
    count = 41;
    tick(m);
    EXPECT_EQ(a.mode, 1);
    EXPECT_EQ(a.track, 1);
    EXPECT_EQ(b.camx, 32);   // (9 - 5) * 8
    EXPECT_EQ(b.camy, 138);  // 21 * 8 - 30
    EXPECT_EQ(b.goalx, 32);
    EXPECT_EQ(b.goaly, 138);
    EXPECT_EQ(a.lastmask, m);
    // No turn in the frame that starts play.
    EXPECT_EQ(turns(), 0);
    EXPECT_EQ(b.plx, 9);
    EXPECT_EQ(a.cells[23][5], 6);
  }
}

TEST_F(Input, TheStartViewFollowsThePlayerInSignedArithmetic) {
  b.plx = 0;
  b.ply = 0;
  count = 41;
  tick(kspace);
  EXPECT_EQ(b.camx, -40);
  EXPECT_EQ(b.camy, -30);
  // Nothing glides until a turn moves the goal.
  for (int i = 0; i < 5; i++) tick(kspace);
  EXPECT_EQ(b.camx, -40);
  EXPECT_EQ(b.camy, -30);
}

TEST_F(Input, FirstWaitGlidesIntoPlaceInTheFourthFrame) {
  play();
  tick(kspace);  // the turn's frame already takes the first pixel
  EXPECT_EQ(turns(), 1);
  EXPECT_EQ(b.goalx, 36);
  EXPECT_EQ(b.goaly, 142);
  EXPECT_EQ(b.camx, 33);
  EXPECT_EQ(b.camy, 139);
  tick(kspace);
  tick(kspace);
  EXPECT_EQ(b.camx, 35);
  EXPECT_EQ(b.camy, 141);
  tick(kspace);
  EXPECT_EQ(b.camx, 36);
  EXPECT_EQ(b.camy, 142);
  tick(kspace);
  EXPECT_EQ(b.camx, 36);
  EXPECT_EQ(b.camy, 142);
  EXPECT_EQ(turns(), 1);  // held without change: no more turns
}

TEST_F(Input, AStepIsCaughtUpInEightFrames) {
  play();
  b.camx = b.goalx = 36;
  b.camy = b.goaly = 142;
  tick(kdown);
  EXPECT_EQ(b.goaly, 150);
  for (int i = 1; i < 7; i++) tick(kdown);  // the turn's frame and six more
  EXPECT_EQ(b.camy, 149);
  tick(kdown);
  EXPECT_EQ(b.camy, 150);
  EXPECT_EQ(b.camx, 36);
}

TEST_F(Input, PriorityOfTheHeldKeys) {
  struct c {
    u8 mask;
    int dx, dy;  // the step tried; turn false for none
    bool turn;
  };
  const c table[] = {
      {kspace, 0, 0, true},
      {kspace | kright, 0, 0, true},
      {31, 0, 0, true},
      {255, 0, 0, true},
      {kright, 1, 0, true},
      {kright | kup | kleft | kdown, 1, 0, true},
      {kup | kleft | kdown, 0, -1, true},
      {kup | kleft, 0, -1, true},
      {kleft | kdown, -1, 0, true},
      {kleft, -1, 0, true},
      {kdown, 0, 1, true},
      {kdown | kctrl | kreturn | kesc, 0, 1, true},
      {kctrl | kreturn | kesc, 0, 0, false},
      {kctrl, 0, 0, false},
      {kesc, 0, 0, false},
  };
  for (const c& t : table) {
    SCOPED_TRACE(int(t.mask));
    SetUp();
    play();
    b.tryx = b.tryy = -1;
    tick(t.mask);
    EXPECT_EQ(turns(), t.turn ? 1 : 0);
    EXPECT_EQ(a.lastmask, t.mask);
    if (t.turn) {
      EXPECT_EQ(b.tryx, 9 + t.dx);
      EXPECT_EQ(b.tryy, 21 + t.dy);
    } else {
      EXPECT_EQ(b.tryx, -1);
    }
  }
}

TEST_F(Input, SpaceHeldMakesEveryArrowWait) {
  play();
  tick(kspace);
  tick(kspace | kright);
  tick(kspace | kright | kup);
  tick(kspace | kup);
  tick(kspace);
  EXPECT_EQ(turns(), 5);
  EXPECT_EQ(b.plx, 9);
  EXPECT_EQ(b.ply, 21);
  tick(0);  // releasing the last key makes no turn
  EXPECT_EQ(turns(), 5);
}

TEST_F(Input, ReleasingUpWithRightHeldStepsRight) {
  play();
  tick(kright);
  tick(kright | kup);  // pressing UP: RIGHT still comes first
  EXPECT_EQ(b.plx, 11);
  tick(kright);
  EXPECT_EQ(b.plx, 12);
  EXPECT_EQ(b.ply, 21);
  EXPECT_EQ(turns(), 3);
}

TEST_F(Input, ReturnPressedAndReleasedWithRightHeldMakesTwoSteps) {
  play();
  tick(kright);
  EXPECT_EQ(b.plx, 10);
  tick(kright | kreturn);
  tick(kright);
  EXPECT_EQ(b.plx, 12);
  tick(kright);
  tick(kright);
  EXPECT_EQ(b.plx, 12);
  EXPECT_EQ(turns(), 3);
}

TEST_F(Input, LastMaskFollowsEveryFrame) {
  for (u8 m : {3, 3, 0, 200}) {  // during the lock-out
    tick(m);
    EXPECT_EQ(a.lastmask, m);
  }
  count = 41;
  tick(7);  // in title mode, starting nothing
  EXPECT_EQ(a.lastmask, 7);
  tick(16);
  EXPECT_EQ(a.lastmask, 16);
  tick(1);
  EXPECT_EQ(a.lastmask, 1);
  EXPECT_EQ(turns(), 1);
}

TEST_F(Input, GlideOnlyInPlayAndSigned) {
  b.camx = 5;
  b.goalx = -10;
  b.camy = -3;
  b.goaly = 2;
  tick(0);  // title mode: nothing moves
  EXPECT_EQ(b.camx, 5);
  EXPECT_EQ(b.camy, -3);

  a.mode = 1;
  tick(0);
  EXPECT_EQ(b.camx, 4);
  EXPECT_EQ(b.camy, -2);

  // The far ends of the range, where an unsigned comparison would go the wrong way.
  b.camx = 32767;
  b.goalx = -32768;
  b.camy = -32768;
  b.goaly = 32767;
  tick(0);
  EXPECT_EQ(b.camx, 32766);
  EXPECT_EQ(b.camy, -32767);

  // Never past the goal.
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
