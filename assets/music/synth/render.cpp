// Rendering a song into a seamless loop of samples.
#include <algorithm>
#include <cmath>

#include "synth.h"

namespace synth {

namespace {

constexpr double pi = 3.14159265358979323846;

// Smooths the two jumps of a pulse wave, so high notes don't alias into hiss.
double blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

struct osc {
  double phase = 0;
  double next(const voice& v, double f) {
    double dt = f / rate, out;
    if (v.form == wave::triangle) {
      out = 4 * std::abs(phase - 0.5) - 1;
    } else {
      out = phase < v.duty ? 1 : -1;
      out += blep(phase, dt);
      out -= blep(std::fmod(phase - v.duty + 1, 1.0), dt);
      out -= 2 * v.duty - 1;  // no DC, so narrow pulses don't thump at their ends
    }
    phase += dt;
    phase -= std::floor(phase);
    return out;
  }
};

// A 15-bit shift register, clocked at eight times the note's frequency.
struct lfsr {
  unsigned reg = 1;
  double clock = 0;
  double next(bool shortmode, double f) {
    clock += f * 8 / rate;
    while (clock >= 1) {
      unsigned bit = (reg ^ (reg >> (shortmode ? 6 : 1))) & 1;
      reg = (reg >> 1) | (bit << 14);
      clock -= 1;
    }
    return (reg & 1) ? 1.0 : -1.0;
  }
};

struct bus {
  std::vector<double> l, r;
  explicit bus(std::int64_t n) : l(n), r(n) {}
};

void play(const song& s, const note& n, lfsr& noise, bus& dry, bus& send) {
  const voice& v = s.voices[n.voice];
  const std::int64_t len = std::int64_t(dry.l.size());
  const double spb = 60.0 * rate / s.tempo;
  const std::int64_t at = std::llround(n.start * spb);
  const std::int64_t gate = std::max<std::int64_t>(1, std::llround(n.length * v.gate * spb));
  const double attack = std::max(v.attack, 0.001) * rate, release = std::max(v.release, 0.002) * rate;
  const std::int64_t total = gate + std::int64_t(std::ceil(release));
  const double f0 = hz(n.pitch), fall = std::exp(-1.0 / (v.decay * rate));
  const double lp = v.tone > 0 ? 1 - std::exp(-2 * pi * v.tone / rate) : 1;
  const double theta = (v.pan + 1) * pi / 4, gl = std::cos(theta) * std::sqrt(2.0),
               gr = std::sin(theta) * std::sqrt(2.0), amp = v.vol * n.vel;
  const double spread = v.detune > 0 ? std::pow(2.0, v.detune / 2400) : 1;

  osc a, b;
  double decaying = 1 - v.sustain, level = 0, held = 0, smooth = 0;
  for (std::int64_t i = 0; i < total; i++) {
    double t = double(i) / rate;
    if (i < gate) {
      if (i < attack) {
        level = double(i) / attack;
      } else {
        level = v.sustain + decaying;
        decaying *= fall;
      }
      held = level;
    } else {
      level = held * (1 - double(i - gate) / release);
    }
    double f = f0;
    if (v.sweep > 0) f *= std::pow(2.0, v.sweep * std::exp(-t / v.sweeptime) / 12);
    if (v.vibrato > 0)
      f *= std::pow(2.0, v.vibrato / 1200 * std::min(1.0, t / 0.3) * std::sin(2 * pi * v.vibrate * t));
    double x;
    if (v.form == wave::noise) x = noise.next(v.shortlfsr, f);
    else if (v.detune > 0) x = 0.5 * (a.next(v, f * spread) + b.next(v, f / spread));
    else x = a.next(v, f);
    smooth += lp * (x - smooth);
    x = smooth * level * amp;
    std::int64_t j = (at + i) % len;
    dry.l[j] += x * gl;
    dry.r[j] += x * gr;
    if (v.echo > 0) {
      send.l[j] += x * gl * v.echo;
      send.r[j] += x * gr * v.echo;
    }
  }
}

}  // namespace

std::vector<std::int16_t> render(const song& s) {
  const std::int64_t len = frames(s);
  bus dry(len), send(len);
  std::vector<lfsr> noise(s.voices.size());
  for (const note& n : s.notes) play(s, n, noise[n.voice], dry, send);

  // The echo goes round the loop twice; only the second time is kept, when the
  // delay lines hold what the end of the loop left in them.
  if (s.echobeats > 0) {
    std::size_t d = std::size_t(std::max<std::int64_t>(1, std::llround(s.echobeats * 60.0 * rate / s.tempo)));
    std::vector<double> dl(d), dr(d);
    std::size_t pos = 0;
    for (std::int64_t k = 0; k < 2 * len; k++) {
      std::int64_t j = k % len;
      double ol = dl[pos], or_ = dr[pos];
      // Each side feeds the other, so repeats bounce from side to side.
      dl[pos] = send.l[j] + s.echofeedback * or_;
      dr[pos] = send.r[j] + s.echofeedback * ol;
      pos = (pos + 1) % d;
      if (k >= len) {
        dry.l[j] += ol;
        dry.r[j] += or_;
      }
    }
  }

  std::vector<std::int16_t> out(2 * len);
  for (std::int64_t j = 0; j < len; j++) {
    double l = std::clamp(dry.l[j] * s.volume, -1.0, 1.0), r = std::clamp(dry.r[j] * s.volume, -1.0, 1.0);
    out[2 * j] = std::int16_t(std::lround(l * 32767));
    out[2 * j + 1] = std::int16_t(std::lround(r * 32767));
  }
  return out;
}

}  // namespace synth
