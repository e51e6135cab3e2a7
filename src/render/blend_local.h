// The additive blend's shared entry point and row walkers, for the blend's
// own files, its tests and its benchmarks.
#pragma once

#include <allegro.h>

// blend_add_rect with the loop chosen from the given capabilities word
// instead of the processor's: clips against the whole bitmap, converts the
// factor, and runs choose_blend_loop(depth, capabilities) on what is left.
void blend_add_rect_using(int capabilities, BITMAP* bmp, int x, int y, int w, int h, int colour,
                          int factor);

// Where a pixel loop finds a row: bmp_write_line for any bitmap, or straight
// from the line table of a memory bitmap, where the two are the same address.
struct WriteLineRows {
  BITMAP* bmp;
  unsigned char* operator()(int row) const {
    return reinterpret_cast<unsigned char*>(bmp_write_line(bmp, row));
  }
};

struct MemoryRows {
  unsigned char* const* lines;
  unsigned char* operator()(int row) const { return lines[row]; }
};
