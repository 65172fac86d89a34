// Input: the lock-out after a new game, the start of play, one turn per change
// of the held keys, and the view's glide toward its goal.
#include "core/state.h"
#include "game.h"

namespace {

// Frames after a new game in which no input counts, so that a player still
// hammering keys at the moment of death doesn't skip the title card.
constexpr u32 lockout = 41;

// Any new mask this high starts play: SPACE, LCTRL, RETURN or ESCAPE in it,
// or DOWN with another arrow. The lone arrows below it don't.
constexpr u8 startmask = 9;

// In play the first held key of this list makes the turn.
struct binding {
  u8 bit;
  u8 direction;
};
constexpr binding priority[] = {{16, 0}, {1, 1}, {2, 2}, {4, 3}, {8, 4}};

void startplay() {
  a.mode = 1;
  a.track = 1;
  // The view jumps straight to the player, with the cell at view pixel (40, 30);
  // the first turn's goal then glides it the last 4 pixels to the centre.
  b.camx = b.goalx = s16((b.plx - 5) * 8);
  b.camy = b.goaly = s16(b.ply * 8 - 30);
}

// One pixel per axis toward the goal; the view words are signed.
s16 toward(s16 cam, s16 goal) {
  if (goal < cam) return s16(cam - 1);
  if (cam < goal) return s16(cam + 1);
  return cam;
}

}  // namespace

void procgame() {
  if (count >= lockout && a.keymask != a.lastmask) {
    if (a.mode == 0) {
      if (a.keymask >= startmask) startplay();
    } else {
      for (const binding& p : priority)
        if (a.keymask & p.bit) {
          newturn(p.direction);
          break;
        }
    }
  }
  a.lastmask = a.keymask;

  if (a.mode) {
    b.camx = toward(b.camx, b.goalx);
    b.camy = toward(b.camy, b.goaly);
  }
}
