// The music: the score reader, the loop renderer, the two built tracks as the
// game will decode them, and the game playing them (or doing without them).
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "sdlgame.h"
#include "synth/synth.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// ---- the score reader ----

synth::song readok(const std::string& text) {
  synth::song s;
  std::string err;
  EXPECT_TRUE(synth::parse(text, "t.score", s, err)) << err;
  return s;
}

const std::string head = "tempo 120\nvoice v pulse\nvoice d noise note=C8\n";  // lines 1 to 3

// The notes as "voice:pitch@start+length", with an o for a soft one, in the order they were read.
std::string notes(const synth::song& s) {
  std::ostringstream o;
  for (const auto& n : s.notes)
    o << n.voice << ':' << n.pitch << '@' << n.start << '+' << n.length << (n.vel < 1 ? "o " : " ");
  return o.str();
}

TEST(Score, StepsBarsRepeatsLayersAndHoldsLandOnTheBeat) {
  // '#' starts a comment only at the start of a word; inside one it is a sharp. Hits sound the
  // voice's own note, o softly; a closing '|' makes no extra bar.
  auto s = readok("# a bar\n" + head +
                  "pattern p bars=1 # one\n  v: C4 - . Eb4+G#4 # chord\n  d: x o |\nsong p\n");
  EXPECT_EQ(notes(s), "0:48@0+2 0:51@3+1 0:56@3+1 1:96@0+2 1:96@2+2o ");
  EXPECT_EQ(synth::frames(s), 2 * synth::rate);  // four beats at 120 a minute
  // F4 fills a's second bar and is held through b's first half; G4 on into the repeat.
  s = readok(head + "meter 3\npattern a bars=2\n  v: C4 D4 E4 | F4\n" +
             "pattern b bars=2\n  v: - G4\npattern c bars=2\n  d: x\nsong a b+c*2\n");
  EXPECT_DOUBLE_EQ(s.beats, 18);
  EXPECT_EQ(notes(s), "0:48@0+1 0:50@1+1 0:52@2+1 0:53@3+6 0:55@9+6 1:96@6+6 0:55@15+3 1:96@12+6 ");
  // A hold after a rest, or after a pattern the voice is silent in, holds nothing.
  s = readok(head +
             "pattern r bars=1\n  v: C4 .\npattern n bars=1\n  v: . C4\n"
             "pattern h bars=1\n  v: - -\npattern s bars=1\n  d: x\nsong r h n s h\n");
  EXPECT_EQ(notes(s), "0:48@0+2 0:48@10+2 1:96@12+4 ");
}

TEST(Score, FaultsNameTheFileAndLine) {
  const char* const cases[][3] = {
      {"pattern p\n  v: C4 H4\nsong p\n", "t.score:5:", "'H4' is not a note"},
      {"pattern p\n  w: C4\nsong p\n", "t.score:5:", "no voice named 'w'"},
      {"  v: C4\nsong p\n", "t.score:4:", "outside any pattern"},
      {"pattern p bars=2\n  v: C4 |\n  v: D4 | E4\nsong p\n", "t.score:5:", "3 bars marked"},
      {"pattern p\n  v: C4\nsong p q\n", "t.score:6:", "no pattern 'q'"},
      {"tempo fast\n", "t.score:4:", "wants a number"},
      {"voice w pulse duty=1.5\n", "t.score:4:", "duty 1.5 is out of range"},
      {"voice v pulse\n", "t.score:4:", "defined twice"},
      {"crescendo 4\n", "t.score:4:", "unknown statement 'crescendo'"},
      {"echo 0.5\n", "t.score:4:", "takes 2 value(s)"},
      {"pattern p\n  v: C4\n\n", "t.score:6:", "no song line"},
      {"pattern p\n  v: .\nsong p\n", "t.score:6:", "no notes"},
      {"pattern p bars=1\n  v: C4\npattern q bars=2\n  d: x\nsong p+q\n", "t.score:8:", "as long"},
      {"pattern p\n  v: C4\npattern q\n  v: D4\nsong p+q\n", "t.score:8:", "voice v is in both p and q"},
  };
  for (const auto& [text, where, what] : cases) {
    synth::song s;
    std::string err;
    EXPECT_FALSE(synth::parse(head + text, "t.score", s, err)) << text;
    EXPECT_EQ(err.rfind(where, 0), 0u) << text << " gave: " << err;
    EXPECT_NE(err.find(what), std::string::npos) << text << " gave: " << err;
  }
}

// ---- the renderer ----

TEST(Render, TailsPastTheEndRingOnAtTheStartAndPanPlacesAVoice) {
  // One short note on the last step, with a release far longer than the step, all to the left.
  auto s = readok(
      "tempo 120\nvolume 1\nvoice v triangle vol=0.5 release=0.5 sustain=1 pan=-1\n"
      "pattern p\n  v: . . . A4\nsong p\n");
  auto pcm = synth::render(s);
  ASSERT_EQ(pcm.size(), std::size_t(2 * synth::frames(s)));
  double head = 0, mid = 0, l = 0, r = 0;
  for (int i = 0; i < 4410; i++) head = std::max(head, std::abs(double(pcm[2 * i])));
  for (int i = 30000; i < 34410; i++) mid = std::max(mid, std::abs(double(pcm[2 * i])));
  for (std::size_t i = 0; i < pcm.size(); i += 2) l += std::abs(pcm[i]), r += std::abs(pcm[i + 1]);
  EXPECT_GT(head, 3000);  // the release is still sounding in the loop's first 0.1 s
  EXPECT_EQ(mid, 0);      // and has died long before the middle
  EXPECT_GT(l, 1000 * (r + 1));
  EXPECT_EQ(pcm, synth::render(s));  // nothing but the score decides the samples
}

// ---- the built tracks, decoded as the game decodes them ----

struct track {
  long rate = 0;
  int channels = 0;
  std::vector<std::int16_t> pcm;  // interleaved left and right
};

track decode(const std::string& path) {
  track t;
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) {
    ADD_FAILURE() << "cannot decode " << path;
    return t;
  }
  t.rate = ov_info(&vf, -1)->rate;
  t.channels = ov_info(&vf, -1)->channels;
  std::int16_t buf[4096];
  int section;
  long n;
  while ((n = ov_read(&vf, reinterpret_cast<char*>(buf), sizeof buf, 0, 2, 1, &section)) > 0)
    t.pcm.insert(t.pcm.end(), buf, buf + n / 2);
  EXPECT_EQ(n, 0) << path << " has a damaged stream";
  ov_clear(&vf);
  return t;
}

const track& built(int n) {
  static track t[2] = {decode(BITROT_BINARY_DIR "/0.ogg"), decode(BITROT_BINARY_DIR "/1.ogg")};
  return t[n];
}

double db(double v) { return 20 * std::log10(std::max(v, 1e-9) / 32768); }

// The level of `n` samples from `p`, in dBFS.
double level(const std::int16_t* p, std::size_t n) {
  double s = 0;
  for (std::size_t i = 0; i < n; i++) s += double(p[i]) * p[i];
  return db(std::sqrt(s / double(std::max<std::size_t>(n, 1))));
}
double level(const std::vector<std::int16_t>& v) { return level(v.data(), v.size()); }

// Note onsets a second, by spectral flux: the summed rise of each frequency band's (compressed)
// level from one short frame to the next, a peak counted where it stands out from its neighbours.
double onsetrate(const track& t) {
  constexpr int size = 1024, hop = 512;
  std::vector<double> last(size / 2, 0), flux;
  std::vector<std::complex<double>> x(size);
  for (std::size_t at = 0; 2 * (at + size) <= t.pcm.size(); at += hop) {
    for (int i = 0; i < size; i++)
      x[i] = (0.5 - 0.5 * std::cos(2 * M_PI * i / size)) * (t.pcm[2 * (at + i)] + t.pcm[2 * (at + i) + 1]) /
             65536.0;
    for (int i = 1, j = 0; i < size; i++) {  // in-place radix-2 FFT
      int bit = size >> 1;
      for (; j & bit; bit >>= 1) j ^= bit;
      j ^= bit;
      if (i < j) std::swap(x[i], x[j]);
    }
    for (int len = 2; len <= size; len <<= 1)
      for (int i = 0; i < size; i += len) {
        std::complex<double> w = 1, w1 = std::polar(1.0, -2 * M_PI / len);
        for (int k = 0; k < len / 2; k++, w *= w1) {
          auto u = x[i + k], v = x[i + k + len / 2] * w;
          x[i + k] = u + v, x[i + k + len / 2] = u - v;
        }
      }
    double f = 0;
    for (int k = 0; k < size / 2; k++) {
      double m = std::log1p(100 * std::abs(x[k]));
      f += std::max(0.0, m - last[k]), last[k] = m;
    }
    flux.push_back(f);
  }
  double mean = 0;
  for (double f : flux) mean += f / double(flux.size());
  int onsets = 0;
  for (std::size_t i = 3; i + 3 < flux.size(); i++) {
    double local = 0, top = 0;
    for (std::size_t k = i - 3; k <= i + 3; k++) local += flux[k] / 7, top = std::max(top, flux[k]);
    onsets += flux[i] == top && flux[i] > 1.3 * local && flux[i] > 0.2 * mean;
  }
  return onsets / (double(t.pcm.size() / 2) / double(t.rate));
}

TEST(Tracks, AreWellFormedAtASaneLevelAndLoopWithoutASeam) {
  for (int n = 0; n < 2; n++) {
    const auto& [rate, channels, pcm] = built(n);
    SCOPED_TRACE("track " + std::to_string(n));
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    std::size_t frames = pcm.size() / 2;
    ASSERT_GE(frames, 30u * 44100);
    EXPECT_LE(frames, 90u * 44100);
    // Exactly the loop's length: padding at the end would be a gap at every repeat.
    auto score = readok(slurp(BITROT_SOURCE_DIR "/assets/music/" + std::to_string(n) + ".score"));
    EXPECT_EQ(std::int64_t(frames), synth::frames(score));

    int peak = 0;
    for (int v : pcm) peak = std::max(peak, std::abs(v));
    EXPECT_LE(db(peak), -1.0);
    EXPECT_GE(level(pcm), -30.0);
    EXPECT_LE(level(pcm), -10.0);
    // The jump from the last frame to the first is no bigger than the music's own.
    for (std::size_t c = 0; c < 2; c++) {
      std::vector<int> jumps;
      for (std::size_t i = c + 2; i < pcm.size(); i += 2) jumps.push_back(std::abs(pcm[i] - pcm[i - 2]));
      auto p99 = jumps.begin() + long(jumps.size() * 99 / 100);
      std::nth_element(jumps.begin(), p99, jumps.end());
      EXPECT_LE(std::abs(pcm[c] - pcm[pcm.size() - 2 + c]), *p99) << "channel " << c;
    }
    // No gap: the music is sounding in the 50 ms either side of the loop point.
    EXPECT_GT(level(pcm.data(), 4410), -45);
    EXPECT_GT(level(pcm.data() + pcm.size() - 4410, 4410), -45);
  }
}

TEST(Tracks, TheDangerTrackIsLouderAndBusierThanTheQuietOne) {
  double loud = level(built(0).pcm), soft = level(built(1).pcm);
  EXPECT_GT(loud, soft + 3) << "danger " << loud << " dBFS, quiet " << soft << " dBFS";
  double busy = onsetrate(built(0)), calm = onsetrate(built(1));
  EXPECT_GT(busy, 1.5 * calm) << "danger " << busy << " onsets/s, quiet " << calm << " onsets/s";
  EXPECT_GT(calm, 0.5);  // quiet, but still music
}

TEST(Tracks, SdlMixerLoadsBoth) {
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
  ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 1024), 0) << Mix_GetError();
  for (const char* name : {BITROT_BINARY_DIR "/0.ogg", BITROT_BINARY_DIR "/1.ogg"}) {
    Mix_Music* m = Mix_LoadMUS(name);
    EXPECT_NE(m, nullptr) << name << ": " << Mix_GetError();
    if (m) Mix_FreeMusic(m);
  }
  Mix_CloseAudio();
  SDL_Quit();
}

// ---- the game itself, headless, in a folder of our choosing ----

// Runs the game in `dir` under SDL's dummy video and disk audio (and no other SDL settings of ours),
// asks it to stop after `secs` as a window manager would, and kills it five seconds later; gives its
// exit status (-1 if killed) and what it played.
int runheadless(const fs::path& dir, const char* secs, std::vector<std::int16_t>& played) {
  std::string cmd = "cd '" + dir.string() + "' && exec env";
  for (char** e = environ; *e; e++)
    if (std::strncmp(*e, "SDL_", 4) == 0) cmd += " -u " + std::string(*e, std::strchr(*e, '='));
  cmd += " SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=played.raw";
  // SIGTERM after `secs`, SIGKILL five seconds on; the disk driver chats on stderr.
  cmd += " timeout --preserve-status -k 5 " + std::string(secs) + " " BITROT_BINARY_DIR "/bitrot 2>/dev/null";
  int status = std::system(cmd.c_str());
  std::string bytes = slurp(dir / "played.raw");
  played.resize(bytes.size() / 2);
  std::memcpy(played.data(), bytes.data(), played.size() * 2);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Headless : public ::testing::Test {
protected:
  fs::path dir = fs::temp_directory_path() / ("bitrot-music-" + std::to_string(getpid()));
  std::vector<std::int16_t> played;
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(Headless, TheTitleCardPlaysTrackZero) {
  fs::copy_file(BITROT_BINARY_DIR "/0.ogg", dir / "0.ogg");
  fs::copy_file(BITROT_BINARY_DIR "/1.ogg", dir / "1.ogg");
  EXPECT_EQ(runheadless(dir, "2.5", played), 0);
  EXPECT_GE(played.size(), std::size_t(2 * 44100));  // a second or more of sound
  EXPECT_GT(level(played), -30);
  // After the silence before the first frame, the device gets track 0 from its first sample on,
  // exactly as it decodes (at full volume). The track may begin with near-silent samples, so the
  // first nonzero sample played may lie a few frames in: the start is looked for nearby.
  std::size_t at = 0;
  while (at < played.size() && played[at] == 0) at++;
  const std::vector<std::int16_t>& t = built(0).pcm;
  const std::size_t check = 22050;  // the first half second
  ASSERT_GT(played.size(), at + 2 * (check + 64));
  auto differs = [&](std::size_t start, std::size_t frames) {
    int worst = 0;
    for (std::size_t i = 0; i < 2 * frames; i++) worst = std::max(worst, std::abs(played[start + i] - t[i]));
    return worst;
  };
  std::size_t best = at - at % 2;
  int bestdiff = INT_MAX;
  for (std::size_t s = (at > 128 ? at - 128 : 0) & ~std::size_t(1); s <= at; s += 2) {
    int d = differs(s, 1024);
    if (d < bestdiff) bestdiff = d, best = s;
  }
  EXPECT_LE(differs(best, check), 2) << "what was played is not 0.ogg from its start";
}

TEST_F(Headless, MissingEmptyOrDamagedMusicLeavesTheGameSilentAndRunning) {
  std::string good = slurp(BITROT_BINARY_DIR "/0.ogg"), flipped = good;
  ASSERT_GT(good.size(), 20000u);
  for (std::size_t i = 0; i < flipped.size(); i += 97) flipped[i] = char(~flipped[i]);
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"missing", "", true},
      {"empty", "", true},
      {"not Ogg at all", std::string(4096, 'x'), true},
      {"damaged", flipped, false},  // may play something; must not crash
      {"cut short", good.substr(0, 12000), false},
  };
  for (const auto& [what, bytes, silent] : cases) {
    SCOPED_TRACE(what);
    fs::remove_all(dir);
    fs::create_directories(dir);
    if (what != "missing")
      for (const char* name : {"0.ogg", "1.ogg"}) std::ofstream(dir / name, std::ios::binary) << bytes;
    EXPECT_EQ(runheadless(dir, "1.5", played), 0);
    if (silent) {
      EXPECT_LT(level(played), -90);
    }
  }
}

// Track 1 is first asked for at the start of play; in-process, the real SDL hooks can be made to
// load it directly.
class MusicSwitch : public SdlGame {};

TEST_F(MusicSwitch, AnEmptyOrDamagedTrackOneLeavesTheGameSilentAndRunning) {
  fs::copy_file(BITROT_BINARY_DIR "/0.ogg", "0.ogg");
  frame(io);
  EXPECT_NE(mus, nullptr);  // the real track 0 loads
  for (const std::string& bytes : {std::string(), std::string("OggS") + std::string(300, '\0')}) {
    std::ofstream("1.ogg", std::ios::binary) << bytes;
    a.track = 1;
    frame(io);
    EXPECT_EQ(mus, nullptr);
    EXPECT_EQ(a.curtrack, 1);
    EXPECT_EQ(a.running, 1);
    a.track = 0;
    frame(io);
    EXPECT_NE(mus, nullptr);  // and the next switch plays again
  }
}

}  // namespace
