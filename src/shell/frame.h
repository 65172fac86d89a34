// The frame: the one place that fixes the order of a frame's work. The game,
// the replay runner and the tests all run frames through here; only the few
// calls that reach the outside world differ, and those come in as hooks.
#pragma once

#include "state.h"

// An input event as the frame sees it.
struct inputevent {
  enum kind : u8 { other, keydown, keyup, quit };
  kind type;
  u32 sym;  // the SDL 1.2 key code, for keydown and keyup
};

// What a frame needs from the platform.
struct shellio {
  // Fetches the next queued event into *e; false when the queue is empty.
  bool (*poll)(inputevent* e);
  // Stops the playing music and starts the file named in `spth`, 100 loops.
  // Called at the music switch, after curtrack and spth are set.
  void (*playmusic)();
  // The pause between frames.
  void (*delay)();
};

// Applies one event to the key flags, or to `running` for a quit.
void handleevent(const inputevent& e);

// Rebuilds `keymask` from `keys`.
void buildkeymask();

// Start-up of the game state: the first newgame, the wall grid, and curtrack
// set so that the first frame loads track 0. Platform start-up is the caller's.
void startgame();

// Runs one whole frame: music switch, events, key mask, procgame, render,
// mutaterender, renderscreen, delay, count, then the end-of-frame checks.
// Returns the track loaded by the music switch, or -1 when there was none.
int frame(const shellio& io);
