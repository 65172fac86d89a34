// The desktop's own part, under SDL's dummy drivers: the screen copied onto
// surfaces of other shapes, the window's scale for a screen, pads of several
// makes coming and going, and a flood through SDL's own queue.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/recording.h"
#include "desktop/desktop.h"
#include "desktop/pads.h"
#include "virtualpads.h"

namespace {

const bool headless = setenv("SDL_VIDEODRIVER", "dummy", 0) + setenv("SDL_AUDIODRIVER", "dummy", 0) == 0;

// A handheld's screen gets the largest whole multiple of the picture that fits,
// centred on black; a window's surface (320x240, any pitch) the picture as it
// is; a smaller one its top left corner.
TEST(Screen, ThePictureIsDrawnAtAWholeScaleCentredOnBlack) {
  for (auto [w, h, pitch, scale, x, y] : {std::array{640, 480, 1280, 2, 0, 0},
                                          {720, 720, 1440, 2, 40, 120},
                                          {1024, 768, 2048, 3, 32, 24},
                                          {1280, 720, 2560, 3, 160, 0},
                                          {320, 240, 704, 1, 0, 0},
                                          {200, 100, 400, 1, 0, 0}}) {
    std::vector<u8> mem(std::size_t(pitch) * h, 0xAB);
    SDL_Surface* s = SDL_CreateRGBSurfaceFrom(mem.data(), w, h, 16, pitch, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr) << SDL_GetError();
    for (int i = 0; i < scrw * scrh; i++) scrbuf[i] = u16(i * 2654435761u >> 16 | 1);
    drawpicture(s, scrbuf);
    SDL_FreeSurface(s);
    const auto pl = placepicture(w, h);
    EXPECT_EQ((std::array{pl.scale, pl.x, pl.y}), (std::array{scale, x, y})) << w << "x" << h;
    for (int py = 0; py < h; py++)
      for (int px = 0; px < pitch / 2; px++) {
        const int c = (px - x) / scale, r = (py - y) / scale;
        const bool in = px >= x && py >= y && c < scrw && r < scrh && px < w;
        u16 got;
        std::memcpy(&got, &mem[std::size_t(py) * pitch + 2 * px], 2);
        ASSERT_EQ(got, px >= w ? 0xABAB
                       : in    ? scrbuf[r * scrw + c]
                               : 0)
            << w << "x" << h << " at " << px << "," << py;
      }
  }
}

TEST(Window, TheLargestWholeScaleWithinNineTenthsOfTheScreen) {
  // The screen's width and height, the scale, 1 when the screen is filled.
  const int cases[][4] = {{1920, 1080, 4, 0}, {1366, 768, 2, 0}, {1280, 1024, 3, 0}, {3840, 2160, 8, 0},
                          {7680, 4320, 8, 0}, {1024, 768, 2, 0}, {800, 480, 1, 0},   {641, 480, 1, 0},
                          {640, 480, 2, 1},   {400, 300, 1, 1},  {320, 240, 1, 1},   {200, 100, 1, 1}};
  for (auto [w, h, scale, full] : cases) {
    const fit f = fitscreen(w, h);
    EXPECT_EQ((std::array{f.scale, int(f.fullscreen)}), (std::array{scale, full})) << w << "x" << h;
  }
}

// Pads made up in SDL 2 as Linux's drivers number the real ones, each with
// the layout SDL's database has for the real pad (handed to SDL through
// SDL_GAMECONTROLLERCONFIG, since a made-up pad's GUID is not the real one's),
// one with a layout of its own in the file SDL_GAMECONTROLLERCONFIG_FILE
// names, and one SDL has no layout for, play the real frames. Each step sets
// one control, or plugs a pad in or pulls it out, then runs one frame, which
// must receive these key events, in order (d: down, u: up).
std::string padkeys;
bool pollkeys(inputevent* e) {
  if (!sdlio.poll(e)) return false;
  if (e->type != inputevent::other) appendevent(padkeys, *e);
  return true;
}

TEST(Pads, EveryMakePlaysByPositionAndPadsComeAndGoWhileTheGameRuns) {
  struct padkind {
    const char* name;
    int vendor, product;
    const char* realguid;                    // the real pad's, for its layout in SDL's database
    int buttons, axes, bottom, start, back;  // -1: none
  };
  const padkind kinds[] = {
      {"Xbox 360 pad (xpad)", 0x045e, 0x028e, "030000005e0400008e02000014010000", 11, 6, 0, 7, 6},
      {"DualShock 4 (hid-playstation)", 0x054c, 0x09cc, "030000004c050000cc09000011810000", 13, 6, 0, 9, 8},
      {"Switch Pro (hid-nintendo)", 0x057e, 0x2009, "030000007e0500000920000011810000", 14, 4, 0, 10, 9},
      {"pad with a layout in a file", 0x1209, 0x0001, nullptr, 8, 2, 5, 2, 3},
      {"pad with no layout", 0x1209, 0x0002, nullptr, 12, 4, -1, -1, -1},
  };
  const char* ownlayout =
      ",pad with a layout in a file,a:b5,b:b0,start:b2,back:b3,dpup:h0.1,dpright:h0.2,"
      "dpdown:h0.4,dpleft:h0.8,leftx:a0,lefty:a1,platform:Linux,\n";
  const std::string file =
      std::filesystem::temp_directory_path() / ("bitrot-pads-" + std::to_string(getpid()));
  padsprepare();
  setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);  // the dummy driver's window never has the focus

  // A first start of SDL tells each made-up pad's GUID and the database's layouts.
  ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  if (!vpad::load()) {
    SDL_Quit();
    GTEST_SKIP() << "this SDL 2 can't make pads up (2.24 can)";
  }
  std::string config;
  for (const padkind& k : kinds) {
    const int id = vpad::attach(k.vendor, k.product, k.name, k.buttons, k.axes, 1);
    const std::string guid = vpad::guid(id);
    vpad::detach(id);
    if (k.realguid) {
      const std::string layout = vpad::layout(k.realguid);
      ASSERT_NE(layout, "") << k.name << ": not in SDL's database";
      config += guid + "," + layout + "\n";
    } else if (k.bottom >= 0) std::ofstream(file) << guid << ownlayout;
  }
  SDL_Quit();
  setenv("SDL_GAMECONTROLLERCONFIG", config.c_str(), 1);
  setenv("SDL_GAMECONTROLLERCONFIG_FILE", file.c_str(), 1);

  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  ASSERT_NE(scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE), nullptr) << SDL_GetError();
  ASSERT_TRUE(padsstart());
  zerostate();
  startgame();
  a.running = 1;
  std::vector<int> ids;
  for (const padkind& k : kinds)
    ids.push_back(vpad::attach(k.vendor, k.product, k.name, k.buttons, k.axes, 1));

  struct step {
    int pad;    // in kinds, or late: a second Xbox pad
    char kind;  // 'b' button, 'a' axis, 'h' hat; '+' plug in with the hat at value, '-' pull out; 0 nothing
    int n, value;
    std::string want;
  };
  const int late = int(std::size(kinds));
  std::vector<step> steps = {{late, 0, 0, 0, ""},
                             {late, 0, 0, 0, ""},
                             {late, '+', 0, SDL_HAT_RIGHT, "d275"},  // plays in the frame it comes
                             {late, 'b', 7, 1, "d13"},
                             {late, '-', 0, 0, "u275 u13"},  // pulled out holding an arrow and Start
                             {0, 'h', 0, SDL_HAT_DOWN, "d274"},
                             {1, 'h', 0, SDL_HAT_DOWN, ""},  // held on two pads: one key
                             {0, 'h', 0, SDL_HAT_CENTERED, ""},
                             {1, 'h', 0, SDL_HAT_CENTERED, "u274"}};
  for (int p = 0; p < late; p++) {
    const padkind& k = kinds[p];
    auto add = [&](char kind, int n, int value, const std::string& want) {
      steps.push_back({p, kind, n, value, want});
    };
    // Every other control, held one more at a time, does nothing.
    for (int b = 0; b < k.buttons; b++)
      if (b != k.bottom && b != k.start && b != k.back) add('b', b, 1, "");
    for (int x = 2; x < k.axes; x++) add('a', x, 32767, ""), add('a', x, -32768, "");
    for (auto [b, key] : {std::pair{k.bottom, "32"}, {k.start, "13"}, {k.back, "27"}})
      if (b >= 0) add('b', b, 1, std::string("d") + key), add('b', b, 0, std::string("u") + key);
    add('h', 0, SDL_HAT_UP, "d273");
    add('h', 0, SDL_HAT_RIGHT, "u273 d275");  // up let go before right is pressed
    add('h', 0, SDL_HAT_LEFTDOWN, "u275 d276 d274");
    add('h', 0, SDL_HAT_CENTERED, "u276 u274");
    add('a', 0, 3000, "");  // a stick near the middle holds nothing
    add('a', 1, -16000, "");
    add('a', 0, 16384, "d275");
    add('a', 0, -32768, "u275 d276");
    add('a', 0, -200, "u276");
    add('a', 1, 20000, "d274");
    add('a', 1, 0, "u274");
    for (int b = 0; b < k.buttons; b++) add('b', b, 0, "");
    for (int x = 0; x < k.axes; x++) add('a', x, 0, "");
  }
  const shellio io{[] {}, pollkeys, sdlio.present, sdlnopause.endframe};
  int lateid = -1;
  for (const step& s : steps) {
    int& id = s.pad == late ? lateid : ids[std::size_t(s.pad)];
    if (s.kind == '+') {
      ASSERT_GE(id = vpad::attach(0x045e, 0x028e, kinds[0].name, 11, 6, 1), 0);
      vpad::set(id, 'h', 0, s.value);
    } else if (s.kind == '-') vpad::detach(id);
    else if (s.kind) vpad::set(id, s.kind, s.n, s.value);
    padkeys.clear();
    frame(io);
    EXPECT_EQ(padkeys, s.want) << (s.pad == late ? "the late pad" : kinds[s.pad].name) << ", " << s.kind
                               << s.n << " at " << s.value;
  }
  for (int id : ids) vpad::detach(id);
  padsstop();
  scr = nullptr;
  SDL_Quit();
  unsetenv("SDL_GAMECONTROLLERCONFIG");
  unsetenv("SDL_GAMECONTROLLERCONFIG_FILE");
  std::filesystem::remove(file);
}

// Each track good, missing, empty, not Ogg at all, or an Ogg header and zeros:
// a track that loads plays, one that doesn't leaves silence and the old track
// stopped, a failed load is not tried again, the next switch loads again.
TEST(Sdl, MusicThatCannotLoadLeavesTheGameSilentAndRunning) {
  const auto old = std::filesystem::current_path(),
             dir = std::filesystem::temp_directory_path() / ("bitrot-sdl-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::current_path(dir);
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
  ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
  const std::vector<std::string> kinds = {"good", "missing", "empty", "not Ogg", "damaged"};
  auto put = [](const std::string& kind, int n) {
    const std::string name = std::to_string(n) + ".ogg";
    std::filesystem::remove(name);
    if (kind == "good") std::filesystem::copy_file(std::string(BITROT_BINARY_DIR "/") + name, name);
    else if (kind != "missing")
      std::ofstream(name) << (kind == "damaged" ? "OggS" + std::string(300, '\0')
                              : kind == "empty" ? ""
                                                : "x");
  };
  const shellio io{playmusic, [](inputevent*) { return false; }, [] {}, [] {}};
  zerostate();
  startgame();
  for (const std::string& zero : kinds)
    for (const std::string& one : kinds) {
      SCOPED_TRACE("0.ogg " + zero + ", 1.ogg " + one);
      put(zero, 0), put(one, 1);
      a.curtrack = 255;
      for (int track : {0, 1, -1, 0}) {
        if (track >= 0) a.track = u8(track);
        EXPECT_EQ(frame(io), track);
        const bool plays = (a.track ? one : zero) == "good";
        EXPECT_EQ(mus != nullptr, plays);
        EXPECT_EQ(Mix_PlayingMusic() != 0, plays);
      }
      EXPECT_EQ(a.running, 1);
    }
  if (mus) Mix_FreeMusic(mus);
  mus = nullptr;
  Mix_CloseAudio();
  SDL_Quit();
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}

// SDL's queue holds a fixed number of events and refuses the rest; the game
// drains what it took in one frame, and the next key press gets through.
TEST(Sdl, TenThousandKeyEventsOverflowSdlsQueueHarmlessly) {
  zerostate();
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  ASSERT_NE(scr = SDL_SetVideoMode(scrw, scrh, 16, SDL_HWSURFACE), nullptr) << SDL_GetError();
  startgame();
  a.running = 1;
  a.curtrack = a.track;  // no music here
  auto push = [](Uint8 type, SDLKey sym) {
    SDL_Event e{};
    e.key.type = type, e.key.keysym.sym = sym;
    return SDL_PushEvent(&e);
  };
  int accepted = 0;
  bool rightdown = false;
  for (int i = 0; i < 10000; i++)
    if (push(i % 2 ? SDL_KEYUP : SDL_KEYDOWN, SDLK_RIGHT) == 0) accepted++, rightdown = i % 2 == 0;
  std::printf("SDL's queue took %d of 10000 events\n", accepted);
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, 10000);
  frame(sdlnopause);
  EXPECT_EQ(a.keymask, rightdown ? 1 : 0);
  SDL_Event e;
  EXPECT_EQ(SDL_PollEvent(&e), 0) << "one frame left events queued";
  ASSERT_EQ(push(SDL_KEYDOWN, SDLK_DOWN), 0);
  frame(sdlnopause);
  EXPECT_EQ(a.keymask, (rightdown ? 1 : 0) | 8);
  EXPECT_EQ(a.running, 1);
  scr = nullptr;
  SDL_Quit();
}

}  // namespace
