// A run as a link: a recording (see core/recording.h) packed, deflated and
// written in base64url into the fragment of the page's address, #run=...,
// so that nothing of it reaches a server. The page makes and opens links with
// the browser's own deflate; the desktop programs open them with zlib.
//
// The packed form is what deflate is given. Most frames of a recording hold
// no event and most events are one of the game's eight keys going down or
// up, so it keeps a byte per event, with the empty frames before it folded
// in, where the text spends five bytes and a newline per frame:
//   run SEED\n      the seed line
//   then bytes:
//   16g+k           (g 0 to 14, k 0 to 15) g frames end, then key k of
//                   Right, Up, Left, Down, Space, Left Ctrl, Return, Escape
//                   goes down (k 0 to 7) or up (k 8 to 15, key k-8)
//   0xF0+n          (n 0 to 13) n+1 frames end
//   0xFE TOKEN\n    any other event (dK, uK, q) in the frame under way
//   0xFF REST       the rest as it is: the end line, if there is one
// A recording's text as it is (its first line "seed N") is a link's content
// too; it is only longer.
#pragma once

#include <cstddef>
#include <string>

// The largest recording a link may hold, inflated and unpacked: as large as
// a file the page lets a player watch. A day of play is a few MB.
constexpr std::size_t linkmax = 64u << 20;
// Why a recording or link past linkmax is refused, in the page's words too.
inline std::string overlinkmax() { return "over " + std::to_string(linkmax >> 20) + " MiB once inflated"; }

// The packed form of a recording as the game writes one. Text it can't pack
// (not a recording, a line not made of events) comes back as it is.
std::string packrecording(const std::string& recording);

// The recording in a link's content: packed, or text, which comes back as it
// is. False with why when unpacking would pass linkmax.
bool unpackrecording(const std::string& content, std::string& recording, std::string& why);

// On the desktop only, with zlib (linkfile.cpp): bitrot-replay and bitrot
// --playback take a link wherever they take a file.

// Whether a program's argument is a link: an address with #run= in it, or
// its fragment alone (#run=... or run=...).
bool islink(const std::string& arg);

// The recording in a link, or false with why not, in the page's words: not
// base64url, damaged (its deflate data does not inflate whole), over
// linkmax once inflated, not a recording.
bool openlink(const std::string& arg, std::string& recording, std::string& why);

// A recording's link fragment, run=..., as the page makes it.
std::string makelink(const std::string& recording);
