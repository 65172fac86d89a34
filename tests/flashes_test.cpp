// The flash measure on made-up frames whose flashes are known, and the
// reduce-flashing mode's promises on every frame of ordinary play.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "core/frame.h"
#include "core/recording.h"
#include "flash/calm.h"
#include "flashes/measure.h"

namespace {

struct rgb {
  u8 r, g, b;
};
const rgb black{0, 0, 0}, white{255, 255, 255}, grey{128, 128, 128}, red{255, 0, 0};
const rgb g236{236, 236, 236}, g229{229, 229, 229}, g100{100, 100, 100}, g120{120, 120, 120},
    red230{230, 0, 0};

// A rectangle at (0, 0) over grey switching colour every `every` frames.
struct flashcase {
  const char* what;
  int w, h, every, frames;
  rgb one, two;
  double pixelgeneral, pixelred, areageneral, areared;
};
const flashcase cases[] = {
    {"black and white at one pixel", 1, 1, 1, 20, black, white, 9.5, 0, 0, 0},
    {"every fourth frame is 2.5 a second", 1, 1, 4, 60, black, white, 2.5, 0, 0, 0},
    {"the darker end at 0.84 is no transition", 1, 1, 1, 20, g236, white, 0, 0, 0, 0},
    {"the darker end at 0.78 is one", 1, 1, 1, 20, g229, white, 9.5, 0, 0, 0},
    {"a change of 0.06 is none", 1, 1, 1, 20, g100, g120, 0, 0, 0, 0},
    {"red by 67, luminance by 0.04", 1, 1, 1, 20, red, red230, 0, 9.5, 0, 0},
    {"full red to black is both", 1, 1, 1, 20, red, black, 9.5, 9.5, 0, 0},
    {"40x31 is over a quarter of 80x60", 40, 31, 1, 20, black, white, 9.5, 0, 9.5, 0},
    {"40x30 is a quarter, not over", 40, 30, 1, 20, black, white, 9.5, 0, 0, 0},
};

TEST(Flashes, MadeUpFramesMeasureAsKnown) {
  for (const flashcase& c : cases) {
    flashmeasure m;
    std::vector<u8> frame(framebytes);
    for (int f = 0; f < c.frames; f++) {
      const rgb on = f / c.every % 2 ? c.two : c.one;
      for (int i = 0; i < scrw * scrh; i++) {
        // A far 10x10 square, in no window with the rectangle, lifts the count.
        const bool far = c.w > 1 && i % scrw >= 310 && i / scrw >= 230;
        const rgb p = (i % scrw < c.w && i / scrw < c.h) || far ? on : grey;
        frame[3 * i] = p.r, frame[3 * i + 1] = p.g, frame[3 * i + 2] = p.b;
      }
      m.add(frame.data());
    }
    const flashfigures g = m.figures(0), r = m.figures(1);
    EXPECT_EQ(g.pixelmost, c.pixelgeneral) << c.what;
    EXPECT_EQ(r.pixelmost, c.pixelred) << c.what;
    EXPECT_EQ(g.areamost, c.areageneral) << c.what;
    EXPECT_EQ(r.areamost, c.areared) << c.what;
    EXPECT_EQ(g.pixelseconds, c.pixelgeneral > 3) << c.what;
  }
}

// The last four frames the game drew and the last four shown, newest first.
std::vector<u16> drawn[5], shown[5];
std::vector<inputevent> events;
std::size_t nextevent;
long blocksheld, blockslate;

bool sameblock(const std::vector<u16>& x, const std::vector<u16>& y, int k) {
  const int at = (k / loww) * 4 * scrw + (k % loww) * 4;
  for (int row = 0; row < 4; row++)
    if (std::memcmp(&x[at + row * scrw], &y[at + row * scrw], 8)) return false;
  return true;
}

// A block shown otherwise than drawn is late if the drawing, or what is
// shown, has stood 4 frames (so at most 3 late; a single change passes).
void checkshown() {
  std::rotate(drawn, drawn + 4, drawn + 5), std::rotate(shown, shown + 4, shown + 5);
  const u16* s = calmed(scrbuf);
  drawn[0].assign(scrbuf, scrbuf + scrw * scrh), shown[0].assign(s, s + scrw * scrh);
  if (drawn[4].empty()) return;
  for (int k = 0; k < loww * lowh; k++) {
    if (sameblock(shown[0], drawn[0], k)) continue;
    blocksheld++;
    bool drawnstood = true, shownstood = true;
    for (int i = 1; i < 4; i++) drawnstood = drawnstood && sameblock(drawn[i], drawn[0], k);
    for (int i = 2; i < 5; i++) shownstood = shownstood && sameblock(shown[i], shown[1], k);
    if (drawnstood || shownstood) blockslate++;
  }
}

TEST(Flashes, ReducedFlashingHoldsChangesAtMost3FramesAndSingleOnesNone) {
  const shellio io = {
      [] {}, [](inputevent* e) { return nextevent < events.size() && (*e = events[nextevent++], true); },
      checkshown, [] {}};
  std::ifstream in(BITROT_SOURCE_DIR "/tests/flashes/walk.trace");
  std::string line, bad;
  std::getline(in, line);  // the seed line
  zerostate();
  startgame();
  gamesrand(22);
  a.running = 1;
  setcalm(true);
  for (int f = 0; f < 4000 && std::getline(in, line); f++) {
    ASSERT_TRUE(parseevents(line, events, bad));
    nextevent = 0;
    frame(io);
  }
  setcalm(false);
  EXPECT_GT(blocksheld, 1000);  // the mode did hold blocks back
  EXPECT_EQ(blockslate, 0);
}

}  // namespace
