#include "game.h"
#include "shell/state.h"

void procgame() {}
