// bitrot-replay: runs the game headless from a key trace and prints the state
// after every frame (and may keep the last frame's screen as a picture), or
// writes the built-in world image to a file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "core/state.h"
#include "replay.h"

static int usage() {
  std::fprintf(stderr,
               "usage: bitrot-replay --seed N [--last] [--screen FILE.ppm] < TRACE\n"
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

  bool haveseed = false, last = false;
  unsigned seed = 0;
  const char* screen = nullptr;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--last")) {
      last = true;
    } else if (!std::strcmp(argv[i], "--screen") && i + 1 < argc) {
      screen = argv[++i];
    } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
      char* end;
      unsigned long v = std::strtoul(argv[++i], &end, 10);
      if (*argv[i] == '\0' || *end != '\0' || *argv[i] == '-' || v > 0xFFFFFFFFul) return usage();
      seed = unsigned(v);
      haveseed = true;
    } else {
      return usage();
    }
  }
  if (!haveseed) return usage();

  std::string err;
  int rc = runreplay(std::cin, std::cout, seed, last, err);
  if (rc) {
    std::fprintf(stderr, "bitrot-replay: %s\n", err.c_str());
    return rc;
  }
  if (screen && !writescreen(screen)) {
    std::fprintf(stderr, "bitrot-replay: cannot write %s\n", screen);
    return 1;
  }
  return 0;
}
