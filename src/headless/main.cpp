// bitrot-replay: runs the game headless from a key trace or a recording and
// prints the state after every frame (and may keep the last frame's screen as
// a picture), or writes the built-in world image to a file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "core/playback.h"
#include "core/state.h"
#include "flash/calm.h"
#include "replay.h"
#ifdef BITROT_LINKS
#include "link/link.h"
#endif

static int usage() {
  std::fprintf(stderr,
               "usage: bitrot-replay [--seed N] [--last] [--screen FILE.ppm] [--frames FILE.rgb]\n"
               "                     [--reduce-flashing] [TRACE | LINK]\n"
               "       bitrot-replay --dump-world FILE\n");
  return 2;
}

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "--dump-world")) {
    std::FILE* f = std::fopen(argv[2], "wb");
    bool ok = f && std::fwrite(header_data, 1, sizeof header_data, f) == sizeof header_data;
    if (f && std::fclose(f) != 0) ok = false;
    if (!ok) {
      std::fprintf(stderr, "bitrot-replay: cannot write %s\n", argv[2]);
      return 1;
    }
    return 0;
  }

  bool last = false;
  std::optional<unsigned> seed;
  const char *screen = nullptr, *path = nullptr, *frames = nullptr;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--last")) {
      last = true;
    } else if (!std::strcmp(argv[i], "--screen") && i + 1 < argc) {
      screen = argv[++i];
    } else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) {
      frames = argv[++i];
    } else if (!std::strcmp(argv[i], "--reduce-flashing")) {
      setcalm(true);
    } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      unsigned v;
      if (!readnumber(argv[++i], v)) return usage();
      seed = v;
    } else if (argv[i][0] != '-' && !path) {
      path = argv[i];
    } else {
      return usage();
    }
  }

  if (frames && !(framesout = std::fopen(frames, "wb"))) {
    std::fprintf(stderr, "bitrot-replay: cannot write %s: %s\n", frames, std::strerror(errno));
    return 1;
  }

  // The state lines go out through iostream's own buffer, not a C stdio call
  // for each.
  std::ios::sync_with_stdio(false);
  const char* name = path ? path : "stdin";
  std::string err;
  replayend end;
  int rc;
#ifdef BITROT_LINKS
  // A link shared from the page, or its fragment, in place of a file.
  if (path && islink(path)) {
    std::string recording;
    name = "the link";
    if (!openlink(path, recording, err)) {
      std::fprintf(stderr, "bitrot-replay: %s: %s\n", name, err.c_str());
      return 2;
    }
    textsource in(recording);
    rc = runreplay(in, name, std::cout, seed, last, err, &end);
  } else
#endif
  {
    std::FILE* file = path ? std::fopen(path, "rb") : stdin;
    if (!file) {
      std::fprintf(stderr, "bitrot-replay: cannot read %s: %s\n", path, std::strerror(errno));
      return 2;
    }
    filesource in(file);
    rc = runreplay(in, name, std::cout, seed, last, err, &end);
    if (path) std::fclose(file);
  }
  // A write that failed on the way (a full disk) marks the file, or its close.
  if (framesout && (std::ferror(framesout) | (std::fclose(framesout) != 0)) && !rc) {
    std::fprintf(stderr, "bitrot-replay: cannot write %s\n", frames);
    return 1;
  }
  if (rc) {
    std::fprintf(stderr, "bitrot-replay: %s\n", err.c_str());
    return rc;
  }
  if (screen && !writescreen(screen)) {
    std::fprintf(stderr, "bitrot-replay: cannot write %s\n", screen);
    return 1;
  }
  if (!end.seen) return 0;
  const ending e = compareend(end.recorded, end.replayed);
  std::fprintf(stderr, "bitrot-replay: %s", lastframeverdict(name, e, end.recorded, end.replayed).c_str());
  return e == ending::matches ? 0 : 1;
}
