// The turn: the whole rule of the game. One generation of growth and menders,
// then the player's step, then where the view should glide to.
#include <cstring>

#include "core/gfx/gfx.h"
#include "core/state.h"
#include "game.h"

namespace {

constexpr int first = 1, last = gridsize - 2;  // the interior, rows and columns 1..126
constexpr int span = last - first + 1;

bool ongrid(int x, int y) { return x >= 0 && x < gridsize && y >= 0 && y < gridsize; }

// A mender's draw k picks its offspring's side: 1 up, 2 down, 3 left, 4 right.
// Note this is not the player's numbering of directions.
constexpr int kidx[5] = {0, 0, 0, -1, 1};
constexpr int kidy[5] = {0, -1, 1, 0, 0};
constexpr int vanish = 7;

// Growth and menders only ever enter cells whose old value allows it and
// that are not walls. The neighbours of an interior cell are at most on the
// outer ring, so the indices stay inside the grid.
void spreadinto(int x, int y) {
  if (a.cells[y][x] < cgrowth && !a.walls[y][x]) a.nextcells[y][x] = cgrowth;
}

void evolve(int x, int y, u8 v) {
  u8& next = a.nextcells[y][x];
  // An earlier neighbour may already have written here; its write stands
  // unless this cell's own rule replaces it.
  if (next == cfree) next = v;

  switch (v) {
  case cgrowth:
  case cgrowth + 1:
  case cgrowth + 2: next = u8(v + 1); break;
  case cripe:
    spreadinto(x, y - 1);
    spreadinto(x, y + 1);
    spreadinto(x - 1, y);
    spreadinto(x + 1, y);
    break;
  case cmender: {
    int k = rnd() % 20;
    if (k == vanish) {
      next = cfree;
    } else if (k >= 1 && k <= 4) {
      int nx = x + kidx[k], ny = y + kidy[k];
      if (a.cells[ny][nx] == cfree && !a.walls[ny][nx]) a.nextcells[ny][nx] = cmender;
    }
    break;
  }
  default: break;
  }
}

void generation() {
  for (int y = first; y <= last; y++) std::memset(&a.nextcells[y][first], 0, span);
  for (int y = first; y <= last; y++)
    for (int x = first; x <= last; x++)
      // A free cell keeps whatever a neighbour wrote into it, or its 0.
      if (const u8 v = a.cells[y][x]) evolve(x, y, v);
  for (int y = first; y <= last; y++) std::memcpy(&a.cells[y][first], &a.nextcells[y][first], span);
}

// The player's step. Off the edge of the grid counts as a wall, so the player
// never leaves it whatever the world image is.
void step(int direction) {
  // Only 1..4 are moves; anything else is a wait, so no other value is ever
  // written into the player's cell.
  const bool moves = direction >= cright && direction <= cdown;
  if (moves && ongrid(b.plx, b.ply)) a.cells[b.ply][b.plx] = cfree;

  b.tryx = b.plx;
  b.tryy = b.ply;
  switch (direction) {
  case cright: b.tryx = s16(b.tryx + 1); break;
  case cup: b.tryy = s16(b.tryy - 1); break;
  case cleft: b.tryx = s16(b.tryx - 1); break;
  case cdown: b.tryy = s16(b.tryy + 1); break;
  default: break;
  }
  if (ongrid(b.tryx, b.tryy) && !a.walls[b.tryy][b.tryx]) {
    b.plx = b.tryx;
    b.ply = b.tryy;
  }

  if (!ongrid(b.plx, b.ply)) return;
  u8& here = a.cells[b.ply][b.plx];
  if (here >= cgrowth) {
    a.alive = 0;  // the player stays on the growth, and the cell keeps it
    return;
  }
  if (here == cmender) {
    // A mender repairs the display: the effect map or the palette, even odds.
    if (rnd() % 2 != 0) clearscfx();
    else loadpal();
  }
  if (moves) here = u8(direction);
}

}  // namespace

void newturn(int direction) {
  turns++;
  // Danger music for as long as growth was seen within the last turns.
  if (a.alarm) {
    a.track = 0;
    a.alarm--;
  } else {
    a.track = 1;
  }

  generation();
  step(direction);

  // Centre the player's cell in the 80x60 view.
  b.goalx = s16(b.plx * 8 - 36);
  b.goaly = s16(b.ply * 8 - 26);
}
