// Watching a recording on the page: the page writes the file it was given
// into emscripten's file system, and its frames are fed to the game in place
// of the keyboard's at the game's pace, as `bitrot --playback` does on the
// desktop. Escape stops it; at the end the page says whether the last frame
// matches the recording's end line, in the desktop's words.
#include <emscripten.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/playback.h"
#include "core/statehash.h"
#include "link/link.h"
#include "music/music.h"
#include "web.h"

static const char* const watchpath = "/watching";  // where the page puts the file

static std::vector<std::vector<inputevent>> frames;  // the recording's frames
static std::string endstate;                         // its end line's state line, if any
static std::size_t at, next;                         // the frame playing, its next event
static int loaded;                                   // what the last frame's music switch loaded
static bool stopped;                                 // Escape
static unsigned watchseed;                           // its seed

// Escape, from the keyboard or the page's touch pad or gamepads, ends the
// watching; the game's keys come from the recording.
static bool watchpoll(inputevent* e) {
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    u32 sym;
    if (ev.type == SDL_QUIT ||
        (ev.type == SDL_KEYDOWN && sdl12key(u32(ev.key.keysym.sym), &sym) && sym == SDLK_ESCAPE))
      stopped = true;
  }
  if (pageescape()) stopped = true;
  if (next >= frames[at].size()) return false;
  *e = frames[at][next++];
  return true;
}

static void nopause() {}

static const shellio watchio = {playmusic, watchpoll, presentscreen, nopause};

static bool watchframe() {
  loaded = frame(watchio);
  at++;
  next = 0;
  return a.running && !stopped && at < frames.size();
}

static void watchended() {
  const std::string said = stopped ? "stopped after " + std::to_string(at) + " frames"
                                   : verdict(long(at), compareend(endstate, stateline(long(at) - 1, loaded)));
  EM_ASM(
      {
        if (Module['onwatchend']) Module['onwatchend'](UTF8ToString($0));
      },
      said.c_str());
}

static std::string why;  // webwatch's answer

static const char* answer(const std::string& s) {
  why = s;
  return why.c_str();
}

extern "C" {

// Reads the recording the page has just written to /watching, plain or
// packed as in a link, and, when it is one, starts playing it (unless
// checkonly) and returns "". Otherwise returns, as one line, why not (the
// same reasons as the desktop's --playback), and nothing changes.
EMSCRIPTEN_KEEPALIVE const char* webwatch(int checkonly) {
  std::string bytes;
  if (std::FILE* f = std::fopen(watchpath, "rb")) {
    // Read straight into the string: the page's stack is 64 KiB (see
    // web/CMakeLists.txt), too small for a buffer of that size.
    for (std::size_t n = 1; n > 0;) {
      const std::size_t had = bytes.size();
      bytes.resize(had + 65536);
      n = std::fread(&bytes[had], 1, 65536, f);
      bytes.resize(had + n);
    }
    std::fclose(f);
  }
  std::remove(watchpath);
  if (playing) return answer("a run is under way");
  // A link's content (the page has inflated it) may be packed; a file too.
  std::string text, toolarge;
  if (!unpackrecording(bytes, text, toolarge)) return answer(toolarge);
  bytes.clear();

  // Read with the core's reader, line for line and with its words for what
  // is wrong ("line N: ..."), as the desktop's --playback reads.
  std::vector<std::vector<inputevent>> read;
  textsource in(text);
  recordingsummary s;
  const std::string err =
      readwhole(in, "", false, s, [&read](std::vector<inputevent>& evs) { read.push_back(std::move(evs)); });
  if (!err.empty()) return answer(err);
  if (checkonly) return answer("");

  frames.swap(read);
  endstate = s.endstate;
  watchseed = s.seed;
  at = next = 0;
  loaded = -1;
  stopped = false;
  startframes(s.seed, watchframe, watchended);
  return answer("");
}

// Why a recording of size bytes, inflated, is refused for its size, or "":
// the page's limit is the core's (link.h).
EMSCRIPTEN_KEEPALIVE const char* webtoolarge(double size) {
  return answer(size > linkmax ? overlinkmax() : "");
}

// The seed of the recording watched last, for "Play this world".
EMSCRIPTEN_KEEPALIVE unsigned webwatchseed() { return watchseed; }
}
