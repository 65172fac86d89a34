// The real SDL hooks under SDL's dummy drivers: events through SDL's queue,
// the music switch against files that are not there.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "shell/platform.h"
#include "testutil.h"

namespace {

class Sdl : public ::testing::Test {
protected:
  std::filesystem::path old, dir;
  void SetUp() override {
    testutil::wipe();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << SDL_GetError();
    scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
    ASSERT_NE(scr, nullptr) << SDL_GetError();
    old = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("bitrot-sdl-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    startgame();
    a.running = 1;
  }
  void TearDown() override {
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
    if (mus) Mix_FreeMusic(mus);
    mus = nullptr;
    scr = nullptr;
    Mix_CloseAudio();
    SDL_Quit();
  }
  static void push(Uint8 type, SDLKey sym) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    ASSERT_EQ(SDL_PushEvent(&e), 0) << SDL_GetError();
  }
};

TEST_F(Sdl, TheSurfaceIsTheLayoutTheCopyExpects) {
  EXPECT_EQ(scr->w, scrw);
  EXPECT_EQ(scr->h, scrh);
  EXPECT_EQ(scr->format->BitsPerPixel, 16);
  EXPECT_EQ(scr->format->Rmask, 0xF800u);
  EXPECT_EQ(scr->format->Gmask, 0x07E0u);
  EXPECT_EQ(scr->format->Bmask, 0x001Fu);
}

TEST_F(Sdl, KeyEventsReachTheMaskThroughSdlsQueue) {
  push(SDL_KEYDOWN, SDLK_DOWN);
  push(SDL_KEYDOWN, SDLK_RETURN);
  push(SDL_KEYDOWN, SDLK_a);
  push(SDL_MOUSEMOTION, SDLK_UNKNOWN);
  frame(sdlio);
  EXPECT_EQ(a.keymask, 8 | 64);
  push(SDL_KEYUP, SDLK_DOWN);
  frame(sdlio);
  EXPECT_EQ(a.keymask, 64);
}

TEST_F(Sdl, QuitEventEndsTheLoop) {
  SDL_Event e{};
  e.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&e), 0);
  frame(sdlio);
  EXPECT_EQ(a.running, 0);
}

TEST_F(Sdl, MissingMusicLeavesTheGameSilentAndRunning) {
  ASSERT_FALSE(std::filesystem::exists("0.ogg"));
  frame(sdlio);
  EXPECT_EQ(mus, nullptr);
  EXPECT_EQ(a.curtrack, 0);
  EXPECT_EQ(a.running, 1);
  a.track = 1;
  frame(sdlio);
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
  frame(sdlio);
  EXPECT_EQ(mus, nullptr);
  EXPECT_EQ(a.running, 1);
}

}  // namespace
