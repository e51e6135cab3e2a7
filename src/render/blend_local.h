// The additive blend: the saturating rectangle and particle blends the
// software renderer lights particles with, the pixel loops they choose from,
// and their shared row walkers and particle walk. For render's own files, its
// tests and its benchmarks.
#pragma once

#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "world/world.h"

// Adds colour scaled by factor (0..255) to every pixel of the rectangle,
// saturating each channel. Clips against the whole bitmap; 15, 16 and 32 bits
// per pixel only, other depths are left alone.
void blend_add_rect(BITMAP* bmp, int x, int y, int w, int h, int colour, int factor);

// A frame's particles in one pass: every live slot of the table, in slot
// order, as a 2 x 2 square at its truncated position with its colour and
// alpha. Leaves exactly the pixels that blend_add_rect per live particle
// leaves, through the same loop, with the loop and the depth chosen once.
void blend_particles(BITMAP* bmp, std::span<const Particle> table);

// The pixel loops, on an already clipped rectangle with the converted factor
// (1..32 at 15 and 16 bits, 2..256 at 32 bits).
using BlendLoop = void (*)(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect15(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
#if defined(__x86_64__) || defined(__i386__)
#define MIRVO_HAS_X86_BLEND 1
void blend_add_rect15_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect15_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
#endif

// The processor features the blend chooses from, as Allegro's CPU_MMX and
// CPU_SSE bits: Allegro's cpu_capabilities, completed by the processor's own
// report where Allegro says nothing.
int blend_capabilities();
// The loop for a colour depth and a capabilities word; null for other depths.
BlendLoop choose_blend_loop(int depth, int capabilities);

// blend_add_rect with the loop chosen from the given capabilities word
// instead of the processor's: clips against the whole bitmap, converts the
// factor, and runs choose_blend_loop(depth, capabilities) on what is left.
void blend_add_rect_using(int capabilities, BITMAP* bmp, int x, int y, int w, int h, int colour,
                          int factor);

// blend_particles with the loop chosen from the given capabilities word.
void blend_particles_using(int capabilities, BITMAP* bmp, std::span<const Particle> table);

// The particle walk of each fast loop, for a memory bitmap of 15, 16 or 32 bits.
void blend_particles_mmx(BITMAP* bmp, int depth, std::span<const Particle> table);
void blend_particles_sse(BITMAP* bmp, int depth, std::span<const Particle> table);

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

// Cuts the rectangle to the whole bitmap (not its clipping rectangle); false
// when nothing is left. Sizes are compared as differences so that no sum of
// caller values can overflow.
inline bool clip_to_bitmap(int bitmap_w, int bitmap_h, int& x, int& y, int& w, int& h) {
  if (w <= 0 || h <= 0) return false;
  if (x < 0) {
    w += x;
    x = 0;
  }
  if (y < 0) {
    h += y;
    y = 0;
  }
  w = std::min(w, bitmap_w - x);
  h = std::min(h, bitmap_h - y);
  return w > 0 && h > 0;
}

// 15 and 16 bits: 1..32 in steps of 8 of the factor; 32 bits: 2..256.
// Factors above 255 are held at 255, since a larger scale would carry one
// channel into the next. A result of 0 or less means nothing to draw.
inline int convert_factor(int depth, int factor) {
  factor = std::min(factor, 255);
  if (depth == 32) return factor <= 0 ? 0 : factor + 1;
  return (factor + 7) >> 3;
}

// ---- The particle walk, shared by every loop ----
//
// A loop's particle kernels, `Squares`, give for one depth:
//   DEPTH, BYTES          the depth and the bytes per pixel
//   adder(colour, f)      the colour scaled once, as the loop's rectangles do it
//   square(top, bottom, add)          a whole 2 x 2 square, the rows' first pixels given
//   rect(rows, x, y, w, h, add)       a clipped square, exactly as the loop's rectangles
//   finish()              what the loop does on return (the MMX loops clear the MMX state)

// A live particle as blend_add_rect would be called for it: the corner
// truncated toward zero, the colour and the intensity.
struct ParticleSquare {
  int x, y, colour, factor;
};

// One particle's square: the common case, wholly inside, needs a single
// unsigned test per axis; only the rest goes through the full clipping.
template <typename Squares>
[[gnu::always_inline]] inline void blend_square(const MemoryRows& rows, int width, int height,
                                                unsigned inside_x, unsigned inside_y,
                                                const ParticleSquare& s) {
  const int f = convert_factor(Squares::DEPTH, s.factor);
  if (f <= 0) return;
  int x = s.x, y = s.y;
  if (static_cast<unsigned>(x) < inside_x && static_cast<unsigned>(y) < inside_y) {
    Squares::square(rows(y) + x * Squares::BYTES, rows(y + 1) + x * Squares::BYTES,
                    Squares::adder(s.colour, f));
    return;
  }
  int w = 2, h = 2;
  if (!clip_to_bitmap(width, height, x, y, w, h)) return;
  Squares::rect(rows, x, y, w, h, Squares::adder(s.colour, f));
}

// Every live particle of the table in slot order, as blend_add_rect(bmp,
// x, y, 2, 2, colour, alpha) would draw it, on a memory bitmap of the loop's
// depth.
template <typename Squares>
void blend_particle_table(BITMAP* bmp, std::span<const Particle> table) {
  const MemoryRows rows{bmp->line};
  const int width = bmp->w, height = bmp->h;
  // Corners 0 up to size - 2 keep the whole square inside; bitmaps less than
  // two pixels wide or high have no such corner.
  const auto inside_x = static_cast<unsigned>(std::max(width - 1, 0));
  const auto inside_y = static_cast<unsigned>(std::max(height - 1, 0));
  for (const Particle& p : table) {
    if (p.x == FREE_PARTICLE) continue;
    const ParticleSquare s = {static_cast<int>(p.x), static_cast<int>(p.y), p.colour, p.alpha};
    blend_square<Squares>(rows, width, height, inside_x, inside_y, s);
#ifdef __i386__
    // There the next particle's floats go through the x87 stack, which the
    // MMX registers share.
    Squares::finish();
#endif
  }
  Squares::finish();
}

// The particle walk with the kernels of the bitmap's depth; other depths draw nothing.
template <template <int> class Squares>
void blend_particles_at_depth(BITMAP* bmp, int depth, std::span<const Particle> table) {
  if (depth == 15) blend_particle_table<Squares<15>>(bmp, table);
  if (depth == 16) blend_particle_table<Squares<16>>(bmp, table);
  if (depth == 32) blend_particle_table<Squares<32>>(bmp, table);
}
