// Step effects: explosions from the frame's centre, the victory message,
// debris, sparks and the zigzag beam, each checked against its draws in order.
#include "world/world_local.h"
#include "world_fixture.h"

namespace {

using fixture::live_particles;
using fixture::Step;
using fixture::visible_messages;

std::vector<Particle> spawned() {
  std::vector<Particle> out;
  for (const Particle& p : particles) {
    if (p.x != FREE_PARTICLE) out.push_back(p);
  }
  return out;
}

class StepEffects : public fixture::WorldTest {
 protected:
  // An enemy of type 1 at (x, y) sitting in a step with `flags` and a w x h frame.
  int enemy_in_step(float x, float y, int flags, int w, int h, int ox = 0, int oy = 0) {
    Step step{0, 10, flags, w, h};
    step.offset_x = ox;
    step.offset_y = oy;
    content_.define_enemy_type(1, 5, 0, 0, {step});
    return spawn_idle(1, x, y);
  }
};

TEST_F(StepEffects, ExplosionBurstsFiftyParticlesFromTheFrameCentre) {
  const int slot = enemy_in_step(100.0f, 50.0f, ANIM_EXPLODE, 40, 20);
  seed_world_random(3);
  enemy_step_event(slot);
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 50u);

  // Fire then smoke, 25 times, each drawing vx, vy, colour, fade step, fade period.
  seed_world_random(3);
  for (int i = 0; i < 50; ++i) {
    const bool fire = i % 2 == 0;
    const int vx = random_between(-75, 75);
    const int vy = random_between(-75, 75);
    int r, g, b;
    if (fire) {
      r = random_between(200, 255);
      g = random_between(100, 200);
      b = 0;
    } else {
      r = g = b = random_between(100, 200);
    }
    const int fade_step = random_between(8, 16);
    const int fade_period = random_between(2, 8);
    const Particle& p = got[i];
    EXPECT_FLOAT_EQ(p.x, 120.0f) << i;
    EXPECT_FLOAT_EQ(p.y, 60.0f) << i;
    EXPECT_FLOAT_EQ(p.vx, vx / 100.0f) << i;
    EXPECT_FLOAT_EQ(p.vy, vy / 100.0f) << i;
    EXPECT_EQ(getr(p.colour), r) << i;
    EXPECT_EQ(getg(p.colour), g) << i;
    EXPECT_EQ(getb(p.colour), b) << i;
    EXPECT_EQ(p.fade_step, fade_step) << i;
    EXPECT_EQ(p.move_period, 1) << i;
    EXPECT_EQ(p.fade_period, fade_period) << i;
  }
  EXPECT_EQ(visible_messages("You are a winner!!!11"), 0);
}

TEST_F(StepEffects, ExplosionCentreFollowsTheDrawingOffsetAndHalvesDown) {
  const int slot = enemy_in_step(100.0f, 50.0f, ANIM_EXPLODE, 41, 21, -10, 6);
  enemy_step_event(slot);
  for (const Particle& p : spawned()) {
    EXPECT_FLOAT_EQ(p.x, 110.0f);  // 100 - 10 + 41 / 2
    EXPECT_FLOAT_EQ(p.y, 66.0f);   // 50 + 6 + 21 / 2
  }
  EXPECT_EQ(live_particles(), 50);
}

TEST_F(StepEffects, VictoryStepAlsoExplodesAndShowsTheWinnerMessage) {
  const int slot = enemy_in_step(10.0f, 10.0f, ANIM_EXPLODE | ANIM_VICTORY, 8, 8);
  enemy_step_event(slot);
  EXPECT_EQ(live_particles(), 50);
  ASSERT_EQ(visible_messages("You are a winner!!!11"), 1);
  EXPECT_EQ(messages[0].time_left, 10000);
}

// The outcome as the tick's end settles it, tick after tick: what the tick
// saw (a victory step ending, the energy after it) and what it becomes.
TEST_F(StepEffects, OutcomeIsSettledAtTheTicksEndAndALossStays) {
  const struct {
    const char* story;
    std::vector<std::pair<bool, int>> ticks;  // victory step ended, energy after the tick
    GameOutcome outcome;
  } cases[] = {
      {"nothing happens", {{false, 10}, {false, 3}}, GameOutcome::playing},
      {"a victory", {{false, 10}, {true, 4}, {false, 4}}, GameOutcome::won},
      {"the last point lost", {{false, 1}, {false, 0}}, GameOutcome::lost},
      {"both in one tick", {{true, 0}}, GameOutcome::won},
      {"both in one tick, then a tick", {{true, 0}, {false, 0}}, GameOutcome::lost},
      {"a victory after the loss", {{false, 0}, {true, 0}}, GameOutcome::lost},
      {"a loss after the victory", {{true, 5}, {false, 0}}, GameOutcome::lost},
  };
  for (const auto& c : cases) {
    reset_game_outcome();
    for (const auto& [victory, energy] : c.ticks) {
      if (victory) world_local::note_victory_step();
      player.energy = energy;
      world_local::settle_game_outcome();
    }
    EXPECT_EQ(game_outcome(), c.outcome) << c.story;
  }
}

// Through the effects and the tick: a victory step's end wins the level, a
// new level start forgets it, and the runner's immortal ship is forgiven a
// loss but keeps a win.
TEST_F(StepEffects, VictoryStepWinsAtTheTicksEndAndALevelStartForgetsIt) {
  const int slot = enemy_in_step(10.0f, 10.0f, ANIM_VICTORY, 8, 8);
  enemy_step_event(slot);
  EXPECT_EQ(game_outcome(), GameOutcome::playing) << "settled only at the tick's end";
  update_world();
  EXPECT_EQ(game_outcome(), GameOutcome::won);
  reset_world_for_level_start();
  EXPECT_EQ(game_outcome(), GameOutcome::playing);

  player.energy = 0;
  update_world();
  ASSERT_EQ(game_outcome(), GameOutcome::lost);
  keep_ship_alive(GameOutcome::playing);
  EXPECT_EQ(game_outcome(), GameOutcome::playing);
  EXPECT_EQ(player.energy, START_ENERGY);
  keep_ship_alive(GameOutcome::won);
  EXPECT_EQ(game_outcome(), GameOutcome::playing) << "only a loss is forgiven";
}

TEST_F(StepEffects, FlagsWithoutAnEffectMakeNothing) {
  const int slot = enemy_in_step(10.0f, 10.0f, ANIM_UNHITTABLE | ANIM_SPARK | ANIM_BEAM, 8, 8);
  enemy_step_event(slot);
  player_shots[0] = Bullet{1, 10.0f, 10.0f, 0.0f, 0.0f, 0, 0, 0};
  shot_step_event(-1, 0, ANIM_UNHITTABLE | ANIM_VICTORY);
  EXPECT_EQ(live_particles(), 0);
  EXPECT_EQ(visible_messages("You are a winner!!!11"), 0);
}

struct DebrisCase {
  int owner;
  float direction;  // sign of vy
};

class Debris : public StepEffects, public ::testing::WithParamInterface<DebrisCase> {};

TEST_P(Debris, FallsAwayFromTheTargetAtTheTruncatedPosition) {
  const DebrisCase c = GetParam();
  Bullet& b = c.owner == -1 ? player_shots[9] : enemy_bullets[9];
  b = Bullet{1, 33.9f, 71.5f, 0.0f, 0.0f, 1, 0, 1};
  seed_world_random(11);
  shot_step_event(c.owner, 9, ANIM_EXPLODE | ANIM_UNHITTABLE);
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 1u);
  seed_world_random(11);
  const int vx = random_between(-75, 75);
  const int vy = random_between(100, 150);
  const int r = random_between(200, 255);
  const int fade_step = random_between(8, 16);
  const int fade_period = random_between(2, 8);
  const Particle& p = got[0];
  EXPECT_FLOAT_EQ(p.x, 33.0f);
  EXPECT_FLOAT_EQ(p.y, 71.0f);
  EXPECT_FLOAT_EQ(p.vx, vx / 100.0f);
  EXPECT_FLOAT_EQ(p.vy, c.direction * (vy / 100.0f));
  EXPECT_EQ(getr(p.colour), r);
  EXPECT_EQ(getg(p.colour) + getb(p.colour), 0);
  EXPECT_EQ(p.fade_step, fade_step);
  EXPECT_EQ(p.fade_period, fade_period);
}

// The enemy bullet table is addressed by the slot the update passes as owner.
INSTANTIATE_TEST_SUITE_P(Owners, Debris,
                         ::testing::Values(DebrisCase{-1, 1.0f}, DebrisCase{9, -1.0f}));

TEST_F(StepEffects, SparkIsYellowAndOnlyDriftsSideways) {
  enemy_bullets[2] = Bullet{1, 200.2f, 10.8f, 0.0f, 0.0f, 1, 0, 1};
  seed_world_random(19);
  shot_step_event(2, 2, ANIM_SPARK);
  seed_world_random(19);
  const int vx = random_between(-70, 70);
  const int v = random_between(200, 255);
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_FLOAT_EQ(got[0].x, 200.0f);
  EXPECT_FLOAT_EQ(got[0].y, 10.0f);
  EXPECT_FLOAT_EQ(got[0].vx, vx / 100.0f);
  EXPECT_FLOAT_EQ(got[0].vy, 0.0f);
  EXPECT_EQ(getr(got[0].colour), v);
  EXPECT_EQ(getg(got[0].colour), v);
  EXPECT_EQ(getb(got[0].colour), 0);
  EXPECT_EQ(got[0].fade_step, 16);
  EXPECT_EQ(got[0].fade_period, 4);
}

// The glow's sideways offset on each row: a triangle between -6 and 6 that
// holds one row at each extreme, 26 rows a period.
int reference_swing(int row) {
  const int phase = row % 26;
  if (phase <= 5) return phase + 1;    // rows 0..5: 1..6
  if (phase <= 6) return 6;            // the turn holds
  if (phase <= 18) return 12 - phase;  // 5 down to -6
  if (phase <= 19) return -6;
  return phase - 25;  // -5 up to 0
}

TEST_F(StepEffects, PlayerShotBeamRunsDownTheWholePlayfield) {
  player_shots[0] = Bullet{2, 150.7f, 1.0f, 0.0f, 0.0f, 0, 0, 0};
  shot_step_event(-1, 0, ANIM_BEAM);
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 600u);
  const int grey = makecol(128, 128, 128);
  const int blue = makecol(0, 0, 255);
  for (int k = 0; k < 200; ++k) {
    const int row = 2 * k;
    const Particle& core = got[3 * k];
    EXPECT_FLOAT_EQ(core.x, 150.0f);
    EXPECT_FLOAT_EQ(core.y, float(row));
    EXPECT_EQ(core.colour, grey);
    for (int g = 1; g <= 2; ++g) {
      const Particle& glow = got[3 * k + g];
      EXPECT_FLOAT_EQ(glow.x, float(150 + reference_swing(row))) << "row " << row;
      EXPECT_FLOAT_EQ(glow.y, float(row));
      EXPECT_EQ(glow.colour, blue);
    }
    for (int i = 0; i < 3; ++i) {
      const Particle& p = got[3 * k + i];
      EXPECT_LE(std::abs(p.vx), 0.1f);
      EXPECT_LE(std::abs(p.vy), 0.3f);
      EXPECT_EQ(p.fade_step, 8);
      EXPECT_EQ(p.move_period, 8);
      EXPECT_EQ(p.fade_period, 5);
    }
  }
}

TEST_F(StepEffects, EnemyBulletBeamMakesNothing) {
  enemy_bullets[0] = Bullet{2, 150.0f, 100.0f, 0.0f, 0.0f, 0, 0, 0};
  shot_step_event(0, 0, ANIM_BEAM);
  EXPECT_EQ(live_particles(), 0);
}

TEST_F(StepEffects, FullParticleTableDropsTheEffectQuietly) {
  for (int i = 0; i < MAX_PARTICLES - 1; ++i) particles[i].x = 5.0f;
  const int slot = enemy_in_step(100.0f, 50.0f, ANIM_EXPLODE | ANIM_VICTORY, 40, 20);
  enemy_step_event(slot);
  EXPECT_EQ(live_particles(), MAX_PARTICLES - 1);
  EXPECT_EQ(visible_messages("You are a winner!!!11"), 1);
}

}  // namespace
