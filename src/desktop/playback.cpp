// Playing a recording back: its frames' events fed to the frames in place of
// the keyboard's. The checks and the words are the core's (core/playback.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/playback.h"
#include "core/statehash.h"
#include "desktop.h"
#include "link/link.h"

namespace {

// A recording plays as it is read, a line at a time, so that a long one (or
// one made of nothing but empty frames) takes no more memory than a short one.
// It is read twice: once whole before the window opens, to refuse it with
// the reason if it is not a recording, and again as it plays.
struct {
  std::string name;                    // as the messages call it
  std::FILE* file;                     // the recording
  std::string text;                    // or all of it, when it came from a pipe or a link
  std::optional<filesource> fromfile;  // the source read from the file, or
  std::optional<textsource> fromtext;  // from text
  std::optional<tracereader> reader;
  std::string endstate;         // the end line's state line, if any
  std::vector<inputevent> evs;  // the events of the frame playing
  std::size_t next;             // the next of them
  long played;                  // frames played
  bool more;                    // evs holds a frame to play
  bool stop;                    // Escape, the close button or a signal
  std::string fault;            // what went wrong reading it the second time
} play;

// What a pipe may hold: a pipe can't be read twice, so its recording is held
// in memory. 32 MiB is days of play.
constexpr std::size_t maxpiped = 32u << 20;

int refuse(const std::string& why) {
  std::fprintf(stderr, "bitrot: %s\n", why.c_str());
  return 2;
}

// The source of the recording, from its first byte.
tracesource& fromstart() {
  if (!play.file) return play.fromtext.emplace(play.text);
  std::fseek(play.file, 0, SEEK_SET);
  return play.fromfile.emplace(play.file);
}

// Holds what a pipe gives in play.text; returns "" or why not.
std::string readpipe() {
  filesource pipe(play.file);
  std::string why;
  char buf[65536];
  long n;
  while ((n = pipe.read(buf, sizeof buf, why)) > 0 && play.text.size() + std::size_t(n) <= maxpiped)
    play.text.append(buf, std::size_t(n));
  std::fclose(play.file);
  play.file = nullptr;
  if (n < 0) return "cannot read " + play.name + ": " + why;
  if (n > 0)
    return play.name + ": over " + std::to_string(maxpiped >> 20) +
           " MiB from a pipe; save it to a file to play it";
  return "";
}

// The window's own events end a playback; the game's come from the recording.
void drainwindow() {
  inputevent e;
  while (sdlio.poll(&e))
    if (e.type == inputevent::quit || (e.type == inputevent::keydown && e.sym == SDLK_ESCAPE))
      play.stop = true;
}

// Reads the recording's next frame line into play.evs. The file was read
// whole once already, so a fault here means it changed, or the disk failed,
// since: the playback ends with what is wrong.
void readframe() {
  play.evs.clear();
  play.next = 0;
  play.more = false;
  if (!play.reader) return;
  traceline t;
  std::string err;
  readresult got;
  while ((got = readtrace(*play.reader, t, err)) == readresult::line && t.type != traceline::isend) {
    if (t.type != traceline::isframe) continue;
    play.evs.swap(t.evs);
    play.more = true;
    return;
  }
  if (got != readresult::line && got != readresult::end) play.fault = refusal(play.name, got, err);
}

bool playpoll(inputevent* e) {
  drainwindow();
  if (play.next >= play.evs.size()) return false;
  *e = play.evs[play.next++];
  return true;
}

void playendframe() {
  play.played++;
  readframe();
  sdlio.endframe();
}

}  // namespace

int openplayback(options& o) {
  // A link shared from the page, or its fragment, in place of a file: its
  // recording is held in memory, as a pipe's is, at most 64 MiB.
  if (islink(o.playback)) {
    std::string why;
    if (!openlink(o.playback, play.text, why)) return refuse("the link: " + why);
    o.playback = "the link";
  }
  play.name = o.playback;
  if (play.text.empty()) play.file = std::fopen(o.playback, "rb");
  if (!play.file && play.text.empty())
    return refuse("cannot read " + play.name + ": " + std::strerror(errno));
  if (play.file && std::fseek(play.file, 0, SEEK_SET) != 0) {
    const std::string why = readpipe();
    if (!why.empty()) return refuse(why);
  }
  recordingsummary s;
  const std::string why = readwhole(fromstart(), play.name, o.haveseed, s);
  if (!why.empty()) return refuse(why);
  if (!o.haveseed && s.haveseed) o.seed = s.seed, o.haveseed = true;
  play.endstate = s.endstate;
  play.reader.emplace(fromstart());
  return -1;
}

int playgame() {
  const shellio io = {sdlio.playmusic, playpoll, sdlio.present, playendframe};
  int loaded = -1;
  readframe();
  while (a.running && !play.stop && play.more && play.fault.empty()) loaded = frame(io);
  play.reader.reset();
  if (play.file) std::fclose(play.file);
  play.file = nullptr;
  if (!play.fault.empty()) return refuse(play.fault);
  if (play.stop) return 0;

  // The last frame stays on screen until the player closes the window.
  const ending e = compareend(play.endstate, stateline(play.played - 1, loaded));
  std::fprintf(stderr, "bitrot: %s: %s\n", play.name.c_str(), verdict(play.played, e).c_str());
  while (!play.stop) {
    drainwindow();
    presentscreen();
    sdlio.endframe();
  }
  return e == ending::differs ? 1 : 0;
}
