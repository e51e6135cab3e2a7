// The tick's event list: which events a scene records and where, one entry
// per kind however many happen, and a tick that does the same to the tables
// whether it records or not.
#include <cstring>
#include <functional>
#include <vector>

#include "world_fixture.h"

namespace {

using fixture::Step;

constexpr const char* GUNNER_SCRIPT = R"(
  script idle:
    wait 30000
    restart
  script gunner:
    fire shot=1 x=self y=self vx=0 vy=300 dx=10 dy=40
    fire shot=1 x=self y=self vx=0 vy=300 dx=30 dy=40
    fire shot=1 x=self y=self vx=0 vy=300 dx=50 dy=40
    wait 10
    restart
)";

void idle_enemy(int type, float x, float y) {
  spawn_enemy(type, 1, x, y, 0.0f, 0.0f, 0, 0);
}

struct Expected {
  int kind;
  int count;
  float x;
};

class WorldEvents : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    fixture::load_script_source(GUNNER_SCRIPT);
    // Type 1 loops in step 0 and bursts through step 1; type 2 wins the
    // level when its first step ends, then idles.
    content_.define_enemy_type(1, 10, 0, 1, {{0, 10}, {2, 0, ANIM_EXPLODE}, {-1, 0}});
    content_.define_enemy_type(2, 10, 0, 1, {{1, 0, ANIM_VICTORY}, {1, 100}});
  }

  void expect_events(const std::vector<Expected>& expected) {
    for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
      int count = 0;
      for (const Expected& e : expected) {
        if (e.kind != kind) continue;
        count = e.count;
        EXPECT_FLOAT_EQ(world_events[kind].x, e.x) << "kind " << kind;
      }
      EXPECT_EQ(world_events[kind].count, count) << "kind " << kind;
    }
  }
};

TEST_F(WorldEvents, EachSceneRecordsItsKindsOnceWithTheMeanX) {
  struct Scene {
    const char* name;
    std::function<void()> set_up;
    int ticks;
    std::vector<Expected> expected;
  };
  const std::vector<Scene> scenes = {
      {"fire held", [] { key[KEY_SPACE] = 1; }, 1, {{EVENT_PLAYER_SHOT, 1, 158.0f}}},
      {"the beam", [] { fire_player_shot(2); }, 0, {{EVENT_PLAYER_BEAM, 1, 158.0f}}},
      {"three bullets in one burst",
       [] { spawn_enemy(1, 2, 100.0f, 20.0f, 0.0f, 0.0f, 0, 0); },
       1,
       {{EVENT_ENEMY_FIRE, 3, 130.0f}}},
      {"a shot the enemy survives",
       [] {
         idle_enemy(1, 100.0f, 100.0f);
         player_shots[0] = Bullet{1, 110.0f, 110.0f, 0.0f, 0.0f, 0, 5, 0};
       },
       1,
       {{EVENT_ENEMY_HIT, 1, 110.0f}}},
      {"a shot that destroys, heard when the burst ends",
       [] {
         idle_enemy(1, 100.0f, 100.0f);
         enemies[0].health = 0.5f;
         player_shots[0] = Bullet{1, 110.0f, 110.0f, 0.0f, 0.0f, 0, 5, 0};
       },
       2,
       {{EVENT_ENEMY_DESTROYED, 1, 120.0f}}},
      {"a bullet on the ship",
       [] { enemy_bullets[0] = Bullet{1, 150.0f, 310.0f, 0.0f, 0.0f, 0, 5, 0}; },
       1,
       {{EVENT_SHIP_HIT, 1, 160.0f}}},
      {"two blows, the first one fatal",
       [] {
         enemy_bullets[0] = Bullet{2, 150.0f, 310.0f, 0.0f, 0.0f, 0, 5, 0};
         enemy_bullets[1] = Bullet{1, 155.0f, 310.0f, 0.0f, 0.0f, 0, 5, 0};
       },
       1,
       {{EVENT_SHIP_HIT, 2, 160.0f}, {EVENT_GAME_LOST, 1, 160.0f}}},
      {"rammed, and the ship survives",
       [] {
         player.energy = 20;
         idle_enemy(1, 150.0f, 300.0f);
       },
       1,
       {{EVENT_SHIP_HIT, 1, 160.0f}}},
      {"the victory step", [] { idle_enemy(2, 10.0f, 10.0f); }, 1, {{EVENT_LEVEL_WON, 1, 160.0f}}},
  };
  for (const Scene& scene : scenes) {
    SCOPED_TRACE(scene.name);
    fixture::reset_world();
    fixture::load_script_source(GUNNER_SCRIPT);
    scene.set_up();
    for (int i = 0; i < scene.ticks; ++i) {
      update_player();
      update_world();
    }
    expect_events(scene.expected);
  }
}

TEST_F(WorldEvents, RecordingNeverOutgrowsTheList) {
  for (int i = 0; i < 100000; ++i) {
    record_world_event(i % WORLD_EVENT_KIND_COUNT, static_cast<float>(i % 321));
  }
  record_world_event(-1, 5.0f);
  record_world_event(WORLD_EVENT_KIND_COUNT, 5.0f);
  record_world_event(1 << 30, 5.0f);
  for (const WorldEvent& e : world_events) {
    EXPECT_EQ(e.count, 100000 / WORLD_EVENT_KIND_COUNT);
    EXPECT_GE(e.x, 0.0f);
    EXPECT_LE(e.x, 320.0f);
  }
  clear_world_events();
  record_world_event(WORLD_EVENT_KIND_COUNT, 5.0f);
  expect_events({});
}

// Everything the tick changes, byte for byte.
std::vector<unsigned char> world_bytes() {
  std::vector<unsigned char> out;
  auto add = [&out](const auto& table) {
    const auto* p = reinterpret_cast<const unsigned char*>(&table);
    out.insert(out.end(), p, p + sizeof(table));
  };
  add(player);
  add(player_shots);
  add(enemy_bullets);
  add(enemies);
  add(enemy_anim_states);
  add(particles);
  add(messages);
  add(scroll_row);
  add(scroll_offset);
  return out;
}

TEST_F(WorldEvents, RecordingLeavesTheTickAsItWas) {
  // Gunners drifting down onto a climbing, firing ship, a beam and a level won.
  auto busy_scene = [](int recording) {
    fixture::reset_world();
    fixture::load_script_source(GUNNER_SCRIPT);
    world_events_recording = recording;
    key[KEY_SPACE] = 1;
    key[KEY_UP] = 1;
    for (int i = 0; i < 6; ++i) {
      spawn_enemy(1, 2, 40.0f * i, 20.0f, 0.0f, 0.2f, 0, 0);
      enemies[i].health = 1.5f;  // three shots
    }
    idle_enemy(2, 10.0f, 10.0f);
    std::array<int, WORLD_EVENT_KIND_COUNT> heard{};
    for (int tick = 0; tick < 400; ++tick) {
      if (tick == 100) fire_player_shot(2);
      update_player();
      update_world();
      for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind)
        heard[kind] += world_events[kind].count;
      clear_world_events();
    }
    return std::make_pair(world_bytes(), heard);
  };
  const auto [with, heard] = busy_scene(1);
  const auto [without, heard_without] = busy_scene(0);
  for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
    EXPECT_GT(heard[kind], 0) << "kind " << kind << " never happened";
    EXPECT_EQ(heard_without[kind], 0);
  }
  EXPECT_TRUE(with == without) << "recording changed what the tick did";
}

}  // namespace
