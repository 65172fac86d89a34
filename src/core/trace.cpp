#include "trace.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h) {
  const u8* p = static_cast<const u8*>(data);
  for (std::size_t i = 0; i < n; i++) {
    h ^= p[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

static std::uint64_t hashwords(const u16* w, std::size_t n, std::uint64_t h) {
  for (std::size_t i = 0; i < n; i++) {
    u8 bytes[2] = {u8(w[i]), u8(w[i] >> 8)};
    h = fnv1a(bytes, 2, h);
  }
  return h;
}

std::uint64_t screenhash() { return hashwords(scrbuf, scrh * scrw, 0xcbf29ce484222325ull); }

std::uint64_t statehash() {
  std::uint64_t h = fnv1a(a.cells, sizeof a.cells);
  h = fnv1a(scfx, sizeof scfx, h);
  return hashwords(pal16, 32, h);
}

bool parseevents(const std::string& line, std::vector<inputevent>& evs, std::string& bad) {
  evs.clear();
  std::istringstream in(line);
  std::string tok;
  while (in >> tok) {
    if (tok == "q") {
      evs.push_back({inputevent::quit, 0});
      continue;
    }
    bool ok = tok.size() >= 2 && tok.size() <= 11 && (tok[0] == 'd' || tok[0] == 'u');
    unsigned long long k = 0;
    for (std::size_t i = 1; ok && i < tok.size(); i++) {
      ok = tok[i] >= '0' && tok[i] <= '9';
      k = k * 10 + unsigned(tok[i] - '0');
    }
    if (!ok || k > 0xFFFFFFFFull) {
      bad = tok;
      return false;
    }
    evs.push_back({tok[0] == 'd' ? inputevent::keydown : inputevent::keyup, u32(k)});
  }
  return true;
}

void appendevent(std::string& line, const inputevent& e) {
  std::string tok;
  switch (e.type) {
  case inputevent::keydown: tok = "d" + std::to_string(e.sym); break;
  case inputevent::keyup: tok = "u" + std::to_string(e.sym); break;
  case inputevent::quit: tok = "q"; break;
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

int readtrace(tracereader& r, traceline& t, std::string& err) {
  std::string text;
  if (!std::getline(r.in, text)) return 0;
  // No newline at the end of a recording: the writer was stopped mid-line.
  if (r.in.eof() && r.haveseed) return 0;
  r.line++;
  const std::string at = "line " + std::to_string(r.line) + ": ";
  if (r.ended) {
    err = at + "nothing may follow the end line";
    return -1;
  }
  t = traceline{};
  if (text.compare(0, 5, "seed ") == 0) {
    if (r.line != 1) {
      err = at + "a seed line may only come first";
      return -1;
    }
    if (!readnumber(text.substr(5), t.seed)) {
      err = at + "\"" + shown(text.substr(5)) + "\" is not a seed from 0 to 4294967295";
      return -1;
    }
    t.type = traceline::isseed;
    r.haveseed = true;
    return 1;
  }
  if (text.compare(0, 4, "end ") == 0) {
    t.type = traceline::isend;
    t.state = text.substr(4) + "\n";
    r.ended = true;
    return 1;
  }
  std::string bad;
  if (!parseevents(text, t.evs, bad)) {
    err = at + "cannot read \"" + shown(bad) + "\"";
    return -1;
  }
  return 1;
}
