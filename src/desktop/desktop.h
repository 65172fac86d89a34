// The desktop platform: SDL 1.2 and SDL_mixer under the game's core. Nothing
// in the core includes this; the core never sees an SDL type.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include "core/frame.h"
#include "music/music.h"

extern SDL_Surface* scr;  // the 320x240 16-bit video surface; null in headless runs

// The hooks a real run gives the frame: SDL_mixer, SDL's event queue and the
// pads, the screen present, and the frame's end: the pads read afresh next
// frame, and SDL_Delay's pause. sdlnopause ends a frame with no pause, for
// the tests that run frames as fast as they can.
extern const shellio sdlio, sdlnopause;

// Draws `scrbuf` on `scr` and flips; nothing when there is no surface.
void presentscreen();

// Where a 320x240 picture goes on a surface of w x h pixels: the largest whole
// scale that fits (at least 1), centred; the rest is black.
struct placement {
  int scale, x, y;  // x, y: the picture's top left corner on the surface
};
placement placepicture(int w, int h);

// Draws a 320x240 RGB565 picture on a 16-bit surface, placed as
// placepicture says, the border black. Draws nothing on another depth.
void drawpicture(SDL_Surface* to, const u16* picture);

// The window for a screen of w x h pixels when neither --scale nor the
// player's SDL12COMPAT_WINDOW_SCALING chooses: runbitrot calls it before the
// video mode is set, the tests directly.
struct fit {
  int scale;        // 1 to 8: the largest whole scale within nine tenths of the screen
  bool fullscreen;  // a screen of 640x480 or less is filled, at the scale that fits it whole
};
fit fitscreen(int w, int h);

// What the command line asks for.
struct options {
  int scale = 0;  // 1 to 8, or 0: the player's SDL12COMPAT_* settings, else what fits the screen
  bool fullscreen = false;
  bool reduceflashing = false;  // start with the reduce-flashing mode on (flash/calm.h)
  bool haveseed = false;        // seed rand with `seed`, not the clock
  unsigned seed = 0;
  const char* record = nullptr;    // the recording to write
  const char* playback = nullptr;  // the recording to play
};

// Reads the command line into o. Returns -1 when the game is to start, or the
// exit status: 0 after --help or --version, 2 after a bad option, said in
// one line on stderr with the usage.
int readoptions(int argc, char** argv, options& o);

// Before any window: creates the recording (record.cpp), or reads the
// playback whole and takes its seed unless o has one (playback.cpp). Each
// returns -1 to go on, or 2 after saying in one line why not.
int openrecording(const char* path);
int openplayback(options& o);

// Drops the recording just created, when the game could not start after all.
void droprecording();

// The frames of a run that records, or plays back, once the window is open.
// Each returns the exit status; the caller shuts SDL down.
int recordgame(unsigned seed);
int playgame();

// First thing in main: SIGTERM and SIGINT from then on ask the game to quit
// at its next frame, however early they come.
void catchstop();

// The whole life of the game: start-up, frames until a quit, shut-down.
// Returns the exit status.
int runbitrot(const options& o);
