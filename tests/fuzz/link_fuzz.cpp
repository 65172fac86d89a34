// Fuzzes what opens a run passed from one player to another: any bytes as a
// link, as a link's content, and as a recording put into a link. Besides the
// sanitizers' findings, it stops on a broken promise:
//   - a refusal says why; what is opened is a recording, within linkmax;
//   - a recording packs and unpacks to itself, byte for byte;
//   - a link made of a recording opens to that recording.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/link.h"

namespace {

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "link_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string got, why;

  // The bytes as a link's fragment, and as the content a link inflates to.
  if (openlink("run=" + bytes, got, why))
    check(got.compare(0, 5, "seed ") == 0, "a link opens to no recording");
  else check(!why.empty(), "a link refused without a reason");
  why.clear();
  if (unpackrecording(bytes, got, why)) check(got.size() <= linkmax, "unpacked past linkmax");
  else check(!why.empty() && got.empty(), "content refused without a reason");

  // The bytes as a recording.
  const std::string packed = packrecording(bytes);
  if (packed != bytes) {
    why.clear();
    check(unpackrecording(packed, got, why) && got == bytes, "a packed recording unpacks to something else");
  }
  if (bytes.compare(0, 5, "seed ") == 0) {
    why.clear();
    check(openlink(makelink(bytes), got, why) && got == bytes, "a recording's link opens to something else");
  }
  return 0;
}
