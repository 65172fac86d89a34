#include "core/state.h"
#include "gfx.h"

// Indices 1..7 and 9..15 set blue, green and red by the index's bits 0, 1, 2,
// at half and at full strength; 7 is the mid grey and 8 the light grey.
static const u32 basepal[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

void loadpal() {
  for (int i = 0; i < 16; i++) {
    u32 c = pal[i] = basepal[i];
    pal16[i] = u16(((c >> 19) << 11) + ((c >> 3) & 0x1F) + ((c >> 5) & 0x7E0));
  }
}
