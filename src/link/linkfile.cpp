// Links on the desktop: base64url and raw deflate (zlib), as the page's
// CompressionStream("deflate-raw") writes it, into the recording's text.
#include <zlib.h>

#include <string>

#include "link.h"

namespace {

const std::string base64url = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

std::string fragment(const std::string& arg) {
  const std::size_t at = arg.find("#run=");
  if (at != std::string::npos) return arg.substr(at + 5);
  return arg.substr(4);  // run=...
}

bool frombase64url(const std::string& text, std::string& out) {
  if (text.size() % 4 == 1) return false;
  unsigned bits = 0, have = 0;
  for (char c : text) {
    const std::size_t v = base64url.find(c);
    if (v == std::string::npos) return false;
    bits = bits << 6 | unsigned(v);
    have += 6;
    if (have >= 8) {
      have -= 8;
      out += char(bits >> have & 0xFF);
    }
  }
  return true;
}

// Raw deflate data, whole and nothing after it, into at most linkmax bytes.
// 1, 0 when it is not whole deflate data, -1 when it inflates to more.
int inflateraw(const std::string& in, std::string& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return 0;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = uInt(in.size());
  char buf[65536];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
    if (out.size() > linkmax) rc = Z_MEM_ERROR;
  } while (rc == Z_OK);
  inflateEnd(&z);
  if (rc == Z_MEM_ERROR) return -1;
  return rc == Z_STREAM_END && z.avail_in == 0;
}

}  // namespace

bool islink(const std::string& arg) {
  return arg.compare(0, 4, "run=") == 0 || arg.find("#run=") != std::string::npos;
}

bool openlink(const std::string& arg, std::string& recording, std::string& why) {
  std::string packed, content;
  if (!frombase64url(fragment(arg), packed)) return why = "not base64url", false;
  const int got = inflateraw(packed, content);
  if (got == 0) return why = "damaged: its data does not inflate whole", false;
  if (got < 0 || !unpackrecording(content, recording, why)) return why = overlinkmax(), false;
  if (recording.compare(0, 5, "seed ") != 0) return why = "no seed: not a recording", false;
  return true;
}

std::string makelink(const std::string& recording) {
  const std::string packed = packrecording(recording);
  z_stream z{};
  deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string deflated(deflateBound(&z, uLong(packed.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = uInt(packed.size());
  z.next_out = reinterpret_cast<Bytef*>(deflated.data());
  z.avail_out = uInt(deflated.size());
  deflate(&z, Z_FINISH);
  deflated.resize(z.total_out);
  deflateEnd(&z);
  std::string link = "run=";
  unsigned bits = 0, have = 0;
  for (unsigned char c : deflated) {
    bits = bits << 8 | c;
    for (have += 8; have >= 6; have -= 6) link += base64url[bits >> (have - 6) & 63];
  }
  if (have) link += base64url[bits << (6 - have) & 63];
  return link;
}
