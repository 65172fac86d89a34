// The game's state as one line of text, and the hashes in it.
//
// A state line is what bitrot-replay prints after each frame and what a
// recording's end line holds; its two hashes cover the screen and the grid,
// effect map and palette, so equal lines mean equal frames.
#pragma once

#include <cstdint>
#include <string>

#include "state.h"

// FNV-1a, 64 bits, over n bytes, continuing from h.
std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ull);

// Hash of `scrbuf`, and of `cells`, `scfx` and `pal16`; the 16-bit words are
// hashed little-endian whatever the machine's order.
std::uint64_t screenhash();
std::uint64_t statehash();

// The state after frame f, as one line with its newline; loaded is the frame's
// return value, the track its music switch loaded or -1.
std::string stateline(long f, int loaded);
