// Effects of animation steps that end with flags: explosions, debris, sparks,
// the beam and the victory. They touch only the particle table, the messages,
// the event list and the outcome's note of a victory; killing, scoring and
// freeing belong to the tick.

#include <allegro.h>

#include "world/world.h"
#include "world/world_local.h"

namespace {

constexpr int SHIP_BURST_PAIRS = 60;  // the ship's end is bigger than any enemy's
constexpr int EXPLOSION_PAIRS = 25;   // a fire and a smoke particle each
constexpr int EXPLOSION_SPREAD = 75;
// A boss bursts with eight times the particles, flung three times as far.
constexpr int BOSS_EXPLOSION_PAIRS = 8 * EXPLOSION_PAIRS;
constexpr int BOSS_EXPLOSION_SPREAD = 3 * EXPLOSION_SPREAD;
constexpr int VICTORY_TICKS = 10000;
constexpr int BEAM_SWING = 6;  // pixels either side of the core

// A random integer a..b as a fraction of 100.
float hundredths(int a, int b) {
  return static_cast<float>(random_between(a, b) / 100.0);
}

// One particle of an explosion: a random drift of up to `spread` hundredths
// of a pixel per move either way and a random fade. `colour` draws its own
// random numbers, between the drift's and the fade's, and returns the
// particle_colour.
template <typename Colour>
void spawn_burst_particle(float x, float y, Colour colour, int spread = EXPLOSION_SPREAD) {
  const float vx = hundredths(-spread, spread);
  const float vy = hundredths(-spread, spread);
  const int c = colour();
  const int fade_step = random_between(8, 16);
  const int fade_period = random_between(2, 8);
  spawn_particle(x, y, vx, vy, c, fade_step, 1, fade_period);
}

int fire_colour() {
  const int r = random_between(200, 255);
  const int g = random_between(100, 200);
  return particle_colour(r, g, 0);
}

int smoke_colour() {
  const int m = random_between(100, 200);
  return particle_colour(m, m, m);
}

// Debris falling away from the target: down for a player shot, up for an
// enemy bullet. Red, or under detailed looks steel blue, a colour no bullet
// has (red debris read as bullets on a brown background); the same draws
// either way.
void spawn_debris(float x, float y, bool player_shot) {
  const float vx = hundredths(-75, 75);
  float vy = hundredths(100, 150);
  if (!player_shot) vy = -vy;
  const int v = random_between(200, 255);
  const int fade_step = random_between(8, 16);
  const int fade_period = random_between(2, 8);
  const int colour =
      rules.detailed_looks ? particle_colour(v / 2, v / 2 + 24, v) : particle_colour(v, 0, 0);
  spawn_particle(x, y, vx, vy, colour, fade_step, 1, fade_period);
}

void spawn_spark(float x, float y) {
  const float vx = hundredths(-70, 70);
  const int v = random_between(200, 255);
  spawn_particle(x, y, vx, 0.0f, particle_colour(v, v, 0), 16, 1, 4);
}

void spawn_beam_particle(float x, float y, int colour) {
  const float vx = hundredths(-10, 10);
  const float vy = hundredths(-30, 30);
  spawn_particle(x, y, vx, vy, colour, 8, 8, 5);
}

// The glow's zigzag: the swing at each row, turning and holding a row at
// either extreme.
struct BeamSwing {
  int d = 0;
  bool increasing = true;
  int next() {
    if (increasing) {
      if (d == BEAM_SWING) {
        increasing = false;
      } else {
        ++d;
      }
    } else {
      if (d == -BEAM_SWING) {
        increasing = true;
      } else {
        --d;
      }
    }
    return d;
  }
};

// A grey core down the whole playfield at column px, with two blue glow
// particles zigzagging 6 pixels either side of it: 600 particles.
void spawn_beam(int px) {
  const int grey = particle_colour(128, 128, 128);
  const int blue = particle_colour(0, 0, 255);
  BeamSwing swing;
  for (int row = 0; row < PLAYFIELD_H; ++row) {
    const int d = swing.next();
    if (row % 2 != 0) continue;
    const float y = static_cast<float>(row);
    spawn_beam_particle(static_cast<float>(px), y, grey);
    spawn_beam_particle(static_cast<float>(px + d), y, blue);
    spawn_beam_particle(static_cast<float>(px + d), y, blue);
  }
}

// The sweep's columns: the beam's colours, a particle every SWEEP_ROW_STEP
// rows alternating core and glow (100 per column), gone in 24 ticks, so at
// most about 1600 of them live beside the beam's 600.
constexpr int SWEEP_ROW_STEP = 4;
constexpr int SWEEP_FADE_STEP = 32;
constexpr int SWEEP_FADE_PERIOD = 2;
// A new pair of columns every SWEEP_STEP_TICKS, SWEEP_STEP_PIXELS further
// out: both edges are reached within 40 ticks from any column.
constexpr int SWEEP_STEP_TICKS = 3;
constexpr int SWEEP_STEP_PIXELS = 24;

void spawn_sweep_column(int px) {
  if (px < 0 || px >= PLAYFIELD_W) return;
  const int grey = particle_colour(128, 128, 128);
  const int blue = particle_colour(0, 0, 255);
  BeamSwing swing;
  for (int row = 0; row < PLAYFIELD_H; ++row) {
    const int d = swing.next();
    if (row % SWEEP_ROW_STEP != 0) continue;
    const bool core = (row / SWEEP_ROW_STEP) % 2 == 0;
    const float vx = hundredths(-10, 10);
    const float vy = hundredths(-30, 30);
    spawn_particle(static_cast<float>(core ? px : px + d), static_cast<float>(row), vx, vy,
                   core ? grey : blue, SWEEP_FADE_STEP, 8, SWEEP_FADE_PERIOD);
  }
}

}  // namespace

void world_local::spawn_bomb_sweep(int origin, int tick) {
  if (tick == 0) {
    spawn_beam(origin);
    return;
  }
  if (tick % SWEEP_STEP_TICKS != 0) return;
  const int reach = tick / SWEEP_STEP_TICKS * SWEEP_STEP_PIXELS;
  spawn_sweep_column(origin - reach);
  spawn_sweep_column(origin + reach);
}

void world_local::sparks_from_enemy_bullets() {
  for (Bullet& b : enemy_bullets) {
    if (b.type == 0) continue;
    spawn_spark(static_cast<float>(static_cast<int>(b.x)),
                static_cast<float>(static_cast<int>(b.y)));
    b.type = 0;
  }
}

// For an enemy whose current step has just ended: the explosion bursts from
// the frame's centre moved by the step's drawing offset.
void enemy_step_event(int slot) {
  if (slot < 0 || slot >= MAX_ENEMIES) return;
  const Enemy& e = enemies[slot];
  const EnemyType* def = world_local::enemy_type_of(e.type);
  if (def == nullptr) return;
  const Animation* step = world_local::step_of(def->anims, enemy_anim_states[slot].anim);
  if (step == nullptr) return;

  if ((step->flags & ANIM_EXPLODE) != 0) {
    const BITMAP* frame = frame_bitmap(def->data, step->frame);
    const int w = frame != nullptr ? frame->w : 0;
    const int h = frame != nullptr ? frame->h : 0;
    // The centre is halved in whole pixels, before it meets the float position.
    const int centre_x = step->offset_x + w / 2;
    const int centre_y = step->offset_y + h / 2;
    const float x = e.x + static_cast<float>(centre_x);
    const float y = e.y + static_cast<float>(centre_y);
    for (int i = 0; i < EXPLOSION_PAIRS; ++i) {
      spawn_burst_particle(x, y, fire_colour);
      spawn_burst_particle(x, y, smoke_colour);
    }
    record_world_event(EVENT_ENEMY_DESTROYED, x);
  }
  if ((step->flags & ANIM_VICTORY) != 0) {
    show_message(VICTORY_MESSAGE, VICTORY_TICKS);
    world_local::note_victory_step();
    // The whole level is won, not a place on it: heard from the middle.
    record_world_event(EVENT_LEVEL_WON, static_cast<float>(PLAYFIELD_W) / 2.0f);
  }
}

void world_local::burst_ship() {
  const float x = static_cast<float>(player.x + SHIP_SIZE / 2);
  const float y = static_cast<float>(player.y + SHIP_SIZE / 2);
  for (int i = 0; i < SHIP_BURST_PAIRS; ++i) {
    spawn_burst_particle(x, y, fire_colour);
    spawn_burst_particle(x, y, smoke_colour);
  }
  record_world_event(EVENT_SHIP_EXPLODED, x);
}

// The large explosion bursts from the middle of the frame the boss shows as
// it falls.
void world_local::boss_falls(int slot) {
  const Enemy& e = enemies[slot];
  const EnemyType* def = world_local::enemy_type_of(e.type);
  if (def == nullptr) return;
  const Animation* step = world_local::step_of(def->anims, enemy_anim_states[slot].anim);
  const BITMAP* frame = step != nullptr ? frame_bitmap(def->data, step->frame) : nullptr;
  const float x = e.x + static_cast<float>(frame != nullptr ? step->offset_x + frame->w / 2 : 0);
  const float y = e.y + static_cast<float>(frame != nullptr ? step->offset_y + frame->h / 2 : 0);
  for (int i = 0; i < BOSS_EXPLOSION_PAIRS; ++i) {
    spawn_burst_particle(x, y, fire_colour, BOSS_EXPLOSION_SPREAD);
    spawn_burst_particle(x, y, smoke_colour, BOSS_EXPLOSION_SPREAD);
  }
  world_local::sparks_from_enemy_bullets();
  screen_feedback.flash_left = BOSS_FLASH_TICKS;
  screen_feedback.shake_left = SHAKE_TICKS;
}

// owner -1: `slot` is a player shot; otherwise it is an enemy bullet.
void shot_step_event(int owner, int slot, int flags) {
  const bool player_shot = owner == -1;
  if (slot < 0 || slot >= (player_shot ? MAX_PLAYER_SHOTS : MAX_ENEMY_BULLETS)) return;
  const Bullet& b = player_shot ? player_shots[slot] : enemy_bullets[slot];
  // Effects start at the projectile's whole-pixel position.
  const int px = static_cast<int>(b.x);
  const int py = static_cast<int>(b.y);

  if ((flags & ANIM_EXPLODE) != 0) {
    spawn_debris(static_cast<float>(px), static_cast<float>(py), player_shot);
  }
  if ((flags & ANIM_SPARK) != 0) spawn_spark(static_cast<float>(px), static_cast<float>(py));
  if ((flags & ANIM_BEAM) != 0 && player_shot) spawn_beam(px);
}
