// Recording a game and playing one back: the frames' own events written as a
// recording (see core/trace.h) while the game runs, or read from one and fed
// to the frames in place of the keyboard's.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/trace.h"
#include "desktop.h"
#include "link/link.h"

static std::FILE* recfile;  // the recording being written
static const char* recpath;
static std::string recline;  // the current frame's events
static bool recfailed;       // a write to the recording failed

static const char* playpath;
static std::vector<std::vector<inputevent>> playframes;  // the recording's frames
static std::string playend;                              // its end line's state line, if any
static std::size_t playat, playnext;                     // the frame playing, its next event
static bool playstop;                                    // Escape, the close button or a signal

static int refuse(const std::string& why) {
  std::fprintf(stderr, "bitrot: %s\n", why.c_str());
  return 2;
}

static int openplayback(options& o) {
  std::string text;
  // A link shared from the page, or its fragment, in place of a file.
  if (islink(o.playback)) {
    std::string why;
    if (!openlink(o.playback, text, why)) return refuse("the link: " + why);
    o.playback = "the link";
  } else {
    std::FILE* f = std::fopen(o.playback, "rb");
    char buf[65536];
    for (std::size_t n; f && (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    if (!f || std::ferror(f)) {
      const std::string why = std::strerror(errno);
      if (f) std::fclose(f);
      return refuse(std::string("cannot read ") + o.playback + ": " + why);
    }
    std::fclose(f);
  }
  const std::string at = std::string(o.playback) + ": ";
  if (!o.haveseed && text.compare(0, 5, "seed ") != 0)
    return refuse(at + "no seed: not a recording (give --seed N to play a trace)");

  std::istringstream in(text);
  tracereader r{in};
  traceline t;
  std::string err;
  int got;
  while ((got = readtrace(r, t, err)) > 0) {
    if (t.type == traceline::isseed && !o.haveseed) o.seed = t.seed, o.haveseed = true;
    if (t.type == traceline::isframe) playframes.push_back(t.evs);
    if (t.type == traceline::isend) playend = t.state;
  }
  if (got < 0) return refuse(at + err);
  if (playframes.empty()) return refuse(at + "no frames to play");
  playpath = o.playback;
  return -1;
}

int openfiles(options& o) {
  if (o.playback) return openplayback(o);
  if (!o.record) return -1;
  // "x": created here or not at all, so that no recording is ever overwritten.
  recfile = std::fopen(o.record, "wx");
  if (!recfile && errno == EEXIST)
    return refuse(std::string(o.record) + " already exists; a recording never overwrites a file");
  if (!recfile) return refuse(std::string("cannot create ") + o.record + ": " + std::strerror(errno));
  recpath = o.record;
  return -1;
}

void droprecording() {
  if (!recfile) return;
  std::fclose(recfile);
  recfile = nullptr;
  std::remove(recpath);
}

// Writes s whole and flushes it, so that a crash keeps every frame played.
static void recwrite(const std::string& s) {
  if (std::fputs(s.c_str(), recfile) < 0 || std::fflush(recfile) != 0) recfailed = true;
}

static bool recpoll(inputevent* e) {
  if (!sdlio.poll(e)) return false;
  appendevent(recline, *e);
  return true;
}

static void recdelay() {
  recline += '\n';
  recwrite(recline);
  recline.clear();
  sdlio.delay();
}

int recordgame(unsigned seed) {
  const shellio io = {sdlio.playmusic, recpoll, sdlio.present, recdelay};
  recwrite(seedline(seed));
  long f = 0;
  int loaded = -1;
  while (a.running) loaded = frame(io), f++;
  recwrite("end " + stateline(f - 1, loaded));
  if (std::fclose(recfile) != 0) recfailed = true;
  recfile = nullptr;
  if (!recfailed) return 0;
  std::fprintf(stderr, "bitrot: could not write all of the recording %s\n", recpath);
  return 1;
}

// The window's own events end a playback; the game's come from the recording.
static void drainwindow() {
  inputevent e;
  while (sdlio.poll(&e))
    if (e.type == inputevent::quit || (e.type == inputevent::keydown && e.sym == SDLK_ESCAPE))
      playstop = true;
}

static bool playpoll(inputevent* e) {
  drainwindow();
  const std::vector<inputevent>& evs = playframes[playat];
  if (playnext >= evs.size()) return false;
  *e = evs[playnext++];
  return true;
}

static void playdelay() {
  playat++;
  playnext = 0;
  sdlio.delay();
}

int playgame() {
  const shellio io = {sdlio.playmusic, playpoll, sdlio.present, playdelay};
  int loaded = -1;
  while (a.running && !playstop && playat < playframes.size()) loaded = frame(io);
  if (playstop) return 0;

  // The last frame stays on screen until the player closes the window.
  const std::string line = stateline(long(playat) - 1, loaded);
  int rc = 0;
  if (playend.empty()) {
    std::fprintf(stderr, "bitrot: %s: played %zu frames; the recording has no end line\n", playpath, playat);
  } else if (playend == line) {
    std::fprintf(stderr, "bitrot: %s: played %zu frames; the last matches the end line\n", playpath, playat);
  } else {
    std::fprintf(stderr, "bitrot: %s: played %zu frames; the last differs from the end line\n", playpath,
                 playat);
    rc = 1;
  }
  while (!playstop) {
    drainwindow();
    presentscreen();
    sdlio.delay();
  }
  return rc;
}
