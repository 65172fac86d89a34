// Traces: the game's input as text, and its state as one line of text.
//
// A trace has one line per frame, holding that frame's events as blank-
// separated tokens: dK (key K down), uK (key K up), q (quit), with K an SDL
// 1.2 key code. The headless replay reads traces; the desktop records them.
// A state line is what the replay prints after each frame; its two hashes
// cover the screen and the grid, effect map and palette, so equal lines mean
// equal frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame.h"

// FNV-1a, 64 bits, over n bytes, continuing from h.
std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ull);

// Hash of `scrbuf`, and of `cells`, `scfx` and `pal16`; the 16-bit words are
// hashed little-endian whatever the machine's order.
std::uint64_t screenhash();
std::uint64_t statehash();

// Reads one trace line into evs. On a token it can't read, returns false with
// the token in bad.
bool parseevents(const std::string& line, std::vector<inputevent>& evs, std::string& bad);

// Appends e to a trace line as its token, blank-separated; other events, which
// the game ignores, add nothing.
void appendevent(std::string& line, const inputevent& e);

// The state after frame f, as one line with its newline; loaded is the frame's
// return value, the track its music switch loaded or -1.
std::string stateline(long f, int loaded);

// An RGB565 colour at 8 bits per channel, each channel's top bits repeated
// into its low ones, as SDL widens it for a 24-bit display.
void widen(u16 c, u8 rgb[3]);
