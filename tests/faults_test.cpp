// Faults met through the real SDL hooks, under SDL's dummy drivers: one music
// file of the two missing, a flood of key events larger than SDL's own event
// queue, and key codes that no key table could hold.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sdlgame.h"

namespace fs = std::filesystem;

namespace {

class Faults : public SdlGame {
protected:
  // Frames until the lock-out after a new game is over, then SPACE pressed:
  // play starts and asks for track 1.
  void startplay() {
    while (count < 41) frame(io);
    ASSERT_EQ(push(SDL_KEYDOWN, SDLK_SPACE), 0);
    frame(io);
    ASSERT_EQ(a.mode, 1);
    ASSERT_EQ(a.track, 1);
  }
};

TEST_F(Faults, WithoutTrackZeroTheTitleIsSilentAndPlayStillGetsTrackOne) {
  fs::copy_file(BITROT_BINARY_DIR "/1.ogg", "1.ogg");
  frame(io);
  EXPECT_EQ(a.curtrack, 0);
  EXPECT_EQ(mus, nullptr);
  startplay();
  frame(io);  // the switch comes at the start of the next frame
  EXPECT_EQ(a.curtrack, 1);
  EXPECT_NE(mus, nullptr);
  EXPECT_TRUE(Mix_PlayingMusic());
  EXPECT_EQ(a.running, 1);
}

TEST_F(Faults, WithoutTrackOnePlayIsSilentAndTheNextSwitchPlaysAgain) {
  fs::copy_file(BITROT_BINARY_DIR "/0.ogg", "0.ogg");
  frame(io);
  EXPECT_NE(mus, nullptr);
  EXPECT_TRUE(Mix_PlayingMusic());
  startplay();
  frame(io);
  EXPECT_EQ(a.curtrack, 1);
  EXPECT_EQ(mus, nullptr);
  EXPECT_FALSE(Mix_PlayingMusic());  // the old track was stopped, nothing took its place
  for (int i = 0; i < 5; i++) frame(io);
  EXPECT_EQ(mus, nullptr);  // and no frame tries the missing file again
  // Growth in view turns the wish back to track 0, which loads again.
  a.track = 0;
  frame(io);
  EXPECT_NE(mus, nullptr);
  EXPECT_EQ(a.running, 1);
}

// SDL keeps a fixed number of events; pushing more than that is refused, not
// lost silently or overflowed. The game drains what was queued in one frame
// and its key flags end as the accepted events leave them.
TEST_F(Faults, TenThousandKeyEventsOverflowSdlsQueueHarmlessly) {
  int accepted = 0, refused = 0;
  bool rightdown = false;
  for (int i = 0; i < 10000; i++) {
    bool down = i % 2 == 0;
    if (push(down ? SDL_KEYDOWN : SDL_KEYUP, SDLK_RIGHT) == 0) {
      accepted++;
      rightdown = down;
    } else {
      refused++;
    }
  }
  // Once full, the queue refuses everything after, so the last LEFT is lost.
  bool leftkept = push(SDL_KEYDOWN, SDLK_LEFT) == 0;
  std::printf("SDL's queue took %d of 10001 pushed events and refused %d\n", accepted + leftkept,
              refused + !leftkept);
  EXPECT_GT(accepted, 0);
  EXPECT_EQ(accepted + refused, 10000);
  frame(io);
  EXPECT_EQ(a.keys[0], rightdown);
  EXPECT_EQ(a.keys[2], leftkept);
  EXPECT_EQ(a.keymask, (rightdown ? 1 : 0) | (leftkept ? 4 : 0));
  EXPECT_EQ(a.running, 1);
  SDL_Event e;
  EXPECT_EQ(SDL_PollEvent(&e), 0) << "one frame left events queued";
  // With the queue drained, the next press gets through.
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_DOWN), 0);
  frame(io);
  EXPECT_EQ(a.keys[3], 1);
}

// Every code an SDL 1.2 key event can carry: its key type holds 0 to 511
// (SDLK_LAST is 323). Wider codes than that can't come out of SDL; the frame's
// own handling of any 32-bit code is tested without SDL in the frame tests.
TEST_F(Faults, KeyCodesOutsideTheTableChangeNothing) {
  // Sixty at a time, pressed in one frame and released in the next, to stay
  // inside SDL's queue.
  std::vector<u32> codes;
  for (u32 sym = 0; sym < 512; sym++) {
    bool intable = false;
    for (u32 k : kbk) intable |= k == sym;
    if (!intable) codes.push_back(sym);
  }
  int tried = 0;
  for (std::size_t i = 0; i < codes.size(); i += 60) {
    std::size_t end = std::min(codes.size(), i + 60);
    for (std::size_t j = i; j < end; j++) ASSERT_EQ(push(SDL_KEYDOWN, codes[j]), 0);
    frame(io);
    ASSERT_EQ(a.keymask, 0) << "key codes " << codes[i] << " to " << codes[end - 1];
    for (std::size_t j = i; j < end; j++, tried++) ASSERT_EQ(push(SDL_KEYUP, codes[j]), 0);
    frame(io);
    ASSERT_EQ(a.keymask, 0);
  }
  EXPECT_EQ(tried, 512 - 8);
  frame(io);
  EXPECT_EQ(a.running, 1);
  EXPECT_EQ(a.mode, 0);  // none of them started play either
  // A key that is in the table still acts after all of them.
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_ESCAPE), 0);
  frame(io);
  EXPECT_EQ(a.keymask, 128);
  EXPECT_EQ(a.running, 0);
}

}  // namespace
