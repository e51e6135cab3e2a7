// The additive blend on its two real loads, a frame of particles and the
// energy bar, through each pixel loop and through Allegro's own additive
// blender as the peer an Allegro programmer would otherwise write.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/blend_local.h"
#include "render/render.h"

namespace {

constexpr int PARTICLES = 4096;  // a full particle table
constexpr int FIELD_W = 320;
constexpr int FIELD_H = 400;

struct Spark {
  int x, y, colour, alpha;
};
using Frame = std::array<Spark, PARTICLES>;

struct BitmapDeleter {
  void operator()(BITMAP* bmp) const { destroy_bitmap(bmp); }
};
using Bitmap = std::unique_ptr<BITMAP, BitmapDeleter>;

// A second install is a no-op, so every benchmark may ask.
bool start_allegro() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  return started;
}

// The same frame for every loop: positions reach one pixel past each edge so
// some squares are clipped, colours and intensities are anything.
Frame make_frame(int depth) {
  std::mt19937 rng(4096);
  Frame frame;
  for (Spark& s : frame) {
    s.x = static_cast<int>(rng() % (FIELD_W + 1)) - 1;
    s.y = static_cast<int>(rng() % (FIELD_H + 1)) - 1;
    const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256);
    const int b = static_cast<int>(rng() % 256);
    s.colour = makecol_depth(depth, r, g, b);
    s.alpha = 1 + static_cast<int>(rng() % 255);
  }
  return frame;
}

Bitmap make_playfield(int depth) {
  Bitmap bmp(create_bitmap_ex(depth, FIELD_W, FIELD_H));
  if (bmp) clear_to_color(bmp.get(), makecol_depth(depth, 8, 16, 40));
  return bmp;
}

// Our blend with the loop forced by a capabilities word.
void blend_particles(benchmark::State& state, int capabilities) {
  const int depth = static_cast<int>(state.range(0));
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(depth);
  if (!bmp) return state.SkipWithError("no bitmap");
  const Frame frame = make_frame(depth);
  for (auto _ : state) {
    for (const Spark& s : frame)
      blend_add_rect_using(capabilities, bmp.get(), s.x, s.y, 2, 2, s.colour, s.alpha);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * PARTICLES);
}

// The same frame with Allegro's translucent drawing mode and additive blender.
void blend_particles_allegro(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(depth);
  if (!bmp) return state.SkipWithError("no bitmap");
  const Frame frame = make_frame(depth);
  drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
  for (auto _ : state) {
    for (const Spark& s : frame) {
      set_add_blender(0, 0, 0, s.alpha);
      rectfill(bmp.get(), s.x, s.y, s.x + 1, s.y + 1, s.colour);
    }
    benchmark::ClobberMemory();
  }
  solid_mode();
  state.SetItemsProcessed(state.iterations() * PARTICLES);
}

// The head-up display's energy bar: one 100 x 10 rectangle.
constexpr int BAR_X = 10, BAR_Y = 380, BAR_W = 100, BAR_H = 10, BAR_FACTOR = 192;

void blend_energy_bar(benchmark::State& state, int capabilities) {
  const int depth = static_cast<int>(state.range(0));
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(depth);
  if (!bmp) return state.SkipWithError("no bitmap");
  const int colour = makecol_depth(depth, 40, 220, 60);
  for (auto _ : state) {
    blend_add_rect_using(capabilities, bmp.get(), BAR_X, BAR_Y, BAR_W, BAR_H, colour, BAR_FACTOR);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * BAR_W * BAR_H);
}

void blend_energy_bar_allegro(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(depth);
  if (!bmp) return state.SkipWithError("no bitmap");
  const int colour = makecol_depth(depth, 40, 220, 60);
  drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
  for (auto _ : state) {
    set_add_blender(0, 0, 0, BAR_FACTOR);
    rectfill(bmp.get(), BAR_X, BAR_Y, BAR_X + BAR_W - 1, BAR_Y + BAR_H - 1, colour);
    benchmark::ClobberMemory();
  }
  solid_mode();
  state.SetItemsProcessed(state.iterations() * BAR_W * BAR_H);
}

struct LoopChoice {
  const char* name;
  int capabilities;
};

std::vector<LoopChoice> loop_choices() {
  std::vector<LoopChoice> loops = {{"portable", 0}};
#ifdef MIRVO_HAS_X86_BLEND
  loops.push_back({"mmx", CPU_MMX});
  loops.push_back({"sse", CPU_SSE});
#endif
  return loops;
}

// Names: blend_particles/<loop>/<depth> and blend_energy_bar/<loop>/32.
const bool registered = [] {
  for (const LoopChoice& loop : loop_choices()) {
    benchmark::RegisterBenchmark(("blend_particles/" + std::string(loop.name)).c_str(),
                                 blend_particles, loop.capabilities)
        ->Arg(15)
        ->Arg(16)
        ->Arg(32);
    benchmark::RegisterBenchmark(("blend_energy_bar/" + std::string(loop.name)).c_str(),
                                 blend_energy_bar, loop.capabilities)
        ->Arg(32);
  }
  benchmark::RegisterBenchmark("blend_particles/allegro", blend_particles_allegro)
      ->Arg(15)
      ->Arg(16)
      ->Arg(32);
  benchmark::RegisterBenchmark("blend_energy_bar/allegro", blend_energy_bar_allegro)->Arg(32);
  return true;
}();

}  // namespace
