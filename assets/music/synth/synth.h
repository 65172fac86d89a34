// The music synthesizer: a score in text, read into a song, rendered as a
// loop of 44,100 Hz 16-bit stereo samples. Used by the bitrot-synth tool at
// build time and by the tests.
//
// A score, one statement a line, '#' at the start of a word begins a comment:
//
//   tempo 140                 beats per minute (default 120)
//   meter 4                   beats per bar (default 4)
//   volume 0.5                master gain
//   echo 0.75 0.35            ping-pong echo: delay in beats, feedback
//   voice NAME WAVE key=value ...
//                             WAVE is pulse, triangle or noise; keys below
//   pattern NAME bars=N       starts a pattern; its lines follow:
//     VOICE: TOKEN TOKEN ...  the voice's part in this pattern
//   song A B*2 C+D ...        the order of the patterns, one after another;
//                             B*2 plays B twice, C+D plays C and D together
//                             (as long as each other, no voice in both);
//                             the whole song loops
//
// Voice keys: vol (0..1), pan (-1 left .. 1 right), duty (pulse width, 0..1),
// attack, decay, release (seconds), sustain (level 0..1, reached by an
// exponential decay), gate (fraction of the written length held before the
// release), tone (lowpass cutoff in Hz, 0 for none), vibrato (cents), rate (Hz),
// sweep (semitones the pitch falls from at the note's start), sweeptime
// (seconds), detune (cents between two oscillators), echo (send 0..1),
// lfsr (long or short: the noise generator's feedback), note (the pitch
// of an x or o hit, e.g. A2).
//
// Tokens: a note such as C4, D#4, Eb3 (octave 0..8, A4 = 440 Hz); a chord of
// notes joined by '+', as F3+A3+C4; x a hit at the voice's own note, o a soft
// hit; '.' a rest; '-' holds what sounded before one step longer. A voice's
// tokens in a pattern share its length evenly; with '|' between bars, each
// bar is shared evenly among its own tokens and there must be one group per bar.
// Several lines for one voice in a pattern join up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace synth {

constexpr int rate = 44100;

enum class wave { pulse, triangle, noise };

struct voice {
  std::string name;
  wave form = wave::pulse;
  double vol = 0.5, pan = 0, duty = 0.5;
  double attack = 0.002, decay = 0.2, sustain = 1, release = 0.05, gate = 1;
  double tone = 0, vibrato = 0, vibrate = 5, sweep = 0, sweeptime = 0.05;
  double detune = 0, echo = 0;
  bool shortlfsr = false;
  int hitnote = 48;  // semitones from C0; 48 is C4
};

// One sounding note, placed on the loop's timeline.
struct note {
  int voice;
  double start, length;  // in beats from the loop's start; length to the release
  int pitch;             // semitones from C0
  double vel;
};

struct song {
  double tempo = 120, meter = 4, volume = 0.5;
  double echobeats = 0, echofeedback = 0;
  int volumeline = 0;  // where volume was set, for the level check's message
  std::vector<voice> voices;
  std::vector<note> notes;
  double beats = 0;  // the loop's length
};

// Reads a score. On a fault returns false with `err` as "NAME:LINE: what".
bool parse(const std::string& text, const std::string& name, song& out, std::string& err);

// The loop's length in sample frames.
std::int64_t frames(const song& s);

// Renders the loop, interleaved left and right. Notes that ring past the end
// are folded back onto the start, and the echo runs round the loop twice, so
// the last frame flows into the first as if the song played on.
std::vector<std::int16_t> render(const song& s);

// The frequency of a pitch in semitones from C0.
double hz(int pitch);

}  // namespace synth
