// Links: every recording comes back whole from its packed form and its link,
// and a link that is damaged or hostile is refused with the reason, within
// the size a watched file may have.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "link/link.h"

namespace {

std::string golden(const char* name) {
  std::ifstream f(std::string(BITROT_SOURCE_DIR "/tests/golden/") + name + ".trace");
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The golden traces hold what a player's run never does (stray keys, a quit,
// floods, empty frames by the thousand), besides the keys of ordinary play.
TEST(Link, EveryRecordingComesBackWhole) {
  const std::string end = "end f=9 mus=- count=0 mode=0 alive=1 scr=00 st=00\n";
  for (const std::string& rec :
       {"seed 22\n" + golden("title") + end, "seed 22\n" + golden("play") + end,
        "seed 4294967295\n" + golden("soak"), "seed 1\n\n\n" + end, std::string("seed 7\n")}) {
    std::string back, why;
    EXPECT_EQ(packrecording(rec).compare(0, 4, "run "), 0);
    ASSERT_TRUE(unpackrecording(packrecording(rec), back, why)) << why;
    EXPECT_EQ(back, rec);
    ASSERT_TRUE(openlink("https://example.org/bitrot/#" + makelink(rec), back, why)) << why;
    EXPECT_EQ(back, rec);
  }
}

TEST(Link, ADamagedOrHostileLinkIsRefusedWithTheReason) {
  const std::string bomb = makelink(std::string(linkmax + 1, 'x'));  // a little link, inflating past the cap
  const std::string packedbomb = makelink("run 1\n" + std::string(linkmax / 14 + 1, '\xFD'));
  const std::string whole = makelink("seed 3\n\n");
  const struct {
    std::string link, why;
  } cases[] = {
      {"run=ab!c", "not base64url"},
      {"#run=abcde", "not base64url"},  // no whole byte in its last character
      {"run=aGVsbG8", "damaged: its data does not inflate whole"},
      {whole.substr(0, whole.size() / 4 * 4 - 4), "damaged: its data does not inflate whole"},  // cut short
      {whole + "AAAA", "damaged: its data does not inflate whole"},  // more after its end
      {bomb, "over 64 MiB once inflated"},
      {packedbomb, "over 64 MiB once inflated"},
      {makelink("hello"), "no seed: not a recording"},
      {"run=", "damaged: its data does not inflate whole"},
  };
  for (const auto& c : cases) {
    std::string rec, why;
    EXPECT_FALSE(openlink(c.link, rec, why)) << c.link.substr(0, 40);
    EXPECT_EQ(why, c.why) << c.link.substr(0, 40);
  }
  EXPECT_LT(bomb.size(), 200000u);
  EXPECT_TRUE(islink("run=x") && islink("http://host/?seed=1#run=x") && !islink("bitrot-5.txt"));
}

}  // namespace
