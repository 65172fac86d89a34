// The world view: which pixels land in the low-res frame, the animation
// phase, the edges of the world and the growth alarm.
#include "game/game.h"
#include "gfx/gfx.h"
#include "testutil.h"

namespace {

int px(int x, int y) { return header_data[y * worldsize + x]; }
int pic(int p, int x, int y) { return px(8 * p + x, 8 + y); }
int at(int c, int r) { return scrb[r * loww + c]; }

class View : public ::testing::Test {
protected:
  void SetUp() override {
    testutil::wipe();
    std::memset(scrb, 99, sizeof scrb);  // anything render leaves unwritten shows up
  }
  void look(int x, int y) {
    b.camx = s16(x);
    b.camy = s16(y);
    render();
  }
};

TEST_F(View, TitleViewIsTheCardAfterANewGame) {
  newgame();
  render();
  for (int r = 0; r < lowh; r++)
    for (int c = 0; c < loww; c++) ASSERT_EQ(at(c, r), px(c, 964 + r)) << c << "," << r;
  EXPECT_EQ(a.alarm, 0);
}

TEST_F(View, FreeCellsShowTheWorldAtAnyOffset) {
  look(123, 457);  // not on the cell grid
  for (int r = 0; r < lowh; r++)
    for (int c = 0; c < loww; c++) ASSERT_EQ(at(c, r), px(123 + c, 457 + r)) << c << "," << r;
}

TEST_F(View, PlayerPictureFollowsTheAnimationPhase) {
  a.cells[21][9] = cup;
  for (u32 frames : {0u, 9u, 10u, 19u, 20u, 29u, 30u, 4000000019u}) {
    count = frames;
    int phase = frames / 10 % 2;
    look(32, 138);  // the first view of play: the cell is at view columns 40-47, rows 30-37
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) ASSERT_EQ(at(40 + x, 30 + y), pic(2 + phase, x, y)) << "count " << frames;
    // The neighbours are the world's own pixels.
    EXPECT_EQ(at(39, 30), px(32 + 39, 138 + 30));
    EXPECT_EQ(at(48, 37), px(32 + 48, 138 + 37));
  }
}

TEST_F(View, EveryCellValueUsesItsPicturePair) {
  for (int v = 1; v <= 9; v++)
    for (int phase = 0; phase < 2; phase++) {
      testutil::wipe();
      a.cells[20][20] = u8(v);
      count = 10 * phase;
      look(160, 160);  // cell (20, 20) at the view's top-left corner
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
          ASSERT_EQ(at(x, y), px(16 * v - 16 + 8 * phase + x, 8 + y)) << "value " << v << " phase " << phase;
    }
}

TEST_F(View, PicturesAreOpaqueOverDecoratedFloor) {
  // Find a decorated floor cell in the cave and put a mender on it.
  int fc = -1, fr = -1;
  for (int r = 12; r < 40 && fc < 0; r++)
    for (int c = 20; c < 50 && fc < 0; c++) {
      int lit = 0, top = 0;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
          int v = px(8 * c + x, 8 * r + y);
          top = std::max(top, v);
          lit += v != 0 && pic(8, x, y) == 0;
        }
      if (top < 8 && lit) fc = c, fr = r;
    }
  ASSERT_GE(fc, 0);
  a.cells[fr][fc] = cmender;
  look(8 * fc - 8, 8 * fr - 8);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) ASSERT_EQ(at(8 + x, 8 + y), pic(8, x, y));
}

TEST_F(View, CutCellsShowTheMatchingPartOfThePicture) {
  a.cells[10][10] = cripe;
  count = 10;
  look(83, 85);  // cell (10, 10) covers x 80-87, y 80-87: its lower right 5x3 shows
  for (int y = 5; y < 8; y++)
    for (int x = 3; x < 8; x++) ASSERT_EQ(at(x - 3, y - 5), pic(17, x, y));
  EXPECT_EQ(a.alarm, 10);
}

TEST_F(View, OutsideTheWorldIsWhite) {
  look(0, 1000);
  for (int r = 0; r < lowh; r++)
    for (int c = 0; c < loww; c++) ASSERT_EQ(at(c, r), r < 24 ? px(c, 1000 + r) : 15) << c << "," << r;
  look(-5, 100);
  for (int r = 0; r < lowh; r++)
    for (int c = 0; c < loww; c++) ASSERT_EQ(at(c, r), c < 5 ? 15 : px(c - 5, 100 + r)) << c << "," << r;
  look(980, -3);
  for (int r = 0; r < lowh; r++)
    for (int c = 0; c < loww; c++)
      ASSERT_EQ(at(c, r), r < 3 || c >= 44 ? 15 : px(980 + c, r - 3)) << c << "," << r;
}

TEST_F(View, ViewWordsWrapAtSixteenBits) {
  // Cells under the wrapped coordinates must not be looked up: growth there
  // would otherwise raise the alarm.
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) a.cells[r][c] = cripe;
  look(32760, 0);  // x 32760..32767, then -32768..: all outside
  for (int i = 0; i < lowh * loww; i++) ASSERT_EQ(scrb[i], 15);
  look(0, 32767);
  for (int i = 0; i < lowh * loww; i++) ASSERT_EQ(scrb[i], 15);
  EXPECT_EQ(a.alarm, 0);
  look(-32768, -32768);
  for (int i = 0; i < lowh * loww; i++) ASSERT_EQ(scrb[i], 15);
  EXPECT_EQ(a.alarm, 0);
  // camy -59: only the last view row is inside, showing world row 0, here
  // the top row of ripe growth's phase 0 picture in every cell.
  look(0, -59);
  for (int c = 0; c < loww; c++) {
    EXPECT_EQ(at(c, 58), 15);
    EXPECT_EQ(at(c, 59), pic(2 * cripe - 2, c % 8, 0)) << c;
  }
  EXPECT_EQ(a.alarm, 10);
}

TEST_F(View, AlarmWhenAnyGrowthPixelIsInView) {
  // A growth cell at (10, 20): x 80-87. With camx 87 its last column is the view's first.
  a.cells[20][10] = cgrowth;
  a.alarm = 3;
  look(87, 150);
  EXPECT_EQ(a.alarm, 10);
  a.alarm = 3;
  look(88, 150);  // one pixel further: out of view
  EXPECT_EQ(a.alarm, 3);
  // Same at the bottom edge: rows 160-167, camy 101 shows y 101..160.
  a.alarm = 3;
  look(60, 101);
  EXPECT_EQ(a.alarm, 10);
  a.alarm = 3;
  look(60, 100);
  EXPECT_EQ(a.alarm, 3);
  // Players and menders never raise it.
  testutil::wipe();
  a.cells[20][10] = cmender;
  a.cells[20][11] = cdown;
  a.alarm = 3;
  look(60, 140);
  EXPECT_EQ(a.alarm, 3);
  // Every growth stage does.
  for (int v = cgrowth; v <= cripe; v++) {
    a.cells[20][12] = u8(v);
    a.alarm = 0;
    look(60, 140);
    EXPECT_EQ(a.alarm, 10) << "value " << v;
  }
}

TEST_F(View, AlarmIsSetToExactlyTen) {
  a.alarm = 200;
  a.cells[20][12] = cgrowth;
  look(60, 140);
  EXPECT_EQ(a.alarm, 10);
  testutil::wipe();
  a.alarm = 200;
  look(60, 140);
  EXPECT_EQ(a.alarm, 200);
}

}  // namespace
