// The difficulty in the world: skip_unless and the enemy bullets' speed under
// both rule sets at each difficulty, on one burst of one script.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cmath>

#include "asm/assembler.h"
#include "world/world.h"

static DATAFILE loaded_archive[1]{};  // the interpreter only asks whether a type has one

class InterpreterDifficulty : public testing::TestWithParam<int> {};

TEST_P(InterpreterDifficulty, OnlyTheArcadeRulesSkipAndScaleTheBulletsSpeed) {
  ASSERT_TRUE(load_source_into_store("script s:\n  fire 3 self self 100 200\n  aim 3 250\n"
                                     "  angle 1\n  skip_unless 1 1\n  angle 2\n  skip_unless 2 1\n"
                                     "  angle 3\n  wait 5\n  remove\n")
                  .empty());
  for (int type : {1, 2, 3}) shot_types[type - 1].data = loaded_archive;
  const int d = GetParam();
  const int arcade_angle[DIFFICULTIES] = {1, 2, 3};  // each skip passes over one angle
  const float arcade_scale[DIFFICULTIES] = {0.8f, 1.0f, 1.15f};
  for (const Rules& base : {PLAIN_RULES, ARCADE_RULES}) {
    rules = rules_at_difficulty(base, d);
    forget_reported_opcodes();
    enemy_bullets.fill(Bullet{});
    Enemy& e = enemies[0] = Enemy{.type = 1, .health = 10.0f};
    int start = 0;
    ASSERT_TRUE(find_script(1, &start, &e.script_length));
    for (int i = 0; i < e.script_length; ++i) e.script[i] = script_store[start + i];
    testing::internal::CaptureStdout();
    run_script(0);
    const bool arcade = base.chooses_difficulty;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), arcade ? "" : "Unknown OpCode 14\n");
    EXPECT_EQ(e.angle, arcade ? arcade_angle[d] : 3);
    EXPECT_EQ(e.wait, 5) << "skip_unless must not end the burst";
    const float scale = arcade ? arcade_scale[d] : 1.0f;
    EXPECT_FLOAT_EQ(enemy_bullets[0].vx, 1.0f * scale);  // fired
    EXPECT_FLOAT_EQ(enemy_bullets[0].vy, 2.0f * scale);
    EXPECT_NEAR(std::hypot(enemy_bullets[1].vx, enemy_bullets[1].vy), 2.5 * scale, 1e-5);  // aimed
  }
  rules = PLAIN_RULES;
}

INSTANTIATE_TEST_SUITE_P(EachDifficulty, InterpreterDifficulty,
                         testing::Values(DIFFICULTY_EASY, DIFFICULTY_NORMAL, DIFFICULTY_HARD));
