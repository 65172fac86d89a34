// The real SDL hooks under SDL's dummy drivers: events through SDL's queue,
// the music switch against files that are not there.
#include <cstdio>
#include <filesystem>

#include "sdlgame.h"

namespace {

class Sdl : public SdlGame {};

TEST_F(Sdl, TheSurfaceIsTheLayoutTheCopyExpects) {
  EXPECT_EQ(scr->w, scrw);
  EXPECT_EQ(scr->h, scrh);
  EXPECT_EQ(scr->format->BitsPerPixel, 16);
  EXPECT_EQ(scr->format->Rmask, 0xF800u);
  EXPECT_EQ(scr->format->Gmask, 0x07E0u);
  EXPECT_EQ(scr->format->Bmask, 0x001Fu);
}

TEST_F(Sdl, KeyEventsReachTheMaskThroughSdlsQueue) {
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_DOWN), 0);
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_RETURN), 0);
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_a), 0);
  ASSERT_EQ(push(SDL_MOUSEMOTION, SDLK_UNKNOWN), 0);
  frame(io);
  EXPECT_EQ(a.keymask, 8 | 64);
  ASSERT_EQ(push(SDL_KEYUP, SDLK_DOWN), 0);
  frame(io);
  EXPECT_EQ(a.keymask, 64);
}

TEST_F(Sdl, QuitEventEndsTheLoop) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 0);
  frame(io);
  EXPECT_EQ(a.running, 0);
}

TEST_F(Sdl, MissingMusicLeavesTheGameSilentAndRunning) {
  ASSERT_FALSE(std::filesystem::exists("0.ogg"));
  frame(io);
  EXPECT_EQ(mus, nullptr);
  EXPECT_EQ(a.curtrack, 0);
  EXPECT_EQ(a.running, 1);
  a.track = 1;
  frame(io);
  EXPECT_EQ(mus, nullptr);
  EXPECT_EQ(a.curtrack, 1);
  EXPECT_EQ(a.running, 1);
  EXPECT_EQ(count, 2u);
}

TEST_F(Sdl, UnreadableMusicLeavesTheGameSilentAndRunning) {
  std::FILE* f = std::fopen("0.ogg", "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("OggS but not really", f);
  std::fclose(f);
  frame(io);
  EXPECT_EQ(mus, nullptr);
  EXPECT_EQ(a.running, 1);
}

}  // namespace
