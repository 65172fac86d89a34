// Recording a game: the frames' own events written as a recording (see
// core/recording.h) while the game runs.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/recording.h"
#include "core/statehash.h"
#include "desktop.h"

namespace {

// The recording being written.
struct {
  std::FILE* file;
  const char* path;
  std::string line;  // the current frame's events
  bool failed;       // a write to it failed
} rec;

int refuse(const std::string& why) {
  std::fprintf(stderr, "bitrot: %s\n", why.c_str());
  return 2;
}

// Writes s whole and flushes it, so that a crash keeps every frame played.
void recwrite(const std::string& s) {
  if (std::fputs(s.c_str(), rec.file) < 0 || std::fflush(rec.file) != 0) rec.failed = true;
}

bool recpoll(inputevent* e) {
  if (!sdlio.poll(e)) return false;
  appendevent(rec.line, *e);
  return true;
}

// The frame's line goes out whole once its events are all in.
void recendframe() {
  rec.line += '\n';
  recwrite(rec.line);
  rec.line.clear();
  sdlio.endframe();
}

}  // namespace

int openrecording(const char* path) {
  // "x": created here or not at all, so that no recording is ever overwritten.
  rec.file = std::fopen(path, "wx");
  if (!rec.file && errno == EEXIST)
    return refuse(std::string(path) + " already exists; a recording never overwrites a file");
  if (!rec.file) return refuse(std::string("cannot create ") + path + ": " + std::strerror(errno));
  rec.path = path;
  return -1;
}

void droprecording() {
  if (!rec.file) return;
  std::fclose(rec.file);
  rec.file = nullptr;
  std::remove(rec.path);
}

int recordgame(unsigned seed) {
  const shellio io = {sdlio.playmusic, recpoll, sdlio.present, recendframe};
  recwrite(seedline(seed));
  long f = 0;
  int loaded = -1;
  while (a.running) loaded = frame(io), f++;
  recwrite("end " + stateline(f - 1, loaded));
  if (std::fclose(rec.file) != 0) rec.failed = true;
  rec.file = nullptr;
  if (!rec.failed) return 0;
  std::fprintf(stderr, "bitrot: could not write all of the recording %s\n", rec.path);
  return 1;
}
