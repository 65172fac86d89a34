#include "music.h"

#include <unistd.h>

#include "core/state.h"

Mix_Music* mus;

void playfile(const char* name) {
  Mix_HaltMusic();
  if (mus) Mix_FreeMusic(mus);
  mus = nullptr;
  // A track that isn't there is silence, as one that can't be read is; the
  // page's tracks arrive after its start card, and SDL_mixer would report
  // each one still on its way as an error in the browser's console.
  if (access(name, F_OK) != 0) return;
  mus = Mix_LoadMUS(name);
  if (mus) Mix_PlayMusic(mus, 100);
}

void playmusic() { playfile(spth); }
