// Graphics: the palette, the world view, the decay and the screen output.
// All of it works on plain arrays; showing `scrbuf` is the platform's part.
#pragma once

#include "core/state.h"

// Loads the base palette into `pal` and its RGB565 form into pal16[0..15];
// the dark shades 16..31 are left as they are. Called by newgame and by a
// mender pick-up that draws even.
void loadpal();

// Draws the 80x60 view at (camx, camy) into `scrb`, occupied cells as their
// two-phase pictures, and sets `alarm` to 10 when growth shows. Called once a
// frame, after procgame.
void render();

// Decays the freshly rendered `scrb` through the effect map and drifts one
// palette channel; exactly six draws. Called once a frame, after render.
void mutaterender();

// Expands `scrb` into `scrbuf` (4x4 blocks, bright 3x3 with a dark edge).
// Called once a frame, after mutaterender; the frame then has the platform
// present `scrbuf`.
void renderscreen();

// An RGB565 colour at 8 bits per channel, exactly as the window shows it on a
// 24-bit display: sdl12-compat draws through SDL 2's blitter, whose table
// takes red and blue to v * 255 / 31 rounded down and green to 4g + g / 24
// (read back from an X window for all 65536 colours, alike with SDL's
// software, OpenGL and OpenGL ES 2 renderers).
void widen(u16 c, u8 rgb[3]);
