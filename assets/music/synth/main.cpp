// bitrot-synth SCORE OUT.ogg [--wav OUT.wav]
// Renders a score into an Ogg Vorbis loop for the game; with --wav also the
// raw 16-bit loop as it was before encoding. The same score always gives the
// same bytes: the stream's serial number is fixed and nothing reads the clock.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "synth.h"

namespace {

constexpr int serial = 0x62726f74;  // any fixed number does; a random one would change every build
constexpr float quality = 0.4f;     // about 128 kbit/s
constexpr double loudest = -2.0;    // dBFS; leaves room for the encoder's overshoot

bool fail(const std::string& what) {
  std::fprintf(stderr, "bitrot-synth: %s\n", what.c_str());
  return false;
}

bool writeogg(const std::vector<std::int16_t>& pcm, std::FILE* f) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, synth::rate, quality))
    return fail("the Vorbis encoder refused its settings");
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);

  ogg_page og;
  ogg_packet op, oc, ob;
  bool ok = true;
  auto page = [&] {
    ok = ok && std::fwrite(og.header, 1, og.header_len, f) == std::size_t(og.header_len) &&
         std::fwrite(og.body, 1, og.body_len, f) == std::size_t(og.body_len);
  };
  vorbis_analysis_headerout(&vd, &vc, &op, &oc, &ob);
  ogg_stream_packetin(&os, &op);
  ogg_stream_packetin(&os, &oc);
  ogg_stream_packetin(&os, &ob);
  while (ogg_stream_flush(&os, &og)) page();

  auto pump = [&] {
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og)) page();
      }
    }
  };
  const std::size_t n = pcm.size() / 2, chunk = 4096;
  for (std::size_t at = 0; at < n; at += chunk) {
    std::size_t k = std::min(chunk, n - at);
    float** buf = vorbis_analysis_buffer(&vd, int(k));
    for (std::size_t i = 0; i < k; i++) {
      buf[0][i] = pcm[2 * (at + i)] / 32768.0f;
      buf[1][i] = pcm[2 * (at + i) + 1] / 32768.0f;
    }
    vorbis_analysis_wrote(&vd, int(k));
    pump();
  }
  vorbis_analysis_wrote(&vd, 0);
  pump();
  while (ogg_stream_flush(&os, &og)) page();

  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return ok;
}

void le(std::ofstream& o, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) o.put(char((v >> (8 * i)) & 0xff));
}

bool writewav(const std::vector<std::int16_t>& pcm, const std::string& path) {
  std::ofstream o(path, std::ios::binary);
  std::uint32_t data = std::uint32_t(pcm.size() * 2);
  o << "RIFF";
  le(o, 36 + data, 4);
  o << "WAVEfmt ";
  le(o, 16, 4), le(o, 1, 2), le(o, 2, 2), le(o, synth::rate, 4), le(o, synth::rate * 4, 4), le(o, 4, 2),
      le(o, 16, 2);
  o << "data";
  le(o, data, 4);
  for (std::int16_t s : pcm) le(o, std::uint16_t(s), 2);
  return bool(o) || fail("cannot write " + path);
}

bool run(int argc, char** argv) {
  if (argc != 3 && (argc != 5 || std::string(argv[3]) != "--wav"))
    return fail("usage: bitrot-synth SCORE OUT.ogg [--wav OUT.wav]");
  std::string in = argv[1], out = argv[2];
  // Through stdio, whose failed read is ferror: a stream's copy would stop
  // at a failed read as at the end, and make a score of what came before.
  std::FILE* f = std::fopen(in.c_str(), "rb");
  std::string text;
  char buf[65536];
  for (std::size_t n = sizeof buf; f && n == sizeof buf;) {  // a short read is the end, or a fault
    n = std::fread(buf, 1, sizeof buf, f);
    text.append(buf, n);
  }
  if (!f || std::ferror(f)) {
    const std::string why = std::strerror(errno);
    if (f) std::fclose(f);
    return fail("cannot read " + in + ": " + why);
  }
  std::fclose(f);

  synth::song s;
  std::string err;
  if (!synth::parse(text, in, s, err)) return fail(err);
  auto pcm = synth::render(s);

  int peak = 0;
  for (std::int16_t v : pcm) peak = std::max(peak, std::abs(int(v)));
  double db = 20 * std::log10(std::max(peak, 1) / 32768.0);
  if (db > loudest) {
    char m[200];
    std::snprintf(m, sizeof m, "%s:%d: the loop peaks at %.1f dBFS, above %.0f dBFS; lower the volume",
                  in.c_str(), s.volumeline, db, loudest);
    return fail(m);
  }
  if (argc == 5 && !writewav(pcm, argv[4])) return false;

  // Written aside and moved into place, so a failed run leaves no half file.
  std::string tmp = out + ".part";
  std::FILE* o = std::fopen(tmp.c_str(), "wb");
  if (!o) return fail("cannot write " + tmp);
  bool ok = writeogg(pcm, o);
  ok = std::fclose(o) == 0 && ok;
  if (!ok) {
    std::remove(tmp.c_str());
    return fail("cannot write " + out);
  }
  std::error_code ec;
  std::filesystem::rename(tmp, out, ec);
  if (ec) return fail("cannot move " + tmp + " to " + out + ": " + ec.message());
  std::printf("bitrot-synth: %s: %.1f s, %zu notes, peak %.1f dBFS\n", out.c_str(),
              double(pcm.size() / 2) / synth::rate, s.notes.size(), db);
  return true;
}

}  // namespace

int main(int argc, char** argv) { return run(argc, argv) ? 0 : 1; }
