#include "trace.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint64_t fnvbasis = 0xcbf29ce484222325ull, fnvprime = 0x100000001b3ull;

// One byte of FNV-1a.
inline std::uint64_t step(std::uint64_t h, u8 c) { return (h ^ c) * fnvprime; }

// A byte of FNV-1a waits for the one before: a multiply per byte, one after
// the other, which is all the time a plain loop spends on the screen. Eight
// bytes at once go faster through a table. The low byte of the hash after a
// step depends only on the low byte before it and on the byte hashed, and
// the rest of the hash only adds a multiple of 256 that the step multiplies
// by the prime; so for a fixed group of eight bytes,
//   hash after = (hash before - l) * prime^8 + g(l),  l = hash before & 255,
// with g(l) the FNV-1a of the group started from l, one of 256 values. A
// table of prime^8 * -l + g(l) for one group costs 2,048 steps, against 8 for
// hashing the group once, so it pays only for groups met again and again: the
// screen is made of blocks of a few dozen colours, four pixels, eight bytes,
// to a block row; the state's grids are mostly zero.
constexpr std::uint64_t prime8 =
    fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime;

struct grouptable {
  std::uint64_t add[256];  // g(l) - l * prime^8
  u8 next[256];            // g(l) & 255, the low byte after the group
};

void filltable(grouptable& t, std::uint64_t group) {
  u8 bytes[8];
  std::memcpy(bytes, &group, 8);
  for (unsigned l = 0; l < 256; l++) {
    std::uint64_t h = l;
    for (u8 c : bytes) h = step(h, c);
    t.add[l] = h - l * prime8;
    t.next[l] = u8(h);
  }
}

// The tables of the groups met lately, found by the group's eight bytes with
// open addressing; emptied when half full, which the palette's drift brings
// about every few dozen frames.
constexpr unsigned slots = 128;
std::uint64_t slotgroup[slots];
bool slotused[slots];
unsigned slotsused;
grouptable slottable[slots];

const grouptable* findtable(std::uint64_t group, unsigned& builds) {
  const unsigned home = unsigned((group * 0x9e3779b97f4a7c15ull) >> 57);
  unsigned i = home;
  for (; slotused[i]; i = (i + 1) % slots)
    if (slotgroup[i] == group) return &slottable[i];
  // A table for a group met once is only waste: past a few dozen new groups
  // in one hash, the rest go byte by byte.
  if (builds >= 64) return nullptr;
  builds++;
  if (slotsused >= slots / 2) {
    std::memset(slotused, 0, sizeof slotused);
    slotsused = 0;
    i = home;
  }
  slotused[i] = true;
  slotsused++;
  slotgroup[i] = group;
  filltable(slottable[i], group);
  return &slottable[i];
}

// FNV-1a over n bytes, a table for each group of eight when `tables` (and
// one for all-zero groups always).
std::uint64_t hashbytes(const u8* p, std::size_t n, std::uint64_t h, bool tables) {
  static grouptable zero;
  static const bool zeroready = (filltable(zero, 0), true);
  (void)zeroready;
  unsigned builds = 0;
  std::size_t i = 0;
  // The low byte goes on by its own table, so the multiply of the whole hash
  // never waits for a load.
  unsigned l = unsigned(h & 255);
  std::uint64_t lastgroup = 0;
  const grouptable* t = nullptr;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t group;
    std::memcpy(&group, p + i, 8);
    // Neighbouring blocks are often alike: the last group's table is tried first.
    if (group != lastgroup || !t) t = !group ? &zero : tables ? findtable(group, builds) : nullptr;
    lastgroup = group;
    if (t) {
      h = h * prime8 + t->add[l];
      l = t->next[l];
    } else {
      for (std::size_t j = i; j < i + 8; j++) h = step(h, p[j]);
      l = unsigned(h & 255);
    }
  }
  for (; i < n; i++) h = step(h, p[i]);
  return h;
}

// FNV-1a over 16-bit words, each little-endian whatever the machine's order.
std::uint64_t hashwords(const u16* w, std::size_t n, std::uint64_t h, bool tables) {
  if constexpr (std::endian::native == std::endian::little)
    return hashbytes(reinterpret_cast<const u8*>(w), 2 * n, h, tables);
  for (std::size_t i = 0; i < n; i++) h = step(step(h, u8(w[i])), u8(w[i] >> 8));
  return h;
}

}  // namespace

std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h) {
  const u8* p = static_cast<const u8*>(data);
  for (std::size_t i = 0; i < n; i++) h = step(h, p[i]);
  return h;
}

std::uint64_t screenhash() { return hashwords(scrbuf, scrh * scrw, fnvbasis, true); }

std::uint64_t statehash() {
  std::uint64_t h = hashbytes(&a.cells[0][0], sizeof a.cells, fnvbasis, false);
  h = hashbytes(scfx, sizeof scfx, h, false);
  return hashwords(pal16, 32, h, false);
}

// The blanks between tokens, as `>>` into a string knows them in the C
// locale.
static bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool parseevents(const std::string& line, std::vector<inputevent>& evs, std::string& bad) {
  evs.clear();
  for (std::size_t at = 0, end = 0; at < line.size(); at = end) {
    if (blank(line[at])) {
      end = at + 1;
      continue;
    }
    for (end = at; end < line.size() && !blank(line[end]);) end++;
    const char* tok = line.data() + at;
    const std::size_t n = end - at;
    if (n == 1 && tok[0] == 'q') {
      evs.push_back({inputevent::quit, 0});
      continue;
    }
    bool ok = n >= 2 && n <= 11 && (tok[0] == 'd' || tok[0] == 'u');
    unsigned long long k = 0;
    for (std::size_t i = 1; ok && i < n; i++) {
      ok = tok[i] >= '0' && tok[i] <= '9';
      k = k * 10 + unsigned(tok[i] - '0');
    }
    if (!ok || k > 0xFFFFFFFFull) {
      bad.assign(tok, n);
      return false;
    }
    evs.push_back({tok[0] == 'd' ? inputevent::keydown : inputevent::keyup, u32(k)});
  }
  return true;
}

void appendevent(std::string& line, const inputevent& e) {
  char tok[16];
  switch (e.type) {
  case inputevent::keydown: std::snprintf(tok, sizeof tok, "d%" PRIu32, e.sym); break;
  case inputevent::keyup: std::snprintf(tok, sizeof tok, "u%" PRIu32, e.sym); break;
  case inputevent::quit: std::snprintf(tok, sizeof tok, "q"); break;
  default: return;
  }
  if (!line.empty()) line += ' ';
  line += tok;
}

std::string stateline(long f, int loaded) {
  char mus[16] = "-";
  if (loaded >= 0) std::snprintf(mus, sizeof mus, "%d", loaded);
  char line[512];
  std::snprintf(line, sizeof line,
                "f=%ld mus=%s count=%" PRIu32
                " mode=%d alive=%d run=%d track=%d cur=%d alarm=%d km=%d lm=%d "
                "cam=%d,%d goal=%d,%d pl=%d,%d try=%d,%d scr=%016" PRIx64 " st=%016" PRIx64 "\n",
                f, mus, count, a.mode, a.alive, a.running, a.track, a.curtrack, a.alarm, a.keymask,
                a.lastmask, b.camx, b.camy, b.goalx, b.goaly, b.plx, b.ply, b.tryx, b.tryy, screenhash(),
                statehash());
  return line;
}

void widen(u16 c, u8 rgb[3]) {
  const unsigned r = c >> 11, g = (c >> 5) & 63, bl = c & 31;
  rgb[0] = u8(r * 255 / 31);
  rgb[1] = u8(g * 4 + g / 24);
  rgb[2] = u8(bl * 255 / 31);
}

std::string seedline(unsigned seed) { return "seed " + std::to_string(seed) + "\n"; }

// A token as an error message shows it: printable, and not too long.
static std::string shown(const std::string& tok) {
  std::string s;
  for (char c : tok.substr(0, 24)) s += c >= ' ' && c <= '~' ? c : '?';
  return tok.size() > 24 ? s + "..." : s;
}

bool readnumber(const std::string& s, unsigned& v) {
  if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long n = std::stoull(s);
  v = unsigned(n);
  return n <= 0xFFFFFFFFull;
}

long filesource::read(char* buf, std::size_t n, std::string& why) {
  errno = 0;
  const std::size_t got = std::fread(buf, 1, n, file);
  if (got > 0 || !std::ferror(file)) return long(got);
  why = std::strerror(errno ? errno : EIO);
  return -1;
}

long textsource::read(char* buf, std::size_t n, std::string&) {
  const std::size_t got = std::min(n, text.size() - at);
  std::memcpy(buf, text.data() + at, got);
  at += got;
  return long(got);
}

// Reads a line without its newline into r.text, at most maxline bytes of it.
// Returns 0 at the end of the input, 1 for a line, 2 for a last line with no
// newline, -1 for a line longer than maxline, which is read no further, and
// -2 with the reason in why when the input can't be read.
static int readline(tracereader& r, std::string& why) {
  // Blocks of 64 KiB: a read call per few thousand frames of a recording.
  constexpr std::size_t block = 1 << 16;
  r.text.clear();
  for (;;) {
    if (r.from == r.to) {
      if (r.buf.empty()) r.buf.resize(block);
      const long got = r.in.read(r.buf.data(), r.buf.size(), why);
      if (got < 0) return -2;
      if (got == 0) return r.text.empty() ? 0 : 2;
      r.from = 0;
      r.to = std::size_t(got);
    }
    const char* p = r.buf.data() + r.from;
    const void* nl = std::memchr(p, '\n', r.to - r.from);
    const std::size_t n = nl ? std::size_t(static_cast<const char*>(nl) - p) : r.to - r.from;
    if (r.text.size() + n > maxline) return -1;
    r.text.append(p, n);
    r.from += n;
    if (nl) {
      r.from++;
      return 1;
    }
  }
}

int readtrace(tracereader& r, traceline& t, std::string& err) {
  const int got = readline(r, err);
  if (got == 0 || got == -2) return got;
  // No newline at the end of a recording: the writer was stopped mid-line.
  if (got == 2 && r.at.haveseed) return 0;
  if (got < 0) {
    err = "line " + std::to_string(r.at.line + 1) + ": longer than " + std::to_string(maxline) + " bytes";
    return -1;
  }
  return readtraceline(r.at, r.text, t, err);
}

int readtraceline(traceplace& p, const std::string& text, traceline& t, std::string& err) {
  p.line++;
  const std::string at = "line " + std::to_string(p.line) + ": ";
  if (p.ended) {
    err = at + "nothing may follow the end line";
    return -1;
  }
  t = traceline{};
  if (text.compare(0, 5, "seed ") == 0) {
    if (p.line != 1) {
      err = at + "a seed line may only come first";
      return -1;
    }
    if (!readnumber(text.substr(5), t.seed)) {
      err = at + "\"" + shown(text.substr(5)) + "\" is not a seed from 0 to 4294967295";
      return -1;
    }
    t.type = traceline::isseed;
    p.haveseed = true;
    return 1;
  }
  if (text.compare(0, 4, "end ") == 0) {
    t.type = traceline::isend;
    t.state = text.substr(4) + "\n";
    p.ended = true;
    return 1;
  }
  std::string bad;
  if (!parseevents(text, t.evs, bad)) {
    err = at + "cannot read \"" + shown(bad) + "\"";
    return -1;
  }
  return 1;
}
