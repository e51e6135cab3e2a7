// One world tick at its heaviest: every table full, every player shot inside
// an enemy it destroys (with a group trigger), every enemy bullet on the ship,
// every enemy running a burst that fires and spawns. The peer is the same tick
// over empty tables, the fixed cost of scanning them. The tick's budget is
// 10 ms; the goal for the full tick is 1% of it.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "mask/mask.h"
#include "script/script.h"
#include "world/world.h"

namespace {

ScriptInstruction instruction(int opcode, std::initializer_list<int> operands) {
  ScriptInstruction in;
  in.opcode = opcode;
  int i = 0;
  for (int v : operands) in.operands[i++] = static_cast<std::int16_t>(v);
  return in;
}

// Everything the tick reads and writes, saved once and put back before each
// run: the bytes of every table in the world's own list.
struct WorldState {
  std::vector<std::uint8_t> bytes;

  void save() {
    bytes.clear();
    visit_world_tables([this](const auto&... tables) { (append(tables), ...); });
  }
  void restore() const {
    std::size_t at = 0;
    visit_world_tables([this, &at](auto&... tables) { (take(tables, at), ...); });
  }

 private:
  template <typename T>
  void append(const T& table) {
    static_assert(std::is_trivially_copyable_v<T>);
    const auto* from = reinterpret_cast<const std::uint8_t*>(&table);
    bytes.insert(bytes.end(), from, from + sizeof(T));
  }
  template <typename T>
  void take(T& table, std::size_t& at) const {
    std::memcpy(&table, bytes.data() + at, sizeof(T));
    at += sizeof(T);
  }
};

// Content that lives for the whole run: the shot types, one enemy type with
// 40 x 40 solid frames, the ship's mask and the two scripts.
void make_content() {
  static bool made = false;
  if (made) return;
  made = true;
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(32);
  BITMAP* solid = create_bitmap(SHIP_SIZE, SHIP_SIZE);
  clear_to_color(solid, makecol(255, 255, 255));
  BITMAP* dot = create_bitmap(3, 3);
  clear_to_color(dot, makecol(255, 255, 255));
  static std::array<DATAFILE, 6> shot_data{};
  static std::array<DATAFILE, 3> enemy_data{};
  for (int i = 0; i < 5; ++i) shot_data[i] = {dot, DAT_BITMAP, 0, nullptr};
  shot_data[5].type = DAT_END;
  enemy_data[0] = {solid, DAT_BITMAP, 0, nullptr};
  enemy_data[1] = {solid, DAT_BITMAP, 0, nullptr};
  enemy_data[2].type = DAT_END;
  player.mask = create_mask_from_bitmap(solid);
  PixelMask* dot_mask = create_mask_from_bitmap(dot);
  PixelMask* enemy_mask = create_mask_from_bitmap(solid);

  for (int k = 0; k < 2; ++k) {
    ShotType& st = shot_types[k];
    st.damage = k == 0 ? 0.5f : 100.0f;
    st.width = 3;
    st.height = k == 0 ? 3 : 400;
    st.hit_anim = 1;
    st.data = shot_data.data();
    st.anims[0] = {0, 2, 5, 4, k == 0 ? 0 : ANIM_BEAM};
    st.anims[1] = {1, -1, 1, 4, k == 0 ? 3 : ANIM_BEAM};
    st.anims[2] = {2, k == 0 ? 2 : -1, 1, 4, 0};
    for (Animation& a : st.anims) a.mask = k == 0 ? dot_mask : nullptr;
  }
  EnemyType& t = enemy_types[0];
  t.health = 1;
  t.score = 100;
  t.start_anim = 0;
  t.death_anim = 1;
  t.data = enemy_data.data();
  t.anims[0] = {0, 0, 0, 0, 0};
  t.anims[1] = {1, -1, 10, 1, ANIM_EXPLODE};
  t.anims[0].mask = enemy_mask;
  t.anims[1].mask = enemy_mask;

  const std::vector<ScriptInstruction> scripts = {
      // 1: the director asks for a spawn the full table refuses.
      instruction(OP_SPAWN, {1, 2, 10, 10, 0, 0, 0, 0}), instruction(OP_WAIT, {0}),
      instruction(OP_RESTART, {}), instruction(OP_END, {}),
      // 2: every enemy sets its course and fires into a full bullet table each tick.
      instruction(OP_SET_VELOCITY, {0, 1}), instruction(OP_FIRE, {1, -1, -1, 0, 200, 18, 40}),
      instruction(OP_WAIT, {0}), instruction(OP_RESTART, {}), instruction(OP_END, {})};
  for (size_t i = 0; i < scripts.size(); ++i) script_store[i] = scripts[i];
}

void empty_world() {
  for (Bullet& b : player_shots) b = Bullet{};
  for (Bullet& b : enemy_bullets) b = Bullet{};
  for (Enemy& e : enemies) e = Enemy{};
  for (EnemyAnimState& s : enemy_anim_states) s = EnemyAnimState{};
  free_all_particles();
  clear_messages();
  put_ship_at_start();
  scroll_row = 0;
  scroll_offset = 0.0f;
}

// 63 enemies in a grid of 40 x 40 cells, one shot inside each, trigger enemies
// every eighth slot; all enemy bullets on the ship; the particle table full.
void full_world() {
  empty_world();
  spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  for (int i = 1; i < MAX_ENEMIES; ++i) {
    const float x = float(i % 8 * 40);
    const float y = float(i / 8 * 40);
    spawn_enemy(1, 2, x, y, 0.0f, 0.0f, i % 8, i % 8 == 0 ? 1 : 0);
    player_shots[i] = Bullet{1, x + 18.0f, y + 20.0f, 0.0f, -3.0f, 0, 5, 0};
  }
  player_shots[0] = Bullet{1, 18.0f, 60.0f, 0.0f, -3.0f, 0, 5, 0};
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    enemy_bullets[j] = Bullet{1, 140.0f + j % 37, 300.0f + j % 13, 0.0f, 2.0f, 0, 5, 0};
  }
  for (int i = 0; i < MAX_PARTICLES - 1; ++i) {
    spawn_particle(float(i % 320), float(i % 400), 0.5f, -0.5f, 0xffffff, 8, i % 3, i % 5);
  }
}

void run_ticks(benchmark::State& state, const WorldState& start) {
  for (auto _ : state) {
    state.PauseTiming();
    start.restore();
    state.ResumeTiming();
    update_world();
    benchmark::DoNotOptimize(player.score);
  }
}

void BM_update_world_full(benchmark::State& state) {
  make_content();
  full_world();
  static WorldState start;
  start.save();
  if (enemies[MAX_ENEMIES - 1].type != 1) state.SkipWithError("the enemy table is not full");
  run_ticks(state, start);
}

void BM_update_world_empty(benchmark::State& state) {
  make_content();
  empty_world();
  static WorldState start;
  start.save();
  run_ticks(state, start);
}

}  // namespace

BENCHMARK(BM_update_world_full)->Name("update_world/full")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_update_world_empty)->Name("update_world/empty")->Unit(benchmark::kMicrosecond);
