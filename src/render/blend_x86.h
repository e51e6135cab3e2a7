// The MMX pixel loops of the additive blend, shared by blend_mmx.cpp and
// blend_sse.cpp. Everything here has internal linkage, so each of those files
// compiles its own copy for its own instruction set.
#pragma once

#include <allegro.h>
#include <mmintrin.h>
#include <xmmintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "render/blend_local.h"

namespace {

// Loads and stores of 2, 4 or 8 bytes through memcpy: rows of a clipped
// rectangle start at any pixel, so the words are not aligned.
template <int Bytes>
inline __m64 load_bytes(const unsigned char* p) {
  if constexpr (Bytes == 8) {
    __m64 v;
    std::memcpy(&v, p, 8);
    return v;
  } else {
    std::uint32_t v = 0;
    std::memcpy(&v, p, Bytes);
    return _mm_cvtsi32_si64(static_cast<int>(v));
  }
}

template <int Bytes>
inline void store_bytes(unsigned char* p, __m64 v) {
  if constexpr (Bytes == 8) {
    std::memcpy(p, &v, 8);
  } else {
    const auto low = static_cast<std::uint32_t>(_mm_cvtsi64_si32(v));
    std::memcpy(p, &low, Bytes);
  }
}

// A 15- or 16-bit layout for the four-pixels-per-word loops: each field split
// into its top bit and its lower bits.
struct FieldMasks {
  int green_bits;
  std::int16_t top;  // top bit of each field
  std::int16_t low;  // the bits below it
};
constexpr FieldMasks FIELDS_15 = {5, 0x4210, 0x3DEF};
constexpr FieldMasks FIELDS_16 = {6, static_cast<std::int16_t>(0x8410), 0x7BEF};

// Each field of the colour times f/32, worked out in 16-bit lanes.
inline int scale_colour16(int colour, int f, int green_bits) {
  const int red_shift = 5 + green_bits;
  __m64 fields = _mm_set_pi16(0, static_cast<std::int16_t>((colour >> red_shift) & 31),
                              static_cast<std::int16_t>((colour >> 5) & ((1 << green_bits) - 1)),
                              static_cast<std::int16_t>(colour & 31));
  fields = _mm_srli_pi16(_mm_mullo_pi16(fields, _mm_set1_pi16(static_cast<std::int16_t>(f))), 5);
  std::array<std::uint16_t, 4> lanes;
  std::memcpy(lanes.data(), &fields, sizeof lanes);
  return lanes[0] | lanes[1] << 5 | lanes[2] << red_shift;
}

// Adds the scaled colour to four 15- or 16-bit pixels, saturating each field
// that overflows to all ones. At 16 bits the saturation reaches only green's
// upper five bits, so an overflowing green ends as 62 plus the low bit of its sum.
struct AddFields {
  __m64 s_low, s_top, top, low;

  AddFields(int colour, int f, FieldMasks masks) {
    const __m64 s =
        _mm_set1_pi16(static_cast<std::int16_t>(scale_colour16(colour, f, masks.green_bits)));
    top = _mm_set1_pi16(masks.top);
    low = _mm_set1_pi16(masks.low);
    s_low = _mm_and_si64(s, low);
    s_top = _mm_and_si64(s, top);
  }

  __m64 operator()(__m64 d) const {
    const __m64 d_top = _mm_and_si64(d, top);
    const __m64 sum = _mm_add_pi16(_mm_and_si64(d, low), s_low);
    const __m64 any_top = _mm_or_si64(d_top, s_top);
    // Overflow where both top bits are set, or one meets the low sum's carry.
    const __m64 overflow =
        _mm_or_si64(_mm_and_si64(d_top, s_top), _mm_and_si64(any_top, _mm_and_si64(sum, top)));
    const __m64 saturate = _mm_xor_si64(_mm_add_pi16(_mm_srli_pi16(overflow, 4), low), low);
    return _mm_or_si64(_mm_or_si64(sum, any_top), saturate);
  }
};

// Adds the scaled colour to two 32-bit pixels with unsigned saturating bytes.
struct AddBytes {
  __m64 s;

  AddBytes(int colour, int f) {
    // Channels widened to 16-bit lanes, scaled by f/256, packed into both halves.
    const __m64 channels =
        _mm_unpacklo_pi8(_mm_cvtsi32_si64(colour & 0xFFFFFF), _mm_setzero_si64());
    const __m64 scaled =
        _mm_srli_pi16(_mm_mullo_pi16(channels, _mm_set1_pi16(static_cast<std::int16_t>(f))), 8);
    s = _mm_packs_pu16(scaled, scaled);
  }

  __m64 operator()(__m64 d) const { return _mm_adds_pu8(d, s); }
};

// Blends `Bytes` bytes at p, 2 to 32, a word at a time.
template <int Bytes, typename Add>
inline void blend_bytes(unsigned char* p, const Add& add) {
  if constexpr (Bytes < 8) {
    store_bytes<Bytes>(p, add(load_bytes<Bytes>(p)));
  } else {
    for (int i = 0; i < Bytes; i += 8) store_bytes<8>(p + i, add(load_bytes<8>(p + i)));
  }
}

// Walks the rows top to bottom and each row left to right: eight pixels per
// step, then the rest as one, two and four pixels. Leaves the MMX state to
// the caller. Inlined into each loop so its colour and masks stay in registers.
// `rows` gives a row's address: bmp_write_line for any bitmap, or the line
// table itself where the caller knows the bitmap is in memory.
template <bool Prefetch, int BytesPerPixel, typename Rows, typename Add>
[[gnu::always_inline]] inline void blend_row_steps(const Rows& rows, int x, int y, int w, int h,
                                                   const Add& add) {
  if (w == 2) {
    // A particle's width: the rest-of-row rule with only its two-pixel step.
    for (int row = y; row < y + h; ++row)
      blend_bytes<2 * BytesPerPixel>(rows(row) + x * BytesPerPixel, add);
    return;
  }
  const int steps = w >> 3;
  const int rest = w & 7;
  for (int row = y; row < y + h; ++row) {
    unsigned char* p = rows(row) + x * BytesPerPixel;
    for (int i = 0; i < steps; ++i, p += 8 * BytesPerPixel) {
      if constexpr (Prefetch) _mm_prefetch(reinterpret_cast<const char*>(p + 32), _MM_HINT_NTA);
      blend_bytes<8 * BytesPerPixel>(p, add);
    }
    if (rest & 1) {
      blend_bytes<BytesPerPixel>(p, add);
      p += BytesPerPixel;
    }
    if (rest & 2) {
      blend_bytes<2 * BytesPerPixel>(p, add);
      p += 2 * BytesPerPixel;
    }
    if (rest & 4) blend_bytes<4 * BytesPerPixel>(p, add);
  }
}

// A whole rectangle, then the MMX state cleared for floating-point code.
template <bool Prefetch, int BytesPerPixel, typename Rows, typename Add>
[[gnu::always_inline]] inline void blend_rows(const Rows& rows, int x, int y, int w, int h,
                                              const Add& add) {
  blend_row_steps<Prefetch, BytesPerPixel>(rows, x, y, w, h, add);
  _mm_empty();
}

template <bool Prefetch, typename Rows = WriteLineRows>
[[gnu::always_inline]] inline void blend_fields(const Rows& rows, int x, int y, int w, int h,
                                                int colour, int f, FieldMasks masks) {
  blend_rows<Prefetch, 2>(rows, x, y, w, h, AddFields(colour, f, masks));
}

template <bool Prefetch, typename Rows = WriteLineRows>
[[gnu::always_inline]] inline void blend_bytes32(const Rows& rows, int x, int y, int w, int h,
                                                 int colour, int f) {
  blend_rows<Prefetch, 4>(rows, x, y, w, h, AddBytes(colour, f));
}

// The particle kernels of the MMX and SSE loops (see blend_particle_table):
// the same colour scaling and additions as their rectangles. A particle row
// is two pixels, too short for the eight-pixel step, so the SSE loop's
// prefetch never comes into play and both loops run the same instructions.
template <bool Prefetch, int Depth>
struct X86Squares {
  static constexpr int DEPTH = Depth;
  static constexpr int BYTES = Depth == 32 ? 4 : 2;

  static auto adder(int colour, int f) {
    if constexpr (Depth == 32) {
      return AddBytes(colour, f);
    } else {
      return AddFields(colour, f, Depth == 15 ? FIELDS_15 : FIELDS_16);
    }
  }

  template <typename Add>
  static void square(unsigned char* top, unsigned char* bottom, const Add& add) {
    if constexpr (Depth == 32) {
      blend_bytes<8>(top, add);
      blend_bytes<8>(bottom, add);
    } else {
      // Both rows' pixel pairs fit one word; its lanes are added independently.
      const __m64 sum = add(_mm_unpacklo_pi32(load_bytes<4>(top), load_bytes<4>(bottom)));
      store_bytes<4>(top, sum);
      store_bytes<4>(bottom, _mm_srli_si64(sum, 32));
    }
  }

  template <typename Add>
  static void rect(const MemoryRows& rows, int x, int y, int w, int h, const Add& add) {
    blend_row_steps<Prefetch, BYTES>(rows, x, y, w, h, add);
  }

  static void finish() { _mm_empty(); }
};

template <int Depth>
using MmxSquares = X86Squares<false, Depth>;
template <int Depth>
using SseSquares = X86Squares<true, Depth>;

}  // namespace
