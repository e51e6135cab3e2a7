// The spawners: lowest free slot, every field filled, full tables and bad
// requests refused without a trace.
#include <tuple>

#include "world_fixture.h"

namespace {

using fixture::live_enemies;
using fixture::live_particles;
using fixture::load_test_scripts;
using fixture::op;
using fixture::Step;

class Spawners : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    content_.define_enemy_type(1, 7, 1, 2,
                               {{0, 4}, {0, 9, 0, 20, 10}, {-1, 3, ANIM_EXPLODE, 30, 30}});
    content_.define_enemy_type(3, 12, 0, 0, {{0, 2}});
    enemy_types[0].score = 100;
  }
};

TEST_F(Spawners, BulletFromEnemyTakesNegativeCoordinatesRelativeToTheShooter) {
  enemies[5].x = 50.0f;
  enemies[5].y = 60.0f;
  spawn_bullet(5, 1, -1.0f, 50.0f, 0.25f, 3.0f, 10, 40);
  const Bullet& b = enemy_bullets[0];
  EXPECT_EQ(b.type, 1);
  EXPECT_FLOAT_EQ(b.x, 60.0f);  // enemy x plus offset x
  EXPECT_FLOAT_EQ(b.y, 50.0f);  // absolute
  EXPECT_FLOAT_EQ(b.vx, 0.25f);
  EXPECT_FLOAT_EQ(b.vy, 3.0f);
  EXPECT_EQ(b.anim, 0);
  EXPECT_EQ(b.anim_timer, 5);  // duration of type 1's start step
  EXPECT_EQ(b.hit, 0);

  spawn_bullet(5, 2, 0.0f, -7.0f, 0.0f, 0.0f, 10, 40);
  const Bullet& c = enemy_bullets[1];
  EXPECT_FLOAT_EQ(c.x, 0.0f);  // zero is the playfield's left edge, not the enemy
  EXPECT_FLOAT_EQ(c.y, 100.0f);
}

TEST_F(Spawners, BulletTakesLowestFreeSlotAndClearsAStaleHit) {
  enemy_bullets[0].type = 1;
  enemy_bullets[1].hit = 1;
  enemy_bullets[1].anim = -1;
  spawn_bullet(0, 1, 10.0f, 10.0f, 0.0f, 1.0f, 0, 0);
  EXPECT_EQ(enemy_bullets[1].type, 1);
  EXPECT_EQ(enemy_bullets[1].hit, 0);
  EXPECT_EQ(enemy_bullets[1].anim, 0);
  EXPECT_EQ(enemy_bullets[2].type, 0);
}

TEST_F(Spawners, FullBulletTableAndUnknownShotTypesAreDropped) {
  spawn_bullet(0, 0, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0);
  spawn_bullet(0, MAX_SHOT_TYPES + 1, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0);
  spawn_bullet(-1, 1, 1.0f, 1.0f, 0.0f, 0.0f, 0, 0);
  for (const Bullet& b : enemy_bullets) EXPECT_EQ(b.type, 0);

  for (Bullet& b : enemy_bullets) b.type = 2;
  enemy_bullets[63].x = 5.0f;
  spawn_bullet(0, 1, 100.0f, 100.0f, 0.0f, 0.0f, 0, 0);
  for (const Bullet& b : enemy_bullets) EXPECT_EQ(b.type, 2);
  EXPECT_FLOAT_EQ(enemy_bullets[63].x, 5.0f);
}

TEST_F(Spawners, EnemyCopiesOnlyItsOwnScript) {
  // P, END, Q, R, END, S, END: script 3 is the single instruction S.
  load_test_scripts({{op(OP_SET_VELOCITY, {1, 1})},
                     {op(OP_SET_ANGLE, {2}), op(OP_WAIT, {3})},
                     {op(OP_SET_ANGLE, {99})}});
  Enemy& e = enemies[0];
  e.script[1] = op(OP_FIRE, {1, 2, 3});  // left by an earlier occupant
  spawn_enemy(3, 3, 10.0f, 20.0f, 0.5f, -1.5f, 7, 1);
  EXPECT_EQ(e.type, 3);
  EXPECT_EQ(e.script_length, 1);
  EXPECT_EQ(e.script[0].opcode, OP_SET_ANGLE);
  EXPECT_EQ(e.script[0].operands[0], 99);
  EXPECT_EQ(e.script_number, 2);

  spawn_enemy(3, 2, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  EXPECT_EQ(enemies[1].script_length, 2);
  EXPECT_EQ(enemies[1].script[1].opcode, OP_WAIT);
  EXPECT_EQ(enemies[1].script[1].operands[0], 3);
}

TEST_F(Spawners, EnemyFillsEveryFieldFromTypeAndArguments) {
  Enemy& e = enemies[0];
  e.pc = 9;
  e.wait = 4;
  e.angle = 64;
  spawn_enemy(1, 1, 100.0f, -20.0f, 0.0f, 0.5f, 7, 2);
  EXPECT_EQ(std::tie(e.type, e.health, e.score, e.x, e.y, e.vx, e.vy),
            std::make_tuple(1, 7.0f, 100, 100.0f, -20.0f, 0.0f, 0.5f));
  EXPECT_EQ(std::tie(e.group, e.group_trigger, e.pc, e.wait, e.angle, e.script_number),
            std::make_tuple(7, 2, 0, 0, 0, 0));
  const EnemyAnimState& s = enemy_anim_states[0];
  // The start step's duration is the first timer.
  EXPECT_EQ(std::tie(s.anim, s.death_anim, s.anim_timer), std::make_tuple(1, 2, 9));
}

TEST_F(Spawners, LevelDirectorUsesTheFirstTypeAndKeepsItsOwnNumber) {
  spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  EXPECT_EQ(enemies[0].type, LEVEL_DIRECTOR);
  EXPECT_FLOAT_EQ(enemies[0].health, 7.0f);
  EXPECT_EQ(enemies[0].score, 100);
  EXPECT_EQ(enemy_anim_states[0].anim, 1);
}

TEST_F(Spawners, EnemyRequestsThatNameNothingAreRefused) {
  for (int type : {0, -1, MAX_ENEMY_TYPES + 1, 254, 256}) spawn_enemy(type, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  for (int script : {0, -3, 2, 500}) spawn_enemy(1, script, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  EXPECT_EQ(live_enemies(), 0);
}

TEST_F(Spawners, LongScriptIsCutAfterItsLimit) {
  std::vector<ScriptInstruction> longer(MAX_SCRIPT_LENGTH + 5, op(OP_SET_ANGLE, {1}));
  longer[MAX_SCRIPT_LENGTH - 1] = op(OP_SET_ANGLE, {77});
  load_test_scripts({longer});
  spawn_enemy(1, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  ASSERT_EQ(enemies[0].type, 1);
  EXPECT_EQ(enemies[0].script_length, MAX_SCRIPT_LENGTH);
  EXPECT_EQ(enemies[0].script[MAX_SCRIPT_LENGTH - 1].operands[0], 77);
}

TEST_F(Spawners, FullEnemyTableDropsTheRequest) {
  for (int i = 0; i < MAX_ENEMIES; ++i) spawn_enemy(3, 1, float(i), 0.0f, 0.0f, 0.0f, 0, 0);
  EXPECT_EQ(live_enemies(), MAX_ENEMIES);
  spawn_enemy(1, 1, 500.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    EXPECT_EQ(enemies[i].type, 3);
    EXPECT_FLOAT_EQ(enemies[i].x, float(i));
  }
}

TEST_F(Spawners, ParticleFillsLowestFreeSlot) {
  particles[0].x = 3.0f;
  spawn_particle(12.0f, 34.0f, 0.5f, -0.25f, 1234, 16, 3, 7);
  const Particle& p = particles[1];
  EXPECT_EQ(std::tie(p.x, p.y, p.vx, p.vy), std::make_tuple(12.0f, 34.0f, 0.5f, -0.25f));
  EXPECT_EQ(std::tie(p.colour, p.alpha, p.fade_step, p.move_timer, p.move_period, p.fade_timer,
                     p.fade_period),
            std::make_tuple(1234, 255, 16, 3, 3, 7, 7));
}

TEST_F(Spawners, LastParticleSlotIsNeverUsed) {
  for (int i = 0; i < MAX_PARTICLES - 1; ++i) particles[i].x = 1.0f;
  spawn_particle(12.0f, 34.0f, 0.0f, 0.0f, 1, 1, 1, 1);
  EXPECT_EQ(particles[MAX_PARTICLES - 1].x, FREE_PARTICLE);
  EXPECT_EQ(live_particles(), MAX_PARTICLES - 1);
}

TEST_F(Spawners, TriggerGroupSendsLivingMembersIntoTheirDeathStep) {
  const int trigger = spawn_idle(1, 0.0f, 0.0f, 4, 1);
  const int member = spawn_idle(1, 50.0f, 0.0f, 4);
  const int other_group = spawn_idle(1, 100.0f, 0.0f, 5);
  const int director = 3;
  spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 4, 0);
  ASSERT_EQ(enemies[director].type, LEVEL_DIRECTOR);
  enemies[trigger].health = 0.0f;
  enemies[member].vx = 1.5f;

  trigger_group(4);

  EXPECT_EQ(enemy_anim_states[member].anim, 2);
  EXPECT_EQ(enemy_anim_states[member].anim_timer, 3);
  EXPECT_FLOAT_EQ(enemies[member].health, 7.0f);  // can still be shot and scored
  EXPECT_FLOAT_EQ(enemies[member].vx, 1.5f);
  for (int untouched : {trigger, other_group, director}) {
    EXPECT_EQ(enemy_anim_states[untouched].anim, 1) << "slot " << untouched;
    EXPECT_EQ(enemy_anim_states[untouched].anim_timer, 9) << "slot " << untouched;
  }
}

}  // namespace
