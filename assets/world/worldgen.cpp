// worldgen: builds the world image from its text sources in assets/world.
//
//   worldgen SRCDIR --bin FILE --cpp FILE   the raw image and the C++ table that embeds it
//            [--png DIR]                    world.png, map.png (4x) and title.png (4x)
//            [--figures]                    the map's figures: walls, play area, distances
//
// The sources are plain text so they read and diff well: the map is one
// character per cell and this tool draws each cell's texture from its kind and
// position (so the same text always gives the same pixels); the pictures and
// the title card are one character per pixel. Rows are framed in bars so that
// editors keep trailing spaces; every other line is a comment.
#include <png.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int size = 1024;  // the image is size x size palette indices
constexpr int grid = 128;   // cells per side, 8x8 pixels each

// Where things sit, in cells.
constexpr int mapcol = 0, maprow = 7, mapw = 61, maph = 82;
constexpr int titlex = 0, titley = 960, titlew = 80, titleh = 64;
constexpr int stripy = 8, pictures = 18;

// The game's base palette, for the pictures this tool writes.
constexpr unsigned palette[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

std::vector<unsigned char> img(size* size);

[[noreturn]] void fail(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::fputs("worldgen: ", stderr);
  std::vfprintf(stderr, fmt, ap);
  std::fputc('\n', stderr);
  va_end(ap);
  std::exit(1);
}

void put(int x, int y, int v) {
  if (x >= 0 && x < size && y >= 0 && y < size) img[y * size + x] = static_cast<unsigned char>(v);
}
int get(int x, int y) { return img[y * size + x]; }

// One framed row of a source: its fields between the bars, and where it was.
struct row {
  std::vector<std::string> fields;
  int line;
};

struct source {
  std::string path;
  std::vector<row> rows;
  std::vector<std::pair<std::string, int>> directives;  // non-comment words lines, e.g. strokes
};

source readsource(const std::string& path, std::size_t nfields, std::size_t width) {
  std::ifstream in(path);
  if (!in) fail("%s: cannot open", path.c_str());
  source s{path, {}, {}};
  std::string text;
  for (int line = 1; std::getline(in, text); line++) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] != '|') {
      if (text.rfind("stroke ", 0) == 0) s.directives.emplace_back(text, line);
      continue;
    }
    if (text.size() < 2 || text.back() != '|') fail("%s:%d: a row must end with '|'", path.c_str(), line);
    row r{{}, line};
    std::size_t at = 1;
    // A single field runs from the first bar to the last, so the map may use
    // '|' as a cell of its own.
    if (nfields == 1) r.fields.push_back(text.substr(1, text.size() - 2)), at = text.size();
    while (at < text.size()) {
      std::size_t bar = text.find('|', at);
      r.fields.push_back(text.substr(at, bar - at));
      at = bar + 1;
    }
    if (r.fields.size() != nfields)
      fail("%s:%d: %zu fields between bars, want %zu", path.c_str(), line, r.fields.size(), nfields);
    for (auto& f : r.fields)
      if (f.size() != width)
        fail("%s:%d: a field is %zu characters wide, want %zu", path.c_str(), line, f.size(), width);
    s.rows.push_back(r);
  }
  // getline stops at a failed read as at the end; only badbit tells them apart.
  if (in.bad()) fail("%s: cannot read: %s", path.c_str(), std::strerror(errno));
  return s;
}

// One character per pixel: '.' is index 0, then 1..9 and a..f as in hex.
int pixel(const source& s, const row& r, char ch) {
  if (ch == '.' || ch == '0') return 0;
  if (ch >= '1' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  fail("%s:%d: unknown pixel '%c' (use . 1-9 a-f)", s.path.c_str(), r.line, ch);
}

void drawsprites(const std::string& dir) {
  source s = readsource(dir + "/sprites.txt", 2, 8);
  if (s.rows.size() != pictures / 2 * 8)
    fail("%s: %zu rows, want %d (9 cell values, 8 rows each)", s.path.c_str(), s.rows.size(),
         pictures / 2 * 8);
  for (std::size_t i = 0; i < s.rows.size(); i++) {
    const row& r = s.rows[i];
    int value = int(i / 8), y = stripy + int(i % 8);
    for (int phase = 0; phase < 2; phase++)
      for (int x = 0; x < 8; x++) put(16 * value + 8 * phase + x, y, pixel(s, r, r.fields[phase][x]));
  }
}

void drawtitle(const std::string& dir) {
  source s = readsource(dir + "/title.txt", 1, titlew);
  if (s.rows.size() != titleh) fail("%s: %zu rows, want %d", s.path.c_str(), s.rows.size(), titleh);
  for (int y = 0; y < titleh; y++)
    for (int x = 0; x < titlew; x++) put(titlex + x, titley + y, pixel(s, s.rows[y], s.rows[y].fields[0][x]));
}

// ---------------------------------------------------------------------------
// The map: a kind per cell, drawn here.
// ---------------------------------------------------------------------------

// A fixed hash of a cell and a salt, so textures vary but never change.
unsigned hash(int c, int r, unsigned salt) {
  unsigned h = unsigned(c) * 0x9E3779B1u ^ unsigned(r) * 0x85EBCA77u ^ salt * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

std::vector<std::string> kinds(maph);  // the map text, for neighbour lookups

char kindat(int c, int r) {
  c -= mapcol;
  r -= maprow;
  if (c < 0 || c >= mapw || r < 0 || r >= maph) return ' ';
  return kinds[r][c];
}

bool isfloor(char k) { return std::strchr(".bgvtr=:", k) != nullptr; }

// A short streak of one colour across a floor cell: two dashes at places
// drawn from the cell's hash.
void streak(int x0, int y0, int c, int r, int colour) {
  unsigned h = hash(c, r, 1);
  for (int d = 0; d < 2; d++, h >>= 11) {
    int len = 3 + int(h % 5), sy = int((h >> 3) % 8), sx = int((h >> 6) % (9 - len));
    int drop = int((h >> 9) % 3) - 1;  // most streaks run level, some tilt
    for (int i = 0; i < len; i++)
      put(x0 + sx + i, y0 + std::clamp(sy + (i > len / 2 ? drop : 0), 0, 7), colour);
  }
}

void drawcell(int c, int r, char k, int line, const std::string& path) {
  const int x0 = c * 8, y0 = r * 8;
  const unsigned h = hash(c, r, 7);
  switch (k) {
  case ' ':
  case '.': break;
  case 'b': streak(x0, y0, c, r, 1); break;
  case 'g': streak(x0, y0, c, r, 2); break;
  case 'v': streak(x0, y0, c, r, 7); break;
  case 't': {  // the growth's dark magenta trail: a wandering line of blots
    for (int y = 0; y < 8; y++) {
      int x = 2 + int(hash(c, r, 20 + y) % 4);
      put(x0 + x, y0 + y, 5);
      if (y % 3 == 1) put(x0 + x + 1, y0 + y, 5);
    }
    break;
  }
  case 'r': {  // dark red stains on the dead end's floor
    for (int i = 0; i < 3; i++) {
      unsigned g = hash(c, r, 30 + i);
      int sx = int(g % 6), sy = int((g >> 4) % 6);
      put(x0 + sx, y0 + sy, 4);
      put(x0 + sx + 1, y0 + sy, 4);
      put(x0 + sx, y0 + sy + 1, 4);
      if (g & 0x400) put(x0 + sx + 1, y0 + sy + 1, 4);
    }
    break;
  }
  case '=': {  // a thin grey line across the cell
    int y = 3 + int(h % 2);
    for (int x = 0; x < 8; x++) put(x0 + x, y0 + y, 7);
    break;
  }
  case ':': {  // and one down it
    int x = 3 + int(h % 2);
    for (int y = 0; y < 8; y++) put(x0 + x, y0 + y, 7);
    break;
  }
  case '#': {  // white bricks, light grey joints, two courses per cell
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) {
        bool joint = y == 3 || y == 7 || (y < 3 && x == 3) || (y > 3 && x == 7);
        put(x0 + x, y0 + y, joint ? 8 : 15);
      }
    break;
  }
  case '%':
  case 'm': {  // rock: light grey with dark pits, edged in white toward the floor
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 8; x++) put(x0 + x, y0 + y, hash(c * 8 + x, r * 8 + y, 3) % 11 == 0 ? 0 : 8);
    const int dc[4] = {1, 0, -1, 0}, dr[4] = {0, -1, 0, 1};
    for (int s = 0; s < 4; s++) {
      if (!isfloor(kindat(c + dc[s], r + dr[s]))) continue;
      for (int i = 0; i < 8; i++) {
        int depth = 1 + int(hash(c * 8 + i, r * 8 + s, 4) % 3 == 0);
        for (int d = 0; d < depth; d++) {
          int x = s == 0 ? 7 - d : s == 2 ? d : i, y = s == 1 ? d : s == 3 ? 7 - d : i;
          put(x0 + x, y0 + y, 15);
        }
      }
    }
    if (k == 'm') {  // magenta strands crawling over the rock
      int x = int(h % 8);
      for (int y = 0; y < 8; y++) {
        put(x0 + x, y0 + y, 13);
        x = std::clamp(x + int(hash(c, r * 8 + y, 5) % 3) - 1, 0, 7);
      }
    }
    break;
  }
  case '-':
  case '_':
  case '^': {  // light grey strokes out in the unreachable dark
    int y = k == '_' ? 7 : k == '^' ? 0 : 2 + int(h % 4);
    for (int x = 0; x < 8; x++) put(x0 + x, y0 + y, 8);
    break;
  }
  case '|':
  case '[': {
    int x = k == '[' ? 0 : 2 + int(h % 4);
    for (int y = 0; y < 8; y++) put(x0 + x, y0 + y, 8);
    break;
  }
  case '/':
    for (int i = 0; i < 8; i++) put(x0 + 7 - i, y0 + i, 8);
    break;
  case '\\':
    for (int i = 0; i < 8; i++) put(x0 + i, y0 + i, 8);
    break;
  default: fail("%s:%d: unknown map cell '%c' at column %d", path.c_str(), line, k, c);
  }
}

void drawline(int x0, int y0, int x1, int y1, int colour) {
  int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0), sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  for (int err = dx + dy;;) {
    put(x0, y0, colour);
    if (x0 == x1 && y0 == y1) break;
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

void drawmap(const std::string& dir) {
  source s = readsource(dir + "/map.txt", 1, mapw);
  if (s.rows.size() != maph) fail("%s: %zu rows, want %d", s.path.c_str(), s.rows.size(), maph);
  for (int r = 0; r < maph; r++) kinds[r] = s.rows[r].fields[0];
  for (int r = 0; r < maph; r++)
    for (int c = 0; c < mapw; c++) drawcell(mapcol + c, maprow + r, kinds[r][c], s.rows[r].line, s.path);
  // Pixel strokes drawn over the cells: "stroke X0 Y0 X1 Y1 INDEX".
  for (auto& [text, line] : s.directives) {
    int x0, y0, x1, y1, colour;
    char extra;
    if (std::sscanf(text.c_str(), "stroke %d %d %d %d %d %c", &x0, &y0, &x1, &y1, &colour, &extra) != 5 ||
        colour < 0 || colour > 15 || x0 < 0 || x0 >= size || x1 < 0 || x1 >= size || y0 < 0 || y0 >= size ||
        y1 < 0 || y1 >= size)
      fail("%s:%d: want \"stroke X0 Y0 X1 Y1 INDEX\" inside the image", s.path.c_str(), line);
    drawline(x0, y0, x1, y1, colour);
  }
}

// ---------------------------------------------------------------------------
// Figures of the built image, to keep the map's balance in sight.
// ---------------------------------------------------------------------------
void figures() {
  static unsigned char wall[grid][grid];
  int walls = 0;
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++)
      if (get(x, y) >= 8) wall[y / 8][x / 8] = 1;
  for (auto& rw : wall)
    for (auto w : rw) walls += w;
  auto count = [&](int c0, int r0, int c1, int r1) {
    int n = 0;
    for (int r = r0; r <= r1; r++)
      for (int c = c0; c <= c1; c++) n += wall[r][c];
    return n;
  };
  std::printf("walls %d: map %d, title %d, strip %d, row0 %d\n", walls, count(0, 2, 127, 119),
              count(0, 120, 9, 127), count(0, 1, 127, 1), count(0, 0, 127, 0));

  // Side-step distances over non-wall cells.
  auto bfs = [&](int c0, int r0, std::vector<int>& dist) {
    dist.assign(grid * grid, -1);
    std::vector<int> queue{r0 * grid + c0};
    dist[queue[0]] = 0;
    for (std::size_t i = 0; i < queue.size(); i++) {
      int at = queue[i], c = at % grid, r = at / grid;
      const int dc[4] = {1, 0, -1, 0}, dr[4] = {0, -1, 0, 1};
      for (int s = 0; s < 4; s++) {
        int nc = c + dc[s], nr = r + dr[s];
        if (nc < 0 || nc >= grid || nr < 0 || nr >= grid || wall[nr][nc] || dist[nr * grid + nc] >= 0)
          continue;
        dist[nr * grid + nc] = dist[at] + 1;
        queue.push_back(nr * grid + nc);
      }
    }
  };
  std::vector<int> d;
  bfs(9, 21, d);
  int cells = 0, upper = 0, lower = 0, minc = grid, maxc = -1, minr = grid, maxr = -1, far = 0, farat = 0;
  int decorated = 0, border = 0;
  for (int r = 0; r < grid; r++)
    for (int c = 0; c < grid; c++) {
      if (d[r * grid + c] < 0) continue;
      cells++;
      (r <= 47 ? upper : lower)++;
      minc = std::min(minc, c), maxc = std::max(maxc, c), minr = std::min(minr, r), maxr = std::max(maxr, r);
      if (d[r * grid + c] > far) far = d[r * grid + c], farat = r * grid + c;
      bool deco = false;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) deco |= get(c * 8 + x, r * 8 + y) != 0;
      decorated += deco;
    }
  for (int r = 0; r < grid; r++)
    for (int c = 0; c < grid; c++) {
      if (!wall[r][c]) continue;
      bool touches = false;
      for (int dr = -1; dr <= 1; dr++)
        for (int dc = -1; dc <= 1; dc++) {
          int nr = r + dr, nc = c + dc;
          if (nr >= 0 && nr < grid && nc >= 0 && nc < grid && d[nr * grid + nc] >= 0) touches = true;
        }
      border += touches;
    }
  std::printf("play area %d (rows 11-47 %d, rows 48-82 %d), columns %d-%d, rows %d-%d\n", cells, upper, lower,
              minc, maxc, minr, maxr);
  std::printf("bordering walls %d, decorated cells %d\n", border, decorated);
  std::printf("steps to (9,21): from (5,23) %d, from (53,12) %d; farthest (%d,%d) at %d\n", d[23 * grid + 5],
              d[12 * grid + 53], farat % grid, farat / grid, far);
  int stray = 0;
  for (int r = maprow; r < maprow + maph; r++)
    for (int c = 0; c < grid; c++) {
      if (wall[r][c] || d[r * grid + c] >= 0) continue;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) stray += get(c * 8 + x, r * 8 + y) != 0;
    }
  int nolight = 0;
  for (int r = maprow; r < maprow + maph; r++)
    for (int c = mapcol; c < mapcol + mapw; c++) {
      if (!wall[r][c]) continue;
      bool has8 = false;
      for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++) has8 |= get(c * 8 + x, r * 8 + y) == 8;
      nolight += !has8;
    }
  std::printf("pixels off the floor outside the play area %d; map walls without light grey %d\n", stray,
              nolight);
  long counts[16] = {};
  for (auto v : img) counts[v]++;
  std::printf("index counts:");
  for (int i = 0; i < 16; i++) std::printf(" %d:%ld", i, counts[i]);
  std::printf("\n");
  auto region = [&](const char* name, int x0, int y0, int w, int h) {
    long n[16] = {};
    for (int y = y0; y < y0 + h; y++)
      for (int x = x0; x < x0 + w; x++) n[get(x, y)]++;
    std::printf("%s:", name);
    for (int i = 0; i < 16; i++)
      if (n[i]) std::printf(" %d:%ld", i, n[i]);
    std::printf("\n");
  };
  region("strip", 0, stripy, 8 * pictures, 8);
  region("title", titlex, titley, titlew, titleh);
}

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------
void writefile(const std::string& path, const std::string& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) fail("%s: cannot write", path.c_str());
}

// The image packed for the browser, where every byte of the program is
// downloaded before play: runs of one index, a byte each, the index in its
// high nibble and the run's length less one in its low; a low nibble of 15
// is a run of 16 or more, its length less 16 following in 7-bit groups, low
// first. A million bytes, mostly the void around the map, come to some 35 kB
// where the program's data segments, which leave out only long runs of zeros,
// held 130 kB. unpacksource() below reads it back.
std::string packed() {
  std::string out;
  for (size_t i = 0; i < img.size();) {
    size_t j = i;
    while (j < img.size() && img[j] == img[i]) j++;
    size_t n = j - i;
    if (img[i] > 15) fail("index %d at %zu does not fit a nibble", img[i], i);
    out += char(img[i] << 4 | (n < 16 ? n - 1 : 15));
    if (n >= 16)
      for (n -= 16;; n >>= 7) {
        out += char((n & 127) | (n > 127 ? 128 : 0));
        if (n <= 127) break;
      }
    i = j;
  }
  return out;
}

// The table as an assembler .incbin of the raw image: a million bytes that
// would take the compiler ages as an initializer list. WebAssembly objects
// have their own section syntax and want the symbol's size after its data;
// there the image is the packed one, unpacked into zeroed memory before main
// (and before any static constructor of the game's, by its priority), so
// header_data reads the same everywhere. Elsewhere the symbol type is spelled
// STT_OBJECT, the one spelling every assembler takes: 32-bit ARM's reads "@"
// as the start of a comment.
std::string tablesource(const std::string& bin, const std::string& rle) {
  std::string s =
      "// Made by assets/world/worldgen.cpp from assets/world/*.txt; edit those, not this.\n"
      "// header_data: the world image, 1024x1024 palette indices, row-major.\n"
      "#if defined(__wasm__)\n"
      "asm(R\"(\n"
      "  .section .bss.header_data,\"\",@\n"
      "  .globl header_data\n"
      "  .type header_data, @object\n"
      "  .globl world_unpacked\n"
      "  .type world_unpacked, @object\n"
      "  .p2align 6\n"
      "header_data:\n"
      "world_unpacked:\n"
      "  .skip 1048576\n"
      "  .size header_data, 1048576\n"
      "  .size world_unpacked, 1048576\n"
      "  .section .rodata.world_packed,\"\",@\n"
      "  .globl world_packed\n"
      "  .type world_packed, @object\n"
      "world_packed:\n"
      "  .incbin \"" +
      rle +
      "\"\n"
      "  .size world_packed, " +
      std::to_string(packed().size()) +
      "\n"
      ")\");\n"
      "// header_data's bytes, written here only (world_unpacked names them).\n"
      "extern \"C\" unsigned char world_unpacked[1048576];\n"
      "extern \"C\" const unsigned char world_packed[" +
      std::to_string(packed().size()) +
      "];\n"
      "__attribute__((constructor(101))) static void unpackworld() {\n"
      "  const unsigned char* in = world_packed;\n"
      "  const unsigned char* end = in + sizeof world_packed;\n"
      "  unsigned long at = 0;\n"
      "  while (in < end && at < sizeof world_unpacked) {\n"
      "    unsigned char index = *in >> 4;\n"
      "    unsigned long n = (*in++ & 15) + 1;\n"
      "    if (n == 16)\n"
      "      for (int shift = 0; in < end && shift < 28; shift += 7) {\n"
      "        n += static_cast<unsigned long>(*in & 127) << shift;\n"
      "        if (!(*in++ & 128)) break;\n"
      "      }\n"
      "    for (; n && at < sizeof world_unpacked; n--) world_unpacked[at++] = index;\n"
      "  }\n"
      "}\n"
      "#else\n"
      "asm(R\"(\n"
      "  .pushsection .rodata\n"
      "  .globl header_data\n"
      "  .type header_data, STT_OBJECT\n"
      "  .size header_data, 1048576\n"
      "  .balign 64\n"
      "header_data:\n"
      "  .incbin \"" +
      bin +
      "\"\n"
      "  .popsection\n"
      ")\");\n"
      "#endif\n";
  return s;
}

// A PNG of a block of the image, each pixel scaled up to a square.
void writepng(const std::string& path, int x0, int y0, int w, int h, int scale) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fail("%s: cannot write", path.c_str());
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) fail("%s: libpng failed", path.c_str());
  png_init_io(png, f);
  png_set_IHDR(png, info, w * scale, h * scale, 4, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colours[16];
  for (int i = 0; i < 16; i++)
    colours[i] = {png_byte(palette[i] >> 16), png_byte(palette[i] >> 8 & 0xFF), png_byte(palette[i] & 0xFF)};
  png_set_PLTE(png, info, colours, 16);
  png_write_info(png, info);
  std::vector<png_byte> line((w * scale + 1) / 2);
  for (int y = 0; y < h * scale; y++) {
    std::fill(line.begin(), line.end(), 0);
    for (int x = 0; x < w * scale; x++)
      line[x / 2] |= png_byte(get(x0 + x / scale, y0 + y / scale) << (x % 2 ? 0 : 4));
    png_write_row(png, line.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) fail("%s: cannot write", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string src, bin, cpp, pngdir;
  bool showfigures = false;
  for (int i = 1; i < argc; i++) {
    std::string arg = argv[i];
    if (arg == "--bin" && i + 1 < argc) bin = argv[++i];
    else if (arg == "--cpp" && i + 1 < argc) cpp = argv[++i];
    else if (arg == "--png" && i + 1 < argc) pngdir = argv[++i];
    else if (arg == "--figures") showfigures = true;
    else if (src.empty() && arg[0] != '-') src = arg;
    else src.clear(), i = argc;
  }
  if (src.empty()) {
    std::fprintf(stderr, "usage: worldgen SRCDIR [--bin FILE] [--cpp FILE] [--png DIR] [--figures]\n");
    return 2;
  }

  // The swatch: every colour once, in order.
  for (int i = 0; i < 16; i++) put(i, 0, i);
  drawsprites(src);
  drawmap(src);
  drawtitle(src);

  if (!bin.empty()) writefile(bin, std::string(img.begin(), img.end()));
  if (!cpp.empty()) {
    if (bin.empty()) fail("--cpp needs --bin: the table includes the raw image");
    // The packed image beside the raw one: world.bin, world.rle.
    std::string rle =
        bin.substr(0, bin.rfind('.') == std::string::npos ? bin.size() : bin.rfind('.')) + ".rle";
    writefile(rle, packed());
    writefile(cpp, tablesource(bin, rle));
  }
  if (!pngdir.empty()) {
    writepng(pngdir + "/world.png", 0, 0, size, size, 1);
    writepng(pngdir + "/map.png", 0, 56, 488, 656, 4);
    writepng(pngdir + "/title.png", titlex, titley, titlew, titleh, 4);
  }
  if (showfigures) figures();
  return 0;
}
