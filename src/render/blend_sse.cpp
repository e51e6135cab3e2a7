// The SSE pixel loops of the additive blend: the MMX loops with a
// non-temporal prefetch 32 bytes ahead of each eight-pixel step.
#include "render/blend_local.h"

#ifdef MIRVO_HAS_X86_BLEND
#if defined(__i386__) && !defined(__SSE__)
#pragma GCC target("sse")
#endif
#include "render/blend_x86.h"

void blend_add_rect15_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_fields<true>(WriteLineRows{bmp}, x, y, w, h, colour, f, FIELDS_15);
}

void blend_add_rect16_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_fields<true>(WriteLineRows{bmp}, x, y, w, h, colour, f, FIELDS_16);
}

void blend_add_rect32_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_bytes32<true>(WriteLineRows{bmp}, x, y, w, h, colour, f);
}

void blend_particles_sse(BITMAP* bmp, int depth, std::span<const Particle> table) {
  blend_particles_at_depth<SseSquares>(bmp, depth, table);
}
#endif
