// Recording a game and playing one back: the frames' own events written as a
// recording (see core/trace.h) while the game runs, or read from one and fed
// to the frames in place of the keyboard's.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/trace.h"
#include "desktop.h"
#include "link/link.h"

static std::FILE* recfile;  // the recording being written
static const char* recpath;
static std::string recline;  // the current frame's events
static bool recfailed;       // a write to the recording failed

// A recording plays as it is read, a line at a time, so that a long one (or
// one made of nothing but empty frames) takes no more memory than a short one.
// It is read twice: once whole before the window opens, to refuse it with
// the reason if it is not a recording, and again as it plays.
static const char* playpath;
static std::FILE* playfile;               // the recording
static std::string playtext;              // or all of it, when it came from a pipe
static std::optional<filesource> playfs;  // the source read from the file, or
static std::optional<textsource> playts;  // from playtext
static std::optional<tracereader> playreader;
static std::vector<inputevent> playevs;  // the events of the frame playing
static std::string playend;              // the end line's state line, if any
static std::size_t playat, playnext;     // frames played, the next event of this one
static bool playmore;                    // playevs holds a frame to play
static bool playstop;                    // Escape, the close button or a signal
static std::string playfault;            // what went wrong reading it the second time

// What a pipe may hold: a pipe can't be read twice, so its recording is held
// in memory. 32 MiB is days of play.
constexpr std::size_t maxpiped = 32u << 20;

static int refuse(const std::string& why) {
  std::fprintf(stderr, "bitrot: %s\n", why.c_str());
  return 2;
}

// A readtrace refusal (got -1 or -2) as the line it is said in.
static std::string readfault(int got, const std::string& err) {
  return got == -2 ? std::string("cannot read ") + playpath + ": " + err : std::string(playpath) + ": " + err;
}

// Starts reading the recording from its first byte.
static tracereader& playfromstart() {
  if (playfile) {
    std::fseek(playfile, 0, SEEK_SET);
    playreader.emplace(playfs.emplace(playfile));
  } else {
    playreader.emplace(playts.emplace(playtext));
  }
  return *playreader;
}

static int openplayback(options& o) {
  // A link shared from the page, or its fragment, in place of a file: its
  // recording is held in memory, as a pipe's is, at most 64 MiB.
  if (islink(o.playback)) {
    std::string why;
    if (!openlink(o.playback, playtext, why)) return refuse("the link: " + why);
    o.playback = "the link";
  }
  playpath = o.playback;
  if (playtext.empty()) playfile = std::fopen(o.playback, "rb");
  if (!playfile && playtext.empty())
    return refuse(std::string("cannot read ") + o.playback + ": " + std::strerror(errno));
  if (playfile && std::fseek(playfile, 0, SEEK_SET) != 0) {
    filesource pipe(playfile);
    std::string why;
    char buf[65536];
    long n;
    while ((n = pipe.read(buf, sizeof buf, why)) > 0 && playtext.size() + std::size_t(n) <= maxpiped)
      playtext.append(buf, std::size_t(n));
    std::fclose(playfile);
    playfile = nullptr;
    if (n < 0) return refuse(std::string("cannot read ") + o.playback + ": " + why);
    if (n > 0)
      return refuse(std::string(o.playback) + ": over " + std::to_string(maxpiped >> 20) +
                    " MiB from a pipe; save it to a file to play it");
  }

  tracereader& r = playfromstart();
  traceline t;
  std::string err;
  int got = readtrace(r, t, err);
  const std::string at = std::string(o.playback) + ": ";
  if (got == -2) return refuse(readfault(got, err));
  if (!o.haveseed && (got == 0 || r.text.compare(0, 5, "seed ") != 0))
    return refuse(at + "no seed: not a recording (give --seed N to play a trace)");
  long frames = 0;
  for (; got > 0; got = readtrace(r, t, err)) {
    if (t.type == traceline::isseed && !o.haveseed) o.seed = t.seed, o.haveseed = true;
    if (t.type == traceline::isframe) frames++;
    if (t.type == traceline::isend) playend = t.state;
  }
  if (got < 0) return refuse(readfault(got, err));
  if (frames == 0) return refuse(at + "no frames to play");
  playfromstart();
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

// Reads the recording's next frame line into playevs. The file was read
// whole once already, so a fault here means it changed, or the disk failed,
// since: the playback ends with what is wrong.
static void readframe() {
  playevs.clear();
  playnext = 0;
  playmore = false;
  if (!playreader) return;
  traceline t;
  std::string err;
  int got;
  while ((got = readtrace(*playreader, t, err)) > 0 && t.type != traceline::isend) {
    if (t.type != traceline::isframe) continue;
    playevs.swap(t.evs);
    playmore = true;
    return;
  }
  if (got < 0) playfault = readfault(got, err);
}

static bool playpoll(inputevent* e) {
  drainwindow();
  if (playnext >= playevs.size()) return false;
  *e = playevs[playnext++];
  return true;
}

static void playdelay() {
  playat++;
  readframe();
  sdlio.delay();
}

int playgame() {
  const shellio io = {sdlio.playmusic, playpoll, sdlio.present, playdelay};
  int loaded = -1;
  readframe();
  while (a.running && !playstop && playmore && playfault.empty()) loaded = frame(io);
  playreader.reset();
  if (playfile) std::fclose(playfile);
  playfile = nullptr;
  if (!playfault.empty()) return refuse(playfault);
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
