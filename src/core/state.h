// The shared state of bitrot: everything the game keeps, declared in one place.
//
// All of it is global, exists once and lives for the whole run; nothing is
// allocated. The state block `a` and the view record `b` keep the exact byte
// layout the game was designed around (checked below), so a hash or a dump of
// them means the same thing everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint8_t u8;
typedef std::int16_t s16;
typedef std::uint16_t u16;
typedef std::uint32_t u32;

constexpr int gridsize = 128;          // cells per grid row and column
constexpr int worldsize = 1024;        // world image pixels per row and column
constexpr int loww = 80, lowh = 60;    // low-res frame and effect map
constexpr int scrw = 320, scrh = 240;  // the screen, in pixels

// Cell values, as the grids hold them.
enum : u8 {
  cfree = 0,
  cright = 1,
  cup = 2,
  cleft = 3,
  cdown = 4,  // the player, facing that way
  cmender = 5,
  cgrowth = 6,  // growth stage 1; 7, 8 and 9 follow
  cripe = 9,    // growth stage 4: spreads every turn
};

// ---------------------------------------------------------------------------
// State block: 65536 bytes, zero at start-up. `newgame` zeroes everything from
// `running` up to the end of `nextcells`; `walls` and the tail survive it.
// ---------------------------------------------------------------------------
struct stateblock {
  u8 running;  // the frame loop goes on while nonzero; main loop, newgame
  u8 unused1;
  u8 keys[8];   // 1 while the key in that row of kbk is held; main loop
  u8 keymask;   // bit i set when keys[i] is 1, rebuilt each frame; main loop
  u8 track;     // music track wanted, 0 (title, danger) or 1 (quiet); newgame, procgame, newturn
  u8 curtrack;  // track last loaded, 255 before the first load; main loop
  u8 lastmask;  // the previous frame's keymask; procgame, 0 after newgame
  u8 unused14[6];
  u8 mode;   // 0 title, 1 play; procgame
  u8 alive;  // 1 during a game, 0 makes the frame end in newgame; newgame, newturn
  u8 alarm;  // turns of danger music left: render sets 10, newturn counts down
  u8 unused23[105];
  u8 cells[gridsize][gridsize];      // the current grid, [row][column]; newturn, newgame
  u8 nextcells[gridsize][gridsize];  // scratch grid a turn builds, [row][column]; newturn
  u8 walls[gridsize][gridsize];      // 1 where the cell is a wall, [row][column]; prepblock only
  u8 unused49280[65536 - 49280];
};

static_assert(sizeof(stateblock) == 65536);
static_assert(offsetof(stateblock, running) == 0);
static_assert(offsetof(stateblock, keys) == 2);
static_assert(offsetof(stateblock, keymask) == 10);
static_assert(offsetof(stateblock, track) == 11);
static_assert(offsetof(stateblock, curtrack) == 12);
static_assert(offsetof(stateblock, lastmask) == 13);
static_assert(offsetof(stateblock, mode) == 20);
static_assert(offsetof(stateblock, alive) == 21);
static_assert(offsetof(stateblock, alarm) == 22);
static_assert(offsetof(stateblock, cells) == 128);
static_assert(offsetof(stateblock, nextcells) == 16512);
static_assert(offsetof(stateblock, walls) == 32896);
static_assert(offsetof(stateblock, unused49280) == 49280);

// ---------------------------------------------------------------------------
// View record: 64 signed 16-bit words, zero at start-up and after newgame.
// Only the first eight are used. All arithmetic on them is 16-bit and signed.
// ---------------------------------------------------------------------------
struct viewrecord {
  s16 camx;   // left edge of the 80x60 view, world pixels, any value; procgame
  s16 camy;   // top edge of the view; procgame, newgame
  s16 plx;    // the player's column; newturn, newgame
  s16 ply;    // the player's row; newturn, newgame
  s16 goalx;  // where camx glides to, a pixel per frame; newturn, procgame
  s16 goaly;  // where camy glides to; newturn, procgame
  s16 tryx;   // the column the last step tried; newturn
  s16 tryy;   // the row the last step tried; newturn
  s16 unused[56];
};

static_assert(sizeof(viewrecord) == 128);
static_assert(offsetof(viewrecord, camx) == 0);
static_assert(offsetof(viewrecord, camy) == 2);
static_assert(offsetof(viewrecord, plx) == 4);
static_assert(offsetof(viewrecord, ply) == 6);
static_assert(offsetof(viewrecord, goalx) == 8);
static_assert(offsetof(viewrecord, goaly) == 10);
static_assert(offsetof(viewrecord, tryx) == 12);
static_assert(offsetof(viewrecord, tryy) == 14);

extern stateblock a;
extern viewrecord b;

// ---------------------------------------------------------------------------
// Frame counter and input
// ---------------------------------------------------------------------------
extern u32 count;         // frames since the last newgame; main loop adds 1 at each frame's end
extern const u32 kbk[8];  // key codes of RIGHT, UP, LEFT, DOWN, SPACE, LCTRL, RETURN, ESCAPE
extern char spth[128];    // the music file name, "%i.ogg" of the track; main loop

// ---------------------------------------------------------------------------
// Graphics buffers
// ---------------------------------------------------------------------------
extern u8 scfx[lowh * loww];     // effect code per low-res pixel, row-major; mutaterender, cleared by newgame
                                 // and menders
extern u8 scrb[lowh * loww];     // low-res frame, a palette index 0..31 per pixel; render, then mutaterender
extern u16 scrbuf[scrh * scrw];  // the screen in RGB565, row-major; renderscreen
extern u32 pal[16];              // base palette, 0xRRGGBB; loadpal
extern u16 pal16[32];            // screen palette, RGB565: 0..15 bright, 16..31 dark; loadpal, mutaterender

// ---------------------------------------------------------------------------
// The world image: 1024x1024 palette indices 0..15, row-major, built in.
// ---------------------------------------------------------------------------
extern const u8 header_data[worldsize * worldsize];

// ---------------------------------------------------------------------------
// Randomness. Every draw of the game goes through `rnd`, which is
// `gamerand`: glibc's rand and srand, in a stream of the game's own; tests
// point it at a script to choose the draws.
// ---------------------------------------------------------------------------
extern int (*rnd)();
int gamerand();
void gamesrand(unsigned seed);

// ---------------------------------------------------------------------------
// Outside the game's state, never hashed nor recorded: what the platforms
// tell the player about a run.
// ---------------------------------------------------------------------------
extern long turns;  // turns taken, steps and waits, since zerostate; newturn

// Puts every field above back to the zero it holds when the program starts
// (and `rnd` back to gamerand), so a run inside a longer-lived process, such as a
// replay in the tests, begins exactly as the program does.
void zerostate();
