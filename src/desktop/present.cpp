// The screen present: `scrbuf` onto SDL's video surface.
#include <algorithm>
#include <cstring>

#include "desktop.h"
#include "flash/calm.h"

placement placepicture(int w, int h) {
  const int s = std::max(1, std::min(w / scrw, h / scrh));
  // A surface smaller than the picture shows its top left corner.
  return {s, std::max(0, (w - scrw * s) / 2), std::max(0, (h - scrh * s) / 2)};
}

void drawpicture(SDL_Surface* to, const u16* picture) {
  // Only 16-bit surfaces, as the game asks for; a refused lock skips this
  // frame, and the next one repaints it all.
  if (to->format->BytesPerPixel != 2 || SDL_LockSurface(to) != 0) return;
  const placement p = placepicture(to->w, to->h);
  const int cols = std::min(scrw, (to->w - p.x) / p.scale), rows = std::min(scrh, (to->h - p.y) / p.scale);
  auto* px = static_cast<u8*>(to->pixels);
  const auto rowat = [&](int y) { return reinterpret_cast<u16*>(px + std::ptrdiff_t(y) * to->pitch); };
  const int rowbytes = to->w * 2;
  // Black around the picture; each of its rows is drawn once and copied
  // down for the rest of its height.
  for (int y = 0; y < p.y; y++) std::memset(rowat(y), 0, rowbytes);
  for (int r = 0; r < rows; r++) {
    const int y0 = p.y + r * p.scale;
    u16* out = rowat(y0);
    std::fill(out, out + p.x, u16(0));
    const u16* in = picture + r * scrw;
    if (p.scale == 1) std::memcpy(out + p.x, in, std::size_t(cols) * 2);
    else
      for (int c = 0; c < cols; c++) std::fill_n(out + p.x + c * p.scale, p.scale, in[c]);
    std::fill(out + p.x + cols * p.scale, out + to->w, u16(0));
    for (int k = 1; k < p.scale; k++) std::memcpy(rowat(y0 + k), out, rowbytes);
  }
  for (int y = p.y + rows * p.scale; y < to->h; y++) std::memset(rowat(y), 0, rowbytes);
  SDL_UnlockSurface(to);
}

void presentscreen() {
  const u16* shown = calmed(scrbuf);  // scrbuf itself unless reduced flashing is on
  if (!scr) return;
  drawpicture(scr, shown);
  SDL_Flip(scr);
}
