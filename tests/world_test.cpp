// The built-in world image, the wall grid derived from it and the starting
// world of a new game. The figures below are the world's balance: a change to
// the map that moves any of them changes how the game plays.
#include <algorithm>
#include <array>
#include <deque>
#include <set>
#include <vector>

#include "core/game/game.h"
#include "testutil.h"

namespace {

int px(int x, int y) { return header_data[y * worldsize + x]; }
int pic(int p, int x, int y) { return px(8 * p + x, 8 + y); }  // picture p of the sprite strip

// Pixels of cell (c, r) that are not 0, or that equal `only`.
int lit(int c, int r, int only = -1) {
  int n = 0;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) {
      int v = px(8 * c + x, 8 * r + y);
      n += only < 0 ? v != 0 : v == only;
    }
  return n;
}

// Pixels that differ between the two phases of cell value v, optionally only in the bottom row.
int phasediff(int v, int fromrow = 0) {
  int n = 0;
  for (int y = fromrow; y < 8; y++)
    for (int x = 0; x < 8; x++) n += pic(2 * v - 2, x, y) != pic(2 * v - 1, x, y);
  return n;
}

// The wall grid as the game builds it at start-up.
void buildwalls() {
  testutil::wipe();
  newgame();
  prepblock();
}

// Side-step distances from (c, r) over non-wall cells, row-major; -1 where unreachable.
std::vector<int> distances(int c, int r) {
  std::vector<int> d(gridsize * gridsize, -1);
  std::deque<int> queue{r * gridsize + c};
  d[queue.front()] = 0;
  for (; !queue.empty(); queue.pop_front()) {
    int at = queue.front();
    for (auto [dc, dr] : {std::pair{1, 0}, {0, -1}, {-1, 0}, {0, 1}}) {
      int nc = at % gridsize + dc, nr = at / gridsize + dr;
      if (nc < 0 || nc >= gridsize || nr < 0 || nr >= gridsize) continue;
      if (a.walls[nr][nc] || d[nr * gridsize + nc] >= 0) continue;
      d[nr * gridsize + nc] = d[at] + 1;
      queue.push_back(nr * gridsize + nc);
    }
  }
  return d;
}

TEST(WorldImage, PaletteIndicesWhereTheGameLooksAndBlackElsewhere) {
  std::array<long, 16> stripn{}, titlen{};
  for (int y = 0; y < worldsize; y++)
    for (int x = 0; x < worldsize; x++) {
      int v = px(x, y);
      ASSERT_LT(v, 16) << x << "," << y;
      bool swatch = y == 0 && x < 16, strip = y >= 8 && y < 16 && x < 144, title = x < 80 && y >= 960;
      bool map = x <= 480 && y >= 63 && y <= 704;
      ASSERT_TRUE(v == (swatch ? x : 0) || strip || title || map) << "stray pixel at " << x << "," << y;
      if (strip) stripn[v]++;
      if (title) titlen[v]++;
    }
  EXPECT_EQ(stripn, (std::array<long, 16>{691, 0, 0, 0, 0, 207, 0, 0, 60, 8, 0, 12, 18, 69, 81, 6}));
  EXPECT_EQ(titlen, (std::array<long, 16>{211, 3464, 0, 0, 0, 199, 13, 26, 0, 0, 0, 12, 62, 64, 900, 169}));
}

TEST(SpriteStrip, PlayerFacingsShowInTheEyes) {
  const int wanteyes[4] = {1, 0, 1, 2};  // right, up, left, down
  for (int p = 0; p < 8; p++) {
    int left = 8, right = -1, eyes = 0, eyex = 0;
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) {
        int v = pic(p, x, y);
        if (!v) continue;
        EXPECT_TRUE(v == 5 || v == 8 || v == 9 || v == 14) << "picture " << p << " has " << v;
        left = std::min(left, x), right = std::max(right, x);
        if (v == 9) eyes++, eyex += x;
      }
    EXPECT_EQ(eyes, wanteyes[p / 2]) << "picture " << p;
    EXPECT_TRUE(right - left + 1 == 5 || right - left + 1 == 6) << "picture " << p;
    int head = (left + right) / 2;
    EXPECT_TRUE(p / 2 == 0 ? eyex > head : p / 2 == 2 ? eyex < head : true) << "eye side, picture " << p;
  }
  for (int v = 1; v <= 4; v++) {
    EXPECT_TRUE(phasediff(v) >= 5 && phasediff(v) <= 12) << "cell value " << v;
    EXPECT_GT(phasediff(v, 7), 0) << "the feet move, cell value " << v;
  }
}

TEST(SpriteStrip, MenderIsADotThenARingAndGrowthRipens) {
  int ring = 0;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) {
      bool centre = x >= 3 && x <= 4 && y >= 3 && y <= 4;
      bool around = !centre && x >= 2 && x <= 5 && y >= 2 && y <= 5;
      EXPECT_EQ(pic(8, x, y), centre ? 11 : 0) << x << "," << y;
      EXPECT_TRUE(pic(9, x, y) == 0 || (around && pic(9, x, y) == 11)) << x << "," << y;
      ring += pic(9, x, y) == 11;
    }
  EXPECT_EQ(ring, 8);

  const std::set<int> wants[4] = {{0, 5, 13}, {0, 5, 13, 15}, {0, 5, 12, 13, 15}, {0, 5, 12, 13}};
  for (int p = 10; p < 18; p++) {
    std::set<int> got;
    for (int i = 0; i < 64; i++) got.insert(pic(p, i % 8, i / 8));
    EXPECT_EQ(got, wants[(p - 10) / 2]) << "picture " << p;
  }
  EXPECT_EQ(lit(10, 1), 19);
  EXPECT_EQ(lit(11, 1), 13);
  for (int v = 6; v <= 9; v++) EXPECT_TRUE(phasediff(v) >= 19 && phasediff(v) <= 31) << "cell value " << v;
}

TEST(WallGrid, ACellIsAWallExactlyWhenAPixelIsEightOrMore) {
  buildwalls();
  std::array<int, 4> parts{};  // swatch row, strip row, map, title card
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) {
      int top = 0;
      for (int i = 0; i < 64; i++) top = std::max(top, px(8 * c + i % 8, 8 * r + i / 8));
      ASSERT_EQ(a.walls[r][c], top >= 8 ? 1 : 0) << "cell " << c << "," << r;
      parts[r < 2 ? r : r < 120 ? 2 : 3] += a.walls[r][c];
    }
  EXPECT_EQ(parts, (std::array<int, 4>{1, 18, 1534, 56}));  // 1609 in all
  EXPECT_EQ(a.walls[0][1], 1) << "the swatch's second cell holds 8..15";
}

TEST(PlayArea, ClosedAroundTheStartWithItsFigures) {
  buildwalls();
  for (auto [c, r] : {std::pair{9, 21}, {53, 12}, {5, 23}}) EXPECT_EQ(a.walls[r][c], 0) << c << "," << r;
  std::vector<int> d = distances(9, 21);
  int cells = 0, upper = 0, decorated = 0, far = 0, farat = 0, outside = 0, outsidered = 0;
  int minc = gridsize, maxc = 0, minr = gridsize, maxr = 0;
  std::set<int> border;
  for (int r = 0; r < gridsize; r++)
    for (int c = 0; c < gridsize; c++) {
      int v = d[r * gridsize + c];
      if (v < 0) {
        if (r < 2 || r >= 120) continue;  // the map's rows only
        EXPECT_TRUE(!a.walls[r][c] || lit(c, r, 8) > 0) << "map wall without grey " << c << "," << r;
        if (!a.walls[r][c]) outside += lit(c, r), outsidered += lit(c, r, 4);
        continue;
      }
      cells++, upper += r <= 47, decorated += lit(c, r) > 0;
      minc = std::min(minc, c), maxc = std::max(maxc, c), minr = std::min(minr, r), maxr = std::max(maxr, r);
      if (v > far) far = v, farat = r * gridsize + c;
      // Closed through corner neighbours too. (The bounds below keep r, c off the outer ring.)
      for (int dr = -1; dr <= 1 && r > 0 && r < gridsize - 1; dr++)
        for (int dc = -1; dc <= 1 && c > 0 && c < gridsize - 1; dc++) {
          int n = (r + dr) * gridsize + c + dc;
          if (d[n] >= 0) continue;
          EXPECT_EQ(a.walls[r + dr][c + dc], 1) << "open corner at " << c + dc << "," << r + dr;
          border.insert(n);
        }
    }
  EXPECT_EQ(cells, 1082);
  EXPECT_EQ(upper, 715);
  EXPECT_EQ(decorated, 709);
  EXPECT_EQ(border.size(), 646u);
  EXPECT_EQ((std::array{minc, maxc, minr, maxr}), (std::array{5, 54, 11, 82}));  // off the outer ring
  EXPECT_EQ(d[23 * gridsize + 5], 52) << "the growth's way to the player";
  EXPECT_EQ(d[12 * gridsize + 53], 53) << "the mender's way to the player";
  EXPECT_EQ(far, 213);
  EXPECT_EQ(farat, 82 * gridsize + 45);
  EXPECT_EQ(std::count(d.begin(), d.end(), 213), 1);
  // Outside the area, floor carries only the dead-end room's red stroke.
  EXPECT_EQ(outside, 189);
  EXPECT_EQ(outsidered, 189);

  for (auto [c, r] : {std::pair{41, 59}, {50, 72}}) {  // doors: one-cell gaps in a brick wall
    EXPECT_EQ((std::array{a.walls[r][c - 1], a.walls[r][c], a.walls[r][c + 1]}),
              (std::array<u8, 3>{1, 0, 1}));
    EXPECT_TRUE(d[(r - 1) * gridsize + c] >= 0 && d[(r + 1) * gridsize + c] >= 0) << c << "," << r;
  }
}

TEST(NewGame, StartingWorld) {
  testutil::wipe();
  // Leftovers of a lost game: keys held, music playing, things on the grid.
  std::memset(&a, 0x5A, offsetof(stateblock, walls));
  std::memset(&b, 0x33, sizeof b);
  std::memset(scfx, 7, sizeof scfx);
  std::memset(pal16, 0, sizeof pal16);
  count = 1234;
  newgame();

  // Every byte of the header and both grids is 0 but these.
  const u8* block = reinterpret_cast<const u8*>(&a);
  auto cell = [](int c, int r) { return offsetof(stateblock, cells) + r * gridsize + c; };
  for (size_t i = 0; i < offsetof(stateblock, walls); i++) {
    int want = i == offsetof(stateblock, running) || i == offsetof(stateblock, alive) ? 1
               : i == cell(9, 21)                                                     ? cright
               : i == cell(53, 12)                                                    ? cmender
               : i == cell(5, 23)                                                     ? cgrowth
                                                                                      : 0;
    ASSERT_EQ(block[i], want) << "byte " << i << " of the state block";
  }
  s16 words[64];
  std::memcpy(words, &b, sizeof b);
  const s16 start[6] = {0, 964, 9, 21, 0, 964};  // camx, camy, plx, ply, goalx, goaly
  for (int i = 0; i < 64; i++) EXPECT_EQ(words[i], i < 6 ? start[i] : 0) << "word " << i << " of b";
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

}  // namespace
