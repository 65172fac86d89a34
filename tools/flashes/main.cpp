// bitrot-flashes: the flashes in frames as a platform shows them, counted by
// WCAG 2.2's general and red definitions, per pixel and by area.
//
//   bitrot-flashes [FILE.rgb]
//
// FILE (standard input when not given, or "-") holds 320x240 RGB frames, 8
// bits a channel, top row first, one after another at 20 a second, as
// `bitrot-replay --frames FILE` writes them.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "measure.h"

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1])) {
    std::fprintf(stderr, "usage: bitrot-flashes [FILE.rgb]\n");
    return 2;
  }
  const char* name = argc == 2 && argv[1][0] != '-' ? argv[1] : nullptr;
  std::FILE* in = name ? std::fopen(name, "rb") : stdin;
  if (!in) {
    std::fprintf(stderr, "bitrot-flashes: cannot read %s: %s\n", name, std::strerror(errno));
    return 2;
  }
  flashmeasure m;
  std::vector<u8> frame(framebytes);
  std::size_t got;
  while ((got = std::fread(frame.data(), 1, framebytes, in)) == framebytes) m.add(frame.data());
  const bool bad = std::ferror(in) || got != 0;
  if (name) std::fclose(in);
  if (bad) {
    std::fprintf(stderr, "bitrot-flashes: %s: %s\n", name ? name : "stdin",
                 got ? "ends inside a frame" : "cannot be read");
    return 2;
  }
  const long seconds = (m.frames() + 19) / 20;
  const flashfigures g = m.figures(0), r = m.figures(1);
  std::printf("%ld frames, %ld seconds\n", m.frames(), seconds);
  std::printf("%-36s %9s %9s\n", "", "general", "red");
  std::printf("%-36s %9.1f %9.1f\n", "most flashes in a second, a pixel", g.pixelmost, r.pixelmost);
  std::printf("%-36s %9ld %9ld\n", "seconds with a pixel over 3", g.pixelseconds, r.pixelseconds);
  std::printf("%-36s %8.1f%% %8.1f%%\n", "  of all seconds", seconds ? 100.0 * g.pixelseconds / seconds : 0,
              seconds ? 100.0 * r.pixelseconds / seconds : 0);
  std::printf("%-36s %8.2f%% %8.2f%%\n", "pixel-seconds over 3", 100 * g.pixelshare, 100 * r.pixelshare);
  std::printf("%-36s %9.1f %9.1f\n", "most flashes in a second, by area", g.areamost, r.areamost);
  std::printf("%-36s %9.2f %9.2f\n", "  the worst second from, in seconds", g.areafrom / 20.0,
              r.areafrom / 20.0);
  std::printf("%-36s %9ld %9ld\n", "seconds over 3 by area", g.areaseconds, r.areaseconds);
  return 0;
}
