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
