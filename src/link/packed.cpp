// The packed form of a recording (link.h): the same text, a byte per event.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "link.h"

namespace {

// The game's eight keys, in the order of their bits in the key mask.
constexpr std::array<std::string_view, 8> keys = {"275", "273", "276", "274", "32", "306", "13", "27"};

constexpr unsigned char manyframes = 0xF0, othertoken = 0xFE, rest = 0xFF;
constexpr unsigned maxgap = 14;  // empty frames an event's own byte holds

int keyindex(std::string_view token) {
  if (token.size() < 2 || (token[0] != 'd' && token[0] != 'u')) return -1;
  for (std::size_t k = 0; k < keys.size(); k++)
    if (token.substr(1) == keys[k]) return int(k) + (token[0] == 'u' ? 8 : 0);
  return -1;
}

void frameends(std::string& out, unsigned& n) {
  for (; n > 0; n -= std::min(n, maxgap)) out += char(manyframes + std::min(n, maxgap) - 1);
}

}  // namespace

std::string packrecording(const std::string& recording) {
  if (recording.compare(0, 5, "seed ") != 0) return recording;
  std::size_t at = recording.find('\n');
  if (at == std::string::npos) return recording;
  std::string out = "run " + recording.substr(5, at - 5) + "\n";
  unsigned gap = 0;  // frames ended since the last event
  for (at++; at < recording.size() && recording.compare(at, 4, "end ") != 0;) {
    const std::size_t nl = recording.find('\n', at);
    if (nl == std::string::npos) return recording;  // a frame cut in half: not ours to mend
    const std::string_view line(recording.data() + at, nl - at);
    if (line.ends_with(' ')) return recording;  // a blank at the end: not as the game writes a line
    for (std::size_t from = 0; from < line.size();) {
      std::size_t to = line.find(' ', from);
      if (to == std::string_view::npos) to = line.size();
      const std::string_view token = line.substr(from, to - from);
      if (token.empty()) return recording;  // two blanks: not as the game writes a line
      const int k = keyindex(token);
      if (k >= 0) {
        while (gap > maxgap) out += char(manyframes + maxgap - 1), gap -= maxgap;
        out += char(16 * gap + unsigned(k));
        gap = 0;
      } else {
        frameends(out, gap);
        out += char(othertoken);
        out += token;
        out += '\n';
      }
      from = to + 1;
    }
    gap++;
    at = nl + 1;
  }
  frameends(out, gap);
  if (at < recording.size()) out += char(rest) + recording.substr(at);
  return out;
}

bool unpackrecording(const std::string& content, std::string& recording, std::string& why) {
  recording.clear();
  if (content.compare(0, 4, "run ") != 0) {
    recording = content;
    return true;
  }
  const std::size_t head = content.find('\n');
  if (head == std::string::npos) {
    recording = content;  // the reader says what is wrong with it
    return true;
  }
  recording = "seed " + content.substr(4, head - 4) + "\n";
  bool inframe = false;  // the frame under way has an event
  auto event = [&](std::string_view token) {
    if (inframe) recording += ' ';
    recording += token;
    inframe = true;
  };
  for (std::size_t at = head + 1; at < content.size(); at++) {
    if (recording.size() > linkmax) break;
    const auto c = static_cast<unsigned char>(content[at]);
    if (c == rest) {
      recording.append(content, at + 1);
      break;
    }
    if (c == othertoken) {
      std::size_t nl = content.find('\n', at + 1);
      if (nl == std::string::npos) nl = content.size();
      event(std::string_view(content).substr(at + 1, nl - at - 1));
      at = nl;
    } else if (c >= manyframes) {
      recording.append(c - manyframes + 1, '\n');
      inframe = false;
    } else {
      if (c >= 16) recording.append(c / 16, '\n'), inframe = false;
      std::string e(1, c & 8 ? 'u' : 'd');
      event(e += keys[c & 7]);
    }
  }
  if (recording.size() <= linkmax) return true;
  recording.clear();
  why = overlinkmax();
  return false;
}
