// Recordings and traces: the game's input as text, and the reader of it.
//
// A trace has one line per frame, holding that frame's events as blank-
// separated tokens: dK (key K down), uK (key K up), q (quit), with K an SDL
// 1.2 key code. The headless replay reads traces; the desktop records them.
//
// A recording is a trace with two more kinds of line, so that it holds a
// whole game:
//   seed N           the first line: the seed rand was given, 0 to 4294967295
//   end STATELINE    after a clean end: the state line of the last frame
//                    (core/statehash.h)
// The game writes each frame's line whole, newline included, and flushes it,
// so a recording cut short by a crash ends in whole frames; a last line with
// no newline can only be a frame cut in half, and is left out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "frame.h"

// What reading a line came to.
enum class readresult : signed char {
  line,     // a line was read
  end,      // the input has ended
  refused,  // a line that is not a trace's: "line N: what is wrong"
  failed,   // the input could not be read: the system's reason
};

// Reads one trace line into evs. On a token it can't read, returns false with
// the token in bad.
bool parseevents(const std::string& line, std::vector<inputevent>& evs, std::string& bad);

// Appends e to a trace line as its token, blank-separated; other events, which
// the game ignores, add nothing.
void appendevent(std::string& line, const inputevent& e);

// Reads a decimal number from 0 to 4294967295 and nothing else: no sign, no
// blanks, at most ten digits.
bool readnumber(const std::string& s, unsigned& v);

// The first line of a recording, with its newline.
std::string seedline(unsigned seed);

// One line of a trace or a recording.
struct traceline {
  enum kind : u8 { isframe, isseed, isend } type = isframe;
  std::vector<inputevent> evs;  // isframe: that frame's events
  unsigned seed = 0;            // isseed: the seed
  std::string state;            // isend: the recorded state line, newline included
};

// The longest line read, newline not counted: 16 MiB, some millions of
// events in one frame where a keyboard's make a handful and a flood of SDL's
// whole event queue (65,535) well under half a megabyte. It bounds what one
// line can take in memory; a longer one is refused.
constexpr std::size_t maxline = 16u << 20;

// How far a trace or a recording has been read, to check its shape: a seed
// line only first, nothing after an end line.
struct traceplace {
  long line = 0;           // lines read so far
  bool haveseed = false;   // the first line was a seed line
  bool ended = false;      // an end line was read
  bool recording = false;  // the first line is a seed line, though perhaps a bad one
};

// Reads one whole line, text without its newline, as the line after p into t:
// line, or refused with "line N: what is wrong" in err. readtrace reads each
// line of a tracesource through it.
readresult readtraceline(traceplace& p, const std::string& text, traceline& t, std::string& err);

// Where the bytes of a trace come from: a file, a pipe, or text in memory.
// No exceptions: a read that fails says so, and why, as its return value, so
// that no caller can take a failed read for the end of the file.
class tracesource {
public:
  // Reads up to n bytes into buf: how many, 0 at the end, or -1 with the
  // system's reason (strerror's words) in why.
  virtual long read(char* buf, std::size_t n, std::string& why) = 0;

protected:
  tracesource() = default;
  tracesource(const tracesource&) = default;
  tracesource& operator=(const tracesource&) = default;
  ~tracesource() = default;
};

// A file open for reading, through C's stdio: a read error is the file's
// ferror and errno. The caller opens and closes it.
class filesource final : public tracesource {
public:
  explicit filesource(std::FILE* f) : file(f) {}
  long read(char* buf, std::size_t n, std::string& why) override;

private:
  std::FILE* file;
};

// Text already in memory, a recording held whole; it is not copied, and must
// outlive the source.
class textsource final : public tracesource {
public:
  explicit textsource(std::string_view t) : text(t) {}
  long read(char* buf, std::size_t n, std::string& why) override;

private:
  std::string_view text;
  std::size_t at = 0;
};

// Reads a trace or a recording line by line and checks its shape, and that
// no line is over maxline. It keeps one line and a block of the input, never
// more, however long the input.
struct tracereader {
  explicit tracereader(tracesource& s) : in(s) {}
  tracesource& in;
  traceplace at = {};
  std::string text;       // the line being read
  std::vector<char> buf;  // a block of the input, and what of it is not yet read
  std::size_t from = 0, to = 0;
};

// Reads the next line into t: line when there was one, end at the end,
// refused with "line N: what is wrong" in err on a line it can't read, and
// failed with the system's reason in err when the input can't be read.
readresult readtrace(tracereader& r, traceline& t, std::string& err);
