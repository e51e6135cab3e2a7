// Pixel masks and the overlap test, checked against a plain per-pixel reference.
#include <allegro.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "mask/mask.h"

namespace {

struct MaskDeleter {
  void operator()(PixelMask* m) const { destroy_mask(m); }
};
using MaskPtr = std::unique_ptr<PixelMask, MaskDeleter>;

// A picture as a plain grid of 0/1, the reader the fill takes.
struct Grid {
  int w, h;
  std::vector<int> px;
  int at(int x, int y) const { return px[y * w + x]; }
};

int read_grid(const void* source, int x, int y) {
  return static_cast<const Grid*>(source)->at(x, y);
}

MaskPtr mask_from_grid(const Grid& g) {
  MaskPtr m(create_mask(g.w, g.h));
  load_mask_from_source(m.get(), &g, 0, read_grid);
  return m;
}

Grid random_grid(std::mt19937& rng, int w, int h, int percent) {
  Grid g{w, h, std::vector<int>(w * h)};
  std::uniform_int_distribution<int> d(0, 99);
  for (int& p : g.px) p = d(rng) < percent ? 1 : 0;
  return g;
}

Grid grid_with(int w, int h, std::initializer_list<std::pair<int, int>> set) {
  Grid g{w, h, std::vector<int>(w * h)};
  for (auto [x, y] : set) g.px[y * w + x] = 1;
  return g;
}

Grid full_grid(int w, int h) {
  return Grid{w, h, std::vector<int>(w * h, 1)};
}

// The meaning of an overlap, pixel by pixel.
int reference_overlap(const Grid& a, const Grid& b, int ax, int ay, int bx, int by) {
  for (int y = 0; y < a.h; ++y) {
    for (int x = 0; x < a.w; ++x) {
      if (!a.at(x, y)) continue;
      const int u = ax + x - bx, v = ay + y - by;
      if (u >= 0 && v >= 0 && u < b.w && v < b.h && b.at(u, v)) return 1;
    }
  }
  return 0;
}

class AllegroMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
  }
};

}  // namespace

TEST(MaskLayout, StripsAndWordsFollowTheWidth) {
  MaskPtr m32(create_mask(32, 3)), m33(create_mask(33, 3)), m40(create_mask(40, 3));
  ASSERT_TRUE(m32 && m33 && m40);
  // A set bit in every pixel shows where each pixel lives.
  for (int x = 0; x < 40; ++x) mask_set_pixel(m40.get(), x, 2, 1);
  EXPECT_EQ(m40->words[2], 0xFFFFFFFFu);
  EXPECT_EQ(m40->words[5], 0xFFu);  // strip 1, row 2: columns 32..39
  mask_set_pixel(m40.get(), 35, 2, 0);
  EXPECT_EQ(m40->words[5], 0xF7u);
  EXPECT_EQ(mask_get_pixel(m40.get(), 35, 2), 0);
  EXPECT_EQ(mask_get_pixel(m40.get(), 36, 2), 1);
  // Widths 32 and 33 give one and two strips: the second strip of 33 exists and is cleared.
  for (int y = 0; y < 3; ++y) EXPECT_EQ(m33->words[3 + y], 0u);
}

TEST(MaskLayout, FillSetsVisiblePixelsAndClearsPastTheWidth) {
  std::mt19937 rng(7);
  for (int w : {1, 31, 32, 33, 40, 64, 65, 100}) {
    const Grid g = random_grid(rng, w, 5, 50);
    MaskPtr m = mask_from_grid(g);
    for (int y = 0; y < g.h; ++y)
      for (int x = 0; x < g.w; ++x) ASSERT_EQ(mask_get_pixel(m.get(), x, y), g.at(x, y)) << w;
    const int strips = (w + 31) / 32;
    const int tail = w - 32 * (strips - 1);
    const std::uint32_t past = tail == 32 ? 0u : ~((1u << tail) - 1u);
    for (int y = 0; y < g.h; ++y) EXPECT_EQ(m->words[(strips - 1) * g.h + y] & past, 0u) << w;
  }
}

TEST(MaskSizes, OutOfRangeSizesGiveEmptyMasks) {
  PixelMask m;
  init_mask(&m, 40000, 10);
  EXPECT_EQ(m.width, 0);
  EXPECT_EQ(m.height, 0);
  EXPECT_EQ(m.words, nullptr);
  init_mask(&m, 10, -1);
  EXPECT_EQ(m.words, nullptr);
  EXPECT_EQ(create_mask(40000, 10), nullptr);
  EXPECT_EQ(create_mask(10, -5), nullptr);
  init_mask(&m, 32767, 1);
  EXPECT_EQ(m.width, 32767);
  deinit_mask(&m);
  EXPECT_EQ(m.words, nullptr);
  EXPECT_EQ(m.width, 0);
  destroy_mask(nullptr);  // allowed, like free
  load_mask_from_source(nullptr, nullptr, 0, read_grid);
}

TEST_F(AllegroMemory, MaskFromBitmapUsesTheMaskColour) {
  BITMAP* bmp = create_bitmap(3, 2);
  clear_to_color(bmp, bitmap_mask_color(bmp));
  MaskPtr empty(create_mask_from_bitmap(bmp));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->words[0] | empty->words[1], 0u);
  putpixel(bmp, 2, 1, makecol(0, 0, 0));  // black is visible, only magenta is not
  MaskPtr one(create_mask_from_bitmap(bmp));
  EXPECT_EQ(one->words[1], 4u);
  destroy_bitmap(bmp);

  BITMAP* dot = create_bitmap(1, 1);
  putpixel(dot, 0, 0, makecol(255, 255, 255));
  MaskPtr single(create_mask_from_bitmap(dot));
  EXPECT_EQ(single->words[0], 1u);
  destroy_bitmap(dot);
  EXPECT_EQ(create_mask_from_bitmap(nullptr), nullptr);
}

TEST(MasksOverlap, EdgesAndCorners) {
  MaskPtr a = mask_from_grid(full_grid(40, 40)), b = mask_from_grid(full_grid(40, 40));
  EXPECT_EQ(masks_overlap(a.get(), b.get(), 0, 0, 39, 39), 1);
  EXPECT_EQ(masks_overlap(a.get(), b.get(), 0, 0, 40, 0), 0);
  EXPECT_EQ(masks_overlap(a.get(), b.get(), 0, 0, 0, -40), 0);
  EXPECT_EQ(masks_overlap(a.get(), b.get(), -39, -39, 0, 0), 1);

  MaskPtr p31 = mask_from_grid(grid_with(32, 1, {{31, 0}}));
  MaskPtr p0 = mask_from_grid(grid_with(32, 1, {{0, 0}}));
  EXPECT_EQ(masks_overlap(p31.get(), p0.get(), 0, 0, 31, 0), 1);
  EXPECT_EQ(masks_overlap(p31.get(), p0.get(), 0, 0, 32, 0), 0);
}

TEST(MasksOverlap, CrossesStripsInBothDirections) {
  MaskPtr wide = mask_from_grid(grid_with(64, 1, {{40, 0}}));
  MaskPtr small = mask_from_grid(grid_with(8, 1, {{0, 0}}));
  EXPECT_EQ(masks_overlap(wide.get(), small.get(), 0, 0, 40, 0), 1);
  EXPECT_EQ(masks_overlap(small.get(), wide.get(), 40, 0, 0, 0), 1);
  EXPECT_EQ(masks_overlap(wide.get(), small.get(), 0, 0, 41, 0), 0);

  MaskPtr a = mask_from_grid(full_grid(8, 1));
  MaskPtr far = mask_from_grid(grid_with(40, 1, {{36, 0}}));
  MaskPtr near = mask_from_grid(grid_with(40, 1, {{7, 0}}));
  EXPECT_EQ(masks_overlap(a.get(), far.get(), 5, 0, 0, 0), 0);
  EXPECT_EQ(masks_overlap(a.get(), near.get(), 5, 0, 0, 0), 1);
}

TEST(MasksOverlap, EmptyAndNullMasksOverlapNothing) {
  MaskPtr full = mask_from_grid(full_grid(40, 40));
  MaskPtr zero = mask_from_grid(Grid{40, 40, std::vector<int>(1600, 0)});
  EXPECT_EQ(masks_overlap(full.get(), zero.get(), 0, 0, 0, 0), 0);
  EXPECT_EQ(masks_overlap(full.get(), nullptr, 0, 0, 0, 0), 0);
  EXPECT_EQ(masks_overlap(nullptr, full.get(), 0, 0, 0, 0), 0);
  PixelMask hollow;  // never sized: no words
  EXPECT_EQ(masks_overlap(&hollow, full.get(), 0, 0, 0, 0), 0);
  MaskPtr no_width(create_mask(0, 10));  // a valid mask without columns
  ASSERT_TRUE(no_width);
  EXPECT_EQ(masks_overlap(no_width.get(), full.get(), 5, 5, 0, 0), 0);
}

// Many random masks at many positions, negative ones and offsets that are not
// multiples of 32 included, must agree with the per-pixel meaning both ways round.
TEST(MasksOverlap, AgreesWithThePixelReferenceAndIsSymmetric) {
  std::mt19937 rng(20030330);
  std::uniform_int_distribution<int> size(1, 90), pos(-100, 100), fill(0, 12);
  int hits = 0, cases = 0;
  for (int i = 0; i < 3000; ++i) {
    const Grid ga = random_grid(rng, size(rng), size(rng) / 2 + 1, fill(rng));
    const Grid gb = random_grid(rng, size(rng), size(rng) / 2 + 1, fill(rng));
    MaskPtr a = mask_from_grid(ga), b = mask_from_grid(gb);
    for (int k = 0; k < 8; ++k) {
      const int ax = pos(rng), ay = pos(rng) / 2;
      // Keep most placements close, so the boxes meet in most cases.
      const int bx = ax + pos(rng) % (ga.w + 1), by = ay + pos(rng) % (ga.h + 1);
      const int expected = reference_overlap(ga, gb, ax, ay, bx, by);
      ASSERT_EQ(masks_overlap(a.get(), b.get(), ax, ay, bx, by), expected)
          << ga.w << "x" << ga.h << " at " << ax << "," << ay << " vs " << gb.w << "x" << gb.h
          << " at " << bx << "," << by;
      ASSERT_EQ(masks_overlap(b.get(), a.get(), bx, by, ax, ay), expected);
      hits += expected;
      ++cases;
    }
  }
  // Both answers must have been exercised for the comparison to mean anything.
  EXPECT_GT(hits, cases / 10);
  EXPECT_LT(hits, cases - cases / 10);
}
