// Gamepads, read through SDL 2's game-controller layouts and made into the
// game's own key events. No SDL type appears here: the pads speak SDL 2 and
// the rest of the desktop SDL 1.2, and one file can't include both.
#pragma once

#include "core/frame.h"

// Before SDL_Init, from runbitrot: the settings SDL 2 reads as its joysticks
// start.
void padsprepare();

// After SDL_Init, from runbitrot: starts SDL 2's game-controller subsystem in
// the libSDL2 that sdl12-compat runs on. False, and no pads are ever read,
// when that SDL 2 isn't there or won't start.
bool padsstart();

// Once a frame, from the poll hook when SDL's queue has run dry (so SDL has
// just looked at its devices): opens the pads plugged in since, lets go of
// what pulled-out pads held, and writes to out the key events that bring what
// the pads hold now up to date, releases first. Returns how many: at most 8.
int padsread(inputevent out[8]);

// After padsread: whether a pad's Y (the top face button, which the game
// doesn't use) went down since the last read. It switches reduced flashing on
// a handheld with no keyboard; like F, it never reaches the game.
bool padscalmkey();

// Before SDL_Quit: closes every pad and the subsystem. The keys the pads held
// are forgotten, not released; padsstart may follow again.
void padsstop();
