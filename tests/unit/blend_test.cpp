// The saturating additive blend: every pixel loop against a plain per-field
// reference, clipping, the factor conversion and the choice of loop. It is
// long because every loop, at every depth, is held to the one reference below.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/blend_local.h"
#include "render/render.h"
#include "world/world.h"

namespace {

void start_allegro() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(started);
}

struct BitmapDeleter {
  void operator()(BITMAP* bmp) const { destroy_bitmap(bmp); }
};
using Bitmap = std::unique_ptr<BITMAP, BitmapDeleter>;

int bytes_per_pixel(int depth) {
  return (depth + 7) / 8;
}

std::uint32_t read_pixel(BITMAP* bmp, int x, int y) {
  const int bpp = bytes_per_pixel(bitmap_color_depth(bmp));
  std::uint32_t v = 0;
  std::memcpy(&v, bmp->line[y] + x * bpp, bpp);  // little-endian: the low bytes
  return v;
}

void write_pixel(BITMAP* bmp, int x, int y, std::uint32_t v) {
  const int bpp = bytes_per_pixel(bitmap_color_depth(bmp));
  std::memcpy(bmp->line[y] + x * bpp, &v, bpp);
}

// A bitmap full of random bits, the unused ones included.
Bitmap random_bitmap(int depth, int w, int h, std::mt19937& rng) {
  Bitmap bmp(create_bitmap_ex(depth, w, h));
  if (!bmp) return bmp;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) write_pixel(bmp.get(), x, y, rng());
  return bmp;
}

std::vector<std::uint32_t> pixels_of(BITMAP* bmp) {
  std::vector<std::uint32_t> out;
  for (int y = 0; y < bmp->h; ++y)
    for (int x = 0; x < bmp->w; ++x) out.push_back(read_pixel(bmp, x, y));
  return out;
}

// ---- The reference: one field at a time, straight from the definitions ----

enum class Loop { portable, mmx, sse };
constexpr std::array<Loop, 3> ALL_LOOPS = {Loop::portable, Loop::mmx, Loop::sse};

int capabilities_for(Loop loop) {
  switch (loop) {
    case Loop::mmx:
      return CPU_MMX;
    case Loop::sse:
      return CPU_SSE;
    default:
      return 0;
  }
}

const char* loop_name(Loop loop) {
  return loop == Loop::portable ? "portable" : loop == Loop::mmx ? "mmx" : "sse";
}

#ifdef MIRVO_HAS_X86_BLEND
constexpr bool HAS_FAST_LOOPS = true;
#else
constexpr bool HAS_FAST_LOOPS = false;
#endif

struct Field {
  int shift;
  int bits;
};

std::array<Field, 3> fields_of(int depth) {
  if (depth == 15) return {{{0, 5}, {5, 5}, {10, 5}}};
  if (depth == 16) return {{{0, 5}, {5, 6}, {11, 5}}};
  return {{{0, 8}, {8, 8}, {16, 8}}};
}

std::uint32_t field(std::uint32_t v, Field f) {
  return (v >> f.shift) & ((1u << f.bits) - 1);
}

// What one pixel becomes, or the pixel itself when the factor draws nothing.
// The fourth byte of a 32-bit result is left to the caller's mask.
std::uint32_t blended(int depth, Loop loop, std::uint32_t d, std::uint32_t colour, int factor) {
  factor = std::min(factor, 255);  // larger factors are held at full intensity
  const int f = depth == 32 ? factor + 1 : (factor + 7) >> 3;
  if (factor <= 0 || f <= 0) return d;
  std::uint32_t out = 0;
  for (const Field& fl : fields_of(depth)) {
    const std::uint32_t max = (1u << fl.bits) - 1;
    const std::uint32_t dc = field(d, fl);
    const std::uint32_t cc = field(colour, fl);
    std::uint32_t r;
    if (depth == 32) {
      r = std::min(dc + cc * f / 256, max);
    } else if (fl.bits == 6 && loop == Loop::portable) {
      // Portable 16-bit green works on its upper five bits only.
      r = 2 * std::min(dc / 2 + (cc / 2) * f / 32, 31u);
    } else if (fl.bits == 6) {
      const std::uint32_t sum = dc + cc * f / 32;
      r = sum < 64 ? sum : 62 + (sum & 1);
    } else {
      r = std::min(dc + cc * f / 32, max);
    }
    out |= r << fl.shift;
  }
  return out;
}

struct Rect {
  int x, y, w, h;
};

// Blends through the clipping entry point with the loop forced, and compares
// every pixel of the bitmap with the reference applied to a copy taken before.
void check_blend(Loop loop, BITMAP* bmp, Rect r, std::uint32_t colour, int factor) {
  const int depth = bitmap_color_depth(bmp);
  const std::vector<std::uint32_t> before = pixels_of(bmp);
  blend_add_rect_using(capabilities_for(loop), bmp, r.x, r.y, r.w, r.h, static_cast<int>(colour),
                       factor);
  // The clipped rectangle, worked out in 64 bits so no sum overflows.
  const long long x0 = std::max<long long>(r.x, 0), y0 = std::max<long long>(r.y, 0);
  const long long x1 = std::min<long long>(1LL * r.x + r.w, bmp->w);
  const long long y1 = std::min<long long>(1LL * r.y + r.h, bmp->h);
  const bool drawn = (depth == 15 || depth == 16 || depth == 32) && factor > 0;
  int mismatches = 0;
  for (int y = 0; y < bmp->h; ++y) {
    for (int x = 0; x < bmp->w; ++x) {
      const std::uint32_t was = before[y * bmp->w + x];
      const bool inside = drawn && x >= x0 && x < x1 && y >= y0 && y < y1;
      const std::uint32_t want = inside ? blended(depth, loop, was, colour, factor) : was;
      const std::uint32_t mask = inside && depth == 32 ? 0xFFFFFF : 0xFFFFFFFF;
      const std::uint32_t got = read_pixel(bmp, x, y);
      if ((got & mask) != (want & mask) && ++mismatches <= 3) {
        ADD_FAILURE() << loop_name(loop) << " depth " << depth << " rect " << r.x << "," << r.y
                      << " " << r.w << "x" << r.h << " colour " << std::hex << colour << std::dec
                      << " factor " << factor << ": pixel " << x << "," << y << " was " << std::hex
                      << was << " got " << got << " want " << want;
      }
    }
  }
}

// ---- Every loop at every depth against the reference ----

struct LoopAndDepth {
  Loop loop;
  int depth;
};

class BlendLoops : public testing::TestWithParam<LoopAndDepth> {
 protected:
  void SetUp() override {
    start_allegro();
    if (GetParam().loop != Loop::portable && !HAS_FAST_LOOPS)
      GTEST_SKIP() << "no MMX/SSE loops on this processor";
  }
  std::mt19937 rng{20240607};
};

TEST_P(BlendLoops, MatchTheReferenceForEveryWidthHeightAndFactor) {
  const auto [loop, depth] = GetParam();
  const std::uint32_t white = static_cast<std::uint32_t>(makecol_depth(depth, 255, 255, 255));
  Bitmap bmp = random_bitmap(depth, 24, 7, rng);
  ASSERT_TRUE(bmp);
  for (int w = 1; w <= 17; ++w) {
    for (int h : {1, 2, 3, 5}) {
      for (int factor : {-300, -1, 0, 1, 7, 8, 9, 100, 192, 248, 249, 254, 255, 256, 1000}) {
        for (std::uint32_t colour : {white, 0u, static_cast<std::uint32_t>(rng()) & white}) {
          const Rect r{static_cast<int>(rng() % (25 - w)), static_cast<int>(rng() % (8 - h)), w, h};
          check_blend(loop, bmp.get(), r, colour, factor);
          // Start again from fresh random pixels half the time, so both
          // saturated and unsaturated backgrounds are covered.
          if (rng() & 1) bmp = random_bitmap(depth, 24, 7, rng);
        }
      }
    }
  }
}

TEST_P(BlendLoops, ClipAgainstTheWholeBitmap) {
  const auto [loop, depth] = GetParam();
  const std::uint32_t colour = static_cast<std::uint32_t>(makecol_depth(depth, 200, 90, 255));
  const std::array<Rect, 15> rects = {{
      {-3, 2, 6, 2},                 // past the left edge
      {2, -2, 5, 4},                 // past the top edge
      {17, 3, 9, 3},                 // past the right edge
      {4, 6, 3, 8},                  // past the bottom edge
      {12, 0, 8, 9},                 // x + w equal to the width: not shortened
      {-1, 0, 2, 9},                 // column 0 only
      {-5, -5, 40, 40},              // covers everything
      {19, 0, 1, 9},                 // the last column
      {20, 3, 0, 2},                 // zero width
      {3, 3, 4, -2},                 // negative height
      {-6, 1, 6, 4},                 // ends just left of the bitmap
      {0, 9, 5, 5},                  // starts just below it
      {20, 0, 3, 3},                 // starts just right of it
      {5, 2, INT_MAX, 3},            // a width no sum may overflow
      {INT_MIN + 1, 2, INT_MAX, 3},  // ends at column -1
  }};
  for (const Rect& r : rects) {
    Bitmap bmp = random_bitmap(depth, 20, 9, rng);
    ASSERT_TRUE(bmp);
    check_blend(loop, bmp.get(), r, colour, 192);
  }
}

// A table of up to 63 slots, a quarter of them free: corners from four
// pixels before each edge to three past it, with fractions that truncate
// toward zero, some squares on top of an earlier one, any colour bits and
// alpha 0 to 255.
std::vector<Particle> random_particles(std::mt19937& rng, int w, int h) {
  std::vector<Particle> table(rng() % 64);
  auto coord = [&rng](int size) {
    return static_cast<float>(static_cast<int>(rng() % (size + 8)) - 4) +
           static_cast<float>(rng() % 4) * 0.25f;
  };
  for (std::size_t i = 0; i < table.size(); ++i) {
    Particle& p = table[i];
    if (rng() % 4 == 0) continue;  // free
    const Particle& under = table[rng() % (i + 1)];
    const bool stack = under.x != FREE_PARTICLE && rng() % 4 == 0;
    p.x = stack ? under.x : coord(w);
    p.y = stack ? under.y : coord(h);
    p.colour = static_cast<int>(rng());
    p.alpha = static_cast<int>(rng() % 256);
  }
  return table;
}

// Bitmaps 1 to 24 pixels wide and 1 to 16 high, so that most squares meet an
// edge, each a sub-bitmap of a larger one where any pixel drawn past its
// edges would show.
TEST_P(BlendLoops, ParticleTableLeavesThePixelsOfOneCallPerParticle) {
  const auto [loop, depth] = GetParam();
  const int capabilities = capabilities_for(loop);
  for (int round = 0; round < 1000; ++round) {
    const int w = 1 + static_cast<int>(rng() % 24), h = 1 + static_cast<int>(rng() % 16);
    Bitmap got = random_bitmap(depth, w + 4, h + 4, rng);
    Bitmap want(create_bitmap_ex(depth, w + 4, h + 4));
    ASSERT_TRUE(got && want);
    blit(got.get(), want.get(), 0, 0, 0, 0, w + 4, h + 4);
    Bitmap got_field(create_sub_bitmap(got.get(), 2, 2, w, h));
    Bitmap want_field(create_sub_bitmap(want.get(), 2, 2, w, h));
    const std::vector<Particle> table = random_particles(rng, w, h);
    for (const Particle& p : table) {
      if (p.x == FREE_PARTICLE) continue;
      blend_add_rect_using(capabilities, want_field.get(), static_cast<int>(p.x),
                           static_cast<int>(p.y), 2, 2, p.colour, p.alpha);
    }
    blend_particles_using(capabilities, got_field.get(), table);
    ASSERT_EQ(pixels_of(got.get()), pixels_of(want.get())) << "round " << round;
  }
}

std::string case_name(const testing::TestParamInfo<LoopAndDepth>& info) {
  return std::string(loop_name(info.param.loop)) + std::to_string(info.param.depth);
}

std::vector<LoopAndDepth> all_cases() {
  std::vector<LoopAndDepth> cases;
  for (Loop loop : ALL_LOOPS)
    for (int depth : {15, 16, 32}) cases.push_back({loop, depth});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(All, BlendLoops, testing::ValuesIn(all_cases()), case_name);

// ---- Values worked out by hand ----

// Blends one pixel with the given loop and returns it.
std::uint32_t blend_one(Loop loop, int depth, std::uint32_t pixel, std::uint32_t colour,
                        int factor) {
  Bitmap bmp(create_bitmap_ex(depth, 1, 1));
  if (!bmp) return 0xDEADBEEF;
  write_pixel(bmp.get(), 0, 0, pixel);
  blend_add_rect_using(capabilities_for(loop), bmp.get(), 0, 0, 1, 1, static_cast<int>(colour),
                       factor);
  return read_pixel(bmp.get(), 0, 0);
}

std::vector<Loop> available_loops() {
  if (HAS_FAST_LOOPS) return {ALL_LOOPS.begin(), ALL_LOOPS.end()};
  return {Loop::portable};
}

TEST(BlendValues, FactorScalesTheColour) {
  start_allegro();
  for (Loop loop : available_loops()) {
    SCOPED_TRACE(loop_name(loop));
    // 192 is 24/32 at 15 bits: 31 -> 23, 10 -> 7, 1 -> 0.
    EXPECT_EQ(blend_one(loop, 15, 0, 31 | 10 << 5 | 1 << 10, 192), 23u | 7u << 5);
    // 255 adds unscaled; 1 to 8 all give 1/32, so only a full field adds 0.
    EXPECT_EQ(blend_one(loop, 15, 0, 31 | 17 << 5, 255), 31u | 17u << 5);
    EXPECT_EQ(blend_one(loop, 15, 0, 31 | 17 << 10, 1), 0u);
    EXPECT_EQ(blend_one(loop, 15, 0, 31 << 5, 8), 0u);
    EXPECT_EQ(blend_one(loop, 15, 0, 31 << 5, 9), 1u << 5);
    // 192 is 193/256 at 32 bits: 255 -> 192, 100 -> 75, 1 -> 0.
    EXPECT_EQ(blend_one(loop, 32, 0, 0xFF6401, 192) & 0xFFFFFF, 0xC04B00u);
    EXPECT_EQ(blend_one(loop, 32, 0x102030, 0xFF6401, 255) & 0xFFFFFF, 0xFF8431u);
    EXPECT_EQ(blend_one(loop, 32, 0x102030, 0xFF6401, 1) & 0xFFFFFF, 0x112030u);  // 2/256
  }
}

TEST(BlendValues, ChannelsSaturateWithoutTouchingTheirNeighbours) {
  start_allegro();
  for (Loop loop : available_loops()) {
    SCOPED_TRACE(loop_name(loop));
    // 32 bits: 0xF0 + 0x20 saturates, the 0x01 beside it stays 0x01 + 0.
    EXPECT_EQ(blend_one(loop, 32, 0x01F080, 0x002080, 255) & 0xFFFFFF, 0x01FFFFu);
    EXPECT_EQ(blend_one(loop, 32, 0x7F7F7F, 0x010101, 255) & 0xFFFFFF, 0x808080u);
    // 15 bits: 30 + 3 saturates to 31, 16 + 15 = 31 exactly; bit 15 is cleared.
    EXPECT_EQ(blend_one(loop, 15, 0x8000 | 30 | 16 << 5 | 1 << 10, 3 | 15 << 5, 255),
              31u | 31u << 5 | 1u << 10);
    // 16 bits: red and blue saturate at 31 alone.
    EXPECT_EQ(blend_one(loop, 16, 31 | 2 << 11, 5 | 29 << 11, 255), 31u | 31u << 11);
  }
}

TEST(BlendValues, SixteenBitGreenFollowsEachLoopsOwnRule) {
  start_allegro();
  auto green = [](std::uint32_t p) { return (p >> 5) & 63; };
  const std::uint32_t white = 0xFFFF;
  // Portable: only the upper five bits are added, so the low bit ends 0.
  EXPECT_EQ(green(blend_one(Loop::portable, 16, 33 << 5, 0, 255)), 32u);  // black clears it
  EXPECT_EQ(green(blend_one(Loop::portable, 16, 1 << 5, white, 255)), 62u);
  EXPECT_EQ(green(blend_one(Loop::portable, 16, 21 << 5, 9 << 5, 255)), 28u);  // 2*(10+4)
  if (!HAS_FAST_LOOPS) return;
  for (Loop loop : {Loop::mmx, Loop::sse}) {
    SCOPED_TRACE(loop_name(loop));
    // All six bits: exact below 64, else 62 plus the low bit of the sum.
    EXPECT_EQ(green(blend_one(loop, 16, 33 << 5, 0, 255)), 33u);
    EXPECT_EQ(green(blend_one(loop, 16, 21 << 5, 9 << 5, 255)), 30u);
    EXPECT_EQ(green(blend_one(loop, 16, 1 << 5, white, 255)), 62u);     // 64
    EXPECT_EQ(green(blend_one(loop, 16, 2 << 5, white, 255)), 63u);     // 65
    EXPECT_EQ(green(blend_one(loop, 16, 40 << 5, 30 << 5, 255)), 62u);  // 70
  }
}

TEST(BlendValues, FastLoopsAgreeWithThePortableLoopAt15And32Bits) {
  start_allegro();
  if (!HAS_FAST_LOOPS) GTEST_SKIP() << "no MMX/SSE loops on this processor";
  std::mt19937 rng(77);
  for (int depth : {15, 32}) {
    for (int w = 1; w <= 9; ++w) {
      Bitmap reference = random_bitmap(depth, w, 3, rng);
      ASSERT_TRUE(reference);
      // Bits above the pixel's own carry no colour and must not reach the fields.
      const int colour = static_cast<int>(rng() & 0xFFFFFF);
      const int factor = static_cast<int>(rng() % 256);
      std::vector<std::vector<std::uint32_t>> results;
      for (Loop loop : ALL_LOOPS) {
        Bitmap bmp(create_bitmap_ex(depth, w, 3));
        ASSERT_TRUE(bmp);
        blit(reference.get(), bmp.get(), 0, 0, 0, 0, w, 3);
        blend_add_rect_using(capabilities_for(loop), bmp.get(), 0, 0, w, 3, colour, factor);
        std::vector<std::uint32_t> px = pixels_of(bmp.get());
        for (std::uint32_t& p : px) p &= depth == 32 ? 0xFFFFFF : 0x7FFF;
        results.push_back(px);
      }
      EXPECT_EQ(results[0], results[1]) << "depth " << depth << " width " << w;
      EXPECT_EQ(results[0], results[2]) << "depth " << depth << " width " << w;
    }
  }
}

// ---- Depths without a loop, and the choice of loop ----

TEST(BlendDepths, EightAndTwentyFourBitBitmapsAreLeftAlone) {
  start_allegro();
  std::mt19937 rng(5);
  for (int depth : {8, 24}) {
    Bitmap bmp = random_bitmap(depth, 12, 5, rng);
    ASSERT_TRUE(bmp);
    const std::vector<std::uint32_t> before = pixels_of(bmp.get());
    blend_add_rect(bmp.get(), 0, 0, 12, 5, 0xFFFFFF, 255);
    const std::array<Particle, 1> square = {{{3.0f, 2.0f, 0, 0, 0xFFFFFF, 0, 0, 255}}};
    blend_particles(bmp.get(), square);
    for (Loop loop : ALL_LOOPS) {
      blend_add_rect_using(capabilities_for(loop), bmp.get(), 2, 1, 7, 3, 0xFFFFFF, 255);
      blend_particles_using(capabilities_for(loop), bmp.get(), square);
    }
    EXPECT_EQ(pixels_of(bmp.get()), before) << "depth " << depth;
  }
}

TEST(BlendChoice, SsePrecedesMmxPrecedesPortable) {
  struct Expect {
    int depth;
    BlendLoop portable, mmx, sse;
  };
#ifdef MIRVO_HAS_X86_BLEND
  const std::array<Expect, 3> table = {{
      {15, blend_add_rect15, blend_add_rect15_mmx, blend_add_rect15_sse},
      {16, blend_add_rect16, blend_add_rect16_mmx, blend_add_rect16_sse},
      {32, blend_add_rect32, blend_add_rect32_mmx, blend_add_rect32_sse},
  }};
#else
  const std::array<Expect, 3> table = {{
      {15, blend_add_rect15, blend_add_rect15, blend_add_rect15},
      {16, blend_add_rect16, blend_add_rect16, blend_add_rect16},
      {32, blend_add_rect32, blend_add_rect32, blend_add_rect32},
  }};
#endif
  for (const Expect& e : table) {
    SCOPED_TRACE(e.depth);
    EXPECT_EQ(choose_blend_loop(e.depth, 0), e.portable);
    EXPECT_EQ(choose_blend_loop(e.depth, CPU_FPU | CPU_ID | CPU_3DNOW | CPU_SSE2), e.portable);
    EXPECT_EQ(choose_blend_loop(e.depth, CPU_MMX), e.mmx);
    EXPECT_EQ(choose_blend_loop(e.depth, CPU_MMX | CPU_MMXPLUS | CPU_FPU), e.mmx);
    EXPECT_EQ(choose_blend_loop(e.depth, CPU_SSE), e.sse);
    EXPECT_EQ(choose_blend_loop(e.depth, CPU_SSE | CPU_MMX | CPU_SSE2), e.sse);
  }
  for (int depth : {0, 1, 8, 24, 31, 64}) {
    EXPECT_EQ(choose_blend_loop(depth, 0), nullptr) << depth;
    EXPECT_EQ(choose_blend_loop(depth, CPU_SSE | CPU_MMX), nullptr) << depth;
  }
}

TEST(BlendChoice, CapabilitiesKeepAllegrosAndAddWhatTheProcessorReports) {
  start_allegro();
  const int caps = blend_capabilities();
  EXPECT_EQ(blend_capabilities(), caps);
  int expected = cpu_capabilities;
#ifdef MIRVO_HAS_X86_BLEND
  // Only when Allegro names neither feature does the processor's own report count.
  if ((cpu_capabilities & (CPU_MMX | CPU_SSE)) == 0) {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("mmx")) expected |= CPU_MMX;
    if (__builtin_cpu_supports("sse")) expected |= CPU_SSE;
  }
#endif
  EXPECT_EQ(caps, expected);
}

// The public entry point blends with the loop the capabilities choose.
TEST(BlendChoice, BlendAddRectUsesTheChosenLoop) {
  start_allegro();
  const int caps = blend_capabilities();
  const Loop loop = !HAS_FAST_LOOPS         ? Loop::portable
                    : (caps & CPU_SSE) != 0 ? Loop::sse
                    : (caps & CPU_MMX) != 0 ? Loop::mmx
                                            : Loop::portable;
  Bitmap bmp(create_bitmap_ex(16, 4, 1));
  ASSERT_TRUE(bmp);
  clear_bitmap(bmp.get());
  write_pixel(bmp.get(), 1, 0, 2 << 5);  // green 2 + 63 overflows: 62 or 63 tells the loops apart
  blend_add_rect(bmp.get(), 1, 0, 1, 1, 0xFFFF, 255);
  EXPECT_EQ(read_pixel(bmp.get(), 1, 0), blended(16, loop, 2 << 5, 0xFFFF, 255));
  EXPECT_EQ(read_pixel(bmp.get(), 0, 0), 0u);
  EXPECT_EQ(read_pixel(bmp.get(), 2, 0), 0u);
  // The particle table too: a square at (2, 0) of which one row is inside.
  write_pixel(bmp.get(), 2, 0, 2 << 5);
  const std::array<Particle, 1> square = {{{2.0f, -1.0f, 0, 0, 0xFFFF, 0, 0, 255}}};
  blend_particles(bmp.get(), square);
  EXPECT_EQ(read_pixel(bmp.get(), 2, 0), blended(16, loop, 2 << 5, 0xFFFF, 255));
  EXPECT_EQ(read_pixel(bmp.get(), 3, 0), blended(16, loop, 0, 0xFFFF, 255));
}

}  // namespace
