// bitrot-icon SIZE OUT.png
// Draws the desktop icon from the built-in world image: the player facing
// down, first animation phase, in the game's own colours, scaled up with
// sharp pixels to the largest whole scale that fits SIZE x SIZE, centred
// (Apple's home-screen icon is 180, no multiple of the picture's 8). The
// picture's background (index 0) and the margin become transparent so the
// figure stands on any panel.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/gfx/gfx.h"
#include "core/state.h"

namespace {

constexpr int picture = 6;  // player facing down, phase 0: cell value 4
constexpr int stripy = 8;   // the sprite strip's first row in the world image

int fail(const std::string& what) {
  std::fprintf(stderr, "bitrot-icon: %s\n", what.c_str());
  return 1;
}

bool writepng(const char* path, int size, const std::vector<u8>& rgba) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;  // libpng reports its errors by longjmp
  else if (ok) {
    png_init_io(png, f);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < size; y++) png_write_row(png, &rgba[std::size_t(y) * size * 4]);
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(f) != 0) ok = false;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return fail("usage: bitrot-icon SIZE OUT.png");
  char* end;
  long size = std::strtol(argv[1], &end, 10);
  if (*argv[1] == '\0' || *end != '\0' || size < 8 || size > 1024)
    return fail(std::string("the size must be a number from 8 to 1024, not '") + argv[1] + "'");
  int scale = int(size / 8);
  int margin = int(size % 8) / 2;

  loadpal();
  std::vector<u8> rgba(std::size_t(size) * size * 4);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      int px = x - margin, py = y - margin;
      if (px < 0 || py < 0 || px >= 8 * scale || py >= 8 * scale) continue;  // stays transparent
      u8 i = header_data[(stripy + py / scale) * worldsize + picture * 8 + px / scale];
      u32 c = pal[i & 15];
      u8* p = &rgba[(std::size_t(y) * size + x) * 4];
      p[0] = u8(c >> 16);
      p[1] = u8(c >> 8);
      p[2] = u8(c);
      p[3] = i ? 255 : 0;
    }

  // Written beside the target and renamed, so a failed run leaves no half-written icon.
  std::string tmp = std::string(argv[2]) + ".tmp";
  if (!writepng(tmp.c_str(), int(size), rgba)) {
    std::remove(tmp.c_str());
    return fail(std::string("cannot write ") + argv[2]);
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::remove(tmp.c_str());
    return fail(std::string("cannot write ") + argv[2]);
  }
  return 0;
}
