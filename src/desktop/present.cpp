// The screen present: `scrbuf` onto SDL's video surface.
#include <algorithm>
#include <cstring>

#include "desktop.h"
#include "flash/calm.h"

void presentscreen() {
  const u16* shown = calmed(scrbuf);  // scrbuf itself unless reduced flashing is on
  if (!scr) return;
  // A refused lock skips this frame's copy; the next frame repaints it all.
  if (SDL_LockSurface(scr) == 0) {
    const int rowbytes = scrw * int(sizeof(u16));
    if (scr->pitch == rowbytes && scr->w == scrw && scr->h >= scrh) {
      std::memcpy(scr->pixels, shown, sizeof scrbuf);
    } else {
      // Any other surface gets what fits of each row, placed by its pitch.
      int bytes = std::min(rowbytes, scr->w * scr->format->BytesPerPixel);
      int rows = std::min(int(scrh), scr->h);
      for (int y = 0; y < rows; y++)
        std::memcpy(static_cast<u8*>(scr->pixels) + y * scr->pitch, shown + y * scrw, bytes);
    }
    SDL_UnlockSurface(scr);
  }
  SDL_Flip(scr);
}
