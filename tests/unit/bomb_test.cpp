// The bomb, pressed with X as a player does: what it does to the enemy
// bullets, the enemies, a boss and the ship, how many can be dropped, and
// that the plain rules never drop one.
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
  // One tick with X up, then one with it down.
  void press_x() {
    key[KEY_X] = 0;
    run_tick();
    key[KEY_X] = 1;
    run_tick();
    key[KEY_X] = 0;
  }
  void fill_enemy_bullets(int n) {
    for (int i = 0; i < n; ++i) enemy_bullets[i] = Bullet{1, 10.0f + 20 * i, 100.0f, 0, 1, 0, 5, 0};
  }
  int live_bullets() const {
    int n = 0;
    for (const Bullet& b : enemy_bullets) n += b.type != 0 ? 1 : 0;
    return n;
  }
};

TEST_F(Bomb, TurnsEveryBulletIntoASparkAndMakesTheShipUntouchable) {
  fill_enemy_bullets(6);
  player.chain = 3;
  player.chain_left = 50;
  key[KEY_X] = 1;
  run_tick();
  EXPECT_EQ(live_bullets(), 0);
  EXPECT_GE(fixture::live_particles(), 6 + 600) << "a spark per bullet and the ship's beam";
  EXPECT_EQ(std::tie(player.bombs, level_tally.bombs, player.chain, player.chain_left),
            std::make_tuple(START_BOMBS - 1, 1, 0, 0));
  EXPECT_EQ(world_events[EVENT_BOMB].count, 1);
  EXPECT_GE(screen_feedback.flash_left, BOMB_FLASH_TICKS - 1);

  // Untouchable, blinking, for the whole bomb: a bullet on the ship costs nothing.
  key[KEY_X] = 0;
  bool blinked = false;
  for (int t = 1; t < BOMB_TICKS; ++t) {
    ASSERT_GT(player.bomb_left, 0) << "tick " << t;
    enemy_bullets[0] = Bullet{1, player.x + 20.0f, player.y + 20.0f, 0, 0, 0, 5, 0};
    run_tick();
    blinked = blinked || !ship_shown();
  }
  EXPECT_EQ(player.energy, START_ENERGY);
  EXPECT_TRUE(blinked);
  EXPECT_EQ(std::tie(player.bomb_left, player.invulnerable), std::make_tuple(0, 0));
  enemy_bullets[0] = Bullet{1, player.x + 20.0f, player.y + 20.0f, 0, 0, 0, 5, 0};
  run_tick();
  EXPECT_LT(player.energy, START_ENERGY) << "the bomb over, bullets hit again";
}

// Each enemy at (x, y) with its health; the bomb leaves it with `after`, or
// kills it (after <= 0), unless it is off the screen or cannot be hit.
TEST_F(Bomb, HitsEveryEnemyOnTheScreenAndABossOnlyByItsShare) {
  struct Case {
    const char* what;
    bool boss;
    int full;
    float health, x, y;
    int flags;
    float after;
  };
  const Case cases[] = {
      {"ordinary, killed", false, 5, 5.0f, 100.0f, 100.0f, 0, 0.0f},
      {"ordinary, tough", false, 30, 30.0f, 100.0f, 100.0f, 0, 30.0f - BOMB_DAMAGE},
      {"half in view at the top", false, 5, 5.0f, 100.0f, -30.0f, 0, 0.0f},
      {"above the screen", false, 5, 5.0f, 100.0f, -60.0f, 0, 5.0f},
      {"unhittable", false, 5, 5.0f, 100.0f, 100.0f, ANIM_UNHITTABLE, 5.0f},
      {"boss, full", true, 100, 100.0f, 100.0f, 40.0f, 0, 100.0f - 100 * BOSS_BOMB_SHARE},
      {"boss, nearly out", true, 100, 5.0f, 100.0f, 40.0f, 0, 1.0f},
      {"boss, at its last point", true, 100, 0.5f, 100.0f, 40.0f, 0, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    EnemyType& type =
        content_.define_enemy_type(1, c.full, 0, 1, {{0, 30000, c.flags}, {-1, 5, ANIM_EXPLODE}});
    type.boss = c.boss;
    type.score = 300;
    const int slot = spawn_idle(1, c.x, c.y);
    enemies[slot].health = c.health;
    player.chain = 4;
    const int score_before = player.score;
    key[KEY_X] = 1;
    run_tick();
    key[KEY_X] = 0;
    const bool killed = c.after <= 0.0f;
    if (killed) {
      EXPECT_LE(enemies[slot].health, 0.0f);
    } else {
      EXPECT_FLOAT_EQ(enemies[slot].health, c.after);
    }
    EXPECT_EQ(enemy_anim_states[slot].anim, killed ? 1 : 0);
    EXPECT_EQ(player.score - score_before, killed ? 300 : 0)
        << "a bomb's kill scores at the multiplier 1";
    EXPECT_EQ(std::tie(level_tally.destroyed, player.chain), std::make_tuple(killed ? 1 : 0, 0));
    TearDown();
  }
}

// X drops a bomb only when it goes down, the ship has one, none plays and the
// rules give bombs.
TEST_F(Bomb, DropsOnlyWhenTheRulesTheCountAndTheButtonAllow) {
  player.bombs = 2;
  key[KEY_X] = 1;
  for (int t = 0; t < BOMB_TICKS + 10; ++t) run_tick();
  EXPECT_EQ(player.bombs, 1) << "held through the bomb and past it: one bomb";
  press_x();
  EXPECT_EQ(player.bombs, 0);
  while (player.bomb_left > 0) run_tick();
  press_x();
  EXPECT_EQ(std::tie(player.bombs, player.bomb_left, level_tally.bombs), std::make_tuple(0, 0, 2))
      << "none left: nothing";

  for (int i = 0; i < 50; ++i) run_tick();
  rules = PLAIN_RULES;
  clear_world_events();
  player.bombs = 3;
  fill_enemy_bullets(4);
  press_x();
  EXPECT_EQ(std::tie(player.bombs, player.bomb_left, player.invulnerable),
            std::make_tuple(3, 0, 0));
  EXPECT_EQ(live_bullets(), 4);
  EXPECT_EQ(world_events[EVENT_BOMB].count, 0);
}

TEST(BombCount, TheHudShowsItOnlyUnderRulesWithBombs) {
  EXPECT_STREQ(format_bombs(ARCADE_RULES, 3).data(), "BOMB x3");
  EXPECT_STREQ(format_bombs(ARCADE_RULES, 0).data(), "BOMB x0");
  EXPECT_STREQ(format_bombs(PLAIN_RULES, 3).data(), "");
}

}  // namespace
