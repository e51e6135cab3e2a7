// The saturating additive blend: clipping, factor conversion, the choice of
// pixel loop and the portable loops that keep a pixel's three channels packed
// in one 32-bit integer.
#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "render/blend_local.h"
#include "render/render.h"

// Where the MMX and SSE loops need no special compiler flags, the blend's
// memory-bitmap path inlines them.
#if defined(MIRVO_HAS_X86_BLEND) && defined(__SSE__)
#define MIRVO_INLINE_X86_BLEND 1
#include "render/blend_x86.h"
#endif

namespace {

// One entry per supported depth, 15, 16 and 32: the loops from slowest to fastest.
struct DepthLoops {
  BlendLoop portable;
  BlendLoop mmx;
  BlendLoop sse;
};

#ifdef MIRVO_HAS_X86_BLEND
constexpr std::array<DepthLoops, 3> DEPTH_LOOPS = {{
    {blend_add_rect15, blend_add_rect15_mmx, blend_add_rect15_sse},
    {blend_add_rect16, blend_add_rect16_mmx, blend_add_rect16_sse},
    {blend_add_rect32, blend_add_rect32_mmx, blend_add_rect32_sse},
}};
#else
// Other processors have the portable loops only.
constexpr std::array<DepthLoops, 3> DEPTH_LOOPS = {{
    {blend_add_rect15, blend_add_rect15, blend_add_rect15},
    {blend_add_rect16, blend_add_rect16, blend_add_rect16},
    {blend_add_rect32, blend_add_rect32, blend_add_rect32},
}};
#endif

// A 15- or 16-bit pixel spread over a 32-bit word: each field moved apart so
// that a free bit sits above it to catch the carry of an addition. Green goes
// to the high half; at 16 bits only its upper five bits survive the mask.
struct SpreadLayout {
  std::uint32_t mask;
  std::uint32_t carries;  // the free bit above each field
};
constexpr SpreadLayout SPREAD_15 = {0x03E07C1F, 0x04008020};
constexpr SpreadLayout SPREAD_16 = {0x07C0F81F, 0x08010020};

// The addition on spread words: each field's carry lands in the free bit
// above it, and K - K/32 turns each carry bit into the five one-bits of its
// field. Word may also be 64 bits holding two spread pixels side by side: no
// field's carry or shift leaves its own 32-bit half.
template <typename Word>
Word add_spread(Word spread, Word s, Word mask, Word carries) {
  const Word t = spread + s;
  const Word k = t & carries;
  return (t | (k - (k >> 5))) & mask;
}

// Adds the colour scaled by f/32 to a 15- or 16-bit pixel, fields saturating
// at 31. Unsigned arithmetic throughout: the spread 16-bit colour times f
// needs all 32 bits, which a signed product would overflow.
struct AddSpread {
  std::uint32_t s;
  SpreadLayout layout;

  AddSpread(int colour, int f, SpreadLayout spread) : layout(spread) {
    // Bits above the pixel's 16 would land in the spread fields; they carry no colour.
    const auto c = static_cast<std::uint32_t>(colour) & 0xFFFF;
    s = (c | c << 16) & layout.mask;
    if (f != 32) s = ((s * static_cast<std::uint32_t>(f)) >> 5) & layout.mask;
  }

  std::uint16_t operator()(std::uint16_t pixel) const {
    const std::uint32_t d = pixel;
    const std::uint32_t t = add_spread((d | d << 16) & layout.mask, s, layout.mask, layout.carries);
    return static_cast<std::uint16_t>(t | t >> 16);
  }

  // Two neighbouring pixels read as one 32-bit word, each in its own half.
  std::uint32_t pair(std::uint32_t pixels) const {
    auto twice = [](std::uint32_t v) { return v | static_cast<std::uint64_t>(v) << 32; };
    std::uint64_t d = (pixels & 0xFFFF) | static_cast<std::uint64_t>(pixels >> 16) << 32;
    d = (d | d << 16) & twice(layout.mask);
    const std::uint64_t t = add_spread(d, twice(s), twice(layout.mask), twice(layout.carries));
    const std::uint64_t folded = t | t >> 16;
    return static_cast<std::uint32_t>((folded & 0xFFFF) | (folded >> 32 & 0xFFFF) << 16);
  }
};

// Saturating byte addition inside one integer: the low seven bits of each
// channel are added without leaving their byte, the top bits are combined
// apart, and a channel whose sum overflowed is forced to 0xFF.
struct AddPacked {
  std::uint32_t s_low, s_high;

  AddPacked(int colour, int f) {
    const auto c = static_cast<std::uint32_t>(colour);
    std::uint32_t s = c;
    if (f != 256) {
      const auto scale = static_cast<std::uint32_t>(f);
      s = ((((c & 0xFF00FF) * scale) >> 8) & 0xFF00FF) | ((((c & 0xFF00) * scale) >> 8) & 0xFF00);
    }
    s_low = s & 0x7F7F7F;
    s_high = s & 0x808080;
  }

  std::uint32_t operator()(std::uint32_t d) const {
    const std::uint32_t low = (d & 0x7F7F7F) + s_low;
    const std::uint32_t high = (d & 0x808080) | s_high;
    // A 1 in the lowest bit of every channel that overflows.
    const std::uint32_t overflow = ((d & s_high) | (high & low)) >> 7;
    const std::uint32_t saturate = (overflow + 0x7F7F7F) ^ 0x7F7F7F;
    return low | high | saturate;
  }
};

// The portable loops: one pixel at a time, rows top to bottom.
template <typename Pixel, typename Rows, typename Add>
[[gnu::always_inline]] inline void blend_pixels(const Rows& rows, int x, int y, int w, int h,
                                                const Add& add) {
  for (int row = y; row < y + h; ++row) {
    auto* pixel = reinterpret_cast<Pixel*>(rows(row)) + x;
    for (int i = 0; i < w; ++i) pixel[i] = add(pixel[i]);
  }
}

// The portable loops' particle kernels (see blend_particle_table).
template <int Depth>
struct PortableSquares {
  using Pixel = std::conditional_t<Depth == 32, std::uint32_t, std::uint16_t>;
  static constexpr int DEPTH = Depth;
  static constexpr int BYTES = sizeof(Pixel);

  static auto adder(int colour, int f) {
    if constexpr (Depth == 32) {
      return AddPacked(colour, f);
    } else {
      return AddSpread(colour, f, Depth == 15 ? SPREAD_15 : SPREAD_16);
    }
  }

  template <typename Add>
  static void square(unsigned char* top, unsigned char* bottom, const Add& add) {
    for (unsigned char* row : {top, bottom}) {
      if constexpr (Depth == 32) {
        auto* pixel = reinterpret_cast<Pixel*>(row);
        pixel[0] = add(pixel[0]);
        pixel[1] = add(pixel[1]);
      } else {
        // A row's two pixels in one 64-bit word.
        std::uint32_t pixels;
        std::memcpy(&pixels, row, sizeof pixels);
        pixels = add.pair(pixels);
        std::memcpy(row, &pixels, sizeof pixels);
      }
    }
  }

  template <typename Add>
  static void rect(const MemoryRows& rows, int x, int y, int w, int h, const Add& add) {
    blend_pixels<Pixel>(rows, x, y, w, h, add);
  }

  static void finish() {}
};

// Inlined into every blend call: a particle is cheap enough that a call here shows.
inline BlendLoop pick_loop(int depth, int capabilities) {
  const int index = depth == 15 ? 0 : depth == 16 ? 1 : depth == 32 ? 2 : -1;
  if (index < 0) return nullptr;
  const DepthLoops& loops = DEPTH_LOOPS[index];
  if (capabilities & CPU_SSE) return loops.sse;
  if (capabilities & CPU_MMX) return loops.mmx;
  return loops.portable;
}

// The loops of choose_blend_loop, inlined over a memory bitmap's line table.
// On a memory bitmap acquire, release and unwrite do nothing and
// bmp_write_line answers the line table's entry, so the same pixels change;
// a frame's thousands of 2 x 2 particles just skip five calls each.
void blend_memory_bitmap(int capabilities, BITMAP* bmp, int depth, int x, int y, int w, int h,
                         int colour, int f) {
  const MemoryRows rows{bmp->line};
#ifdef MIRVO_INLINE_X86_BLEND
  if (capabilities & (CPU_SSE | CPU_MMX)) {
    const bool sse = capabilities & CPU_SSE;
    if (depth == 32) {
      sse ? blend_bytes32<true>(rows, x, y, w, h, colour, f)
          : blend_bytes32<false>(rows, x, y, w, h, colour, f);
    } else {
      const FieldMasks masks = depth == 15 ? FIELDS_15 : FIELDS_16;
      sse ? blend_fields<true>(rows, x, y, w, h, colour, f, masks)
          : blend_fields<false>(rows, x, y, w, h, colour, f, masks);
    }
    return;
  }
#else
  (void)capabilities;
#endif
  if (depth == 32) {
    blend_pixels<std::uint32_t>(rows, x, y, w, h, AddPacked(colour, f));
  } else {
    blend_pixels<std::uint16_t>(rows, x, y, w, h,
                                AddSpread(colour, f, depth == 15 ? SPREAD_15 : SPREAD_16));
  }
}

}  // namespace

void blend_add_rect15(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_pixels<std::uint16_t>(WriteLineRows{bmp}, x, y, w, h, AddSpread(colour, f, SPREAD_15));
}

void blend_add_rect16(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_pixels<std::uint16_t>(WriteLineRows{bmp}, x, y, w, h, AddSpread(colour, f, SPREAD_16));
}

void blend_add_rect32(BITMAP* bmp, int x, int y, int w, int h, int colour, int f) {
  blend_pixels<std::uint32_t>(WriteLineRows{bmp}, x, y, w, h, AddPacked(colour, f));
}

int blend_capabilities() {
  // Allegro's 64-bit Linux build never fills cpu_capabilities, so where it
  // reports neither MMX nor SSE the processor is asked directly.
  static const int capabilities = [] {
    int caps = cpu_capabilities;
#ifdef MIRVO_HAS_X86_BLEND
    if ((caps & (CPU_MMX | CPU_SSE)) == 0) {
      __builtin_cpu_init();
      if (__builtin_cpu_supports("mmx")) caps |= CPU_MMX;
      if (__builtin_cpu_supports("sse")) caps |= CPU_SSE;
    }
#endif
    return caps;
  }();
  return capabilities;
}

BlendLoop choose_blend_loop(int depth, int capabilities) {
  return pick_loop(depth, capabilities);
}

void blend_add_rect_using(int capabilities, BITMAP* bmp, int x, int y, int w, int h, int colour,
                          int factor) {
  if (bmp == nullptr || !clip_to_bitmap(bmp->w, bmp->h, x, y, w, h)) return;

  const int depth = bitmap_color_depth(bmp);
  const BlendLoop loop = pick_loop(depth, capabilities);
  if (loop == nullptr) return;
  const int f = convert_factor(depth, factor);
  if (f <= 0) return;

  if (is_memory_bitmap(bmp)) {
    blend_memory_bitmap(capabilities, bmp, depth, x, y, w, h, colour, f);
    return;
  }
  acquire_bitmap(bmp);
  loop(bmp, x, y, w, h, colour, f);
  bmp_unwrite_line(bmp);
  release_bitmap(bmp);
}

void blend_add_rect(BITMAP* bmp, int x, int y, int w, int h, int colour, int factor) {
  blend_add_rect_using(blend_capabilities(), bmp, x, y, w, h, colour, factor);
}

void blend_particles_using(int capabilities, BITMAP* bmp, std::span<const Particle> table) {
  if (bmp == nullptr) return;
  const int depth = bitmap_color_depth(bmp);
  if (pick_loop(depth, capabilities) == nullptr) return;
  if (!is_memory_bitmap(bmp)) {
    // Screen and video bitmaps want acquire and bmp_write_line around every
    // square; the per-call entry point does that.
    for (const Particle& p : table) {
      if (p.x == FREE_PARTICLE) continue;
      blend_add_rect_using(capabilities, bmp, static_cast<int>(p.x), static_cast<int>(p.y), 2, 2,
                           p.colour, p.alpha);
    }
    return;
  }
#ifdef MIRVO_HAS_X86_BLEND
  if (capabilities & CPU_SSE) return blend_particles_sse(bmp, depth, table);
  if (capabilities & CPU_MMX) return blend_particles_mmx(bmp, depth, table);
#endif
  blend_particles_at_depth<PortableSquares>(bmp, depth, table);
}

void blend_particles(BITMAP* bmp, std::span<const Particle> table) {
  blend_particles_using(blend_capabilities(), bmp, table);
}
