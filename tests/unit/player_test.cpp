// Player control driven headless: tests hold keys by writing Allegro's key[]
// and key_shifts, and the joystick by writing joy[0] with num_joysticks set;
// the game's read_tick_input turns them into the tick's input.
#include <tuple>

#include "world_fixture.h"

namespace {

using fixture::live_particles;

class PlayerControl : public fixture::WorldTest {
 protected:
  // One tick as the play loop runs it.
  void tick() {
    update_player(read_tick_input());
    update_world();
  }

  // Particles spawned so far, in slot order.
  std::vector<Particle> spawned() const {
    std::vector<Particle> out;
    for (const Particle& p : particles) {
      if (p.x != FREE_PARTICLE) out.push_back(p);
    }
    return out;
  }

  int live_shots() const {
    int n = 0;
    for (const Bullet& b : player_shots) n += b.type > 0 ? 1 : 0;
    return n;
  }
};

TEST_F(PlayerControl, PollingWithoutAnInstalledJoystickIsHarmless) {
  update_player(read_tick_input());
  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(player.y, 300);
  EXPECT_EQ(live_particles(), 0);
  EXPECT_EQ(live_shots(), 0);
}

TEST_F(PlayerControl, LostShipIgnoresEveryInputEvenFire) {
  player.energy = 0;
  for (int k : {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN, KEY_SPACE}) key[k] = 1;
  update_player(read_tick_input());
  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(player.y, 300);
  EXPECT_EQ(player.fire_cooldown, 0);
  EXPECT_EQ(live_shots(), 0);
  EXPECT_EQ(live_particles(), 0);
}

struct MoveCase {
  int start;
  bool low;   // left or up held
  bool high;  // right or down held
  int expected;
};

class HorizontalMove : public PlayerControl, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(HorizontalMove, LeftWinsExceptAtTheLeftEdge) {
  const MoveCase c = GetParam();
  player.x = c.start;
  key[KEY_LEFT] = c.low;
  key[KEY_RIGHT] = c.high;
  update_player(read_tick_input());
  EXPECT_EQ(player.x, c.expected);
  EXPECT_EQ(player.y, 300);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, HorizontalMove,
    ::testing::Values(MoveCase{140, true, false, 139}, MoveCase{140, false, true, 141},
                      MoveCase{140, true, true, 139}, MoveCase{0, true, false, 0},
                      MoveCase{0, true, true, 1}, MoveCase{280, false, true, 280},
                      MoveCase{280, true, true, 279}, MoveCase{140, false, false, 140}));

class VerticalMove : public PlayerControl, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(VerticalMove, UpWinsExceptAtTheTopAndOnlyClimbingLeavesExhaust) {
  const MoveCase c = GetParam();
  player.y = c.start;
  key[KEY_UP] = c.low;
  key[KEY_DOWN] = c.high;
  update_player(read_tick_input());
  EXPECT_EQ(player.y, c.expected);
  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(live_particles(), c.expected < c.start ? 4 : 0);
}

INSTANTIATE_TEST_SUITE_P(Edges, VerticalMove,
                         ::testing::Values(MoveCase{300, true, false, 299},
                                           MoveCase{300, false, true, 301},
                                           MoveCase{300, true, true, 299},
                                           MoveCase{0, true, false, 0}, MoveCase{0, true, true, 1},
                                           MoveCase{360, false, true, 360},
                                           MoveCase{360, true, true, 359}));

TEST_F(PlayerControl, JoystickSteersLikeTheKeys) {
  num_joysticks = 1;
  joy[0].stick[0].axis[0].d2 = 1;  // right
  joy[0].stick[0].axis[1].d1 = 1;  // up
  update_player(read_tick_input());
  EXPECT_EQ(player.x, 141);
  EXPECT_EQ(player.y, 299);
  joy[0].stick[0].axis[0] = {};
  joy[0].stick[0].axis[1] = {};
  joy[0].stick[0].axis[0].d1 = 1;  // left
  joy[0].stick[0].axis[1].d2 = 1;  // down
  update_player(read_tick_input());
  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(player.y, 300);
}

// The exhaust's draws, in the order the effect makes them, from a seed.
TEST_F(PlayerControl, ExhaustIsTwoPairsOfCyanParticlesUnderTheTail) {
  key[KEY_UP] = 1;
  seed_world_random(77);
  update_player(read_tick_input());
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 4u);

  seed_world_random(77);
  for (int i = 0; i < 4; ++i) {
    const int column = i % 2 == 0 ? 11 : 22;
    const int dx = random_between(0, 4);
    const int vy = random_between(10, 50);
    const int g = random_between(200, 255);
    const int b = random_between(200, 255);
    const int fade_period = random_between(1, 5);
    const Particle& p = got[i];
    EXPECT_FLOAT_EQ(p.x, float(140 + column + dx)) << i;
    EXPECT_FLOAT_EQ(p.y, float(299 + SHIP_SIZE)) << i;  // below the moved ship
    EXPECT_FLOAT_EQ(p.vx, 0.0f) << i;
    EXPECT_FLOAT_EQ(p.vy, vy / 100.0f) << i;
    EXPECT_EQ(getr(p.colour), 0) << i;
    EXPECT_EQ(getg(p.colour), g) << i;
    EXPECT_EQ(getb(p.colour), b) << i;
    EXPECT_EQ(p.fade_step, 64) << i;
    EXPECT_EQ(p.move_period, 1) << i;
    EXPECT_EQ(p.fade_period, fade_period) << i;
  }
}

enum class FireInput { Space, Ctrl, JoystickButton };

class FireButtons : public PlayerControl, public ::testing::WithParamInterface<FireInput> {};

TEST_P(FireButtons, EachFireInputShootsWithAMuzzleFlash) {
  switch (GetParam()) {
    case FireInput::Space:
      key[KEY_SPACE] = 1;
      break;
    case FireInput::Ctrl:
      key_shifts = KB_CTRL_FLAG;
      break;
    case FireInput::JoystickButton:
      num_joysticks = 1;
      joy[0].button[0].b = 1;
      break;
  }
  seed_world_random(5);
  update_player(read_tick_input());
  EXPECT_EQ(player.fire_cooldown, 20);
  const Bullet& shot = player_shots[0];
  // x 158: columns 18 to 20 of the ship.
  EXPECT_EQ(
      std::tie(shot.type, shot.x, shot.y, shot.vx, shot.vy, shot.anim, shot.anim_timer, shot.hit),
      std::make_tuple(1, 158.0f, 300.0f, 0.0f, -3.0f, 0, 5, 0));

  seed_world_random(5);
  const int vx = random_between(-50, 50);
  const int vy = random_between(10, 50);
  const int r = random_between(200, 255);
  const int fade_period = random_between(1, 5);
  const std::vector<Particle> got = spawned();
  ASSERT_EQ(got.size(), 1u);
  const Particle& flash = got[0];
  EXPECT_FLOAT_EQ(flash.x, 160.0f);
  EXPECT_FLOAT_EQ(flash.y, 300.0f);
  EXPECT_FLOAT_EQ(flash.vx, vx / 100.0f);
  EXPECT_FLOAT_EQ(flash.vy, -(vy / 100.0f));
  EXPECT_EQ(getr(flash.colour), r);
  EXPECT_EQ(getg(flash.colour), 0);
  EXPECT_EQ(getb(flash.colour), 0);
  EXPECT_EQ(flash.fade_step, 8);
  EXPECT_EQ(flash.move_period, 1);
  EXPECT_EQ(flash.fade_period, fade_period);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FireButtons,
                         ::testing::Values(FireInput::Space, FireInput::Ctrl,
                                           FireInput::JoystickButton));

TEST_F(PlayerControl, HeldFireShootsEveryTwentyTicks) {
  key[KEY_SPACE] = 1;
  std::vector<int> fired_on;
  for (int t = 0; t < 61; ++t) {
    const int before = live_shots();
    tick();
    if (live_shots() > before) fired_on.push_back(t);
  }
  EXPECT_EQ(fired_on, (std::vector<int>{0, 20, 40, 60}));
}

TEST_F(PlayerControl, FireWithEveryShotSlotBusyStillRestartsTheCooldownAndFlashes) {
  for (Bullet& b : player_shots) {
    b.type = 1;
    b.x = 7.0f;
  }
  key[KEY_SPACE] = 1;
  update_player(read_tick_input());
  EXPECT_EQ(player.fire_cooldown, 20);
  EXPECT_EQ(live_particles(), 1);
  for (const Bullet& b : player_shots) EXPECT_FLOAT_EQ(b.x, 7.0f);
}

TEST_F(PlayerControl, FireShotVelocityDependsOnTheType) {
  player.x = 100;
  player.y = 200;
  fire_player_shot(2);
  EXPECT_EQ(player_shots[0].type, 2);
  EXPECT_FLOAT_EQ(player_shots[0].x, 118.0f);
  EXPECT_FLOAT_EQ(player_shots[0].y, 1.0f);  // the top of the playfield
  EXPECT_FLOAT_EQ(player_shots[0].vx, 0.0f);
  EXPECT_FLOAT_EQ(player_shots[0].vy, 0.0f);

  // Another type stands still instead of keeping a velocity left in the slot.
  player_shots[1].vx = 4.0f;
  player_shots[1].vy = -9.0f;
  fire_player_shot(3);
  EXPECT_EQ(player_shots[1].type, 3);
  EXPECT_FLOAT_EQ(player_shots[1].y, 200.0f);
  EXPECT_FLOAT_EQ(player_shots[1].vx, 0.0f);
  EXPECT_FLOAT_EQ(player_shots[1].vy, 0.0f);

  fire_player_shot(0);
  fire_player_shot(MAX_SHOT_TYPES + 1);
  EXPECT_EQ(live_shots(), 2);
}

}  // namespace
