#include "frame.h"

#include <cstdio>

#include "core/game/game.h"
#include "core/gfx/gfx.h"

// A quit request outlives the frame's newgame, which would otherwise set
// `running` back to 1 and drop the player's request on the floor.
static bool quitasked;

const u32 kbk[8] = {275, 273, 276, 274, 32, 306, 13, 27};

void handleevent(const inputevent& e) {
  switch (e.type) {
  case inputevent::keydown:
  case inputevent::keyup:
    // Every entry equal to the code is set: the scan does not stop at a match.
    for (int i = 0; i < 8; i++)
      if (kbk[i] == e.sym) a.keys[i] = e.type == inputevent::keydown;
    break;
  case inputevent::quit:
    a.running = 0;
    quitasked = true;
    break;
  default: break;
  }
}

void buildkeymask() {
  a.keymask = 0;
  for (int i = 0; i < 8; i++)
    if (a.keys[i]) a.keymask |= 1 << i;
}

void startgame() {
  quitasked = false;
  newgame();
  prepblock();
  a.curtrack = 255;  // newgame cleared it; now the first frame loads track 0
}

int frame(const shellio& io) {
  int loaded = -1;
  if (a.curtrack != a.track) {
    a.curtrack = a.track;  // first, so a failed load is not retried every frame
    std::snprintf(spth, sizeof spth, "%i.ogg", a.track);
    io.playmusic();
    loaded = a.track;
  }

  inputevent e;
  while (io.poll(&e)) handleevent(e);
  buildkeymask();

  procgame();
  render();
  mutaterender();
  renderscreen();
  io.present();

  io.endframe();
  count++;

  if (a.keymask == 128) a.running = 0;  // Escape held alone
  if (!a.alive) newgame();
  if (quitasked) a.running = 0;
  return loaded;
}
