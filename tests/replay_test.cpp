// The headless replay: its trace format, its output and its hashes.
#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "core/trace.h"
#include "headless/replay.h"
#include "testutil.h"

namespace {

std::string replay(const std::string& trace, unsigned seed = 1, bool last = false, int* rc = nullptr) {
  std::istringstream in(trace);
  std::ostringstream out;
  std::string err;
  int r = runreplay(in, out, seed, last, err);
  if (rc) *rc = r;
  return r ? "error: " + err : out.str();
}

// The value of one field of a line (any field but the leading f=).
std::string field(const std::string& line, const std::string& name) {
  auto at = line.find(" " + name + "=");
  if (at == std::string::npos) return "?";
  std::size_t from = at + name.size() + 2;
  return line.substr(from, line.find_first_of(" \n", from) - from);
}

TEST(Replay, FnvOfKnownStrings) {
  EXPECT_EQ(fnv1a("", 0), 0xcbf29ce484222325ull);
  EXPECT_EQ(fnv1a("a", 1), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(fnv1a("foobar", 6), 0x85944171f73967e8ull);
}

TEST(Replay, FirstFrameOfTheTitleCard) {
  testutil::wipe();
  std::string out = replay("\n");
  EXPECT_EQ(out.substr(0, out.find(" scr=")),
            "f=0 mus=0 count=1 mode=0 alive=1 run=1 track=0 cur=0 alarm=0 km=0 lm=0 "
            "cam=0,964 goal=0,964 pl=9,21 try=0,0");
  // The hashes are of the buffers as the frame left them, words little-endian.
  char want[40];
  std::snprintf(want, sizeof want, "%016llx", (unsigned long long)screenhash());
  EXPECT_EQ(field(out, "scr"), want);
  u8 bytes[2 * scrw * scrh];
  for (int i = 0; i < scrw * scrh; i++) bytes[2 * i] = u8(scrbuf[i]), bytes[2 * i + 1] = u8(scrbuf[i] >> 8);
  EXPECT_EQ(screenhash(), fnv1a(bytes, sizeof bytes));
  std::snprintf(want, sizeof want, "%016llx", (unsigned long long)statehash());
  EXPECT_EQ(field(out, "st"), want);
}

TEST(Replay, OneLinePerFrameOrOnlyTheLast) {
  const std::string trace = "\nd32\n\nu32 d275\n";
  std::string all = replay(trace);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
  std::string last = replay(trace, 1, true);
  EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1);
  EXPECT_EQ(last, all.substr(all.rfind("f=3 ")));
  EXPECT_EQ(field(last, "km"), "1");
  EXPECT_EQ(field(last, "lm"), "1");
}

TEST(Replay, SameSeedSameRunOtherSeedOtherDecay) {
  std::string trace;
  for (int i = 0; i < 60; i++) trace += "\n";
  EXPECT_EQ(replay(trace, 7), replay(trace, 7));
  EXPECT_NE(field(replay(trace, 7, true), "st"), field(replay(trace, 8, true), "st"));
}

TEST(Replay, EndsAfterTheFrameThatStopsTheGame) {
  std::string out = replay("\nq\n\n\n");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
  EXPECT_EQ(field(out.substr(out.find("f=1")), "run"), "0");
  out = replay("d27\n\n\n");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST(Replay, UnreadableTokensAreRefusedWithTheirLine) {
  int rc = 0;
  EXPECT_EQ(replay("\n\nd27 x5\n", 1, false, &rc), "error: line 3: cannot read \"x5\"");
  EXPECT_EQ(rc, 2);
  for (const char* bad : {"d", "u-1", "d12a", "d99999999999", "d4294967296", "Q"}) {
    replay(std::string(bad) + "\n", 1, false, &rc);
    EXPECT_EQ(rc, 2) << bad;
  }
  replay("d4294967295 u0\n", 1, false, &rc);
  EXPECT_EQ(rc, 0);
}

}  // namespace
