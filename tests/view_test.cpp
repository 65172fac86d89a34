// The world view: which pixels land in the low-res frame, the animation
// phase, the edges of the world and the growth alarm.
#include "core/game/game.h"
#include "core/gfx/gfx.h"
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

TEST_F(View, FreeCellsShowTheWorldAndOutsideIsWhite) {
  for (auto [camx, camy] : {std::pair{123, 457}, {0, 1000}, {-5, 100}, {980, -3}}) {
    look(camx, camy);
    for (int r = 0; r < lowh; r++)
      for (int c = 0; c < loww; c++) {
        int x = camx + c, y = camy + r;
        bool in = x >= 0 && x < worldsize && y >= 0 && y < worldsize;
        ASSERT_EQ(at(c, r), in ? px(x, y) : 15) << "view " << camx << "," << camy << " at " << c << "," << r;
      }
  }
}

TEST_F(View, EveryCellValueShowsItsPictureInThePhaseOfTheCount) {
  const std::pair<u32, int> phases[] = {{0, 0}, {9, 0}, {10, 1}, {19, 1}, {20, 0}, {4000000019u, 1}};
  for (int v = 1; v <= 9; v++)
    for (auto [frames, phase] : phases) {
      a.cells[21][9] = u8(v);
      count = frames;
      look(32, 138);  // the first view of play: the cell is at view columns 40-47, rows 30-37
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
          ASSERT_EQ(at(40 + x, 30 + y), px(16 * v - 16 + 8 * phase + x, 8 + y))
              << "value " << v << " count " << frames;
      EXPECT_EQ(at(39, 30), px(32 + 39, 138 + 30));  // the neighbours are the world's own pixels
      EXPECT_EQ(at(48, 37), px(32 + 48, 138 + 37));
    }
}

TEST_F(View, PicturesAreOpaqueAndCutByTheViewsEdge) {
  // A mender on a decorated floor cell of the cave hides the decoration with its black.
  int fc = -1, fr = -1;
  for (int i = 0; i < 30 * 28 && fc < 0; i++) {
    int c = 20 + i % 30, r = 12 + i / 30, top = 0, lit = 0;
    for (int p = 0; p < 64; p++) {
      int v = px(8 * c + p % 8, 8 * r + p / 8);
      top = std::max(top, v), lit += v != 0 && pic(8, p % 8, p / 8) == 0;
    }
    if (top < 8 && lit) fc = c, fr = r;
  }
  ASSERT_GE(fc, 0);
  a.cells[fr][fc] = cmender;
  look(8 * fc - 8, 8 * fr - 8);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) ASSERT_EQ(at(8 + x, 8 + y), pic(8, x, y));

  testutil::wipe();
  a.cells[10][10] = cripe;
  count = 10;
  look(83, 85);  // cell (10, 10) covers x 80-87, y 80-87: its lower right 5x3 shows
  for (int y = 5; y < 8; y++)
    for (int x = 3; x < 8; x++) ASSERT_EQ(at(x - 3, y - 5), pic(17, x, y));
}

TEST_F(View, ViewWordsWrapAtSixteenBits) {
  // Cells under the wrapped coordinates must not be looked up: growth there would raise the alarm.
  std::memset(a.cells, cripe, sizeof a.cells);
  for (auto [camx, camy] : {std::pair{32760, 0}, {0, 32767}, {-32768, -32768}}) {
    look(camx, camy);
    for (int i = 0; i < lowh * loww; i++) ASSERT_EQ(scrb[i], 15) << "view " << camx << "," << camy;
    EXPECT_EQ(a.alarm, 0);
  }
  // camy -59: only the last view row is inside, world row 0, under ripe growth in every cell.
  look(0, -59);
  for (int c = 0; c < loww; c++) {
    EXPECT_EQ(at(c, 58), 15);
    EXPECT_EQ(at(c, 59), pic(2 * cripe - 2, c % 8, 0)) << c;
  }
  EXPECT_EQ(a.alarm, 10);
}

TEST_F(View, AlarmWhenAnyGrowthPixelIsInView) {
  // Cell (10, 20) covers x 80-87, y 160-167: with camx 87 its last column is the view's first,
  // with camy 101 the view's last row is its first.
  struct {
    int value, camx, camy, before, after;
  } cases[] = {
      {cgrowth, 87, 150, 3, 10}, {cgrowth, 88, 150, 3, 3},    {cgrowth, 60, 101, 3, 10},
      {cgrowth, 60, 100, 3, 3},  {cripe, 60, 140, 3, 10},     {cmender, 60, 140, 3, 3},
      {cdown, 60, 140, 3, 3},    {cgrowth, 60, 140, 200, 10},  // set to 10, not raised to at least 10
  };
  for (auto [value, camx, camy, before, after] : cases) {
    a.cells[20][10] = u8(value);
    a.alarm = u8(before);
    look(camx, camy);
    EXPECT_EQ(a.alarm, after) << "value " << value << " view " << camx << "," << camy << " alarm " << before;
  }
}

}  // namespace
