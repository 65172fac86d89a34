// The headless replay: the game's own start-up and frames, driven by a text
// trace instead of SDL, with no delay, no video surface and no audio device.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// FNV-1a, 64 bits, over n bytes, continuing from h.
std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ull);

// Hash of the screen buffer as the last screen output left it, and of the
// game's state (cells, effect map, screen palette), as the replay prints them.
std::uint64_t screenhash();
std::uint64_t statehash();

// Plays a trace: one line per frame, each with blank-separated tokens dK (key
// K down), uK (key K up) and q (quit). Seeds rand with `seed`. Writes one
// line per frame, or only the final frame's when `last` is set. Stops after
// the last line or after a frame that leaves `running` at 0. Returns 0, or 2
// with a message in `err` when the trace holds a token it can't read.
int runreplay(std::istream& trace, std::ostream& out, unsigned seed, bool last, std::string& err);
