// The palette and the screen output: colours, the 4x4 block, the copy.
#include <vector>

#include "core/gfx/gfx.h"
#include "desktop/desktop.h"
#include "testutil.h"

namespace {

class Screen : public ::testing::Test {
protected:
  void SetUp() override { testutil::wipe(); }
  void TearDown() override { scr = nullptr; }
};

TEST_F(Screen, BasePaletteInRgb565) {
  const u16 want[16] = {0x0000, 0x0010, 0x0400, 0x0410, 0x8000, 0x8010, 0x8400, 0x8410,
                        0xC618, 0x001F, 0x07E0, 0x07FF, 0xF800, 0xF81F, 0xFFE0, 0xFFFF};
  loadpal();
  for (int i = 0; i < 16; i++) EXPECT_EQ(pal16[i], want[i]) << "index " << i;
  EXPECT_EQ(pal[7], 0x808080u);
  EXPECT_EQ(pal[8], 0xC0C0C0u);
}

TEST_F(Screen, ReloadRestoresBrightAndLeavesDark) {
  loadpal();
  for (int i = 0; i < 32; i++) pal16[i] = u16(0x1234 + i);
  loadpal();
  EXPECT_EQ(pal16[5], 0x8010);
  for (int i = 16; i < 32; i++) EXPECT_EQ(pal16[i], 0x1234 + i) << "dark entry " << i;
}

// Every screen pixel against the block rule, for a frame of varied entries.
TEST_F(Screen, EveryPixelFollowsTheBlockPattern) {
  for (int i = 0; i < 32; i++) pal16[i] = u16(0x0101 * (i + 1));
  for (int i = 0; i < lowh * loww; i++) scrb[i] = u8((i * 7 + i / 80) % 32);
  renderscreen();
  for (int y = 0; y < scrh; y++)
    for (int x = 0; x < scrw; x++) {
      int v = scrb[(y / 4) * loww + x / 4];
      bool bright = x % 4 < 3 && y % 4 < 3;
      u16 want = bright ? pal16[v] : pal16[v % 16 + 16];
      ASSERT_EQ(scrbuf[y * scrw + x], want) << "pixel " << x << "," << y << " entry " << v;
    }
}

TEST_F(Screen, DarkEntriesGiveFlatBlocks) {
  loadpal();
  pal16[21] = 0x4008;
  scrb[0] = 21;
  scrb[1] = 5;
  renderscreen();
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++) EXPECT_EQ(scrbuf[y * scrw + x], 0x4008);
  EXPECT_EQ(scrbuf[4], 0x8010);
  EXPECT_EQ(scrbuf[7], 0x4008);
  EXPECT_EQ(scrbuf[3 * scrw + 4], 0x4008);
}

TEST_F(Screen, LastBlockAndPaletteChangesShowAtOnce) {
  loadpal();
  scrb[lowh * loww - 1] = 14;
  renderscreen();
  EXPECT_EQ(scrbuf[236 * scrw + 316], 0xFFE0);
  EXPECT_EQ(scrbuf[239 * scrw + 319], 0);  // dark shade not yet computed: black
  pal16[30] = 0x7BE0;
  renderscreen();
  EXPECT_EQ(scrbuf[239 * scrw + 319], 0x7BE0);
}

// A surface of our own memory, so the test sees exactly where each byte went.
struct ownsurface {
  std::vector<u8> mem;
  SDL_Surface* s;
  ownsurface(int w, int h, int pitch) : mem(std::size_t(pitch) * h + 64, 0xAB) {
    s = SDL_CreateRGBSurfaceFrom(mem.data(), w, h, 16, pitch, 0xF800, 0x07E0, 0x001F, 0);
  }
  ~ownsurface() { SDL_FreeSurface(s); }
};

void fillscrbuf() {
  for (int i = 0; i < scrw * scrh; i++) scrbuf[i] = u16(i * 2654435761u >> 16);
}

TEST_F(Screen, PitchOf640IsOneContiguousCopy) {
  ownsurface o(scrw, scrh, 640);
  ASSERT_NE(o.s, nullptr) << SDL_GetError();
  fillscrbuf();
  scr = o.s;
  presentscreen();
  EXPECT_EQ(std::memcmp(o.mem.data(), scrbuf, sizeof scrbuf), 0);
  for (std::size_t i = sizeof scrbuf; i < o.mem.size(); i++)
    ASSERT_EQ(o.mem[i], 0xAB) << "past the end at " << i;
}

TEST_F(Screen, OtherPitchCopiesRowByRow) {
  const int pitch = 704;
  ownsurface o(scrw, scrh, pitch);
  ASSERT_NE(o.s, nullptr) << SDL_GetError();
  fillscrbuf();
  scr = o.s;
  presentscreen();
  for (int y = 0; y < scrh; y++) {
    ASSERT_EQ(std::memcmp(o.mem.data() + y * pitch, scrbuf + y * scrw, 640), 0) << "row " << y;
    for (int i = 640; i < pitch; i++) ASSERT_EQ(o.mem[y * pitch + i], 0xAB) << "gap of row " << y;
  }
}

TEST_F(Screen, SmallerSurfaceGetsOnlyWhatFits) {
  ownsurface o(200, 100, 400);
  ASSERT_NE(o.s, nullptr) << SDL_GetError();
  fillscrbuf();
  scr = o.s;
  presentscreen();
  for (int y = 0; y < 100; y++) ASSERT_EQ(std::memcmp(o.mem.data() + y * 400, scrbuf + y * scrw, 400), 0);
  for (std::size_t i = 400 * 100; i < o.mem.size(); i++) ASSERT_EQ(o.mem[i], 0xAB);
}

TEST_F(Screen, NoSurfaceIsHarmless) {
  scr = nullptr;
  fillscrbuf();
  renderscreen();  // expands and presents nothing
  EXPECT_EQ(scrbuf[0], pal16[0]);
}

}  // namespace
