// Player control: the tick's input moves the ship one pixel per tick on each
// axis, fires its shot with a 20-tick cooldown (under rules with power-ups the
// weapon level chooses the volley and its cooldown) and drops a bomb under
// rules with bombs.

#include <allegro.h>

#include <algorithm>

#include "world/world.h"
#include "world/world_local.h"

namespace {

constexpr int FIRE_COOLDOWN = 20;  // ticks: five shots per second
constexpr int PLAYER_SHOT_TYPE = 1;
// Where the ordinary shot leaves the ship: its 3 x 3 box about the ship's middle.
constexpr float MUZZLE_X = 18.0f;

// One shot of a volley: how far from the ship's left it leaves and its sideways speed.
struct Muzzle {
  float dx = MUZZLE_X;
  float vx = 0.0f;
};
struct WeaponLevel {
  int cooldown = FIRE_COOLDOWN;  // ticks
  int shots = 1;
  std::array<Muzzle, 3> muzzles{};
};
// Level 1 is the plain game's single shot; 2 two streams 12 pixels apart; 3
// the middle stream with one to each side, spreading 0.6 pixels a tick; 4
// that spread at 12 ticks: 8.3 volleys a second instead of 5.
constexpr std::array<WeaponLevel, MAX_POWER> WEAPON_LEVELS = {{
    {FIRE_COOLDOWN, 1, {{{MUZZLE_X, 0.0f}}}},
    {FIRE_COOLDOWN, 2, {{{MUZZLE_X - 6.0f, 0.0f}, {MUZZLE_X + 6.0f, 0.0f}}}},
    {FIRE_COOLDOWN, 3, {{{MUZZLE_X, 0.0f}, {MUZZLE_X - 6.0f, -0.6f}, {MUZZLE_X + 6.0f, 0.6f}}}},
    {12, 3, {{{MUZZLE_X, 0.0f}, {MUZZLE_X - 6.0f, -0.6f}, {MUZZLE_X + 6.0f, 0.6f}}}},
}};

// Two pairs of cyan particles drifting down from the ship's tail.
void emit_exhaust() {
  for (int pair = 0; pair < 2; ++pair) {
    for (int column : {11, 22}) {
      const int x = player.x + column + random_between(0, 4);
      const float vy = static_cast<float>(random_between(10, 50) / 100.0);
      const int g = random_between(200, 255);
      const int b = random_between(200, 255);
      const int fade_period = random_between(1, 5);
      spawn_particle(static_cast<float>(x), static_cast<float>(player.y + SHIP_SIZE), 0.0f, vy,
                     particle_colour(0, g, b), 64, 1, fade_period);
    }
  }
}

// One particle at the middle of the ship's nose, flying up and aside: red,
// or under detailed looks the pale cyan of the ship's shots, since red next
// to the ship read as an enemy bullet.
void emit_muzzle_flash() {
  const float vx = static_cast<float>(random_between(-50, 50) / 100.0);
  const float vy = static_cast<float>(-(random_between(10, 50) / 100.0));
  const int r = random_between(200, 255);
  const int fade_period = random_between(1, 5);
  const int muzzle_x = player.x + SHIP_SIZE / 2;
  spawn_particle(static_cast<float>(muzzle_x), static_cast<float>(player.y), vx, vy,
                 rules.detailed_looks ? particle_colour(r - 60, r, 255) : particle_colour(r, 0, 0),
                 8, 1, fade_period);
}

}  // namespace

// One tick of control. A lost ship (energy 0 or less) ignores all input.
// Left wins over right and up over down, except at the edge they cannot move.
void update_player(const TickInput& in) {
  const bool bomb_pressed = in.bomb && player.bomb_held == 0;
  player.bomb_held = in.bomb ? 1 : 0;
  if (player.energy <= 0) return;

  if (in.left && player.x > 0) {
    --player.x;
  } else if (in.right && player.x < SHIP_MAX_X) {
    ++player.x;
  }

  if (in.up && player.y > 0) {
    --player.y;
    emit_exhaust();
  } else if (in.down && player.y < SHIP_MAX_Y) {
    ++player.y;
  }

  // The cooldown restarts and the flash shows even when every shot slot is busy.
  if (in.fire && player.fire_cooldown == 0) {
    const WeaponLevel& weapon = WEAPON_LEVELS[std::clamp(player.power, 1, MAX_POWER) - 1];
    for (int k = 0; k < weapon.shots; ++k)
      fire_player_shot_from(PLAYER_SHOT_TYPE, weapon.muzzles[k].dx, weapon.muzzles[k].vx);
    player.fire_cooldown = weapon.cooldown;
    emit_muzzle_flash();
  }
  if (bomb_pressed) world_local::drop_bomb();
}

void fire_player_shot(int shot_type) {
  fire_player_shot_from(shot_type, MUZZLE_X, 0.0f);
}

// Type 1 flies up at PLAYER_SHOT_SPEED and `vx` aside; type 2 stands at the
// top of the playfield. Any other type stands still where it was fired.
void fire_player_shot_from(int shot_type, float dx, float vx) {
  const ShotType* st = world_local::shot_type_of(shot_type);
  if (st == nullptr) return;
  for (Bullet& b : player_shots) {
    if (b.type != 0) continue;
    b.type = shot_type;
    b.x = static_cast<float>(player.x) + dx;
    b.y = static_cast<float>(player.y);
    b.hit = 0;
    b.anim = st->start_anim;
    b.anim_timer = world_local::step_duration(st->anims, st->start_anim);
    b.vx = 0.0f;
    b.vy = 0.0f;
    if (shot_type == 1) {
      b.vx = vx;
      b.vy = -PLAYER_SHOT_SPEED;
    } else if (shot_type == 2) {
      b.y = 1.0f;
    }
    record_world_event(shot_type == 2 ? EVENT_PLAYER_BEAM : EVENT_PLAYER_SHOT, b.x);
    return;
  }
}
