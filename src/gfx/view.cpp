#include "gfx.h"
#include "shell/state.h"

void render() {}
