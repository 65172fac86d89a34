// Fuzzes the desktop game's command line, arguments split at NUL bytes.
// Besides the sanitizers' findings, it stops when readoptions answers other
// than -1 (start), 0 (--help, --version) or 2, or starts with broken options.
#include <getopt.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "desktop/desktop.h"

namespace {

// tools/fuzz closes stdout and stderr (-close_fd_mask=3); ours go to a copy.
int errfd = 2;

void check(bool ok, const char* what) {
  if (ok) return;
  dprintf(errfd, "options_fuzz: %s\n", what);
  std::abort();
}

// readoptions' `optind = 1` only rewinds getopt; optind 0 on an empty
// command line starts it afresh, as in a new process.
void resetgetopt() {
  static char name[] = "bitrot";
  char* none[] = {name, nullptr};
  static const option noopts[] = {{nullptr, 0, nullptr, 0}};
  optind = 0;
  check(getopt_long(1, none, "", noopts, nullptr) == -1, "getopt found an option in an empty command line");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  errfd = dup(2);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each argument in a buffer of its own size, so reading past one is caught.
  std::vector<std::unique_ptr<char[]>> args;
  std::vector<char*> argv;
  const auto add = [&](const std::uint8_t* s, std::size_t n) {
    args.emplace_back(new char[n + 1]);
    std::memcpy(args.back().get(), s, n);
    args.back()[n] = '\0';
    argv.push_back(args.back().get());
  };
  add(reinterpret_cast<const std::uint8_t*>("x"), 1);
  for (std::size_t at = 0; at < size && argv.size() < 64;) {
    const void* nul = std::memchr(data + at, 0, size - at);
    const std::size_t n = nul ? std::size_t(static_cast<const std::uint8_t*>(nul) - data) - at : size - at;
    add(data + at, n);
    at += n + 1;
  }
  const int argc = int(argv.size());
  argv.push_back(nullptr);

  resetgetopt();
  options o;
  const int rc = readoptions(argc, argv.data(), o);
  check(rc == -1 || rc == 0 || rc == 2, "an exit status outside -1, 0 and 2");
  if (rc != -1) return 0;
  check(o.scale >= 0 && o.scale <= 8, "a scale outside 1 to 8");
  check(!(o.record && o.playback), "both --record and --playback");
  check(!o.record || *o.record, "an empty recording name");
  check(!o.playback || *o.playback, "an empty playback name");
  return 0;
}
