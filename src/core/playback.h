// Playing a recording back: reading one whole to check it, the refusal of
// one that can't be played, and the verdict once it has played. The
// desktop's --playback, the page's watching and bitrot-replay all go through
// here, so that each says the same thing in the same words.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recording.h"

// What a trace or a recording read whole holds.
struct recordingsummary {
  bool recording = false;  // its first line is a seed line
  bool haveseed = false;   // and a good one: the seed is in seed
  unsigned seed = 0;
  long frames = 0;       // frame lines
  std::string endstate;  // the end line's state line, newline included, or empty with none
};

// Why a trace or a recording can't be read, as one line naming it: what
// readtrace said (got refused or failed, err) for the input called name.
// Unnamed (the page's own file), a line's fault is said alone.
std::string refusal(const std::string& name, readresult got, const std::string& err);

// The refusal of a trace with no seed line, where a seed is needed.
std::string noseed(const std::string& name);

// Reads in to its end, handing each frame line's events to onframe, if any.
// Returns "" for a recording that can play, else its refusal, the first of:
// the input can't be read at all; no seed line (unless seedgiven: a trace
// played with a seed of the player's); a line it can't read, or a read that
// fails part-way; no frames.
std::string readwhole(tracesource& in, const std::string& name, bool seedgiven, recordingsummary& out,
                      const std::function<void(std::vector<inputevent>&)>& onframe = nullptr);

// How the last frame played compares with the recording's end line.
enum class ending { noendline, matches, differs };
ending compareend(const std::string& endstate, const std::string& lastline);

// The verdict once frames have played: "played N frames; the last matches
// the end line", and so on.
std::string verdict(long frames, ending e);

// bitrot-replay's, of its last frame only, both state lines shown when they
// differ (replayed empty: no frame was played); with its newline.
std::string lastframeverdict(const std::string& name, ending e, const std::string& recorded,
                             const std::string& replayed);
