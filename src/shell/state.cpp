#include "state.h"

#include <cstdlib>

stateblock a;
viewrecord b;
u32 count;
char spth[128];
u8 scfx[lowh * loww];
u8 scrb[lowh * loww];
u16 scrbuf[scrh * scrw];
u32 pal[16];
u16 pal16[32];
int (*rnd)() = std::rand;
