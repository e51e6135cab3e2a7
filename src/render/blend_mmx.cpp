// The MMX pixel loops of the additive blend.
#include "render/blend_local.h"

#ifdef MIRVO_HAS_X86_BLEND
#if defined(__i386__) && !defined(__MMX__)
#pragma GCC target("mmx")
#endif
#include "render/blend_x86.h"

void blend_add_rect15_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_fields<false>(WriteLineRows{bmp}, x, y, w, h, colour, f, FIELDS_15);
}

void blend_add_rect16_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_fields<false>(WriteLineRows{bmp}, x, y, w, h, colour, f, FIELDS_16);
}

void blend_add_rect32_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_bytes32<false>(WriteLineRows{bmp}, x, y, w, h, colour, f);
}

void blend_particles_mmx(BITMAP* bmp, int depth, std::span<const Particle> table) {
  blend_particles_at_depth<MmxSquares>(bmp, depth, table);
}
#endif
