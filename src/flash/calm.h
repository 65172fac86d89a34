// The reduce-flashing mode: a filter over what a platform shows, never over
// what the game computes. The game's screen buffer, state, recordings and
// hashes stay exactly as they are; only the picture handed to the window
// changes.
//
// It works on the screen as renderscreen draws it, 4x4 blocks of a bright
// colour and its dark edge, and passes or holds each block whole. A block
// whose new colours would complete a transition (flash.h) less than four
// frames after that colour's last one keeps the colours already shown. So no
// pixel makes more than 5 transitions in any 20 frames (2.5 flashes a
// second), a change is at most 3 frames (150 ms) late, and a single change,
// a cut, a step or a sprite's frame, passes at once.
#pragma once

#include "core/state.h"

// Switches the mode; switched on, it starts from the next frame as it is.
void setcalm(bool on);
bool calm();

// The picture to show for `screen` (scrbuf, 320x240 RGB565, as renderscreen
// left it): `screen` itself while the mode is off. Called once a frame, just
// before the platform's present; the result stays valid until the next call.
const u16* calmed(const u16* screen);
