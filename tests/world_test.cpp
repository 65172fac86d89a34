// The built-in world image, the wall grid derived from it and the starting
// world of a new game. The figures below are the world's balance: a change to
// the map that moves any of them changes how the game plays.
#include <algorithm>
#include <array>
#include <deque>
#include <set>
#include <vector>

#include "game/game.h"
#include "testutil.h"

namespace {

int px(int x, int y) { return header_data[y * worldsize + x]; }

// Pixel (x, y) of picture p of the sprite strip.
int pic(int p, int x, int y) { return px(8 * p + x, 8 + y); }

std::array<long, 16> countindices(int x0, int y0, int w, int h) {
  std::array<long, 16> n{};
  for (int y = y0; y < y0 + h; y++)
    for (int x = x0; x < x0 + w; x++) n[px(x, y)]++;
  return n;
}

// The wall grid as the game builds it at start-up.
void buildwalls() {
  testutil::wipe();
  newgame();
  prepblock();
}

// Side-step distances from (c, r) over non-wall cells; -1 where unreachable.
std::vector<int> distances(int c, int r) {
  std::vector<int> d(gridsize * gridsize, -1);
  std::deque<int> queue{r * gridsize + c};
  d[queue.front()] = 0;
  while (!queue.empty()) {
    int at = queue.front();
    queue.pop_front();
    const int dc[4] = {1, 0, -1, 0}, dr[4] = {0, -1, 0, 1};
    for (int s = 0; s < 4; s++) {
      int nc = at % gridsize + dc[s], nr = at / gridsize + dr[s];
      if (nc < 0 || nc >= gridsize || nr < 0 || nr >= gridsize) continue;
      if (a.walls[nr][nc] || d[nr * gridsize + nc] >= 0) continue;
      d[nr * gridsize + nc] = d[at] + 1;
      queue.push_back(nr * gridsize + nc);
    }
  }
  return d;
}

bool celldecorated(int c, int r) {
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++)
      if (px(8 * c + x, 8 * r + y)) return true;
  return false;
}

// ---------------------------------------------------------------------------
// The image itself
// ---------------------------------------------------------------------------

TEST(WorldImage, EveryPixelIsAPaletteIndex) {
  for (int i = 0; i < worldsize * worldsize; i++) ASSERT_LT(header_data[i], 16) << "byte " << i;
}

TEST(WorldImage, RegionsSitWhereTheGameLooksAndTheRestIsBlack) {
  for (int i = 0; i < 16; i++) EXPECT_EQ(px(i, 0), i) << "swatch pixel " << i;
  for (int y = 0; y < worldsize; y++)
    for (int x = 0; x < worldsize; x++) {
      bool swatch = y == 0 && x < 16, strip = y >= 8 && y < 16 && x < 144;
      bool map = x <= 480 && y >= 63 && y <= 704, title = x < 80 && y >= 960;
      if (!swatch && !strip && !map && !title) {
        ASSERT_EQ(px(x, y), 0) << "stray pixel at " << x << "," << y;
      }
    }
  // The map's drawing reaches the edges of its box.
  int top = worldsize, bottom = 0, right = 0;
  for (int y = 16; y < 960; y++)
    for (int x = 0; x < worldsize; x++)
      if (px(x, y)) top = std::min(top, y), bottom = std::max(bottom, y), right = std::max(right, x);
  EXPECT_EQ(top, 63);
  EXPECT_EQ(bottom, 704);
  EXPECT_EQ(right, 480);
  EXPECT_EQ(px(293, 704), 4) << "the dark red stroke ends here";
}

TEST(WorldImage, IndexCountsOfStripAndTitle) {
  const std::array<long, 16> strip = {691, 0, 0, 0, 0, 207, 0, 0, 60, 8, 0, 12, 18, 69, 81, 6};
  const std::array<long, 16> title = {211, 3464, 0, 0, 0, 199, 13, 26, 0, 0, 0, 12, 62, 64, 900, 169};
  EXPECT_EQ(countindices(0, 8, 144, 8), strip);
  EXPECT_EQ(countindices(0, 960, 80, 64), title);
}

// ---------------------------------------------------------------------------
// The sprite strip
// ---------------------------------------------------------------------------

std::set<int> colours(int p) {
  std::set<int> s;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++)
      if (pic(p, x, y)) s.insert(pic(p, x, y));
  return s;
}
int nonzero(int p) {
  int n = 0;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) n += pic(p, x, y) != 0;
  return n;
}
int phasediff(int v, bool bottomonly = false) {
  int n = 0;
  for (int y = bottomonly ? 7 : 0; y < 8; y++)
    for (int x = 0; x < 8; x++) n += pic(2 * v - 2, x, y) != pic(2 * v - 1, x, y);
  return n;
}

TEST(SpriteStrip, PlayerFacingsShowInTheEyes) {
  for (int p = 0; p < 8; p++) {
    std::set<int> allowed = {5, 8, 9, 14}, c = colours(p);
    EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), c.begin(), c.end())) << "picture " << p;
    EXPECT_TRUE(c.count(5) && c.count(8) && c.count(14)) << "hair, body and face in picture " << p;
    // Full height: the top and bottom rows both carry the figure.
    bool top = false, bottom = false;
    int left = 8, right = -1, eyes = 0, eyesum = 0;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) {
        if (!pic(p, x, y)) continue;
        top |= y == 0, bottom |= y == 7;
        left = std::min(left, x), right = std::max(right, x);
        if (pic(p, x, y) == 9) eyes++, eyesum += x;
      }
    EXPECT_TRUE(top && bottom) << "picture " << p;
    EXPECT_GE(right - left + 1, 5) << "picture " << p;
    EXPECT_LE(right - left + 1, 6) << "picture " << p;
    int facing = p / 2;  // right, up, left, down
    int head = (left + right) / 2;
    if (facing == 0) {
      EXPECT_TRUE(eyes == 1 && eyesum > head) << "picture " << p;
    }
    if (facing == 1) {
      EXPECT_EQ(eyes, 0) << "picture " << p;
    }
    if (facing == 2) {
      EXPECT_TRUE(eyes == 1 && eyesum < head) << "picture " << p;
    }
    if (facing == 3) {
      EXPECT_EQ(eyes, 2) << "picture " << p;
    }
  }
  for (int v = 1; v <= 4; v++) {
    EXPECT_GE(phasediff(v), 5) << "cell value " << v;
    EXPECT_LE(phasediff(v), 12) << "cell value " << v;
    EXPECT_GT(phasediff(v, true), 0) << "the feet move, cell value " << v;
  }
}

TEST(SpriteStrip, MenderIsADotThenARing) {
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) {
      bool centre = x >= 3 && x <= 4 && y >= 3 && y <= 4;
      EXPECT_EQ(pic(8, x, y), centre ? 11 : 0) << x << "," << y;
      bool inring = x >= 2 && x <= 5 && y >= 2 && y <= 5;
      if (!inring || centre) {
        EXPECT_EQ(pic(9, x, y), 0) << x << "," << y;
      } else {
        EXPECT_TRUE(pic(9, x, y) == 0 || pic(9, x, y) == 11);
      }
    }
  EXPECT_EQ(nonzero(9), 8);
}

TEST(SpriteStrip, GrowthRipens) {
  const std::set<int> wants[4] = {{5, 13}, {5, 13, 15}, {5, 12, 13, 15}, {5, 12, 13}};
  for (int stage = 1; stage <= 4; stage++)
    for (int f = 0; f < 2; f++) {
      int p = 8 + 2 * stage + f;
      EXPECT_EQ(colours(p), wants[stage - 1]) << "picture " << p;
    }
  EXPECT_EQ(nonzero(10), 19);
  EXPECT_EQ(nonzero(11), 13);
  for (int p : {16, 17}) {
    bool top = false, bottom = false, left = false, right = false;
    for (int i = 0; i < 8; i++)
      top |= pic(p, i, 0) != 0, bottom |= pic(p, i, 7) != 0, left |= pic(p, 0, i) != 0,
          right |= pic(p, 7, i) != 0;
    EXPECT_TRUE(top && bottom && left && right) << "stage 4 fills its cell, picture " << p;
  }
  for (int v = 6; v <= 9; v++) {
    EXPECT_GE(phasediff(v), 19) << "cell value " << v;
    EXPECT_LE(phasediff(v), 31) << "cell value " << v;
  }
}

// ---------------------------------------------------------------------------
// The title card
// ---------------------------------------------------------------------------

TEST(TitleCard, DarkBlueCardWithLetteringHeartsAndPortrait) {
  for (int y = 960; y < 964; y++)
    for (int x = 0; x < 80; x++) EXPECT_EQ(px(x, y), 1) << "plain top row " << y;
  auto only = [](int x0, int y0, int x1, int y1, int colour) {
    int n = 0;
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) n += px(x, y) == colour;
    return n;
  };
  // Lettering in yellow and white sits only on its two lines and the portrait.
  for (int y = 960; y < 1024; y++)
    for (int x = 0; x < 80; x++) {
      int v = px(x, y);
      bool upper = x >= 3 && x <= 73 && y >= 968 && y <= 989,
           lower = x >= 21 && x <= 56 && y >= 993 && y <= 1015;
      bool portrait = x >= 50 && y >= 992;
      if (v == 14) {
        EXPECT_TRUE(upper || lower || portrait) << x << "," << y;
      }
      if (v == 12) {
        EXPECT_TRUE((x >= 10 && x <= 18 && y >= 997 && y <= 1004) ||
                    (x >= 56 && x <= 62 && y >= 992 && y <= 998) || portrait)
            << x << "," << y;
      }
      if (v == 0 || v == 5 || v == 6 || v == 7 || v == 11 || v == 13) {
        EXPECT_TRUE(portrait) << x << "," << y;
      }
    }
  EXPECT_GT(only(3, 968, 73, 989, 14), 400);
  EXPECT_GT(only(21, 993, 56, 1015, 14), 200);
  EXPECT_GT(only(10, 997, 18, 1004, 12), 20);
  EXPECT_GT(only(56, 992, 62, 998, 12), 15);
}

// ---------------------------------------------------------------------------
// The wall grid and the play area
// ---------------------------------------------------------------------------

TEST(WallGrid, ACellIsAWallExactlyWhenAPixelIsEightOrMore) {
  buildwalls();
  int walls = 0;
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) {
      int top = 0;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) top = std::max(top, px(8 * c + x, 8 * r + y));
      ASSERT_EQ(a.walls[r][c], top >= 8 ? 1 : 0) << "cell " << c << "," << r;
      walls += a.walls[r][c];
    }
  EXPECT_EQ(walls, 1609);
  // The swatch's two cells: 0..7 is floor, 8..15 a wall.
  EXPECT_EQ(a.walls[0][0], 0);
  EXPECT_EQ(a.walls[0][1], 1);
  int strip = 0, title = 0, map = 0;
  for (int c = 0; c < gridsize; c++) strip += a.walls[1][c];
  for (int r = 120; r < gridsize; r++)
    for (int c = 0; c < 10; c++) title += a.walls[r][c];
  for (int r = 2; r < 120; r++)
    for (int c = 0; c < gridsize; c++) map += a.walls[r][c];
  EXPECT_EQ(strip, 18);
  EXPECT_EQ(title, 56);
  EXPECT_EQ(map, 1534);
}

TEST(WallGrid, BuildingTwiceChangesNothing) {
  buildwalls();
  std::vector<u8> first(&a.walls[0][0], &a.walls[0][0] + sizeof a.walls);
  prepblock();
  EXPECT_TRUE(std::equal(first.begin(), first.end(), &a.walls[0][0]));
}

TEST(PlayArea, ClosedAroundTheStartWithItsFigures) {
  buildwalls();
  EXPECT_EQ(a.walls[21][9], 0);
  EXPECT_EQ(a.walls[12][53], 0);
  EXPECT_EQ(a.walls[23][5], 0);
  std::vector<int> d = distances(9, 21);
  int cells = 0, upper = 0, decorated = 0, far = 0, farat = 0;
  int minc = gridsize, maxc = 0, minr = gridsize, maxr = 0;
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) {
      int v = d[r * gridsize + c];
      if (v < 0) continue;
      cells++;
      upper += r <= 47;
      decorated += celldecorated(c, r);
      minc = std::min(minc, c), maxc = std::max(maxc, c), minr = std::min(minr, r), maxr = std::max(maxr, r);
      if (v > far) far = v, farat = r * gridsize + c;
    }
  EXPECT_EQ(cells, 1082);
  EXPECT_EQ(upper, 715);
  EXPECT_EQ(cells - upper, 367);
  EXPECT_EQ(decorated, 709);
  EXPECT_EQ(minc, 5);
  EXPECT_EQ(maxc, 54);
  EXPECT_EQ(minr, 11);
  EXPECT_EQ(maxr, 82);  // so the outer ring is never reached
  EXPECT_EQ(d[23 * gridsize + 5], 52) << "the growth's way to the player";
  EXPECT_EQ(d[12 * gridsize + 53], 53) << "the mender's way to the player";
  EXPECT_EQ(farat, 82 * gridsize + 45);
  EXPECT_EQ(far, 213);
  // Farthest is unique: nothing else is as far.
  EXPECT_EQ(std::count(d.begin(), d.end(), 213), 1);

  // Closed through corner neighbours too: every cell touching the area is a wall.
  std::set<int> border;
  for (int r = 1; r < gridsize - 1; r++)
    for (int c = 1; c < gridsize - 1; c++) {
      if (d[r * gridsize + c] < 0) continue;
      for (int dr = -1; dr <= 1; dr++)
        for (int dc = -1; dc <= 1; dc++) {
          int n = (r + dr) * gridsize + c + dc;
          if (d[n] < 0) {
            EXPECT_EQ(a.walls[r + dr][c + dc], 1) << "open corner at " << c + dc << "," << r + dr;
            border.insert(n);
          }
        }
    }
  EXPECT_EQ(border.size(), 646u);
}

TEST(PlayArea, DoorsAreOneCellGapsInBrick) {
  buildwalls();
  for (auto [c, r] : {std::pair{41, 59}, std::pair{50, 72}}) {
    EXPECT_EQ(a.walls[r][c], 0) << c << "," << r;
    EXPECT_EQ(a.walls[r][c - 1], 1) << c << "," << r;
    EXPECT_EQ(a.walls[r][c + 1], 1) << c << "," << r;
    EXPECT_EQ(a.walls[r - 1][c], 0) << c << "," << r;
    EXPECT_EQ(a.walls[r + 1][c], 0) << c << "," << r;
  }
}

TEST(PlayArea, WallsOfTheMapAreLightGreyAndTheDarkOutsideIsBare) {
  buildwalls();
  std::vector<int> d = distances(9, 21);
  long red = 0;
  for (int r = 2; r < 120; r++)
    for (int c = 0; c < gridsize; c++) {
      bool grey = false;
      long other = 0;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) {
          int v = px(8 * c + x, 8 * r + y);
          grey |= v == 8;
          if (v == 4) red++;
          else if (v) other++;
        }
      if (a.walls[r][c]) {
        EXPECT_TRUE(grey) << "wall cell " << c << "," << r;
      } else if (d[r * gridsize + c] < 0) {
        EXPECT_EQ(other, 0) << "outside cell " << c << "," << r;
      }
    }
  long outsidered = 0;
  for (int r = 2; r < 120; r++)
    for (int c = 0; c < gridsize; c++)
      if (!a.walls[r][c] && d[r * gridsize + c] < 0)
        for (int y = 0; y < 8; y++)
          for (int x = 0; x < 8; x++) outsidered += px(8 * c + x, 8 * r + y) == 4;
  EXPECT_EQ(outsidered, 189);
  EXPECT_GT(red, outsidered) << "the dead end's floor is stained too";
}

// ---------------------------------------------------------------------------
// A new game
// ---------------------------------------------------------------------------

TEST(NewGame, StartingWorld) {
  testutil::wipe();
  // Leftovers of a lost game: keys held, music playing, things on the grid.
  std::memset(&a, 0x5A, offsetof(stateblock, walls));
  std::memset(&b, 0x33, sizeof b);
  std::memset(scfx, 7, sizeof scfx);
  std::memset(pal16, 0, sizeof pal16);
  count = 1234;
  newgame();

  EXPECT_EQ(a.running, 1);
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(a.mode, 0);
  EXPECT_EQ(a.track, 0);
  EXPECT_EQ(a.curtrack, 0);
  EXPECT_EQ(a.alarm, 0);
  EXPECT_EQ(a.keymask, 0);
  EXPECT_EQ(a.lastmask, 0);
  for (u8 k : a.keys) EXPECT_EQ(k, 0);
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) {
      int want = c == 9 && r == 21 ? cright : c == 53 && r == 12 ? cmender : c == 5 && r == 23 ? cgrowth : 0;
      ASSERT_EQ(a.cells[r][c], want) << c << "," << r;
      ASSERT_EQ(a.nextcells[r][c], 0) << c << "," << r;
    }
  EXPECT_EQ(b.camx, 0);
  EXPECT_EQ(b.camy, 964);
  EXPECT_EQ(b.goalx, 0);
  EXPECT_EQ(b.goaly, 964);
  EXPECT_EQ(b.plx, 9);
  EXPECT_EQ(b.ply, 21);
  EXPECT_EQ(b.tryx, 0);
  EXPECT_EQ(b.tryy, 0);
  for (s16 w : b.unused) EXPECT_EQ(w, 0);
  EXPECT_EQ(count, 0u);
  for (u8 v : scfx) ASSERT_EQ(v, 0);
  EXPECT_EQ(pal16[15], 0xFFFF) << "the palette is loaded again";
  EXPECT_EQ(pal[1], 0x000080u);
}

TEST(NewGame, KeepsTheWallGridAndWhatFollowsIt) {
  buildwalls();
  std::vector<u8> walls(&a.walls[0][0], &a.walls[0][0] + sizeof a.walls);
  a.unused49280[0] = 0x77;
  a.unused49280[sizeof a.unused49280 - 1] = 0x88;
  a.alive = 0;
  a.cells[30][30] = 9;
  newgame();
  EXPECT_TRUE(std::equal(walls.begin(), walls.end(), &a.walls[0][0]));
  EXPECT_EQ(a.unused49280[0], 0x77);
  EXPECT_EQ(a.unused49280[sizeof a.unused49280 - 1], 0x88);
  EXPECT_EQ(a.cells[30][30], 0);
}

TEST(NewGame, ClearscfxClearsEveryCode) {
  testutil::wipe();
  for (int i = 0; i < lowh * loww; i++) scfx[i] = u8(i % 251 + 1);
  clearscfx();
  for (u8 v : scfx) ASSERT_EQ(v, 0);
}

}  // namespace
