#include "recording.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

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

namespace {

// What reading a raw line came to: a line, the end of the input, a last line
// with no newline, a line longer than maxline (read no further), or an input
// that can't be read.
enum class rawline { line, end, unended, toolong, failed };

// Reads a line without its newline into r.text, at most maxline bytes of it;
// on failed, the reason is in why.
rawline readline(tracereader& r, std::string& why) {
  // Blocks of 64 KiB: a read call per few thousand frames of a recording.
  constexpr std::size_t block = 1 << 16;
  r.text.clear();
  for (;;) {
    if (r.from == r.to) {
      if (r.buf.empty()) r.buf.resize(block);
      const long got = r.in.read(r.buf.data(), r.buf.size(), why);
      if (got < 0) return rawline::failed;
      if (got == 0) return r.text.empty() ? rawline::end : rawline::unended;
      r.from = 0;
      r.to = std::size_t(got);
    }
    const char* p = r.buf.data() + r.from;
    const void* nl = std::memchr(p, '\n', r.to - r.from);
    const std::size_t n = nl ? std::size_t(static_cast<const char*>(nl) - p) : r.to - r.from;
    if (r.text.size() + n > maxline) return rawline::toolong;
    r.text.append(p, n);
    r.from += n;
    if (nl) {
      r.from++;
      return rawline::line;
    }
  }
}

}  // namespace

readresult readtrace(tracereader& r, traceline& t, std::string& err) {
  switch (readline(r, err)) {
  case rawline::end: return readresult::end;
  case rawline::failed: return readresult::failed;
  case rawline::unended:
    // No newline at the end of a recording: the writer was stopped mid-line.
    if (r.at.haveseed) return readresult::end;
    break;
  case rawline::toolong:
    err = "line " + std::to_string(r.at.line + 1) + ": longer than " + std::to_string(maxline) + " bytes";
    return readresult::refused;
  case rawline::line: break;
  }
  return readtraceline(r.at, r.text, t, err);
}

readresult readtraceline(traceplace& p, const std::string& text, traceline& t, std::string& err) {
  p.line++;
  const std::string at = "line " + std::to_string(p.line) + ": ";
  if (p.ended) {
    err = at + "nothing may follow the end line";
    return readresult::refused;
  }
  t = traceline{};
  if (text.compare(0, 5, "seed ") == 0) {
    if (p.line != 1) {
      err = at + "a seed line may only come first";
      return readresult::refused;
    }
    p.recording = true;
    if (!readnumber(text.substr(5), t.seed)) {
      err = at + "\"" + shown(text.substr(5)) + "\" is not a seed from 0 to 4294967295";
      return readresult::refused;
    }
    t.type = traceline::isseed;
    p.haveseed = true;
    return readresult::line;
  }
  if (text.compare(0, 4, "end ") == 0) {
    t.type = traceline::isend;
    t.state = text.substr(4) + "\n";
    p.ended = true;
    return readresult::line;
  }
  std::string bad;
  if (!parseevents(text, t.evs, bad)) {
    err = at + "cannot read \"" + shown(bad) + "\"";
    return readresult::refused;
  }
  return readresult::line;
}
