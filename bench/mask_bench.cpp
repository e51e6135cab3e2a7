// The pixel-exact collision test against the way it would be done without
// masks: reading both pictures pixel by pixel.
//
// A 40 x 40 picture A at (0, 0) meets 16 different 40 x 40 pictures B (fixed
// seed), cycled so no branch is memorised:
//   sparse_hit   A half full, B about 5% full, B at (20, 20); a common pixel exists
//   miss         as sparse_hit with B at (0, 20), the strips aligned, no common pixel
//   offset_miss  as miss with B at (20, 20): the overlap crosses A's strips
//   apart        B at (60, 60): the boxes do not touch
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <array>
#include <random>

#include "mask/mask.h"

namespace {

constexpr int SIDE = 40;
constexpr int VARIANTS = 16;

struct Placement {
  const char* name;
  int bx, by;
  bool want_hit;
};

constexpr std::array<Placement, 4> PLACEMENTS = {{
    {"sparse_hit", 20, 20, true},
    {"miss", 0, 20, false},
    {"offset_miss", 20, 20, false},
    {"apart", 60, 60, false},
}};

bool visible(BITMAP* b, int x, int y) {
  return getpixel(b, x, y) != bitmap_mask_color(b);
}

// The peer: both pictures compared with getpixel, row by row from the top of the overlap.
int naive_overlap(BITMAP* a, BITMAP* b, int ax, int ay, int bx, int by) {
  const int left = std::max(ax, bx), right = std::min(ax + a->w, bx + b->w);
  const int top = std::max(ay, by), bottom = std::min(ay + a->h, by + b->h);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (visible(a, x - ax, y - ay) && visible(b, x - bx, y - by)) return 1;
    }
  }
  return 0;
}

BITMAP* random_picture(std::mt19937& rng, int percent) {
  BITMAP* bmp = create_bitmap(SIDE, SIDE);
  clear_to_color(bmp, bitmap_mask_color(bmp));
  std::uniform_int_distribution<int> d(0, 99);
  for (int y = 0; y < SIDE; ++y)
    for (int x = 0; x < SIDE; ++x)
      if (d(rng) < percent) putpixel(bmp, x, y, makecol(200, 200, 200));
  return bmp;
}

struct Scene {
  BITMAP* a_bitmap = nullptr;
  PixelMask* a_mask = nullptr;
  std::array<BITMAP*, VARIANTS> b_bitmaps{};
  std::array<PixelMask*, VARIANTS> b_masks{};
};

// B pictures for one placement: a miss has every B pixel under A's visible
// pixels cleared; a hit keeps drawing until a common pixel exists.
Scene make_scene(const Placement& p) {
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(32);
  std::mt19937 rng(1234);
  Scene s;
  s.a_bitmap = random_picture(rng, 50);
  s.a_mask = create_mask_from_bitmap(s.a_bitmap);
  for (int i = 0; i < VARIANTS; ++i) {
    BITMAP* b = nullptr;
    do {
      if (b) destroy_bitmap(b);
      b = random_picture(rng, 5);
      if (!p.want_hit) {
        for (int y = 0; y < SIDE; ++y)
          for (int x = 0; x < SIDE; ++x) {
            const int u = p.bx + x, v = p.by + y;
            if (u < SIDE && v < SIDE && visible(s.a_bitmap, u, v))
              putpixel(b, x, y, bitmap_mask_color(b));
          }
      }
    } while (p.want_hit && !naive_overlap(s.a_bitmap, b, 0, 0, p.bx, p.by));
    s.b_bitmaps[i] = b;
    s.b_masks[i] = create_mask_from_bitmap(b);
  }
  return s;
}

void release(Scene& s) {
  destroy_mask(s.a_mask);
  destroy_bitmap(s.a_bitmap);
  for (int i = 0; i < VARIANTS; ++i) {
    destroy_mask(s.b_masks[i]);
    destroy_bitmap(s.b_bitmaps[i]);
  }
}

void BM_masks_overlap(benchmark::State& state, Placement p) {
  Scene s = make_scene(p);
  int i = 0, hits = 0;
  for (auto _ : state) {
    hits += masks_overlap(s.a_mask, s.b_masks[i], 0, 0, p.bx, p.by);
    i = (i + 1) & (VARIANTS - 1);
  }
  benchmark::DoNotOptimize(hits);
  if ((hits > 0) != p.want_hit) state.SkipWithError("the masks gave the wrong answer");
  release(s);
}

void BM_masks_overlap_naive(benchmark::State& state, Placement p) {
  Scene s = make_scene(p);
  int i = 0, hits = 0;
  for (auto _ : state) {
    hits += naive_overlap(s.a_bitmap, s.b_bitmaps[i], 0, 0, p.bx, p.by);
    i = (i + 1) & (VARIANTS - 1);
  }
  benchmark::DoNotOptimize(hits);
  if ((hits > 0) != p.want_hit) state.SkipWithError("the pictures gave the wrong answer");
  release(s);
}

const bool registered = [] {
  for (const Placement& p : PLACEMENTS) {
    benchmark::RegisterBenchmark((std::string("masks_overlap/") + p.name).c_str(), BM_masks_overlap,
                                 p);
    benchmark::RegisterBenchmark((std::string("masks_overlap_naive/") + p.name).c_str(),
                                 BM_masks_overlap_naive, p);
  }
  return true;
}();

}  // namespace
