#include <algorithm>

#include "world/world.h"
#include "world/world_local.h"

Player player;
LevelTally level_tally;
ScreenFeedback screen_feedback;
Rules rules;
std::array<Bullet, MAX_PLAYER_SHOTS> player_shots;
std::array<Bullet, MAX_ENEMY_BULLETS> enemy_bullets;
std::array<Enemy, MAX_ENEMIES> enemies;
std::array<EnemyAnimState, MAX_ENEMIES> enemy_anim_states;
std::array<Particle, MAX_PARTICLES> particles;
std::array<ShotType, MAX_SHOT_TYPES> shot_types;
std::array<EnemyType, MAX_ENEMY_TYPES> enemy_types;

std::int32_t scroll_row = 0;
float scroll_offset = 0.0f;

Rules rules_at_difficulty(const Rules& base, int difficulty) {
  if (!base.chooses_difficulty) return base;
  Rules played = base;
  played.difficulty =
      std::clamp(difficulty, static_cast<int>(DIFFICULTY_EASY), static_cast<int>(DIFFICULTY_HARD));
  played.enemy_bullet_speed = ENEMY_BULLET_SPEED[played.difficulty];
  return played;
}

void free_all_particles() {
  for (Particle& p : particles) p.x = FREE_PARTICLE;
}

// Start clears the ship, the particles, the enemies, their bullets, the
// events not yet heard and the outcome; the shots and the rest are reset when the level itself
// starts.
void put_ship_at_start() {
  player.x = SHIP_START_X;
  player.y = SHIP_START_Y;
  player.energy = START_ENERGY;
}

void reset_world_for_new_game() {
  put_ship_at_start();
  player.score = 0;
  // The first level's start raises it to 1 under rules with power-ups.
  player.power = 0;
  player.bombs = 0;
  free_all_particles();
  for (Enemy& e : enemies) e.type = 0;
  for (Bullet& b : enemy_bullets) b.type = 0;
  clear_world_events();
  reset_game_outcome();
}

// The next level of a campaign starts on a clear screen: no enemy, shot,
// bullet or particle of the level before survives it. The ship, its energy
// and its score are left to the campaign.
void reset_world_for_next_level() {
  free_all_particles();
  for (Bullet& b : enemy_bullets) b.type = 0;
  reset_world_for_level_start();
}

void start_level_power() {
  player.power = rules.power_ups ? std::clamp(player.power, 1, MAX_POWER) : 0;
}

void reset_world_for_level_start() {
  player.invulnerable = 0;
  player.chain = 0;
  player.chain_left = 0;
  player.bomb_left = 0;
  player.bomb_held = 0;  // so a run plays the same whatever the one before it ended with
  level_tally = LevelTally{};
  screen_feedback = ScreenFeedback{};
  items = {};
  kills_toward_drop = {};
  forget_reported_opcodes();
  for (Enemy& e : enemies) {
    e.type = 0;
    e.wait = 0;
  }
  for (Bullet& b : player_shots) b.type = 0;
  player.fire_cooldown = 0;
  reset_game_outcome();
}
