// Game logic: the starting world, the wall grid, the turn and the handling of
// input. Plain procedures over the shared state; no platform calls.
#pragma once

// Puts the game into its starting state: the title card in view, the player,
// one mender and one growth on a fresh grid, the palette reloaded, the effect
// map cleared. Called once at start-up (before prepblock) and by the frame's
// end whenever a turn has ended the game.
void newgame();

// Builds `walls` from the world image: a cell is a wall when any of its 64
// pixels has a palette index of 8 or more. Called once at start-up, right
// after the first newgame; nothing clears the grid afterwards.
void prepblock();

// Sets the whole effect map to 0, no effect. Called by newgame and by a
// mender pick-up that draws odd.
void clearscfx();

// One turn: the music wish, one generation of the automaton, the player's
// step in `direction` (0 wait, 1 right, 2 up, 3 left, 4 down), the view's
// goal. Called only by procgame, at most once a frame.
void newturn(int direction);

// Acts on the frame's key mask: the lock-out after a new game, the start of
// play, at most one turn, then the view's glide. Called by the frame after
// the key mask is built and before render.
void procgame();
