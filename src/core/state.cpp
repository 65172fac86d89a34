#include "state.h"

#include <cstdlib>
#include <cstring>

stateblock a;
viewrecord b;
u32 count;
char spth[128];
u8 scfx[lowh * loww];
u8 scrb[lowh * loww];
u16 scrbuf[scrh * scrw];
u32 pal[16];
u16 pal16[32];
int (*rnd)() = gamerand;
long turns;

void zerostate() {
  std::memset(&a, 0, sizeof a);
  std::memset(&b, 0, sizeof b);
  count = 0;
  std::memset(spth, 0, sizeof spth);
  std::memset(scfx, 0, sizeof scfx);
  std::memset(scrb, 0, sizeof scrb);
  std::memset(scrbuf, 0, sizeof scrbuf);
  std::memset(pal, 0, sizeof pal);
  std::memset(pal16, 0, sizeof pal16);
  rnd = gamerand;
  turns = 0;
}
