// The rules of the game, a row each, on a few cells drawn as text: '.' free,
// '#' wall, '>' '^' '<' 'v' the player facing that way, 'm' a mender, '1' to
// '4' growth by its stage (4 is ripe); rows of the picture blank-separated,
// from cell (60, 60) down. A turn's random draws are scripted.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/game/game.h"
#include "core/gfx/gfx.h"

namespace {

const std::string glyphs = ".>^<vm1234";  // by cell value
std::vector<int> script;
std::size_t drawn;

// Draws the picture into the grid (put) or the grid as the picture (look).
std::string picture(const std::string& pic, bool put) {
  std::string s;
  for (int y = 60, x = 60; char c : pic) {
    if (c == ' ') y++, x = 60, s += c;
    else if (put) {
      a.walls[y][x] = c == '#';
      a.cells[y][x] = u8(c == '#' ? 0 : glyphs.find(c));
      if (a.cells[y][x] >= cright && a.cells[y][x] <= cdown) b.plx = s16(x), b.ply = s16(y);
      x++;
    } else {
      s += a.walls[y][x] && !a.cells[y][x] ? '#' : glyphs[a.cells[y][x]];
      x++;
    }
  }
  return s;
}

void fresh(std::vector<int> draws) {
  zerostate();
  a.alive = 1;
  std::memset(a.nextcells, cmender, sizeof a.nextcells);  // a last turn's leftovers
  script = std::move(draws), drawn = 0;
  rnd = [] { return script.at(drawn++); };
}

TEST(Rules, OneTurn) {
  const struct {
    const char *before, *after;
    int direction;  // 0 wait, 1 right, 2 up, 3 left, 4 down
    std::vector<int> draws;
    bool alive;
    const char* repair;  // what a mender picked up mends: "effects", "palette" or ""
    const char* rule;
  } rows[] = {
      {"123.>", "234.>", 0, {}, 1, "", "growth ages a stage a turn up to ripe"},
      {"... 14.> .#..", ".1. 241> .#..", 0, {}, 1, "", "ripe growth spreads into free cells, not walls"},
      {"4m.>", "41.>", 0, {0}, 1, "", "growth overruns a mender"},
      {"m.>", "..>", 0, {7}, 1, "", "a mender vanishes on a 7 of 20"},
      {"m.>", "m.>", 0, {8}, 1, "", "and stays on any other draw"},
      {"... .m. ..>", ".m. .m. ..>", 0, {1}, 1, "", "a mender breeds up on a 1"},
      {"... .m. ..>", "... .m. .m>", 0, {2}, 1, "", "down on a 2"},
      {"... .m. ..>", "... mm. ..>", 0, {3}, 1, "", "left on a 3"},
      {"... .m. ..>", "... .mm ..>", 0, {4}, 1, "", "right on a 4"},
      {".#. .m. ..>", ".#. .m. ..>", 0, {1}, 1, "", "never into a wall"},
      {"... .>. ...", ".^. ... ...", 2, {}, 1, "", "a step moves the player and turns it"},
      {"... .>. ...", "... <.. ...", 3, {}, 1, "", "left"},
      {"... .>. ...", "... ... .v.", 4, {}, 1, "", "down"},
      {".#. .>. ...", ".#. .^. ...", 2, {}, 1, "", "a wall stops the step"},
      {".<.", ".<.", 0, {}, 1, "", "a wait leaves the player as it was"},
      {".<.", ".<.", 9, {}, 1, "", "and so does any other direction"},
      {".>m", "..>", 1, {0, 1}, 1, "effects", "stepping onto a mender clears the effects on odd"},
      {".>m", "..>", 1, {0, 2}, 1, "palette", "or reloads the palette on even"},
      {".>4", ".14", 0, {}, 0, "", "waiting beside ripe growth ends the game"},
      {".>4", "<.4", 3, {}, 1, "", "stepping away from it does not"},
      {".>.4", "..14", 1, {}, 0, "", "stepping onto growth ends the game"},
  };
  for (const auto& r : rows) {
    fresh(r.draws);
    picture(r.before, true);
    std::memset(scfx, 3, sizeof scfx);
    std::fill(pal16, pal16 + 16, 1);
    newturn(r.direction);
    EXPECT_EQ(picture(r.before, false), r.after) << r.rule;
    EXPECT_EQ(a.alive, r.alive) << r.rule;
    EXPECT_EQ(r.repair, std::string(scfx[0] ? "" : "effects") + (pal16[15] == 1 ? "" : "palette")) << r.rule;
    EXPECT_EQ(drawn, r.draws.size()) << r.rule;
    EXPECT_EQ(b.goalx, b.plx * 8 - 36) << "the view's goal centres the player";
    EXPECT_EQ(b.goaly, b.ply * 8 - 26) << "the view's goal centres the player";
  }
  fresh({});
  a.alarm = 2;  // render saw growth: danger music for two turns, then the quiet track
  for (int track : {0, 0, 1}) {
    newturn(0);
    EXPECT_EQ(a.track, track);
  }
}

TEST(Rules, KeysMakeTurns) {
  const struct {
    u32 count;
    u8 mode;
    std::vector<u8> masks;  // a frame each: 1 Right, 4 Left, 8 Down, 16 Space
    u8 wantmode;
    long turns;
    int dx, dcamx;  // how far the player and the view moved
    const char* rule;
  } rows[] = {
      {40, 0, {16}, 0, 0, 0, 0, "no key acts for the first 40 frames of a game"},
      {41, 0, {16}, 1, 0, 0, 0, "then Space starts play, the view on the player"},
      {41, 0, {8}, 0, 0, 0, 0, "Down alone does not start play"},
      {41, 1, {17}, 1, 1, 0, 1, "Space wins over the arrows: a wait"},
      {41, 1, {4}, 1, 1, -1, -1, "Left steps left; the view glides a pixel a frame"},
      {41, 1, {1, 1, 0, 1}, 1, 2, 2, 4, "a held key makes one turn"},
  };
  for (const auto& r : rows) {
    fresh({});
    picture(".>.", true);
    count = r.count, a.mode = r.mode;
    b.camx = b.goalx = s16((b.plx - 5) * 8), b.camy = b.goaly = s16(b.ply * 8 - 30);
    const int x = b.plx, camx = b.camx;
    for (u8 m : r.masks) a.keymask = m, procgame();
    EXPECT_EQ(a.mode, r.wantmode) << r.rule;
    EXPECT_EQ(a.track, r.wantmode) << r.rule << ": the title's music, or play's quiet one";
    EXPECT_EQ(turns, r.turns) << r.rule;
    EXPECT_EQ(b.plx - x, r.dx) << r.rule;
    EXPECT_EQ(b.camx - camx, r.dcamx) << r.rule;
  }
}

int nonzero(const u8* p, std::size_t n) {
  return int(std::count_if(p, p + n, [](u8 v) { return v != 0; }));
}

// Off the grid's edge, which the built-in world keeps the player from.
TEST(Bounds, SteppingOffTheGridIsBlocked) {
  for (auto [x, y, dir, tx, ty] :
       {std::array{127, 60, 1, 128, 60}, {60, 0, 2, 60, -1}, {0, 60, 3, -1, 60}, {60, 127, 4, 60, 128}}) {
    zerostate();
    a.alive = 1;
    b.plx = s16(x), b.ply = s16(y), a.cells[y][x] = cdown;
    newturn(dir);
    EXPECT_EQ((std::array{int(b.plx), int(b.ply), int(b.tryx), int(b.tryy)}), (std::array{x, y, tx, ty}));
    EXPECT_EQ(a.cells[y][x], dir);  // facing the edge
    EXPECT_EQ(nonzero(&a.cells[0][0], sizeof a.cells), 1);
  }
}

TEST(Bounds, APixelDimmedTwiceStaysInsideThePalette) {
  zerostate();
  rnd = [] { return 6; };  // each frame seeds code 6, which does nothing, at (6,6), and lets the palette rest
  scfx[0] = 1;
  scrb[0] = 5;
  mutaterender();
  EXPECT_EQ(scrb[0], 21);
  mutaterender();
  EXPECT_EQ(scrb[0], 21);
  rnd = gamerand;
}

// The game draws glibc's numbers (a seed's game is the same everywhere), and
// a library that seeds or draws from the C library's rand changes none of them.
TEST(Chance, TheGamesDrawsAreGlibcsAndItsOwn) {
  for (unsigned seed : {0u, 1u, 7u, 12345u, 4294967295u}) {
    std::vector<int> game, clean;
    gamesrand(seed);
    for (int i = 0; i < 400; i++) {
      game.push_back(gamerand());
      std::srand(unsigned(i));  // as a library might, between two of the game's draws
      [[maybe_unused]] const int drawn = std::rand();
    }
    gamesrand(seed);
    for (int i = 0; i < 400; i++) clean.push_back(gamerand());
    EXPECT_EQ(game, clean) << "seed " << seed;
#ifdef __GLIBC__
    std::srand(seed);
    for (int& v : clean) v = std::rand();
    EXPECT_EQ(game, clean) << "seed " << seed;
#endif
  }
}

}  // namespace
