// The interpreter and its driving rule, on enemy slots set up by hand: each
// test tick moves the enemy by its velocity and then drives its script, the
// order the world update keeps. It is long because every case runs on the
// one fixture below, which resets the tables and assembles its scripts.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <tuple>

#include "asm/assembler.h"
#include "script/script.h"
#include "world/world.h"

namespace {

// The interpreter only asks whether a type has an archive; nothing reads it.
DATAFILE loaded_archive[1]{};

class Interpreter : public testing::Test {
 protected:
  void SetUp() override {
    enemies.fill(Enemy{});
    enemy_anim_states.fill(EnemyAnimState{});
    enemy_bullets.fill(Bullet{});
    shot_types.fill(ShotType{});
    enemy_types.fill(EnemyType{});
    script_store.fill(ScriptInstruction{});
    forget_reported_opcodes();
    for (int type : {1, 2, 3}) shot_types[type - 1].data = loaded_archive;
    for (int type : {1, 2, 3}) {
      enemy_types[type - 1].health = 10;
      enemy_types[type - 1].data = loaded_archive;
    }
  }

  // Assembles the source into the store; the checker can be left out for
  // scripts the game must survive but an author could not write.
  void load(std::string_view source, bool check = true) {
    AsmOptions options;
    options.check = check;
    const std::vector<std::string> errors = load_source_into_store(source, options);
    ASSERT_TRUE(errors.empty()) << errors.front();
  }

  // Puts an enemy of type 1 running script `number` into `slot`, as the
  // spawner would.
  Enemy& place(int number, int slot = 0, float x = 0.0f, float y = 0.0f) {
    Enemy& e = enemies[slot];
    e = Enemy{};
    e.type = 1;
    e.health = 10.0f;
    e.x = x;
    e.y = y;
    int start = 0;
    int length = 0;
    EXPECT_TRUE(find_script(number, &start, &length));
    for (int i = 0; i < length; ++i) e.script[i] = script_store[start + i];
    e.script_length = length;
    return e;
  }

  static void tick(int slot = 0) {
    Enemy& e = enemies[slot];
    if (e.type <= 0) return;
    e.x += e.vx;
    e.y += e.vy;
    run_script(slot);
  }

  static int live_bullets() {
    int n = 0;
    for (const Bullet& b : enemy_bullets) n += b.type > 0;
    return n;
  }
};

}  // namespace

TEST_F(Interpreter, WaitSkipsWholeTicks) {
  load(R"(
    script mover:
      velocity 0 150
      wait 100
      velocity 0 0
      wait 0
      remove
  )");
  Enemy& e = place(1);
  tick();  // tick T: the first burst
  EXPECT_EQ(e.vy, 1.5f);
  EXPECT_EQ(e.wait, 100);
  EXPECT_EQ(e.y, 0.0f);  // the velocity moves the enemy from the next tick on
  for (int t = 1; t <= 101; ++t) {
    tick();
    ASSERT_EQ(e.y, 1.5f * t) << "tick T+" << t;
  }
  EXPECT_EQ(e.y, 151.5f);
  EXPECT_EQ(e.vy, 0.0f);  // set by the burst of T+101
  EXPECT_EQ(e.type, 1);
  tick();  // T+102: removed
  EXPECT_EQ(e.type, 0);
  EXPECT_EQ(e.y, 151.5f);
}

TEST_F(Interpreter, WaitZeroGoesOnNextTickAndNegativeWaitsNeverEnd) {
  load(R"(
    script stepper:
      angle 1
      wait 0
      angle 2
      wait -1
      angle 3
      remove
  )");
  Enemy& e = place(1);
  tick();
  EXPECT_EQ(e.angle, 1);
  tick();
  EXPECT_EQ(e.angle, 2);
  EXPECT_EQ(e.wait, -1);
  for (int t = 0; t < 50; ++t) tick();
  EXPECT_EQ(e.angle, 2);
  EXPECT_EQ(e.wait, -51);
  EXPECT_EQ(e.type, 1);
}

TEST_F(Interpreter, DyingEnemyRunsNothingAndCountsItsWaitDown) {
  load(R"(
    script never:
      angle 9
      remove
  )");
  Enemy& e = place(1);
  e.health = 0.0f;
  tick();
  tick();
  EXPECT_EQ(e.angle, 0);
  EXPECT_EQ(e.pc, 0);
  EXPECT_EQ(e.wait, -2);
  EXPECT_EQ(e.type, 1);
}

TEST_F(Interpreter, VelocityAndAngleOperands) {
  load(R"(
    script turner:
      velocity -250 33
      angle -64
      wait 1
      remove
  )");
  Enemy& e = place(1);
  tick();
  EXPECT_EQ(e.vx, -2.5f);
  EXPECT_EQ(e.vy, static_cast<float>(33 / 100.0));
  EXPECT_EQ(e.angle, -64);
}

TEST_F(Interpreter, SpawnCreatesTheEnemyItNames) {
  load(R"(
    script timeline:
      spawn 3 diver 100 -20 0 50 7 0
      wait 10
      remove
    script diver:
      wait 5
      angle 4
      remove
  )");
  place(1);
  tick();
  const Enemy& d = enemies[1];
  // script_number is 0-based: script 2.
  EXPECT_EQ(std::tie(d.type, d.script_number, d.x, d.y, d.vx, d.vy, d.group, d.group_trigger),
            std::make_tuple(3, 1, 100.0f, -20.0f, 0.0f, 0.5f, 7, 0));
  ASSERT_EQ(d.script_length, 3);
  EXPECT_EQ(d.script[0].opcode, OP_WAIT);
  EXPECT_EQ(d.script[0].operands[0], 5);
}

TEST_F(Interpreter, FireFromTheEnemyOrFromAbsolutePositions) {
  load(R"(
    script gunner:
      fire shot=1 x=self y=self vx=0 vy=300 dx=10 dy=40
      fire shot=2 x=0 y=self vx=-150 vy=0 dx=10 dy=40
      wait 1
      remove
  )");
  place(1, 0, 50.0f, 60.0f);
  tick();
  ASSERT_EQ(live_bullets(), 2);
  const Bullet& a = enemy_bullets[0];
  EXPECT_EQ(std::tie(a.type, a.x, a.y, a.vx, a.vy), std::make_tuple(1, 60.0f, 100.0f, 0.0f, 3.0f));
  // x 0 is the playfield's left edge, not the enemy.
  const Bullet& b = enemy_bullets[1];
  EXPECT_EQ(std::tie(b.type, b.x, b.y, b.vx), std::make_tuple(2, 0.0f, 100.0f, -1.5f));
}

// Aimed fire: the centre of the bullet's 3 x 3 box (here always (50, 100):
// the enemy's position plus the offsets plus 1.5) heads for the centre of the
// ship's box at the given speed. The ships sit 30 and 40 pixels off, 50 away,
// so at 2.5 pixels per tick each axis gets 1.5 and 2.0 exactly.
TEST_F(Interpreter, AimedFireHeadsForTheShipsCentreAtItsSpeed) {
  load(R"(
    script aimer:
      aim shot=3 speed=250 dx=8 dy=-2
      wait 9
      remove
  )");
  const struct {
    const char* where;
    int ship_x, ship_y;  // the ship's box corner; its centre is 20 further
    float vx, vy;
  } cases[] = {
      {"below right", 60, 120, 1.5f, 2.0f},        {"below left", 0, 120, -1.5f, 2.0f},
      {"above right", 60, 40, 1.5f, -2.0f},        {"above left", 0, 40, -1.5f, -2.0f},
      {"directly below", 30, 130, 0.0f, 2.5f},     {"directly above", 30, 30, 0.0f, -2.5f},
      {"level to the left", -20, 80, -2.5f, 0.0f}, {"exactly at the start", 30, 80, 0.0f, 2.5f},
  };
  for (const auto& c : cases) {
    enemy_bullets.fill(Bullet{});
    player.x = c.ship_x;
    player.y = c.ship_y;
    place(1, 0, 40.5f, 100.5f);
    tick();
    ASSERT_EQ(live_bullets(), 1) << c.where;
    const Bullet& b = enemy_bullets[0];
    EXPECT_EQ(b.type, 3) << c.where;
    EXPECT_EQ(b.x, 48.5f) << c.where;
    EXPECT_EQ(b.y, 98.5f) << c.where;
    EXPECT_EQ(b.vx, c.vx) << c.where;
    EXPECT_EQ(b.vy, c.vy) << c.where;
  }
}

// The ship at the far corner of the playfield: not a whole-number triangle,
// but the bullet's speed is still the one asked for and it points at the ship.
TEST_F(Interpreter, AimedFireKeepsItsSpeedInAnyDirection) {
  load(R"(
    script aimer:
      aim 3 173
      wait 9
      remove
  )");
  player.x = 280;
  player.y = 360;
  place(1, 0, 12.0f, 7.0f);
  tick();
  ASSERT_EQ(live_bullets(), 1);
  const Bullet& b = enemy_bullets[0];
  EXPECT_NEAR(std::hypot(b.vx, b.vy), 1.73, 1e-5);
  const double to_x = 300.0 - 13.5;
  const double to_y = 380.0 - 8.5;
  EXPECT_NEAR(b.vx * to_y - b.vy * to_x, 0.0, 1e-3) << "not on the line to the ship";
  EXPECT_GT(b.vx, 0.0f);
}

// It does not yield, ignores operands 4 to 7, and with every bullet slot in
// use it fires nothing while the burst goes on.
TEST_F(Interpreter, AimedFireGoesOnInTheSameBurstAndRespectsAFullTable) {
  load(R"(
    script aimer:
      op 12 3 100 0 0 7 -7 300 300
      angle 5
      aim 3 100
      wait 9
      remove
  )",
       false);
  player.x = 0;
  player.y = 300;
  Enemy& e = place(1, 0, 38.5f, 318.5f);  // the bullet's centre level with the ship's, 20 right
  for (int j = 1; j < MAX_ENEMY_BULLETS; ++j) enemy_bullets[j].type = 1;
  tick();
  EXPECT_EQ(e.angle, 5);
  EXPECT_EQ(e.wait, 9);
  EXPECT_EQ(live_bullets(), MAX_ENEMY_BULLETS);
  EXPECT_EQ(enemy_bullets[0].vx, -1.0f) << "operands 4 to 7 changed the aim";
  EXPECT_EQ(enemy_bullets[0].vy, 0.0f);
}

// A shot or enemy type with nothing loaded behind it is refused, and the
// script goes on with its next instruction in the same burst.
TEST_F(Interpreter, RefusesTypesThatAreNotLoaded) {
  load(R"(
    script bad:
      op 5 4 10 10
      op 5 0 10 10
      op 5 65 10 10
      op 5 -1 10 10
      op 12 4 100
      op 12 0 100
      op 6 4 2 10 10
      op 6 9 2 10 10
      op 6 0 2 10 10
      op 6 -3 2 10 10
      angle 1
      wait 5
      remove
    script other:
      wait 1
      remove
  )",
       false);
  Enemy& e = place(1);
  tick();
  EXPECT_EQ(live_bullets(), 0);
  for (int slot = 1; slot < MAX_ENEMIES; ++slot) EXPECT_EQ(enemies[slot].type, 0) << slot;
  EXPECT_EQ(e.angle, 1);
  EXPECT_EQ(e.wait, 5);
}

TEST_F(Interpreter, LevelDirectorsMaySpawnLevelDirectors) {
  load(R"(
    script timeline:
      spawn director 2 0 0
      wait 1
      remove
    script second:
      wait 1
      remove
  )");
  place(1);
  tick();
  EXPECT_EQ(enemies[1].type, LEVEL_DIRECTOR);
  EXPECT_EQ(enemies[1].script_length, 2);
}

// Each unknown opcode is reported once per level, however often it runs.
TEST_F(Interpreter, UnknownOpcodeIsReportedOnceAndTheBurstGoesOn) {
  load(R"(
    script odd:
      op 3
      angle 5
      op 0
      op 255 1 2
      wait 2
      remove
  )",
       false);
  Enemy& e = place(1);
  testing::internal::CaptureStdout();
  tick();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Unknown OpCode 3\nUnknown OpCode 0\nUnknown OpCode 255\n");
  EXPECT_EQ(e.angle, 5);
  EXPECT_EQ(e.wait, 2);
  EXPECT_EQ(e.pc, 5);

  e.pc = 0;
  e.wait = 0;
  testing::internal::CaptureStdout();
  tick();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(e.angle, 5);
  EXPECT_EQ(e.pc, 5);

  reset_world_for_level_start();  // a new level reports afresh
  Enemy& again = place(1);
  testing::internal::CaptureStdout();
  tick();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unknown OpCode 3\nUnknown OpCode 0\nUnknown OpCode 255\n");
  EXPECT_EQ(again.pc, 5);
}

// The plain rules skip wait_health as an unknown opcode; the arcade rules
// hold the script on it, a tick at a time, until the enemy's own health is
// at or below its operand, and then go on in the same burst.
TEST_F(Interpreter, WaitHealthHoldsUntilTheHealthFallsUnderTheArcadeRulesOnly) {
  load(R"(
    script phases:
      angle 1
      wait_health 6
      angle 2
      wait 100
      remove
  )");
  rules = PLAIN_RULES;
  Enemy& e = place(1);
  testing::internal::CaptureStdout();
  tick();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown OpCode 13\n");
  EXPECT_EQ(e.angle, 2);

  rules = ARCADE_RULES;
  place(1);
  for (int t = 0; t < 3; ++t) tick();
  EXPECT_EQ(std::tie(e.angle, e.pc, e.wait), std::make_tuple(1, 1, 0));
  e.health = 6.5f;
  tick();
  EXPECT_EQ(e.pc, 1);
  e.health = 6.0f;
  tick();
  EXPECT_EQ(std::tie(e.angle, e.wait), std::make_tuple(2, 100));
  rules = PLAIN_RULES;
}

TEST_F(Interpreter, RestartRunsTheFirstInstructionInTheSameBurst) {
  load(R"(
    script looper:
      angle 7
      wait 1
      angle 9
      restart
  )");
  Enemy& e = place(1);
  tick();
  EXPECT_EQ(e.angle, 7);
  tick();  // waiting
  tick();  // angle 9, restart, angle 7, wait 1
  EXPECT_EQ(e.angle, 7);
  EXPECT_EQ(e.pc, 2);
  EXPECT_EQ(e.wait, 1);
}

TEST_F(Interpreter, EveryOpcodeButRestartAdvancesThePc) {
  load(R"(
    script each:
      velocity 1 1
      op 3
      remove
      restart
  )",
       false);
  Enemy& e = place(1);
  testing::internal::CaptureStdout();
  execute_script_instruction(0);
  EXPECT_EQ(e.pc, 1);
  execute_script_instruction(0);
  EXPECT_EQ(e.pc, 2);
  execute_script_instruction(0);
  EXPECT_EQ(e.pc, 3);
  EXPECT_EQ(e.type, 0);  // removed, yet the pc moved on
  e.type = 1;
  execute_script_instruction(0);
  EXPECT_EQ(e.pc, 0);
  testing::internal::GetCapturedStdout();
}

// A script that runs past its copied instructions has nothing left to do: the
// enemy is removed, and what an earlier occupant left in the slot never runs.
TEST_F(Interpreter, RunningOffTheScriptRemovesTheEnemy) {
  load(R"(
    script short:
      angle 3
  )",
       false);
  Enemy& e = place(1);
  e.script[1].opcode = OP_SET_ANGLE;  // stale, from an earlier enemy
  e.script[1].operands[0] = 99;
  tick();
  EXPECT_EQ(e.angle, 3);
  EXPECT_EQ(e.type, 0);

  // An empty script ends its enemy in its first burst.
  load(R"(
    script empty:
  )",
       false);
  Enemy& empty = place(1, 2);
  tick(2);
  EXPECT_EQ(empty.type, 0);

  // A pc set outside the copy by anyone is treated the same way.
  Enemy& lost = place(1, 3);
  lost.pc = -5;
  tick(3);
  EXPECT_EQ(lost.type, 0);
}

TEST_F(Interpreter, LoopWithoutYieldIsCutEachTick) {
  load(R"(
    script spinner:
      op 3
      restart
  )",
       false);
  Enemy& e = place(1);
  testing::internal::CaptureStdout();
  tick();
  EXPECT_EQ(e.type, 1);
  EXPECT_GE(e.pc, 0);
  EXPECT_LT(e.pc, e.script_length);
  tick();  // and it goes on in the next tick
  EXPECT_EQ(e.type, 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unknown OpCode 3\n");
}

TEST_F(Interpreter, FreeSlotsAreLeftAlone) {
  load(R"(
    script s:
      angle 1
      remove
  )");
  Enemy& e = place(1);
  e.type = 0;
  run_script(0);
  EXPECT_EQ(e.angle, 0);
  EXPECT_EQ(e.wait, 0);
  run_script(-1);
  run_script(MAX_ENEMIES);
  execute_script_instruction(MAX_ENEMIES);
}
