// The tick's event list: which events a scene records and where, one entry
// per kind however many happen, and a tick that does the same to the tables
// whether it records or not.
#include <algorithm>
#include <functional>
#include <vector>

#include "world_fixture.h"

namespace {

constexpr const char* SCRIPTS = R"(
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

void enemy(int type, float x, float y, int script = 1) {
  spawn_enemy(type, script, x, y, 0.0f, 0.0f, 0, 0);
}
void bullet(int slot, int type, float x, float y) {
  enemy_bullets[slot] = Bullet{type, x, y, 0, 0, 0, 5, 0};
}

class WorldEvents : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    // Type 1 loops in step 0 and bursts through step 1; type 2 wins the level
    // when its first step ends.
    content_.define_enemy_type(1, 10, 0, 1, {{0, 10}, {2, 0, ANIM_EXPLODE}, {-1, 0}});
    content_.define_enemy_type(2, 10, 0, 1, {{1, 0, ANIM_VICTORY}, {1, 100}});
  }
  void fresh() {
    fixture::reset_world();
    fixture::load_script_source(SCRIPTS);
  }
};

TEST_F(WorldEvents, EachSceneRecordsItsKindsOnceWithTheMeanX) {
  struct Scene {
    const char* name;
    std::function<void()> set_up;
    int ticks;
    std::vector<std::array<float, 3>> expected;  // kind, count, mean x
  };
  const std::vector<Scene> scenes = {
      {"one tick of fire, a gunner's burst, a hit taken and a hit given",
       [] {
         key[KEY_SPACE] = 1;
         enemy(1, 100, 20, 2);  // fires three bullets, from x 110, 130 and 150
         enemy(1, 200, 100);
         player_shots[0] = Bullet{1, 210, 110, 0, 0, 0, 5, 0};
         bullet(0, 1, 150, 310);
       },
       1,
       {{EVENT_PLAYER_SHOT, 1, 158},
        {EVENT_ENEMY_FIRE, 3, 130},
        {EVENT_ENEMY_HIT, 1, 210},
        {EVENT_SHIP_HIT, 1, 160}}},
      {"a fatal shot heard when the burst ends, two blows (the first fatal), a victory",
       [] {
         enemy(1, 100, 100);
         enemies[0].health = 0.5f;
         player_shots[0] = Bullet{1, 110, 110, 0, 0, 0, 5, 0};
         bullet(0, 2, 150, 310);
         bullet(1, 1, 155, 310);
         enemy(2, 10, 10);
       },
       2,
       {{EVENT_ENEMY_DESTROYED, 1, 120},
        {EVENT_SHIP_HIT, 2, 160},
        {EVENT_GAME_LOST, 1, 160},
        {EVENT_LEVEL_WON, 1, 160}}},
      {"the beam, and a ram the ship survives",
       [] {
         player.energy = 20;
         enemy(1, 105, 300);  // clear of the beam's column
         fire_player_shot(2);
       },
       1,
       {{EVENT_PLAYER_BEAM, 1, 158}, {EVENT_SHIP_HIT, 1, 160}}},
  };
  for (const Scene& scene : scenes) {
    SCOPED_TRACE(scene.name);
    fresh();
    scene.set_up();
    for (int i = 0; i < scene.ticks; ++i) {
      update_player(read_tick_input());
      update_world();
    }
    std::array<int, WORLD_EVENT_KIND_COUNT> counts{};
    for (const auto& [kind, count, x] : scene.expected) {
      counts[static_cast<int>(kind)] = static_cast<int>(count);
      EXPECT_FLOAT_EQ(world_events[static_cast<int>(kind)].x, x);
    }
    for (int k = 0; k < WORLD_EVENT_KIND_COUNT; ++k)
      EXPECT_EQ(world_events[k].count, counts[k]) << k;
  }
}

// One tick with a hit the enemy lives through and the blow that takes the
// ship's last point, then the countdowns: the plain rules raise nothing, the
// arcade rules what each of their fields asks for.
TEST_F(WorldEvents, OnlyTheRulesThatAskForItAnswerABlowOnScreen) {
  for (const Rules& r : {PLAIN_RULES, ARCADE_RULES}) {
    SCOPED_TRACE(r.ship_explodes ? "arcade" : "plain");
    fresh();
    rules = r;
    player.energy = 1;
    enemy(1, 200, 100);
    player_shots[0] = Bullet{1, 210, 110, 0, 0, 0, 5, 0};
    bullet(0, 1, 150, 310);
    update_world();
    EXPECT_EQ(enemies[0].tint_left, r.enemy_tint_ticks);
    EXPECT_EQ(screen_feedback.shake_left, r.shake_ticks);
    EXPECT_EQ(screen_feedback.energy_flash_left, r.energy_flash_ticks);
    EXPECT_EQ(screen_feedback.energy_lost_from, r.energy_flash_ticks > 0 ? 1 : 0);
    EXPECT_EQ(world_events[EVENT_SHIP_EXPLODED].count, r.ship_explodes ? 1 : 0);
    EXPECT_EQ(world_events[EVENT_GAME_LOST].count, 1);
    EXPECT_EQ(particles[0].x != FREE_PARTICLE, r.ship_explodes) << "the burst's first particle";
    EXPECT_EQ(ship_shown(), !r.ship_explodes);
    // A burst ship is gone: the next bullet flies through where it was,
    // untouchable or not.
    player.invulnerable = 0;
    bullet(1, 1, 160, 310);
    update_world();
    EXPECT_EQ(enemy_bullets[1].hit, r.ship_explodes ? 0 : 1);
    for (int t = 1; t < SHAKE_TICKS; ++t) update_world();
    EXPECT_EQ(enemies[0].tint_left, 0);
    EXPECT_EQ(screen_feedback.shake_left, 0);
    EXPECT_EQ(screen_feedback.energy_flash_left, std::max(r.energy_flash_ticks - SHAKE_TICKS, 0));
  }
}

TEST_F(WorldEvents, RecordingNeverOutgrowsTheList) {
  constexpr int events = 10000 * WORLD_EVENT_KIND_COUNT;
  for (int i = 0; i < events; ++i)
    record_world_event(i % WORLD_EVENT_KIND_COUNT, static_cast<float>(i % 321));
  for (int kind : {-1, int{WORLD_EVENT_KIND_COUNT}, 1 << 30}) record_world_event(kind, 5.0f);
  for (const WorldEvent& e : world_events) {
    EXPECT_EQ(e.count, 10000);
    EXPECT_TRUE(e.x >= 0.0f && e.x <= 320.0f) << e.x;
  }
}

// Everything the tick changes, byte for byte.
template <typename... Tables>
std::vector<unsigned char> bytes_of(const Tables&... tables) {
  std::vector<unsigned char> out;
  (out.insert(out.end(), reinterpret_cast<const unsigned char*>(&tables),
              reinterpret_cast<const unsigned char*>(&tables) + sizeof(tables)),
   ...);
  return out;
}

TEST_F(WorldEvents, RecordingLeavesTheTickAsItWas) {
  // Gunners drifting onto a climbing, firing ship that takes an item, a beam,
  // a bomb and a level won.
  auto busy_scene = [this](int recording) {
    fresh();
    world_events_recording = recording;
    rules.ship_explodes = true;  // so the lost ship's burst is heard too
    drop_item(ITEM_POWER, static_cast<float>(player.x), static_cast<float>(player.y));
    rules.bombs = true;
    player.bombs = 1;
    key[KEY_SPACE] = 1;
    key[KEY_UP] = 1;
    for (int i = 0; i < 6; ++i) {
      spawn_enemy(1, 2, 40.0f * i, 20.0f, 0.0f, 0.2f, 0, 0);
      enemies[i].health = 1.5f;
    }
    enemy(2, 10, 10);
    std::array<int, WORLD_EVENT_KIND_COUNT> heard{};
    for (int tick = 0; tick < 400; ++tick) {
      if (tick == 100) fire_player_shot(2);
      // A bomb clears the first gunners; a second wave ends the ship after it.
      key[KEY_X] = tick == 20;  // released at once, for the second scene's press
      if (tick == 170)
        for (int i = 0; i < 6; ++i) spawn_enemy(1, 2, 40.0f * i, 20.0f, 0.0f, 0.2f, 0, 0);
      update_player(read_tick_input());
      update_world();
      for (int k = 0; k < WORLD_EVENT_KIND_COUNT; ++k) heard[k] += world_events[k].count;
      clear_world_events();
    }
    return std::make_pair(bytes_of(player, player_shots, enemy_bullets, enemies, enemy_anim_states,
                                   particles, messages, scroll_row, scroll_offset, items),
                          heard);
  };
  const auto [with, heard] = busy_scene(1);
  const auto [without, heard_without] = busy_scene(0);
  for (int k = 0; k < WORLD_EVENT_KIND_COUNT; ++k) {
    EXPECT_GT(heard[k], 0) << "kind " << k << " never happened";
    EXPECT_EQ(heard_without[k], 0);
  }
  EXPECT_TRUE(with == without) << "recording changed what the tick did";
}

}  // namespace
