#include <cstring>

#include "core/gfx/gfx.h"
#include "core/state.h"
#include "game.h"

void clearscfx() { std::memset(scfx, 0, sizeof scfx); }

void newgame() {
  // The header and both working grids go; the wall grid after them stays.
  std::memset(&a, 0, offsetof(stateblock, walls));
  std::memset(&b, 0, sizeof b);
  loadpal();
  clearscfx();

  a.running = 1;
  a.alive = 1;
  a.cells[21][9] = cright;    // the player, in the start room
  a.cells[12][53] = cmender;  // the first mender, up in the cave
  a.cells[23][5] = cgrowth;   // the seed, behind the start room's west wall
  a.track = 0;
  b.camx = 0;  // the view rests on the title card
  b.camy = worldsize - lowh;
  b.goalx = b.camx;
  b.goaly = b.camy;
  b.plx = 9;
  b.ply = 21;
  count = 0;
}

void prepblock() {
  for (int y = 0; y < worldsize; y++)
    for (int x = 0; x < worldsize; x++)
      // Read as a signed byte, as the image format has it: 8..15 is wall
      // material, and nothing outside 0..15 ever counts.
      if (static_cast<signed char>(header_data[y * worldsize + x]) >= 8) a.walls[y / 8][x / 8] = 1;
}
