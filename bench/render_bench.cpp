// One full software frame: every table at its capacity, drawn into a memory
// back buffer and shown on a memory bitmap standing in for the screen. The
// goal is a doubled 32-bit frame in at most a fifth of a 10 ms logic tick;
// tick_over_frame reports that ratio (5 or more meets it). The frame is timed
// in the thread's own processor time, so other work on a shared machine does
// not count against it.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "content/content.h"
#include "render/render.h"
#include "world/world.h"

namespace {

constexpr double TICK_SECONDS = 0.01;

// The pictures and tables of a crowded frame; released on destruction.
struct FullWorld {
  BITMAP* tile = nullptr;
  BITMAP* ship = nullptr;
  BITMAP* shot = nullptr;
  BITMAP* enemy = nullptr;
  BITMAP* unused = nullptr;
  BITMAP* window = nullptr;
  DATAFILE game[8]{};
  DATAFILE tiles[2]{};
  DATAFILE enemy_data[2]{};

  FullWorld(int depth, bool doubled) {
    static const bool installed = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
    (void)installed;
    set_color_depth(depth);
    tile = create_bitmap(TILE_SIZE, TILE_SIZE);
    for (int y = 0; y < TILE_SIZE; ++y)
      for (int x = 0; x < TILE_SIZE; ++x) putpixel(tile, x, y, makecol(x * 3, y * 3, 90));
    ship = create_bitmap(SHIP_SIZE, SHIP_SIZE);
    clear_to_color(ship, bitmap_mask_color(ship));
    circlefill(ship, 20, 20, 18, makecol(200, 200, 220));
    shot = create_bitmap(3, 3);
    clear_to_color(shot, makecol(255, 255, 0));
    enemy = create_bitmap(32, 32);
    clear_to_color(enemy, bitmap_mask_color(enemy));
    circlefill(enemy, 16, 16, 14, makecol(220, 40, 40));
    unused = create_bitmap(1, 1);

    game[0] = game[1] = game[2] = game[5] = {unused, DAT_BITMAP, 0, nullptr};
    game[DATA_PLAYER_SHIP] = {ship, DAT_BITMAP, 0, nullptr};
    game[DATA_SHOT] = {shot, DAT_BITMAP, 0, nullptr};
    game[DATA_MENU_FONT] = {font, DAT_FONT, 0, nullptr};
    game[7] = {nullptr, DAT_END, 0, nullptr};
    tiles[0] = {tile, DAT_BITMAP, 0, nullptr};
    tiles[1] = {nullptr, DAT_END, 0, nullptr};
    enemy_data[0] = {enemy, DAT_BITMAP, 0, nullptr};
    enemy_data[1] = {nullptr, DAT_END, 0, nullptr};

    game_data = game;
    tile_set = tiles;
    for (auto& column : tile_map) column.fill(0);
    scroll_row = 3;
    scroll_offset = 21.5f;
    enemy_types[0] = EnemyType{};
    enemy_types[0].data = enemy_data;
    shot_types[0] = ShotType{};
    shot_types[0].data = game;
    shot_types[0].anims[0].frame = DATA_SHOT;

    for (int i = 0; i < MAX_ENEMIES; ++i) {
      enemies[i] = Enemy{};
      enemies[i].type = 1;
      enemies[i].x = static_cast<float>(i % 8 * 40);
      enemies[i].y = static_cast<float>(i / 8 * 48);
      enemies[i].angle = i * 4;  // most of them turned
      enemy_anim_states[i] = EnemyAnimState{};
    }
    for (int i = 0; i < MAX_PLAYER_SHOTS; ++i)
      player_shots[i] = Bullet{1, static_cast<float>(i * 5), static_cast<float>(i * 6)};
    for (int i = 0; i < MAX_ENEMY_BULLETS; ++i)
      enemy_bullets[i] = Bullet{1, static_cast<float>(315 - i * 5), static_cast<float>(i * 6)};
    for (int i = 0; i < MAX_PARTICLES - 1; ++i) {
      particles[i] = Particle{};
      particles[i].x = static_cast<float>(i * 37 % PLAYFIELD_W);
      particles[i].y = static_cast<float>(i * 53 % PLAYFIELD_H);
      particles[i].colour = makecol(255, i % 200, 40);
      particles[i].alpha = 255 - i % 250;
    }
    for (Message& m : messages) {
      std::strcpy(m.text.data(), "You are a winner!!!11");
      m.time_left = 100;
    }
    player = Player{};
    player.x = 140;
    player.y = 300;
    player.energy = 7;
    player.score = 123456;
    fps = 60;

    renderer = Renderer::Software;
    scale = doubled ? 1 : 0;
    const int w = doubled ? 2 * PLAYFIELD_W : PLAYFIELD_W;
    const int h = doubled ? 2 * PLAYFIELD_H : PLAYFIELD_H;
    back_buffer = create_bitmap(w, h);
    window = create_bitmap(w, h);
    screen = window;
  }

  ~FullWorld() {
    screen = nullptr;
    destroy_bitmap(window);
    destroy_bitmap(back_buffer);
    back_buffer = nullptr;
    game_data = nullptr;
    tile_set = nullptr;
    enemy_types[0] = EnemyType{};
    shot_types[0] = ShotType{};
    for (BITMAP* b : {tile, ship, shot, enemy, unused}) destroy_bitmap(b);
  }
};

double thread_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Arguments: colour depth, then 1 for the playfield's own size or 2 doubled.
void render_software_full(benchmark::State& state) {
  FullWorld world(static_cast<int>(state.range(0)), state.range(1) == 2);
  render_frame_software();
  double seconds = 0.0;
  for (auto _ : state) {
    const double start = thread_seconds();
    render_frame_software();
    seconds += thread_seconds() - start;
    benchmark::ClobberMemory();
  }
  const double per_frame = seconds / static_cast<double>(state.iterations());
  state.counters["tick_over_frame"] = TICK_SECONDS / per_frame;
  state.counters["frame_ms"] = per_frame * 1e3;
}

BENCHMARK(render_software_full)
    ->Name("render_software/full")
    ->ArgsProduct({{15, 16, 32}, {1, 2}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
