// A fixture for tests that run the game's frames through the real SDL hooks,
// under SDL's dummy drivers: SDL's event queue and SDL_mixer, a 320x240
// surface, a fresh working folder for the music files, and no pause between
// frames.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "desktop/desktop.h"
#include "testutil.h"

class SdlGame : public ::testing::Test {
protected:
  std::filesystem::path old, dir;  // the folder the test started in, and its own
  shellio io{};                    // SDL's hooks, less the pause

  void SetUp() override {
    testutil::wipe();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
    scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
    ASSERT_NE(scr, nullptr) << SDL_GetError();
    old = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() / ("bitrot-sdl-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    io = {sdlio.playmusic, sdlio.poll, sdlio.present, [] {}};
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

  // Puts a key event into SDL's queue; SDL_PushEvent's result.
  static int push(Uint8 type, u32 sym) {
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = SDLKey(sym);
    return SDL_PushEvent(&e);
  }
};
