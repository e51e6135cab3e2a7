// The additive blend on its two real loads, a frame of particles and the
// energy bar, through each pixel loop and through Allegro's own additive
// blender as the peer an Allegro programmer would otherwise write.
//
// A frame of particles is drawn three ways: particles_frame/<loop>/<depth> is
// the renderer's particle step (one blend_particles call over the table),
// blend_particles/<loop>/<depth> one blend_add_rect call per particle, and
// blend_particles/allegro/<depth> Allegro's blender; the goal is
// particles_frame/sse/32 at 10 x the allegro peer. touch_bytes/particles reads
// and writes the same pixels with nothing else, the floor any blend stands on.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/blend_local.h"
#include "render/render.h"
#include "world/world.h"

namespace {

constexpr int PARTICLES = MAX_PARTICLES - 1;  // a full table but one free slot
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

// The same frame as a particle table with one free slot in the middle.
std::array<Particle, MAX_PARTICLES> make_table(const Frame& frame) {
  std::array<Particle, MAX_PARTICLES> table{};
  for (int i = 0; i < PARTICLES; ++i) {
    Particle& p = table[i < MAX_PARTICLES / 2 ? i : i + 1];
    p.x = static_cast<float>(frame[i].x);
    p.y = static_cast<float>(frame[i].y);
    p.colour = frame[i].colour;
    p.alpha = frame[i].alpha;
  }
  return table;
}

void particles_frame(benchmark::State& state, int capabilities) {
  const int depth = static_cast<int>(state.range(0));
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(depth);
  if (!bmp) return state.SkipWithError("no bitmap");
  const auto table = make_table(make_frame(depth));
  for (auto _ : state) {
    blend_particles_using(capabilities, bmp.get(), table);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * PARTICLES);
}

// The pixels of the frame at 32 bits, read and written by a plain loop over
// the clipped squares worked out beforehand.
void touch_particle_bytes(benchmark::State& state) {
  if (!start_allegro()) return state.SkipWithError("Allegro did not start");
  Bitmap bmp = make_playfield(32);
  if (!bmp) return state.SkipWithError("no bitmap");
  struct Span {
    std::uint32_t* first;
    int w, h;
  };
  std::vector<Span> spans;
  for (Spark s : make_frame(32)) {
    int w = 2, h = 2;
    if (clip_to_bitmap(FIELD_W, FIELD_H, s.x, s.y, w, h))
      spans.push_back({reinterpret_cast<std::uint32_t*>(bmp->line[s.y]) + s.x, w, h});
  }
  const std::ptrdiff_t pitch = bmp->line[1] - bmp->line[0];
  for (auto _ : state) {
    for (const Span& s : spans) {
      auto* row = reinterpret_cast<unsigned char*>(s.first);
      for (int y = 0; y < s.h; ++y, row += pitch) {
        auto* pixel = reinterpret_cast<std::uint32_t*>(row);
        for (int x = 0; x < s.w; ++x) pixel[x] ^= 0x010101;
      }
    }
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

// Names: particles_frame/<loop>/<depth>, blend_particles/<loop>/<depth>,
// blend_energy_bar/<loop>/32 and touch_bytes/particles.
const bool registered = [] {
  for (const LoopChoice& loop : loop_choices()) {
    benchmark::RegisterBenchmark(("blend_particles/" + std::string(loop.name)).c_str(),
                                 blend_particles, loop.capabilities)
        ->Arg(15)
        ->Arg(16)
        ->Arg(32);
    benchmark::RegisterBenchmark(("particles_frame/" + std::string(loop.name)).c_str(),
                                 particles_frame, loop.capabilities)
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
  benchmark::RegisterBenchmark("touch_bytes/particles", touch_particle_bytes);
  return true;
}();

}  // namespace
