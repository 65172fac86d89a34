// Every test runs headless: SDL's dummy video and audio drivers, unless the
// caller chose others. Set before main, so before any test touches SDL.
#include <cstdlib>

namespace {
const bool headless = [] {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}();
}  // namespace
