// Fuzzes the reader of traces and recordings, and a replay of their first
// frames. Besides the sanitizers' findings, it stops when a refusal names no
// line, a frame written out reads back otherwise, --last or the end line's
// check looks at another line than the last, or a hash is not FNV-1a.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/playback.h"
#include "core/statehash.h"
#include "headless/replay.h"

namespace {

// Past the title card's lock-out, yet some tens of milliseconds an input.
constexpr long maxframes = 120;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "trace_fuzz: %s\n", what);
  std::abort();
}

void readall(const std::string& text) {
  textsource in(text);
  recordingsummary sum;
  const std::string why = readwhole(in, "fuzz", true, sum, [](std::vector<inputevent>& evs) {
    std::string line, bad;
    for (const inputevent& e : evs) appendevent(line, e);
    std::vector<inputevent> again;
    check(parseevents(line, again, bad) && again.size() == evs.size(),
          "a frame written out reads back otherwise");
    for (std::size_t i = 0; i < again.size(); i++)
      check(again[i].type == evs[i].type && again[i].sym == evs[i].sym, "an event read back differs");
  });
  check(why.empty() || why.starts_with("fuzz: line ") || why == "fuzz: no frames to play",
        "a refusal names neither the input nor its line");
}

// The state line's hashes a byte at a time, each 16-bit word little-endian.
std::uint64_t plainwords(const u16* w, std::size_t n, std::uint64_t h) {
  for (std::size_t i = 0; i < n; i++) {
    const u8 bytes[2] = {u8(w[i]), u8(w[i] >> 8)};
    h = fnv1a(bytes, 2, h);
  }
  return h;
}
std::string plainhashes() {
  const std::uint64_t scr = plainwords(scrbuf, scrw * scrh, 0xcbf29ce484222325ull);
  const std::uint64_t st = plainwords(pal16, 32, fnv1a(scfx, sizeof scfx, fnv1a(a.cells, sizeof a.cells)));
  char s[64];
  std::snprintf(s, sizeof s, " scr=%016llx st=%016llx\n", static_cast<unsigned long long>(scr),
                static_cast<unsigned long long>(st));
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  readall(text);

  // The first lines only; with no seed line, the golden traces' seed.
  std::size_t cut = 0;
  for (long n = 0; n < maxframes && cut < text.size(); n++) {
    const std::size_t nl = text.find('\n', cut);
    cut = nl == std::string::npos ? text.size() : nl + 1;
  }
  const std::string head = text.substr(0, cut);
  const std::optional<unsigned> seed =
      head.compare(0, 5, "seed ") == 0 ? std::nullopt : std::optional<unsigned>(22);

  textsource in1(head), in2(head);
  std::ostringstream all, last;
  std::string err1, err2;
  replayend end1, end2;
  const int rc1 = runreplay(in1, "fuzz", all, seed, false, err1, &end1);
  const int rc2 = runreplay(in2, "fuzz", last, seed, true, err2, &end2);
  check(rc1 == rc2 && err1 == err2, "--last changes the outcome");
  check(rc1 == 0 ? err1.empty() : !err1.empty(), "a refusal with no message, or a message with none");
  if (rc1 != 0) return 0;
  const std::string out = all.str();
  const std::size_t nl = out.size() < 2 ? std::string::npos : out.rfind('\n', out.size() - 2);
  const std::string lastline = nl == std::string::npos ? out : out.substr(nl + 1);
  check(last.str() == lastline, "--last is not the last line");
  check(end1.seen == end2.seen && end1.replayed == end2.replayed && (!end1.seen || end1.replayed == lastline),
        "the end line is compared with another frame");
  const std::string hashes = plainhashes();
  check(lastline.empty() || lastline.ends_with(hashes), "the hashes are not FNV-1a over the bytes");
  return 0;
}
