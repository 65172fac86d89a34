// The headless replay: the game's own start-up and frames, driven by a trace
// (see core/trace.h) instead of SDL, with no delay, no video surface and no
// audio device.
#pragma once

#include <iosfwd>
#include <string>

// Plays a trace with rand seeded by `seed`. Writes one state line per frame,
// or only the final frame's when `last` is set. Stops after the last line or
// after a frame that leaves `running` at 0. Returns 0, or 2 with a message in
// `err` when the trace holds a token it can't read.
int runreplay(std::istream& trace, std::ostream& out, unsigned seed, bool last, std::string& err);

// Writes the screen as the last frame left it, 320x240, as a binary PPM.
// Returns false when the file can't be written.
bool writescreen(const char* path);
