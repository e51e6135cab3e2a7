// The bomb, pressed with X as a player does: its effect on the enemy bullets,
// the enemies, a boss and the ship, how many drop, and the plain rules' none.
#include <tuple>

#include "render/hud_local.h"
#include "world_fixture.h"

namespace {

class Bomb : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    reset_world_for_level_start();  // forgets a bomb button left held by another test
    rules = ARCADE_RULES;
    player.bombs = START_BOMBS;
  }
  // `up` ticks with X up, then one with it down.
  void press_x(int up = 1) {
    key[KEY_X] = 0;
    for (int t = 0; t < up; ++t) run_tick(read_tick_input());
    key[KEY_X] = 1;
    run_tick(read_tick_input());
  }
  static void bullet_at(int slot, float x, float y) { enemy_bullets[slot] = {1, x, y, 0, 0, 0, 5}; }
};

TEST_F(Bomb, TurnsBulletsIntoSparksAndLeavesTheShipUntouchableWhileItPlays) {
  for (int i = 0; i < 6; ++i) bullet_at(i, 10.0f + 20 * i, 100.0f);
  player.chain = 3;
  press_x(0);
  for (const Bullet& b : enemy_bullets) EXPECT_EQ(b.type, 0);
  EXPECT_GE(fixture::live_particles(), 6 + 600) << "a spark per bullet and the ship's beam";
  EXPECT_EQ(std::tie(player.bombs, level_tally.bombs, player.chain, world_events[EVENT_BOMB].count),
            std::make_tuple(START_BOMBS - 1, 1, 0, 1));
  EXPECT_GE(screen_feedback.flash_left, BOMB_FLASH_TICKS - 1);
  bool blinked = false;
  for (int t = 1; t < BOMB_TICKS; ++t) {  // a bullet on the ship every tick costs nothing
    bullet_at(0, player.x + 20.0f, player.y + 20.0f);
    run_tick(read_tick_input());
    blinked = blinked || !ship_shown();
  }
  EXPECT_TRUE(blinked);
  EXPECT_EQ(std::tie(player.energy, player.bomb_left, player.invulnerable),
            std::make_tuple(START_ENERGY, 0, 0));
  bullet_at(0, player.x + 20.0f, player.y + 20.0f);
  run_tick(read_tick_input());
  EXPECT_LT(player.energy, START_ENERGY) << "the bomb over, bullets hit again";
}

// An enemy at y with `health` left is killed (after < 0) or left with `after`:
// off the screen or unhittable it is spared, and a boss of 100 keeps a point.
TEST_F(Bomb, HitsEveryEnemyOnTheScreenAndABossOnlyByItsShare) {
  const struct {
    const char* what;
    bool boss;
    float health, y, after;
    int flags = 0;
  } cases[] = {
      {"ordinary", false, 5.0f, 100.0f, -1.0f},
      {"tough", false, 30.0f, 100.0f, 30.0f - BOMB_DAMAGE},
      {"half in view", false, 5.0f, -30.0f, -1.0f},
      {"above the screen", false, 5.0f, -60.0f, 5.0f},
      {"unhittable", false, 5.0f, 100.0f, 5.0f, ANIM_UNHITTABLE},
      {"boss", true, 100.0f, 40.0f, 100.0f - 100 * BOSS_BOMB_SHARE},
      {"boss nearly out", true, 5.0f, 40.0f, 1.0f},
      {"boss at its last point", true, 0.5f, 40.0f, 0.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    EnemyType& type = content_.define_enemy_type(1, c.boss ? 100 : static_cast<int>(c.health), 0, 1,
                                                 {{0, 30000, c.flags}, {-1, 5}});
    type.boss = c.boss;
    type.score = 300;
    const int slot = spawn_idle(1, 100.0f, c.y);
    enemies[slot].health = c.health;
    player.chain = 4;
    press_x(0);
    const bool killed = c.after < 0.0f;
    EXPECT_FLOAT_EQ(killed ? -1.0f : enemies[slot].health, c.after);
    EXPECT_EQ(std::tie(enemy_anim_states[slot].anim, player.score, level_tally.destroyed),
              std::make_tuple(killed ? 1 : 0, killed ? 300 : 0, killed ? 1 : 0))
        << "a bomb's kill scores at the multiplier 1";
    TearDown();
  }
}

TEST_F(Bomb, DropsOnlyOnAPressWithABombLeftNonePlayingAndRulesWithBombs) {
  press_x();
  for (int t = 0; t < BOMB_TICKS + 10; ++t) run_tick(read_tick_input());
  EXPECT_EQ(player.bombs, START_BOMBS - 1) << "held through the bomb and past it: one bomb";
  press_x();
  press_x(BOMB_TICKS / 2);
  EXPECT_EQ(player.bombs, START_BOMBS - 2) << "a press while one plays does nothing";
  press_x(BOMB_TICKS);
  press_x(BOMB_TICKS);
  EXPECT_EQ(std::tie(player.bombs, player.bomb_left, level_tally.bombs), std::make_tuple(0, 0, 3))
      << "none left: nothing";
  EXPECT_STREQ(format_bombs(rules, 3).data(), "BOMB x3");

  rules = PLAIN_RULES;  // X does nothing, and the HUD shows no count
  player.bombs = 3;
  bullet_at(0, 100.0f, 100.0f);
  press_x();
  EXPECT_EQ(std::tie(player.bombs, player.bomb_left, enemy_bullets[0].type),
            std::make_tuple(3, 0, 1));
  EXPECT_STREQ(format_bombs(rules, 3).data(), "");
}

}  // namespace
