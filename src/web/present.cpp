// The screen present: `scrbuf` onto emscripten's video surface, which is 32
// bits a pixel whatever depth was asked for. Each RGB565 colour is widened as
// the desktop widens it, so the canvas shows what bitrot-replay --screen
// writes, pixel for pixel.
#include <bit>
#include <cstring>

#include "core/gfx/gfx.h"
#include "flash/calm.h"
#include "web.h"

// The 32-bit pixel of every RGB565 colour for one set of channel masks; the
// bits no channel uses are set, so an alpha byte says opaque.
static const u32* widetable(u32 rmask, u32 gmask, u32 bmask) {
  static u32 wide[65536], made[3];
  if (made[0] != rmask || made[1] != gmask || made[2] != bmask) {
    for (u32 c = 0; c < 65536; c++) {
      u8 rgb[3];
      widen(u16(c), rgb);
      wide[c] = ~(rmask | gmask | bmask) | u32(rgb[0]) << std::countr_zero(rmask) |
                u32(rgb[1]) << std::countr_zero(gmask) | u32(rgb[2]) << std::countr_zero(bmask);
    }
    made[0] = rmask, made[1] = gmask, made[2] = bmask;
  }
  return wide;
}

void presentscreen() {
  const u16* shown = calmed(scrbuf);  // scrbuf itself unless reduced flashing is on
  if (!scr || SDL_LockSurface(scr) != 0) return;
  const SDL_PixelFormat& f = *scr->format;
  u8* pixels = static_cast<u8*>(scr->pixels);
  if (f.BytesPerPixel == 2) {
    for (int y = 0; y < scrh; y++) std::memcpy(pixels + y * scr->pitch, shown + y * scrw, scrw * sizeof(u16));
  } else if (f.BytesPerPixel == 4 && f.Rmask && f.Gmask && f.Bmask) {
    const u32* wide = widetable(f.Rmask, f.Gmask, f.Bmask);
    for (int y = 0; y < scrh; y++) {
      u32* row = reinterpret_cast<u32*>(pixels + y * scr->pitch);
      for (int x = 0; x < scrw; x++) row[x] = wide[shown[y * scrw + x]];
    }
  }
  SDL_UnlockSurface(scr);
  SDL_Flip(scr);
}
