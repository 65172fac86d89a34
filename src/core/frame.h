// The frame: the one place that fixes the order of a frame's work. Every
// platform (the desktop, the browser, the headless replay) and the tests run
// frames through here; the few things that reach the outside world differ
// from one platform to the next, and those come in as hooks.
#pragma once

#include "state.h"

// An input event as the frame sees it.
struct inputevent {
  enum kind : u8 { other, keydown, keyup, quit };
  kind type;
  u32 sym;  // the SDL 1.2 key code, for keydown and keyup
};

// What a frame needs from the platform, in the order the frame calls them.
struct shellio {
  // Stops the playing music and starts the file named in `spth`, 100 loops.
  // Called at the music switch, after curtrack and spth are set.
  void (*playmusic)();
  // Fetches the next queued event into *e; false when the queue is empty.
  bool (*poll)(inputevent* e);
  // Shows `scrbuf`, as renderscreen has just left it.
  void (*present)();
  // The frame's work is done and its events are all in: what the platform
  // keeps of a frame, and the pause before the next.
  void (*endframe)();
};

// Applies one event to the key flags, or to `running` for a quit.
void handleevent(const inputevent& e);

// Rebuilds `keymask` from `keys`.
void buildkeymask();

// Start-up of the game state: the first newgame, the wall grid, and curtrack
// set so that the first frame loads track 0. Platform start-up is the caller's.
void startgame();

// Runs one whole frame: music switch, events, key mask, procgame, render,
// mutaterender, renderscreen and present, endframe, count, then the
// end-of-frame checks.
// Returns the track loaded by the music switch, or -1 when there was none.
int frame(const shellio& io);
