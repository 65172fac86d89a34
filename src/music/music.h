// The music, through SDL_mixer: the same on the desktop and in the browser.
#pragma once

#ifdef __EMSCRIPTEN__
#include <SDL/SDL_mixer.h>
#else
#include <SDL_mixer.h>
#endif

extern Mix_Music* mus;  // the loaded music, null before the first load or after a failed one

// Stops the music playing and plays the file named, 100 loops; a missing or
// unreadable file leaves the game silent, and that is all.
void playfile(const char* name);

// The frame's music switch: the file named in `spth`.
void playmusic();
