// The difficulty in the world: skip_unless and the enemy bullets' speed, under
// both rule sets at each of the three difficulties.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "asm/assembler.h"
#include "world/world.h"

namespace {

DATAFILE loaded_archive[1]{};  // the interpreter only asks whether a type has one

class InterpreterDifficulty : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    enemies.fill(Enemy{});
    enemy_bullets.fill(Bullet{});
    script_store.fill(ScriptInstruction{});
    forget_reported_opcodes();
    for (int type : {1, 2, 3}) shot_types[type - 1].data = loaded_archive;
    enemy_types[0].data = loaded_archive;
  }
  void TearDown() override { rules = PLAIN_RULES; }

  // Assembles the one script, plays it by `base` at the test's difficulty in
  // slot 0 for one tick, and returns the enemy.
  Enemy& run_once(const std::string& source, const Rules& base) {
    const std::vector<std::string> errors = load_source_into_store(source, AsmOptions{});
    EXPECT_TRUE(errors.empty()) << errors.front();
    rules = rules_at_difficulty(base, GetParam());
    forget_reported_opcodes();
    enemy_bullets.fill(Bullet{});
    Enemy& e = enemies[0];
    e = Enemy{.type = 1, .health = 10.0f};
    int start = 0;
    EXPECT_TRUE(find_script(1, &start, &e.script_length));
    for (int i = 0; i < e.script_length; ++i) e.script[i] = script_store[start + i];
    run_script(0);
    return e;
  }
};

// Each skip_unless passes over one angle on the difficulties below its own;
// the plain rules report it once and run every angle.
TEST_P(InterpreterDifficulty, SkipUnlessJumpsWithinTheBurstUnderTheArcadeRulesOnly) {
  const std::string source =
      "script s:\n  angle 1\n  skip_unless 1 1\n  angle 2\n  skip_unless 2 1\n  angle 3\n"
      "  wait 5\n  remove\n";
  const int arcade_angle[DIFFICULTIES] = {1, 2, 3};
  testing::internal::CaptureStdout();
  const Enemy& plain = run_once(source, PLAIN_RULES);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown OpCode 14\n");
  EXPECT_EQ(plain.angle, 3);
  testing::internal::CaptureStdout();
  const Enemy& arcade = run_once(source, ARCADE_RULES);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(arcade.angle, arcade_angle[GetParam()]);
  EXPECT_EQ(arcade.wait, 5) << "skip_unless must not end the burst";
}

// Fired and aimed bullets alike: 0.8, 1 and 1.15 times their speed under the
// arcade rules, their own speed under the plain rules.
TEST_P(InterpreterDifficulty, EnemyBulletSpeedScalesUnderTheArcadeRulesOnly) {
  const float arcade_scale[DIFFICULTIES] = {0.8f, 1.0f, 1.15f};
  const std::string source =
      "script s:\n  fire 3 self self 100 200\n  aim 3 250\n  wait 5\n  remove\n";
  for (const Rules& base : {PLAIN_RULES, ARCADE_RULES}) {
    const float scale = base.chooses_difficulty ? arcade_scale[GetParam()] : 1.0f;
    run_once(source, base);
    EXPECT_FLOAT_EQ(enemy_bullets[0].vx, 1.0f * scale);
    EXPECT_FLOAT_EQ(enemy_bullets[0].vy, 2.0f * scale);
    EXPECT_NEAR(std::hypot(enemy_bullets[1].vx, enemy_bullets[1].vy), 2.5f * scale, 1e-5);
  }
}

INSTANTIATE_TEST_SUITE_P(EachDifficulty, InterpreterDifficulty,
                         testing::Values(DIFFICULTY_EASY, DIFFICULTY_NORMAL, DIFFICULTY_HARD));

}  // namespace
