#include "statehash.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::uint64_t fnvbasis = 0xcbf29ce484222325ull, fnvprime = 0x100000001b3ull;

// One byte of FNV-1a.
inline std::uint64_t step(std::uint64_t h, u8 c) { return (h ^ c) * fnvprime; }

// A byte of FNV-1a waits for the one before: a multiply per byte, one after
// the other, which is all the time a plain loop spends on the screen. Eight
// bytes at once go faster through a table. The low byte of the hash after a
// step depends only on the low byte before it and on the byte hashed, and
// the rest of the hash only adds a multiple of 256 that the step multiplies
// by the prime; so for a fixed group of eight bytes,
//   hash after = (hash before - l) * prime^8 + g(l),  l = hash before & 255,
// with g(l) the FNV-1a of the group started from l, one of 256 values. A
// table of prime^8 * -l + g(l) for one group costs 2,048 steps, against 8 for
// hashing the group once, so it pays only for groups met again and again: the
// screen is made of blocks of a few dozen colours, four pixels, eight bytes,
// to a block row; the state's grids are mostly zero.
constexpr std::uint64_t prime8 =
    fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime * fnvprime;

struct grouptable {
  std::uint64_t add[256];  // g(l) - l * prime^8
  u8 next[256];            // g(l) & 255, the low byte after the group
};

void filltable(grouptable& t, std::uint64_t group) {
  u8 bytes[8];
  std::memcpy(bytes, &group, 8);
  for (unsigned l = 0; l < 256; l++) {
    std::uint64_t h = l;
    for (u8 c : bytes) h = step(h, c);
    t.add[l] = h - l * prime8;
    t.next[l] = u8(h);
  }
}

// The tables of the groups met lately, found by the group's eight bytes with
// open addressing; emptied when half full, which the palette's drift brings
// about every few dozen frames.
constexpr unsigned slots = 128;
std::uint64_t slotgroup[slots];
bool slotused[slots];
unsigned slotsused;
grouptable slottable[slots];

const grouptable* findtable(std::uint64_t group, unsigned& builds) {
  const unsigned home = unsigned((group * 0x9e3779b97f4a7c15ull) >> 57);
  unsigned i = home;
  for (; slotused[i]; i = (i + 1) % slots)
    if (slotgroup[i] == group) return &slottable[i];
  // A table for a group met once is only waste: past a few dozen new groups
  // in one hash, the rest go byte by byte.
  if (builds >= 64) return nullptr;
  builds++;
  if (slotsused >= slots / 2) {
    std::memset(slotused, 0, sizeof slotused);
    slotsused = 0;
    i = home;
  }
  slotused[i] = true;
  slotsused++;
  slotgroup[i] = group;
  filltable(slottable[i], group);
  return &slottable[i];
}

// FNV-1a over n bytes, a table for each group of eight when `tables` (and
// one for all-zero groups always).
std::uint64_t hashbytes(const u8* p, std::size_t n, std::uint64_t h, bool tables) {
  static grouptable zero;
  static const bool zeroready = (filltable(zero, 0), true);
  (void)zeroready;
  unsigned builds = 0;
  std::size_t i = 0;
  // The low byte goes on by its own table, so the multiply of the whole hash
  // never waits for a load.
  unsigned l = unsigned(h & 255);
  std::uint64_t lastgroup = 0;
  const grouptable* t = nullptr;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t group;
    std::memcpy(&group, p + i, 8);
    // Neighbouring blocks are often alike: the last group's table is tried first.
    if (group != lastgroup || !t) t = !group ? &zero : tables ? findtable(group, builds) : nullptr;
    lastgroup = group;
    if (t) {
      h = h * prime8 + t->add[l];
      l = t->next[l];
    } else {
      for (std::size_t j = i; j < i + 8; j++) h = step(h, p[j]);
      l = unsigned(h & 255);
    }
  }
  for (; i < n; i++) h = step(h, p[i]);
  return h;
}

// FNV-1a over 16-bit words, each little-endian whatever the machine's order.
std::uint64_t hashwords(const u16* w, std::size_t n, std::uint64_t h, bool tables) {
  if constexpr (std::endian::native == std::endian::little)
    return hashbytes(reinterpret_cast<const u8*>(w), 2 * n, h, tables);
  for (std::size_t i = 0; i < n; i++) h = step(step(h, u8(w[i])), u8(w[i] >> 8));
  return h;
}

}  // namespace

std::uint64_t fnv1a(const void* data, std::size_t n, std::uint64_t h) {
  const u8* p = static_cast<const u8*>(data);
  for (std::size_t i = 0; i < n; i++) h = step(h, p[i]);
  return h;
}

std::uint64_t screenhash() { return hashwords(scrbuf, scrh * scrw, fnvbasis, true); }

std::uint64_t statehash() {
  std::uint64_t h = hashbytes(&a.cells[0][0], sizeof a.cells, fnvbasis, false);
  h = hashbytes(scfx, sizeof scfx, h, false);
  return hashwords(pal16, 32, h, false);
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
