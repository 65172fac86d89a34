// The frame loop: key flags and mask, the music switch, Escape and quit.
#include <string>
#include <vector>

#include "core/frame.h"
#include "core/game/game.h"
#include "testutil.h"

namespace {

// A platform that records what the frame asked of it.
std::vector<std::string> calls;
std::vector<inputevent> queue;
std::size_t queued;

bool recpoll(inputevent* e) {
  calls.push_back("poll");
  if (queued >= queue.size()) return false;
  *e = queue[queued++];
  return true;
}
void recmusic() { calls.push_back(std::string("music ") + spth + " cur=" + std::to_string(a.curtrack)); }
void recdelay() { calls.push_back("delay"); }
const shellio rec = {recmusic, recpoll, [] {}, recdelay};

void events(std::initializer_list<inputevent> evs) {
  queue.assign(evs);
  queued = 0;
}
inputevent down(u32 k) { return {inputevent::keydown, k}; }
inputevent up(u32 k) { return {inputevent::keyup, k}; }
const inputevent quitev = {inputevent::quit, 0};

enum : u32 { right = 275, upk = 273, left = 276, downk = 274, space = 32, lctrl = 306, ret = 13, esc = 27 };

class Frame : public ::testing::Test {
protected:
  void SetUp() override {
    testutil::wipe();
    startgame();
    a.running = 1;
    calls.clear();
    events({});
  }
  int musicloads() const {
    int n = 0;
    for (auto& c : calls) n += c.rfind("music", 0) == 0;
    return n;
  }
};

TEST_F(Frame, KeyTableOrderAndMaskBits) {
  const u32 order[8] = {right, upk, left, downk, space, lctrl, ret, esc};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(kbk[i], order[i]);
    std::memset(a.keys, 0, sizeof a.keys);
    handleevent(down(order[i]));
    buildkeymask();
    EXPECT_EQ(a.keymask, 1 << i) << "key " << order[i];
  }
}

TEST_F(Frame, DownSetsUpClearsUnknownChangesNothing) {
  events({down(right), down(space), down(97), up(999999), down(0xFFFFFFFFu), {inputevent::other, right}});
  frame(rec);
  EXPECT_EQ(a.keys[0], 1);
  EXPECT_EQ(a.keys[4], 1);
  EXPECT_EQ(a.keymask, 1 | 16);
  for (int i : {1, 2, 3, 5, 6, 7}) EXPECT_EQ(a.keys[i], 0) << i;

  events({up(right), up(97)});
  frame(rec);
  EXPECT_EQ(a.keys[0], 0);
  EXPECT_EQ(a.keymask, 16);
}

TEST_F(Frame, PressAndReleaseWithinOneFrameNeverShows) {
  events({down(upk), up(upk)});
  frame(rec);
  EXPECT_EQ(a.keymask, 0);
}

TEST_F(Frame, ThousandsOfEventsInOneFrameAreAllHandled) {
  std::vector<inputevent> flood;
  for (int i = 0; i < 10000; i++) flood.push_back(i % 2 ? up(u32(i)) : down(u32(i * 7919)));
  flood.push_back(down(left));
  queue = flood;
  queued = 0;
  frame(rec);
  EXPECT_EQ(queued, flood.size());
  EXPECT_EQ(a.keymask, 4);
  EXPECT_EQ(a.running, 1);
}

TEST_F(Frame, EscapeAloneEndsEscapeWithAnotherKeyDoesNot) {
  events({down(esc), down(lctrl)});
  frame(rec);
  EXPECT_EQ(a.running, 1);
  events({up(lctrl)});
  frame(rec);
  EXPECT_EQ(a.keymask, 128);
  EXPECT_EQ(a.running, 0);
}

TEST_F(Frame, EscapeEndsDuringTheLockOut) {
  events({down(esc)});
  frame(rec);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(a.running, 0);
}

TEST_F(Frame, FirstFrameLoadsTrackZeroBeforePolling) {
  EXPECT_EQ(a.curtrack, 255);
  frame(rec);
  ASSERT_GE(calls.size(), 3u);
  // curtrack is already the new track when the load is made.
  EXPECT_EQ(calls[0], "music 0.ogg cur=0");
  EXPECT_EQ(calls[1], "poll");
  EXPECT_EQ(calls.back(), "delay");
}

TEST_F(Frame, MusicLoadsOnlyWhenTheWishChanges) {
  for (int i = 0; i < 5; i++) frame(rec);
  EXPECT_EQ(musicloads(), 1);  // a failed or silent load is not retried
  a.track = 1;
  calls.clear();
  EXPECT_EQ(frame(rec), 1);
  EXPECT_EQ(calls[0], "music 1.ogg cur=1");
  EXPECT_EQ(musicloads(), 1);
  EXPECT_EQ(frame(rec), -1);
  EXPECT_EQ(musicloads(), 1);
}

TEST_F(Frame, NewGameKeepsTheMusicThatPlays) {
  frame(rec);
  a.track = 1;
  frame(rec);
  a.alive = 0;  // as a turn's death leaves it
  events({down(right)});
  frame(rec);
  EXPECT_EQ(a.track, 0);
  EXPECT_EQ(a.curtrack, 0);
  EXPECT_EQ(a.keys[0], 0);  // the held key reads as released after newgame
  calls.clear();
  frame(rec);
  EXPECT_EQ(musicloads(), 0);
}

TEST_F(Frame, FrameCountsAndStopsOnQuit) {
  frame(rec);
  frame(rec);
  EXPECT_EQ(count, 2u);
  events({quitev, down(right)});
  frame(rec);
  EXPECT_EQ(a.running, 0);
  EXPECT_EQ(a.keys[0], 1);  // polling goes on after a quit
  EXPECT_EQ(count, 3u);
}

TEST_F(Frame, QuitInTheFrameOfADeathStillEnds) {
  a.alive = 0;
  events({quitev});
  frame(rec);
  EXPECT_EQ(count, 0u);  // newgame ran
  EXPECT_EQ(a.alive, 1);
  EXPECT_EQ(a.running, 0);
}

TEST_F(Frame, DeathWithoutQuitGoesOn) {
  a.alive = 0;
  frame(rec);
  EXPECT_EQ(a.running, 1);
  EXPECT_EQ(a.mode, 0);
}

}  // namespace
