// Reading a score: statements into voices and patterns, then the song order
// into one list of notes on the loop's timeline.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "synth.h"

namespace synth {

namespace {

struct fault {
  int line;
  std::string what;
};

struct word {
  std::string text;
  int line;
};

struct pattern {
  std::string name;
  int bars = 1, line = 0;
  std::map<int, std::vector<word>> parts;  // voice index to its tokens, in order
};

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  std::string w;
  // A '#' that starts a word starts a comment; inside a word it is a sharp.
  while (in >> w && w[0] != '#') out.push_back(w);
  return out;
}

double number(const std::string& s, int line, double lo, double hi, const std::string& what) {
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end || !std::isfinite(v)) throw fault{line, what + " wants a number, not '" + s + "'"};
  if (v < lo || v > hi) {
    std::ostringstream m;
    m << what << " " << s << " is out of range " << lo << " to " << hi;
    throw fault{line, m.str()};
  }
  return v;
}

// A note name such as C4, F#3 or Bb2, as semitones from C0; -1 if it is not one.
int notename(const std::string& s) {
  static const int steps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (s.size() < 2 || s.size() > 3 || s[0] < 'A' || s[0] > 'G') return -1;
  int p = steps[s[0] - 'A'];
  std::size_t i = 1;
  if (s.size() == 3) {
    if (s[1] == '#') p++;
    else if (s[1] == 'b') p--;
    else return -1;
    i = 2;
  }
  if (s[i] < '0' || s[i] > '8') return -1;
  return (s[i] - '0') * 12 + p;
}

void setkey(voice& v, const std::string& kv, int line) {
  auto eq = kv.find('=');
  if (eq == std::string::npos || eq == 0) throw fault{line, "voice setting '" + kv + "' is not key=value"};
  std::string k = kv.substr(0, eq), val = kv.substr(eq + 1);
  struct range {
    const char* key;
    double* at;
    double lo, hi;
  };
  const range ranges[] = {
      {"vol", &v.vol, 0, 1},
      {"pan", &v.pan, -1, 1},
      {"duty", &v.duty, 0.01, 0.99},
      {"attack", &v.attack, 0, 10},
      {"decay", &v.decay, 0.001, 10},
      {"sustain", &v.sustain, 0, 1},
      {"release", &v.release, 0, 10},
      {"gate", &v.gate, 0.01, 1},
      {"tone", &v.tone, 0, 20000},
      {"vibrato", &v.vibrato, 0, 1200},
      {"rate", &v.vibrate, 0, 50},
      {"sweep", &v.sweep, 0, 96},
      {"sweeptime", &v.sweeptime, 0.001, 5},
      {"detune", &v.detune, 0, 100},
      {"echo", &v.echo, 0, 1},
  };
  for (const range& r : ranges)
    if (k == r.key) {
      *r.at = number(val, line, r.lo, r.hi, k);
      return;
    }
  if (k == "lfsr") {
    if (val != "long" && val != "short") throw fault{line, "lfsr is long or short, not '" + val + "'"};
    v.shortlfsr = val == "short";
  } else if (k == "note") {
    v.hitnote = notename(val);
    if (v.hitnote < 0) throw fault{line, "'" + val + "' is not a note name such as C4 or F#3"};
  } else {
    throw fault{line, "unknown voice setting '" + k + "'"};
  }
}

// Where each voice's last sound stands, so that '-' can hold it on.
struct held {
  std::vector<std::size_t> notes;  // indices into song::notes
};

void addpart(song& s, int vi, const std::vector<word>& words, double at, double bars, held& h) {
  // Split into bar groups when the part marks bars with '|'.
  std::vector<std::vector<word>> groups(1);
  bool marked = false;
  for (const word& w : words) {
    if (w.text == "|") {
      marked = true;
      groups.emplace_back();
    } else {
      groups.back().push_back(w);
    }
  }
  if (marked && groups.back().empty()) groups.pop_back();  // a closing '|'
  int line = words.front().line;
  if (marked && int(groups.size()) != int(bars)) {
    std::ostringstream m;
    m << "voice " << s.voices[vi].name << " has " << groups.size() << " bars marked with '|' in a pattern of "
      << bars;
    throw fault{line, m.str()};
  }
  double span = marked ? s.meter : bars * s.meter;
  for (std::size_t g = 0; g < groups.size(); g++) {
    const auto& ws = groups[g];
    if (ws.empty()) throw fault{line, "an empty bar between two '|' in voice " + s.voices[vi].name};
    double step = span / double(ws.size()), t0 = at + double(g) * span;
    for (std::size_t i = 0; i < ws.size(); i++) {
      const std::string& t = ws[i].text;
      double start = t0 + double(i) * step;
      if (t == "-") {
        for (std::size_t n : h.notes) s.notes[n].length += step;
        continue;
      }
      h.notes.clear();
      if (t == ".") continue;
      if (t == "x" || t == "o") {
        h.notes.push_back(s.notes.size());
        s.notes.push_back({vi, start, step, s.voices[vi].hitnote, t == "x" ? 1.0 : 0.5});
        continue;
      }
      std::size_t from = 0;
      while (from <= t.size()) {
        auto plus = t.find('+', from);
        if (plus == std::string::npos) plus = t.size();
        int p = notename(t.substr(from, plus - from));
        if (p < 0)
          throw fault{ws[i].line,
                      "'" + t + "' is not a note (C4, D#4, Eb3), a chord (F3+A3), x, o, '.' or '-'"};
        h.notes.push_back(s.notes.size());
        s.notes.push_back({vi, start, step, p, 1.0});
        from = plus + 1;
      }
    }
  }
}

void read(const std::string& text, song& s) {
  std::vector<pattern> pats;
  std::map<std::string, int> voiceat, patat;
  std::vector<word> order;
  pattern* cur = nullptr;
  int lineno = 0;
  std::istringstream in(text);
  std::string raw;
  while (std::getline(in, raw)) {
    lineno++;
    auto w = split(raw);
    if (w.empty()) continue;
    const std::string& k = w[0];
    auto want = [&](std::size_t n) {
      if (w.size() != n) throw fault{lineno, "'" + k + "' takes " + std::to_string(n - 1) + " value(s)"};
    };
    if (k.size() > 1 && k.back() == ':') {
      if (!cur) throw fault{lineno, "a voice's part '" + k + "' outside any pattern"};
      std::string name = k.substr(0, k.size() - 1);
      auto v = voiceat.find(name);
      if (v == voiceat.end()) throw fault{lineno, "no voice named '" + name + "'"};
      auto& part = cur->parts[v->second];
      for (std::size_t i = 1; i < w.size(); i++) part.push_back({w[i], lineno});
      continue;
    }
    if (k != "pattern") cur = nullptr;
    if (k == "tempo") {
      want(2);
      s.tempo = number(w[1], lineno, 20, 400, "tempo");
    } else if (k == "meter") {
      want(2);
      s.meter = number(w[1], lineno, 1, 16, "meter");
    } else if (k == "volume") {
      want(2);
      s.volume = number(w[1], lineno, 0.001, 4, "volume");
      s.volumeline = lineno;
    } else if (k == "echo") {
      want(3);
      s.echobeats = number(w[1], lineno, 0.01, 16, "echo delay");
      s.echofeedback = number(w[2], lineno, 0, 0.9, "echo feedback");
    } else if (k == "voice") {
      if (w.size() < 3) throw fault{lineno, "a voice wants a name and a wave (pulse, triangle, noise)"};
      if (voiceat.count(w[1])) throw fault{lineno, "voice '" + w[1] + "' is defined twice"};
      voice v;
      v.name = w[1];
      if (w[2] == "pulse") v.form = wave::pulse;
      else if (w[2] == "triangle") v.form = wave::triangle;
      else if (w[2] == "noise") v.form = wave::noise;
      else throw fault{lineno, "unknown wave '" + w[2] + "' (pulse, triangle or noise)"};
      for (std::size_t i = 3; i < w.size(); i++) setkey(v, w[i], lineno);
      voiceat[v.name] = int(s.voices.size());
      s.voices.push_back(v);
    } else if (k == "pattern") {
      if (w.size() < 2 || w.size() > 3) throw fault{lineno, "a pattern wants a name and bars=N"};
      if (patat.count(w[1])) throw fault{lineno, "pattern '" + w[1] + "' is defined twice"};
      pattern p;
      p.name = w[1];
      p.line = lineno;
      if (w.size() == 3) {
        if (w[2].rfind("bars=", 0) != 0) throw fault{lineno, "a pattern's length is written bars=N"};
        double b = number(w[2].substr(5), lineno, 1, 64, "bars");
        if (b != std::floor(b)) throw fault{lineno, "bars must be a whole number"};
        p.bars = int(b);
      }
      patat[p.name] = int(pats.size());
      pats.push_back(p);
      cur = &pats.back();
    } else if (k == "song") {
      for (std::size_t i = 1; i < w.size(); i++) order.push_back({w[i], lineno});
    } else {
      throw fault{lineno, "unknown statement '" + k + "'"};
    }
  }
  if (order.empty()) throw fault{lineno, "no song line gives the order of the patterns"};

  std::vector<held> holds(s.voices.size());
  for (const word& o : order) {
    // An entry is one pattern or several played together (a+b), maybe repeated (a+b*2).
    std::string item = o.text;
    int times = 1;
    if (auto star = item.find('*'); star != std::string::npos) {
      times = int(number(item.substr(star + 1), o.line, 1, 64, "repeat count"));
      item = item.substr(0, star);
    }
    std::vector<const pattern*> layers;
    std::size_t from = 0;
    while (from <= item.size()) {
      auto plus = item.find('+', from);
      if (plus == std::string::npos) plus = item.size();
      std::string name = item.substr(from, plus - from);
      auto p = patat.find(name);
      if (p == patat.end()) throw fault{o.line, "the song names no pattern '" + name + "'"};
      const pattern* pat = &pats[p->second];
      if (!layers.empty() && pat->bars != layers[0]->bars)
        throw fault{o.line, "patterns played together must be as long: " + layers[0]->name + " has " +
                                std::to_string(layers[0]->bars) + " bars, " + name + " " +
                                std::to_string(pat->bars)};
      for (const pattern* q : layers)
        for (const auto& part : pat->parts)
          if (q->parts.count(part.first))
            throw fault{o.line,
                        "voice " + s.voices[part.first].name + " is in both " + q->name + " and " + name};
      layers.push_back(pat);
      from = plus + 1;
    }
    for (int r = 0; r < times; r++) {
      for (std::size_t vi = 0; vi < s.voices.size(); vi++) {
        const std::vector<word>* part = nullptr;
        for (const pattern* pat : layers)
          if (auto f = pat->parts.find(int(vi)); f != pat->parts.end() && !f->second.empty())
            part = &f->second;
        if (part) addpart(s, int(vi), *part, s.beats, layers[0]->bars, holds[vi]);
        else holds[vi].notes.clear();
      }
      s.beats += layers[0]->bars * s.meter;
    }
  }
  if (s.notes.empty()) throw fault{lineno, "the song has no notes"};
}

}  // namespace

bool parse(const std::string& text, const std::string& name, song& out, std::string& err) {
  out = song{};
  try {
    read(text, out);
    return true;
  } catch (const fault& f) {
    err = name + ":" + std::to_string(f.line) + ": " + f.what;
    return false;
  }
}

double hz(int pitch) { return 440.0 * std::pow(2.0, (pitch - 57) / 12.0); }

std::int64_t frames(const song& s) { return std::llround(s.beats * 60.0 * rate / s.tempo); }

}  // namespace synth
