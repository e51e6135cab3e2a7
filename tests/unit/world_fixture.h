// Test content for the world: headless Allegro, enemy types whose frames are
// memory bitmaps in a hand-built datafile, the two built-in shot types as
// start-up makes them, a solid 40 x 40 ship mask, and scripts assembled from
// source (or written record by record where the store's layout is the point).
#pragma once

#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "asm/assembler.h"
#include "mask/mask.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"  // read_tick_input: the keys the tests hold, as the game reads them
#include "world/world.h"

namespace fixture {

inline void start_allegro_headless() {
  static const bool started = [] {
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    return true;
  }();
  (void)started;
}

// One enemy animation step; each step gets its own w x h frame.
struct Step {
  int next = 0;
  int duration = 0;
  int flags = 0;
  int w = 40;
  int h = 40;
  bool masked = true;  // false: the step carries no collision mask
  int offset_x = 0;
  int offset_y = 0;
};

// Owns every bitmap, datafile and mask a test makes, and frees them after.
struct Content {
  std::vector<BITMAP*> bitmaps;
  std::vector<DATAFILE*> datafiles;
  std::vector<PixelMask*> masks;

  Content() = default;
  Content(const Content&) = delete;
  Content& operator=(const Content&) = delete;
  ~Content() {
    for (PixelMask* m : masks) destroy_mask(m);
    for (DATAFILE* d : datafiles) delete[] d;
    for (BITMAP* b : bitmaps) destroy_bitmap(b);
  }

  BITMAP* solid_bitmap(int w, int h) {
    BITMAP* b = create_bitmap(w, h);
    clear_to_color(b, makecol(255, 255, 255));
    bitmaps.push_back(b);
    return b;
  }

  // A datafile of the given bitmaps followed by the end marker.
  DATAFILE* datafile(const std::vector<BITMAP*>& frames) {
    DATAFILE* d = new DATAFILE[frames.size() + 1]();
    for (size_t i = 0; i < frames.size(); ++i) {
      d[i].dat = frames[i];
      d[i].type = DAT_BITMAP;
    }
    d[frames.size()].type = DAT_END;
    datafiles.push_back(d);
    return d;
  }

  PixelMask* mask_of(BITMAP* b) {
    PixelMask* m = create_mask_from_bitmap(b);
    masks.push_back(m);
    return m;
  }

  // Fills enemy_types entry type-1 (type 1..8).
  EnemyType& define_enemy_type(int type, int health, int start_anim, int death_anim,
                               const std::vector<Step>& steps) {
    EnemyType& t = enemy_types[type - 1];
    t = EnemyType{};
    t.health = health;
    t.start_anim = start_anim;
    t.death_anim = death_anim;
    std::vector<BITMAP*> frames;
    for (size_t i = 0; i < steps.size(); ++i) {
      const Step& s = steps[i];
      BITMAP* frame = solid_bitmap(s.w, s.h);
      frames.push_back(frame);
      Animation& a = t.anims[i];
      a.next = s.next;
      a.duration = s.duration;
      a.frame = static_cast<int>(i);
      a.flags = s.flags;
      a.offset_x = static_cast<std::int16_t>(s.offset_x);
      a.offset_y = static_cast<std::int16_t>(s.offset_y);
      a.frame_w = s.w;
      a.frame_h = s.h;
      a.mask = s.masked ? mask_of(frame) : nullptr;
    }
    t.data = datafile(frames);
    return t;
  }

  // Shot types 1 and 2 as start-up builds them: frame 4 of their archive is
  // the 3 x 3 shot; type 1 has masks on its three steps, type 2 none.
  void install_builtin_shot_types() {
    struct Row {
      int next, duration, flags;
    };
    const Row rows[2][3] = {{{2, 5, 0}, {-1, 1, 3}, {2, 1, 0}},
                            {{2, 5, 8}, {-1, 1, 8}, {-1, 1, 0}}};
    for (int k = 0; k < 2; ++k) {
      ShotType& st = shot_types[k];
      st = ShotType{};
      st.damage = k == 0 ? 0.5f : 100.0f;
      st.width = 3;
      st.height = k == 0 ? 3 : 400;
      st.start_anim = 0;
      st.hit_anim = 1;
      BITMAP* shot = solid_bitmap(3, 3);
      st.data = datafile(
          {solid_bitmap(1, 1), solid_bitmap(1, 1), solid_bitmap(1, 1), solid_bitmap(1, 1), shot});
      PixelMask* mask = k == 0 ? mask_of(shot) : nullptr;
      for (int j = 0; j < 3; ++j) {
        Animation& a = st.anims[j];
        a.id = j;
        a.next = rows[k][j].next;
        a.duration = rows[k][j].duration;
        a.frame = 4;
        a.flags = rows[k][j].flags;
        a.mask = mask;
      }
    }
  }
};

// Back to a fresh game: ship at (140, 300) with 10 energy, every table and
// message and recorded event empty, the outcome undecided, no input held, the scroll at the top, a
// fixed seed.
inline void reset_world() {
  PixelMask* ship_mask = player.mask;
  visit_world_tables(
      [](auto&... tables) { ((tables = std::remove_reference_t<decltype(tables)>{}), ...); });
  put_ship_at_start();
  player.mask = ship_mask;
  for (ScriptInstruction& i : script_store) i = ScriptInstruction{};
  clear_world_events();
  world_events_recording = 1;
  reset_game_outcome();
  rules = PLAIN_RULES;
  for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
  key_shifts = 0;
  num_joysticks = 0;
  std::memset(&joy[0], 0, sizeof(joy[0]));
  seed_world_random(1);
}

inline ScriptInstruction op(int opcode, std::initializer_list<int> operands = {}) {
  ScriptInstruction in;
  in.opcode = opcode;
  int i = 0;
  for (int v : operands) in.operands[i++] = static_cast<std::int16_t>(v);
  return in;
}

// Writes the scripts into the store back to back, each followed by OP_END.
inline void load_test_scripts(const std::vector<std::vector<ScriptInstruction>>& scripts) {
  int at = 0;
  for (const auto& s : scripts) {
    for (const ScriptInstruction& in : s) script_store[at++] = in;
    script_store[at++] = op(OP_END);
  }
}

// Assembles script source into the store; a test's own script must assemble.
inline void load_script_source(const std::string& text) {
  for (const std::string& error : load_source_into_store(text)) ADD_FAILURE() << error;
}

// Script 1 of every world test: an enemy that only ever waits.
inline constexpr const char* IDLE_SCRIPT = R"(
  script idle:
    wait 30000
    restart
)";

inline int visible_messages(const char* text) {
  int n = 0;
  for (const Message& m : messages) {
    if (m.time_left > 0 && std::string(m.text.data()) == text) ++n;
  }
  return n;
}

inline int live_particles() {
  int n = 0;
  for (const Particle& p : particles) n += p.x != FREE_PARTICLE ? 1 : 0;
  return n;
}

inline int live_enemies() {
  int n = 0;
  for (const Enemy& e : enemies) n += e.type > 0 ? 1 : 0;
  return n;
}

// Base for world tests: Allegro, the built-in shot types, a solid ship mask,
// a fresh world and an idle script 1.
class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_allegro_headless();
    content_.install_builtin_shot_types();
    player.mask = content_.mask_of(content_.solid_bitmap(SHIP_SIZE, SHIP_SIZE));
    reset_world();
    load_script_source(IDLE_SCRIPT);
  }
  void TearDown() override {
    player.mask = nullptr;
    for (EnemyType& t : enemy_types) t = EnemyType{};
    for (ShotType& t : shot_types) t = ShotType{};
  }

  // Spawns an idle enemy of `type` (script 1) and returns its slot.
  int spawn_idle(int type, float x, float y, int group = 0, int trigger = 0) {
    int slot = 0;
    while (slot < MAX_ENEMIES && enemies[slot].type != 0) ++slot;
    spawn_enemy(type, 1, x, y, 0.0f, 0.0f, group, trigger);
    EXPECT_LT(slot, MAX_ENEMIES);
    EXPECT_EQ(enemies[slot].type, type) << "the spawn was refused";
    return slot;
  }

  Content content_;
};

}  // namespace fixture
