// The browser platform: emscripten's SDL 1.2 and SDL_mixer behind the core's
// frame hooks, a frame every 50 ms from the browser's timer, and the few calls
// the page makes.
#pragma once

#include <SDL/SDL.h>

#include "core/frame.h"

extern SDL_Surface* scr;

// The key code emscripten's SDL gives, as an SDL 1.2 key code; false for keys
// that have no SDL 1.2 code here (none of them is one of the game's).
bool sdl12key(u32 sym, u32* out);

// scrbuf onto the video surface, widened to the surface's 32 bits.
void presentscreen();

// A run or a recording is under way (webshell.cpp); the page starts nothing else meanwhile.
extern bool playing;

// Drops the keys the page's own sources (touch pad, gamepads) sent since the
// last frame, and says whether Escape went down among them: the watching of a
// recording stops on it, as on the keyboard's.
bool pageescape();

// Starts the frames of a run (webstart) or of a recording watched (runs.cpp)
// from a new game with rand seeded by s: each runs one frame and returns false
// after the last one; end is called once the frames have stopped. The page's
// timer paces them, or webstep when the clock is stopped.
void startframes(unsigned s, bool (*each)(), void (*end)());
