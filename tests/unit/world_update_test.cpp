// One tick of the world: enemy movement and animation, shots, ramming and
// bullets with their worked numbers, projectile and particle lifetimes, the
// energy floor and the scroll, and what the arcade rules change of them. It
// is long because every case runs on the one fixture below, whose enemy
// types carry the worked numbers.
#include <cmath>

#include "world_fixture.h"

namespace {

using fixture::live_enemies;
using fixture::live_particles;
using fixture::Step;
using fixture::visible_messages;

constexpr const char* LOST = "You fail it!!!1";

class WorldUpdate : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    // Type 1: a 40 x 40 enemy that loops in step 0 and dies through step 1
    // (exploding) into step 2 (the end). Type 2 flies an unhittable step.
    content_.define_enemy_type(1, 10, 0, 1, {{0, 10}, {2, 3, ANIM_EXPLODE}, {-1, 0}});
    content_.define_enemy_type(2, 10, 0, 1, {{0, 10, ANIM_UNHITTABLE}, {-1, 3}});
    enemy_types[0].score = 100;
  }

  void player_shot_at(int slot, float x, float y, float vy = 0.0f) {
    player_shots[slot] = Bullet{1, x, y, 0.0f, vy, 0, 5, 0};
  }
  void enemy_bullet_at(int slot, int type, float x, float y) {
    enemy_bullets[slot] = Bullet{type, x, y, 0.0f, 0.0f, 0, 5, 0};
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) update_world();
  }
};

TEST_F(WorldUpdate, EnemyBulletTakesHalfAPointTruncated) {
  enemy_bullet_at(0, 1, 150.0f, 310.0f);
  update_world();
  EXPECT_EQ(player.energy, 9);  // 10 - 0.5 = 9.5, truncated
  EXPECT_EQ(enemy_bullets[0].hit, 1);
  EXPECT_EQ(enemy_bullets[0].anim, 1);  // the hit step
  update_world();
  EXPECT_EQ(player.energy, 9) << "a bullet hurts only once";
  EXPECT_EQ(visible_messages(LOST), 0);
}

TEST_F(WorldUpdate, BulletHitStepEndsInOneRedDebrisParticle) {
  enemy_bullet_at(0, 1, 150.0f, 310.0f);
  update_world();  // hit: step 1 lasts this tick and the next
  EXPECT_EQ(live_particles(), 0);
  update_world();  // step 1 ends with flags 3: debris, and the step becomes -1
  EXPECT_EQ(live_particles(), 1);
  EXPECT_EQ(enemy_bullets[0].anim, -1);
  EXPECT_EQ(enemy_bullets[0].anim_timer, 5) << "reloaded from the start step";
  ticks(5);
  EXPECT_EQ(enemy_bullets[0].type, 1);
  update_world();
  EXPECT_EQ(enemy_bullets[0].type, 0);
}

TEST_F(WorldUpdate, EnemyBulletTestsOnlyAThreeByThreeBoxWhateverItsType) {
  // Type 2 is 3 x 400 with no masks: its box alone decides, and only 3 x 3 of it.
  enemy_bullet_at(0, 2, 150.0f, 250.0f);
  update_world();
  EXPECT_EQ(player.energy, 10);
  EXPECT_EQ(enemy_bullets[0].hit, 0);
  enemy_bullet_at(1, 2, 150.0f, 298.0f);  // its 3 x 3 box reaches row 300
  update_world();
  EXPECT_EQ(enemy_bullets[1].hit, 1);
  EXPECT_EQ(player.energy, 0) << "100 damage, floored at 0";
  EXPECT_EQ(visible_messages(LOST), 1);
}

TEST_F(WorldUpdate, PixelMasksDecideWhenBoxesTouch) {
  // A ship whose left half is transparent: a bullet in that half misses.
  BITMAP* half = content_.solid_bitmap(SHIP_SIZE, SHIP_SIZE);
  rectfill(half, 0, 0, 19, 39, bitmap_mask_color(half));
  player.mask = content_.mask_of(half);
  enemy_bullet_at(0, 1, 145.0f, 310.0f);
  enemy_bullet_at(1, 1, 165.0f, 310.0f);
  update_world();
  EXPECT_EQ(enemy_bullets[0].hit, 0);
  EXPECT_EQ(enemy_bullets[1].hit, 1);
  EXPECT_EQ(player.energy, 9);
}

struct RamCase {
  int energy;
  float health;
  int energy_after;
  float health_after;
  bool destroyed;
  int messages;
};

class Ramming : public WorldUpdate, public ::testing::WithParamInterface<RamCase> {};

TEST_P(Ramming, EachSideLosesWhatTheOtherHad) {
  const RamCase c = GetParam();
  player.energy = c.energy;
  const int slot = spawn_idle(1, 150.0f, 320.0f, 1, 1);
  enemies[slot].health = c.health;
  enemies[slot].vx = 0.25f;
  update_world();
  EXPECT_EQ(player.energy, c.energy_after);
  EXPECT_FLOAT_EQ(enemies[slot].health, c.health_after);
  EXPECT_EQ(enemy_anim_states[slot].anim, c.destroyed ? 1 : 0);
  EXPECT_FLOAT_EQ(enemies[slot].vx, c.destroyed ? 0.0f : 0.25f);
  EXPECT_EQ(player.score, 0) << "ramming scores nothing";
  EXPECT_EQ(visible_messages(LOST), c.messages);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedNumbers, Ramming,
    ::testing::Values(RamCase{3, 5.0f, 0, 2.0f, false, 1},    // 3 - 5 = -2, floored
                      RamCase{10, 10.0f, 0, 0.0f, true, 1},   // both spent
                      RamCase{10, 2.5f, 7, -7.5f, true, 0},   // 10 - 2.5 = 7.5 truncated
                      RamCase{0, 4.0f, 0, 4.0f, false, 1}));  // a lost ship still collides

TEST_F(WorldUpdate, LostShipShowsTheMessageAgainOnEveryHit) {
  player.energy = 0;
  enemy_bullet_at(0, 1, 150.0f, 310.0f);
  enemy_bullet_at(1, 1, 170.0f, 310.0f);
  update_world();
  EXPECT_EQ(visible_messages(LOST), 2);
  EXPECT_EQ(player.energy, 0);
}

TEST_F(WorldUpdate, ShotDamagesAndScoresOnlyWhenItDestroys) {
  const int slot = spawn_idle(1, 100.0f, 100.0f);
  enemies[slot].health = 1.0f;
  player_shot_at(0, 110.0f, 110.0f);
  update_world();
  EXPECT_FLOAT_EQ(enemies[slot].health, 0.5f);
  EXPECT_EQ(player.score, 0);
  EXPECT_EQ(player_shots[0].hit, 1);
  EXPECT_EQ(player_shots[0].anim, 1);
  player_shot_at(1, 112.0f, 110.0f);
  update_world();
  EXPECT_FLOAT_EQ(enemies[slot].health, 0.0f);
  EXPECT_EQ(player.score, 100);
  EXPECT_EQ(enemy_anim_states[slot].anim, 1);
  EXPECT_EQ(enemy_anim_states[slot].anim_timer, 3);
}

TEST_F(WorldUpdate, SecondShotOfTheTickPassesADestroyedEnemy) {
  const int slot = spawn_idle(1, 100.0f, 100.0f);
  enemies[slot].health = 0.5f;
  enemies[slot].vy = 1.0f;
  player_shot_at(0, 110.0f, 110.0f);
  player_shot_at(1, 115.0f, 110.0f);
  update_world();
  EXPECT_EQ(player.score, 100);
  EXPECT_EQ(player_shots[0].hit, 1);
  EXPECT_EQ(player_shots[1].hit, 0);
  EXPECT_FLOAT_EQ(enemies[slot].vy, 0.0f);
  EXPECT_FLOAT_EQ(enemies[slot].y, 101.0f) << "moved before it died";
}

TEST_F(WorldUpdate, UnhittableStepNeitherTakesShotsNorRams) {
  const int slot = spawn_idle(2, 150.0f, 300.0f);
  player_shot_at(0, 160.0f, 310.0f);
  update_world();
  EXPECT_FLOAT_EQ(enemies[slot].health, 10.0f);
  EXPECT_EQ(player_shots[0].hit, 0);
  EXPECT_EQ(player.energy, 10);
}

TEST_F(WorldUpdate, DestroyedTriggerBringsItsGroupDownWithoutTheirScore) {
  const int trigger = spawn_idle(1, 0.0f, 0.0f, 7, 1);
  const int member = spawn_idle(1, 100.0f, 0.0f, 7);
  const int stranger = spawn_idle(1, 200.0f, 0.0f, 8);
  enemies[trigger].health = 0.5f;
  player_shot_at(0, 10.0f, 10.0f);
  update_world();
  EXPECT_EQ(player.score, 100);
  EXPECT_EQ(enemy_anim_states[trigger].anim, 1);
  EXPECT_EQ(enemy_anim_states[member].anim, 1);
  EXPECT_FLOAT_EQ(enemies[member].health, 10.0f);
  EXPECT_EQ(enemy_anim_states[stranger].anim, 0);

  // A member dying in its death steps can still be shot down and scored.
  enemies[member].health = 0.5f;
  player_shot_at(1, 110.0f, 10.0f);
  update_world();
  EXPECT_EQ(player.score, 200);
}

// Under the arcade rules a blow makes the ship untouchable and blinking for
// a while, and kills in quick succession score more and more.
TEST_F(WorldUpdate, ArcadeRulesGiveAnUntouchableBlinkAndAChainOfKills) {
  rules = ARCADE_RULES;
  enemy_bullet_at(0, 1, 150.0f, 310.0f);
  update_world();
  ASSERT_EQ(player.energy, 9);
  EXPECT_EQ(player.invulnerable, ARCADE_RULES.invulnerable_ticks - 1);
  enemy_bullet_at(1, 1, 160.0f, 310.0f);
  const int rammer = spawn_idle(1, 150.0f, 300.0f);
  int shown = 0;
  for (int t = 0; t < ARCADE_RULES.invulnerable_ticks - 1; ++t) {
    shown += ship_shown();
    update_world();
  }
  EXPECT_EQ(player.energy, 9) << "bullets and enemies pass through";
  EXPECT_EQ(enemy_bullets[1].hit, 0);
  EXPECT_FLOAT_EQ(enemies[rammer].health, 10.0f);
  EXPECT_NEAR(shown, ARCADE_RULES.invulnerable_ticks / 2, BLINK_TICKS);
  EXPECT_EQ(level_tally.hits_ignored, 2) << "the bullet and the rammer, each once";
  enemies[rammer].type = 0;
  update_world();
  EXPECT_EQ(player.energy, 8) << "touchable again";

  // Three kills in a row score x1, x2, x3; the members of a group count too.
  // A blow, or a pause longer than the chain's time, starts again from x1.
  player.invulnerable = 0;
  const auto kill = [&](int group = 0, int trigger = 0) {
    const int slot = spawn_idle(1, 100.0f, 100.0f, group, trigger);
    enemies[slot].health = 0.5f;
    player_shot_at(0, 110.0f, 110.0f);
    update_world();
    player_shots[0].type = 0;
    enemies[slot].type = 0;
  };
  player.score = 0;
  kill();
  kill();
  spawn_idle(1, 200.0f, 0.0f, 5);
  kill(5, 1);
  EXPECT_EQ(player.score, 100 + 200 + 3 * 200);
  EXPECT_EQ(score_multiplier(), 4);
  ticks(ARCADE_RULES.chain_ticks);
  EXPECT_EQ(score_multiplier(), 1);
  for (int i = 0; i < 10; ++i) kill();
  EXPECT_EQ(score_multiplier(), ARCADE_RULES.max_multiplier);
  enemy_bullet_at(2, 1, 150.0f, 310.0f);
  update_world();
  EXPECT_EQ(score_multiplier(), 1);
  // The stage-clear tally saw it all: the group member counts as destroyed.
  EXPECT_EQ(level_tally.hits, 3);
  EXPECT_EQ(level_tally.destroyed, 14);
  EXPECT_EQ(level_tally.max_chain, ARCADE_RULES.max_multiplier);
  EXPECT_EQ(level_tally.score_by_type[0], player.score) << "every kill was of type 1";
}

TEST_F(WorldUpdate, DeathStepExplodesThenTheChainEndsAndFreesTheSlot) {
  const int slot = spawn_idle(1, 100.0f, 100.0f);
  enemies[slot].health = 0.5f;
  player_shot_at(0, 110.0f, 110.0f);
  update_world();            // dies: step 1 for 4 ticks
  player_shots[0].type = 0;  // no debris from the shot's own hit step
  ticks(3);
  EXPECT_EQ(live_particles(), 0);
  update_world();  // step 1 ends exploding; step 2 lasts 1 tick
  EXPECT_EQ(live_particles(), 50);
  EXPECT_EQ(enemy_anim_states[slot].anim, 2);
  update_world();  // step 2 ends: the chain reaches -1 with timer 0
  EXPECT_EQ(enemy_anim_states[slot].anim, -1);
  EXPECT_EQ(enemies[slot].type, 1);
  update_world();
  EXPECT_EQ(enemies[slot].type, 0);
}

TEST_F(WorldUpdate, CollisionBoxIsTheFrameOfTheStepTheTickStartedIn) {
  // Step 0 shows a 40 x 40 frame for one tick, then step 1 a 2 x 2 one; neither
  // has a mask, so the box alone decides.
  content_.define_enemy_type(3, 10, 0, 0, {{1, 0, 0, 40, 40, false}, {1, 50, 0, 2, 2, false}});
  const int slot = spawn_idle(3, 100.0f, 100.0f);
  player_shot_at(0, 130.0f, 130.0f);
  update_world();
  EXPECT_EQ(enemy_anim_states[slot].anim, 1);
  EXPECT_FLOAT_EQ(enemies[slot].health, 9.5f);
  player_shot_at(1, 130.0f, 130.0f);
  update_world();
  EXPECT_EQ(player_shots[1].hit, 0) << "the 2 x 2 frame is far from the shot";
}

TEST_F(WorldUpdate, FrameOutsideTheArchiveCollidesWithNothingAndDoesNotCrash) {
  content_.define_enemy_type(3, 10, 0, 0, {{0, 5, 0, 40, 40, false}});
  enemy_types[2].anims[0].frame = 9;  // the archive holds one frame
  const int slot = spawn_idle(3, 140.0f, 300.0f);
  player_shot_at(0, 150.0f, 310.0f);
  update_world();
  EXPECT_FLOAT_EQ(enemies[slot].health, 10.0f);
  EXPECT_EQ(player.energy, 10);
}

TEST_F(WorldUpdate, LevelDirectorNeverMovesOrCollides) {
  enemy_types[0].anims[0].flags = ANIM_EXPLODE;  // and never explodes
  spawn_enemy(LEVEL_DIRECTOR, 1, 140.0f, 300.0f, 3.0f, 3.0f, 0, 0);
  player_shot_at(0, 150.0f, 310.0f);
  ticks(12);
  EXPECT_EQ(enemies[0].type, LEVEL_DIRECTOR);
  EXPECT_FLOAT_EQ(enemies[0].x, 140.0f);
  EXPECT_FLOAT_EQ(enemies[0].y, 300.0f);
  EXPECT_FLOAT_EQ(enemies[0].health, 10.0f);
  EXPECT_EQ(player_shots[0].hit, 0);
  EXPECT_EQ(player.energy, 10);
  EXPECT_EQ(live_particles(), 0);
}

TEST_F(WorldUpdate, EnemiesAreNeverRemovedForLeavingThePlayfield) {
  const int slot = spawn_idle(1, 300.0f, 380.0f);
  enemies[slot].vx = 25.0f;
  enemies[slot].vy = 40.0f;
  ticks(300);
  EXPECT_EQ(enemies[slot].type, 1);
  EXPECT_FLOAT_EQ(enemies[slot].x, 300.0f + 300 * 25.0f);
  EXPECT_FLOAT_EQ(enemies[slot].y, 380.0f + 300 * 40.0f);
}

TEST_F(WorldUpdate, ScriptRunsAfterMovementSoANewVelocityCountsFromTheNextTick) {
  fixture::load_script_source(R"(
    script mover:
      velocity 0 150
      wait 2
      remove
  )");
  const int slot = spawn_idle(1, 10.0f, 10.0f);
  update_world();
  EXPECT_FLOAT_EQ(enemies[slot].y, 10.0f);
  EXPECT_FLOAT_EQ(enemies[slot].vy, 1.5f);
  ticks(2);  // the two ticks the wait skips
  EXPECT_FLOAT_EQ(enemies[slot].y, 13.0f);
  EXPECT_EQ(enemies[slot].type, 1);
  update_world();  // the wait is over: it moves once more, then removes itself
  EXPECT_EQ(enemies[slot].type, 0);
  EXPECT_FLOAT_EQ(enemies[slot].y, 14.5f);
}

TEST_F(WorldUpdate, EnemyThatRemovesItselfTakesNoFurtherPartInTheTick) {
  // Its step ends this very tick with an explosion, and it sits on the ship
  // and on a shot: after its own OP_REMOVE none of that happens.
  content_.define_enemy_type(3, 10, 0, 0, {{0, 0, ANIM_EXPLODE}});
  fixture::load_script_source(R"(
    script vanish:
      remove
  )");
  spawn_enemy(3, 1, 150.0f, 310.0f, 0.0f, 0.0f, 0, 0);
  player_shot_at(0, 160.0f, 320.0f);
  update_world();
  EXPECT_EQ(enemies[0].type, 0);
  EXPECT_EQ(live_particles(), 0);
  EXPECT_EQ(player_shots[0].hit, 0);
  EXPECT_EQ(player.energy, 10);
}

TEST_F(WorldUpdate, EnemySpawnedIntoAHigherSlotRunsInTheSameTick) {
  fixture::load_script_source(R"(
    script idle:
      wait 30000
      restart
    script spawner:
      spawn type=1 script=runner x=50 y=60
      wait 30000
      restart
    script runner:
      velocity 100 0
      wait 30000
      restart
  )");
  spawn_enemy(1, 2, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  update_world();
  ASSERT_EQ(enemies[1].type, 1);
  EXPECT_FLOAT_EQ(enemies[1].vx, 1.0f) << "its first burst ran this tick";
  EXPECT_EQ(enemies[1].pc, 2);
}

struct BoundsCase {
  float x;
  float y;
  bool stays;
};

class ProjectileBounds : public WorldUpdate, public ::testing::WithParamInterface<BoundsCase> {};

TEST_P(ProjectileBounds, BoundsThemselvesAreInside) {
  const BoundsCase c = GetParam();
  player_shot_at(0, c.x, c.y);
  enemy_bullet_at(0, 1, c.x, c.y);
  player.x = 0;
  player.y = 0;
  enemy_bullets[0].hit = 1;  // keep the bullet off the ship
  update_world();
  EXPECT_EQ(player_shots[0].type != 0, c.stays);
  EXPECT_EQ(enemy_bullets[0].type != 0, c.stays);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ProjectileBounds,
    ::testing::Values(BoundsCase{320.0f, 200.0f, true}, BoundsCase{320.01f, 200.0f, false},
                      BoundsCase{100.0f, 400.0f, true}, BoundsCase{100.0f, 400.01f, false},
                      BoundsCase{0.0f, 0.0f, true}, BoundsCase{-0.01f, 200.0f, false},
                      BoundsCase{100.0f, -0.01f, false}));

TEST_F(WorldUpdate, ShotAnimationReloadsWithTheStartStepsDuration) {
  player_shot_at(0, 100.0f, 200.0f);
  player_shots[0].anim_timer = 0;
  update_world();
  EXPECT_EQ(player_shots[0].anim, 2);
  EXPECT_EQ(player_shots[0].anim_timer, 5) << "step 2 lasts 1, the start step 5";
}

TEST_F(WorldUpdate, ParticleWithMovePeriodOneMovesEverySecondTick) {
  spawn_particle(100.0f, 100.0f, 1.0f, 0.0f, 0, 0, 1, 1000);
  std::vector<float> xs;
  for (int t = 0; t < 6; ++t) {
    update_world();
    xs.push_back(particles[0].x);
  }
  EXPECT_EQ(xs, (std::vector<float>{100.0f, 101.0f, 101.0f, 102.0f, 102.0f, 103.0f}));
}

TEST_F(WorldUpdate, ParticleFadesOutAndDiesOutsideThePlayfield) {
  spawn_particle(100.0f, 100.0f, 0.0f, 0.0f, 0, 64, 1000, 0);
  spawn_particle(319.5f, 100.0f, 1.0f, 0.0f, 0, 0, 0, 1000);
  update_world();
  EXPECT_EQ(particles[0].alpha, 191);
  EXPECT_EQ(particles[1].x, FREE_PARTICLE);
  ticks(3);
  EXPECT_EQ(particles[0].x, FREE_PARTICLE);  // 255 - 4 * 64 < 1
}

TEST_F(WorldUpdate, CooldownCountsDownToZeroAndStops) {
  player.fire_cooldown = 2;
  ticks(5);
  EXPECT_EQ(player.fire_cooldown, 0);
}

TEST_F(WorldUpdate, BackgroundScrollsOneTileRowEvery195Ticks) {
  ticks(194);
  EXPECT_EQ(scroll_row, 0);
  EXPECT_GT(scroll_offset, 64.0f);  // 194 additions of 0.33
  EXPECT_LT(scroll_offset, 64.05f);
  update_world();
  EXPECT_EQ(scroll_row, 1);
  EXPECT_EQ(scroll_offset, 0.0f);
  update_world();
  EXPECT_FLOAT_EQ(scroll_offset, 0.33f);
  for (int t = 197; t <= 4 * 195; ++t) {
    update_world();
    ASSERT_EQ(scroll_row, t / 195) << "tick " << t;
  }
}

}  // namespace
