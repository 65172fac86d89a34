// Links: a link that is damaged or hostile is refused with the reason, within
// the size a watched file may have. That every recording comes back whole
// from its packed form and its link is link_fuzz's to check (tools/fuzz),
// starting from each golden trace as a recording.
#include <gtest/gtest.h>

#include <string>

#include "link/link.h"

namespace {

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
