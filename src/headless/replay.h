// The headless replay: the game's own start-up and frames, driven by a trace
// or a recording (see core/recording.h) instead of SDL, with no delay, no video
// surface and no audio device.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <optional>
#include <string>

#include "core/recording.h"

// A recording's end line, and the state line the replay reached instead.
struct replayend {
  bool seen = false;     // the input had an end line
  std::string recorded;  // the end line's state line
  std::string replayed;  // the state line of the replay's last frame
};

// Plays a trace or a recording with rand seeded by `seed`, or when none is
// given by the recording's seed line. Writes one state line per frame, or only
// the final frame's when `last` is set. Stops playing after the last frame
// line or after a frame that leaves `running` at 0, but reads on to the end.
// Returns 0, or 2 with one line in `err` that names the input (`name`) when
// it can't be read, a line in it can't be read, or there is no seed. A
// recording's end line, if any, goes into *end.
int runreplay(tracesource& trace, const char* name, std::ostream& out, std::optional<unsigned> seed,
              bool last, std::string& err, replayend* end = nullptr);

// When set, every frame goes there as a platform shows it (through the
// reduce-flashing mode when that is on, flash/calm.h): 320x240 RGB, 8 bits a
// channel, widened as the window widens it, top row first. A failed write
// shows in the file's error flag.
extern std::FILE* framesout;

// Writes the screen as the last frame left it, 320x240, as a binary PPM.
// Returns false when the file can't be written.
bool writescreen(const char* path);
