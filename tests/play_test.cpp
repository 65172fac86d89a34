// A whole game through the replay runner, from the title card to death and the
// new game after it, checked against what the rules say a player would see.
//
// The player walks a shortest way to the growth's seed. Growth reaches a cell
// at distance k from the seed (in side steps over floor) as a 6 at the end of
// turn 4k: three turns to ripen, then one to spread. So the walk is known to
// end on the j-th step, the first with 4 (d - j) <= j + 1 (one wait comes
// first), and the way is found on whatever walls the world image makes.
#include <cstdlib>
#include <map>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/trace.h"
#include "headless/replay.h"
#include "testutil.h"

namespace {

enum : u32 { right = 275, upk = 273, left = 276, downk = 274, space = 32, esc = 27 };

struct seen {
  std::map<std::string, std::string> v;
  int num(const char* k) const { return std::atoi(v.at(k).c_str()); }
  int x(const char* k) const { return std::atoi(v.at(k).c_str()); }
  int y(const char* k) const { return std::atoi(v.at(k).substr(v.at(k).find(',') + 1).c_str()); }
};

std::vector<seen> parse(const std::string& text) {
  std::vector<seen> out;
  std::istringstream in(text);
  std::string line, tok;
  while (std::getline(in, line)) {
    seen s;
    std::istringstream ts(line);
    while (ts >> tok) s.v[tok.substr(0, tok.find('='))] = tok.substr(tok.find('=') + 1);
    out.push_back(s);
  }
  return out;
}

struct cellpos {
  int x, y;
};

// A shortest way over non-wall cells from `from` to `to`, by side steps, as
// the cells entered; empty when there is none.
std::vector<cellpos> shortestway(cellpos from, cellpos to) {
  static int dist[gridsize][gridsize];
  for (auto& row : dist)
    for (int& d : row) d = -1;
  std::queue<cellpos> q;
  dist[to.y][to.x] = 0;
  q.push(to);
  const int dx[4] = {1, 0, -1, 0}, dy[4] = {0, -1, 0, 1};
  while (!q.empty()) {
    cellpos c = q.front();
    q.pop();
    for (int i = 0; i < 4; i++) {
      int nx = c.x + dx[i], ny = c.y + dy[i];
      if (nx < 0 || ny < 0 || nx >= gridsize || ny >= gridsize || a.walls[ny][nx] || dist[ny][nx] >= 0)
        continue;
      dist[ny][nx] = dist[c.y][c.x] + 1;
      q.push({nx, ny});
    }
  }
  std::vector<cellpos> way;
  if (dist[from.y][from.x] < 0) return way;
  cellpos c = from;
  while (dist[c.y][c.x] > 0) {
    for (int i = 0; i < 4; i++) {
      int nx = c.x + dx[i], ny = c.y + dy[i];
      if (nx >= 0 && ny >= 0 && nx < gridsize && ny < gridsize && dist[ny][nx] == dist[c.y][c.x] - 1) {
        c = {nx, ny};
        break;
      }
    }
    way.push_back(c);
  }
  return way;
}

u32 keyfor(cellpos from, cellpos to) {
  if (to.x > from.x) return right;
  if (to.x < from.x) return left;
  return to.y < from.y ? upk : downk;
}

TEST(Play, FromTheTitleCardToDeathAndANewGame) {
  testutil::wipe();
  startgame();  // the wall grid of the built-in world
  const cellpos start = {9, 21}, seed = {5, 23};
  const std::vector<cellpos> way = shortestway(start, seed);
  ASSERT_FALSE(way.empty()) << "the growth's seed is out of the player's reach";
  const int d = int(way.size());
  int deathstep = 1;
  while (4 * (d - deathstep) > deathstep + 1) deathstep++;

  // The trace, one entry per frame, and the frames at which things happen.
  std::vector<std::string> trace(5);
  trace.push_back("d32");  // frame 5: SPACE during the lock-out, held past it
  trace.resize(45);
  trace.push_back("u32");   // 45: released: mask 0 starts nothing
  trace.push_back("d274");  // 46: DOWN alone (8) starts nothing
  trace.push_back("d275");  // 47: DOWN and RIGHT (9) start play
  const int startframe = 47;
  trace.push_back("u274 u275");  // 48: all released, no turn
  trace.push_back("d32");        // 49: the first turn, a wait
  const int waitframe = 49;
  trace.push_back("u32");
  trace.push_back("");
  trace.push_back("");
  std::vector<int> stepframe;
  for (int j = 0; j < deathstep; j++) {
    cellpos from = j ? way[j - 1] : start;
    u32 k = keyfor(from, way[j]);
    stepframe.push_back(int(trace.size()));
    trace.push_back("d" + std::to_string(k));
    trace.push_back("u" + std::to_string(k));
  }
  const int deathframe = stepframe.back();
  // The new game: a key pressed and released during its lock-out, then play
  // again, one step right, and Escape alone to end.
  const int again = deathframe + 1;  // count 0 at this frame's procgame
  trace.resize(again + 10);
  trace.push_back("d32");
  trace.resize(again + 20);
  trace.push_back("u32");
  trace.resize(again + 45);
  trace.push_back("d306");  // LCTRL (32) starts play
  const int restart = again + 45;
  trace.push_back("u306");
  trace.push_back("d275");
  const int laststep = restart + 2;
  trace.push_back("u275");
  trace.push_back("d27");
  const int escframe = int(trace.size()) - 1;
  trace.push_back("");  // never played: Escape alone ends the run

  std::ostringstream tracetext, out;
  for (const std::string& l : trace) tracetext << l << "\n";
  std::istringstream in(tracetext.str());
  std::string err;
  ASSERT_EQ(runreplay(in, out, 1, false, err), 0) << err;
  const std::vector<seen> f = parse(out.str());
  ASSERT_EQ(int(f.size()), escframe + 1);

  EXPECT_EQ(f[0].v.at("mus"), "0");  // the title music from the first frame
  for (int i = 0; i < int(f.size()); i++) {
    SCOPED_TRACE(testing::Message() << "frame " << i);
    const seen& s = f[i];
    EXPECT_EQ(s.num("lm"), s.num("km"));
    bool firstgame = i < again;
    int sincenew = firstgame ? i + 1 : i - deathframe;  // count as printed, after the frame
    if (i != deathframe) {
      EXPECT_EQ(s.num("count"), sincenew);
    }

    bool inplay = (i >= startframe && i < deathframe) || i >= restart;
    EXPECT_EQ(s.num("mode"), inplay ? 1 : 0);
    if (!inplay) {
      // The title card, and after the death the starting world again.
      EXPECT_EQ(s.x("cam"), 0);
      EXPECT_EQ(s.y("cam"), 964);
      EXPECT_EQ(s.x("pl"), 9);
      EXPECT_EQ(s.y("pl"), 21);
      EXPECT_EQ(s.num("alive"), 1);
      continue;
    }
    // In play the view glides one pixel per axis toward the goal, never past it.
    if (i == startframe || i == restart) {
      EXPECT_EQ(s.x("cam"), 32);
      EXPECT_EQ(s.y("cam"), 138);
      EXPECT_EQ(s.x("goal"), 32);
      EXPECT_EQ(s.y("goal"), 138);
      EXPECT_EQ(s.num("track"), 1);
      EXPECT_EQ(f[i + 1].v.at("mus"), "1");  // the play music, loaded the next frame
      continue;
    }
    const seen& p = f[i - 1];
    auto toward = [](int cam, int goal) { return goal < cam ? cam - 1 : cam < goal ? cam + 1 : cam; };
    EXPECT_EQ(s.x("cam"), toward(p.x("cam"), s.x("goal")));
    EXPECT_EQ(s.y("cam"), toward(p.y("cam"), s.y("goal")));
    // The goal centres the player's cell.
    if (i > startframe + 1 && i != restart + 1) {
      EXPECT_EQ(s.x("goal"), s.x("pl") * 8 - 36);
      EXPECT_EQ(s.y("goal"), s.y("pl") * 8 - 26);
    }
  }

  // The first wait: the goal moves 4 pixels on each axis, caught up in the
  // fourth frame counted from the turn's.
  EXPECT_EQ(f[waitframe - 1].x("goal"), 32);
  EXPECT_EQ(f[waitframe].x("goal"), 36);
  EXPECT_EQ(f[waitframe].y("goal"), 142);
  EXPECT_EQ(f[waitframe].x("cam"), 33);
  EXPECT_EQ(f[waitframe + 2].x("cam"), 35);
  EXPECT_EQ(f[waitframe + 3].x("cam"), 36);
  EXPECT_EQ(f[waitframe + 3].y("cam"), 142);

  // Each step but the last enters the next cell of the way, and the turn
  // wants the danger music exactly while the alarm from the frame before runs.
  for (int j = 0; j + 1 < deathstep; j++) {
    SCOPED_TRACE(testing::Message() << "step " << j + 1 << " of " << deathstep);
    const seen& s = f[stepframe[j]];
    EXPECT_EQ(s.x("pl"), way[j].x);
    EXPECT_EQ(s.y("pl"), way[j].y);
    EXPECT_EQ(s.x("try"), way[j].x);
    EXPECT_EQ(s.y("try"), way[j].y);
    EXPECT_EQ(s.num("track"), f[stepframe[j] - 1].num("alarm") ? 0 : 1);
    // The release after it makes no turn.
    EXPECT_EQ(f[stepframe[j] + 1].x("pl"), way[j].x);
    EXPECT_EQ(f[stepframe[j] + 1].num("km"), 0);
  }

  // The step into the growth ends the game in that frame: the starting world,
  // the title card, the count from 0, and no music change asked for.
  const seen& dead = f[deathframe];
  EXPECT_EQ(dead.num("count"), 0);
  EXPECT_EQ(dead.num("track"), 0);
  EXPECT_EQ(dead.num("cur"), 0);
  EXPECT_EQ(dead.num("km"), 0);
  EXPECT_EQ(dead.x("goal"), 0);
  EXPECT_EQ(dead.y("goal"), 964);
  for (int i = deathframe + 1; i < restart; i++) EXPECT_EQ(f[i].v.at("mus"), "-") << "frame " << i;

  // The new game plays: one step right from the start, then Escape alone ends.
  EXPECT_EQ(f[laststep].x("pl"), 10);
  EXPECT_EQ(f[laststep].y("pl"), 21);
  EXPECT_EQ(f[laststep].x("goal"), 44);
  EXPECT_EQ(f[escframe].x("pl"), 10);  // Escape makes no turn
  EXPECT_EQ(f[escframe].num("run"), 0);
  EXPECT_EQ(f[escframe - 1].num("run"), 1);
}

}  // namespace
