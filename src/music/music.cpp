#include "music.h"

#include "core/state.h"

Mix_Music* mus;

void playfile(const char* name) {
  Mix_HaltMusic();
  if (mus) Mix_FreeMusic(mus);
  mus = Mix_LoadMUS(name);
  if (mus) Mix_PlayMusic(mus, 100);
}

void playmusic() { playfile(spth); }
