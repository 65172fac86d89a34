// The command line, the GNU way: --help and --version on stdout, any mistake
// named in one line on stderr with the usage, and status 2, before a window.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/recording.h"
#include "desktop.h"

static const char usage[] =
    "Usage: bitrot [--scale N] [--fullscreen] [--reduce-flashing] [--seed N] [--record FILE | --playback "
    "FILE|LINK] [--help] [--version]\n";

static const char help[] =
    "Usage: bitrot [OPTION]...\n"
    "Walk a cave one step per key press while a growth spreads behind you, on a\n"
    "320x240 display that decays on its own. Step onto a mender to repair the\n"
    "display; step onto the growth, or let it reach you, and the game starts over.\n"
    "\n"
    "Options:\n"
    "  --scale N        show each pixel N times larger, N from 1 to 8; by default\n"
    "                   the largest that fits in nine tenths of the screen, and a\n"
    "                   screen of 640x480 or less is filled\n"
    "  --fullscreen     fill the screen\n"
    "  --reduce-flashing\n"
    "                   hold back the screen's fast flicker: no spot flashes more\n"
    "                   than 2.5 times a second, and no change shows over 150 ms\n"
    "                   late; the game itself and its recordings are unchanged\n"
    "  --seed N         seed chance with N (0 to 4294967295) instead of the clock:\n"
    "                   the same seed and the same keys make the same game\n"
    "  --record FILE    write the seed and every frame's keys into FILE, a new file\n"
    "  --playback FILE  play a recording in the window; Escape ends it\n"
    "  --playback LINK  play a run shared from the page, its link or the link's\n"
    "                   #run=... part\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Keys:\n"
    "  arrows           step right, up, left or down\n"
    "  Space            wait a turn; on the title card Space, Return or Left Ctrl\n"
    "                   (or Down with another arrow) starts play\n"
    "  Escape           held alone, quit\n"
    "  F11              fullscreen on or off\n"
    "  M                music on or off\n"
    "  F                reduced flashing on or off\n"
    "A gamepad plays too: the D-pad or the left stick are the arrows, A (or\n"
    "Cross) is Space, Start is Return and Back is Escape; Y (or Triangle)\n"
    "switches reduced flashing.\n";

static const char version[] = "bitrot " BITROT_VERSION
                              "\n"
                              "Copyright (C) 2026 The bitrot developers\n"
                              "License MIT: <https://opensource.org/license/mit>\n"
                              "This is free software: you are free to change and redistribute it.\n"
                              "There is NO WARRANTY, to the extent permitted by law.\n";

// --help and --version: status 1 if stdout would not take the text (a full disk).
static int show(const char* text) {
  return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
}

static int bad(const std::string& why) {
  std::fprintf(stderr, "bitrot: %s\n%s", why.c_str(), usage);
  return 2;
}

int readoptions(int argc, char** argv, options& o) {
  enum { scale = 1, fullscreen, seed, record, playback, helpopt, versionopt, calmopt };
  static const option longopts[] = {
      {"scale", required_argument, nullptr, scale},
      {"fullscreen", no_argument, nullptr, fullscreen},
      {"seed", required_argument, nullptr, seed},
      {"record", required_argument, nullptr, record},
      {"playback", required_argument, nullptr, playback},
      {"help", no_argument, nullptr, helpopt},
      {"version", no_argument, nullptr, versionopt},
      {"reduce-flashing", no_argument, nullptr, calmopt},
      {nullptr, 0, nullptr, 0},
  };
  // getopt names the program by argv[0] in its messages; ours say "bitrot".
  static char name[] = "bitrot";
  argv[0] = name;
  optind = 1;
  unsigned n;
  for (int c; (c = getopt_long(argc, argv, "", longopts, nullptr)) != -1;) {
    switch (c) {
    case scale:
      if (!readnumber(optarg, n) || n < 1 || n > 8)
        return bad(std::string("--scale: '") + optarg + "' is not a number from 1 to 8");
      o.scale = int(n);
      break;
    case fullscreen: o.fullscreen = true; break;
    case calmopt: o.reduceflashing = true; break;
    case seed:
      if (!readnumber(optarg, o.seed))
        return bad(std::string("--seed: '") + optarg + "' is not a number from 0 to 4294967295");
      o.haveseed = true;
      break;
    case record: o.record = optarg; break;
    case playback: o.playback = optarg; break;
    case helpopt: return show(help);
    case versionopt: return show(version);
    default: std::fputs(usage, stderr); return 2;  // getopt has said what is wrong
    }
  }
  if (optind < argc) return bad(std::string("unexpected argument '") + argv[optind] + "'");
  if (o.record && o.playback) return bad("--record and --playback can't be used together");
  if ((o.record && !*o.record) || (o.playback && !*o.playback)) return bad("an empty file name");
  return -1;
}
