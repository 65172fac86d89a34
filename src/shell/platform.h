// The platform handles. Only the shell and the screen present include this;
// the rest of the game never sees an SDL type.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include "frame.h"

extern SDL_Surface* scr;  // the 320x240 16-bit video surface; null in headless runs
extern Mix_Music* mus;    // the loaded music, null before the first load or after a failed one

// The hooks a real run gives the frame: SDL's event queue, SDL_mixer, SDL_Delay.
extern const shellio sdlio;

// The whole life of the game: start-up, frames until a quit, shut-down.
// Returns the exit status.
int runbitrot();
