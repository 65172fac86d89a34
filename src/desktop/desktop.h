// The desktop platform: SDL 1.2 and SDL_mixer under the game's core. Nothing
// in the core includes this; the core never sees an SDL type.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include "core/frame.h"

extern SDL_Surface* scr;  // the 320x240 16-bit video surface; null in headless runs
extern Mix_Music* mus;    // the loaded music, null before the first load or after a failed one

// The hooks a real run gives the frame: SDL_mixer, SDL's event queue, the
// screen present, SDL_Delay.
extern const shellio sdlio;

// Copies `scrbuf` to `scr` and flips; nothing when there is no surface.
void presentscreen();

// The whole life of the game: start-up, frames until a quit, shut-down.
// Returns the exit status.
int runbitrot();
