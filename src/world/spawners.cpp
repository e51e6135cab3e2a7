// The spawners: each takes the lowest free slot of its table, fills every
// field the tick reads, and drops the request silently when the table is full.

#include <algorithm>

#include "world/world.h"
#include "world/world_local.h"

using world_local::enemy_type_of;
using world_local::shot_type_of;
using world_local::step_duration;

namespace {

template <typename Table>
int free_typed_slot(const Table& table) {
  for (int i = 0; i < static_cast<int>(table.size()); ++i) {
    if (table[i].type == 0) return i;
  }
  return -1;
}

}  // namespace

// A negative coordinate means "from the firing enemy": its position plus the
// offset. Zero and positive coordinates are absolute. A shot type outside the
// table or a firing slot outside the enemy table is refused.
void spawn_bullet(int enemy_slot, int shot_type, float x, float y, float vx, float vy, int offset_x,
                  int offset_y) {
  const ShotType* st = shot_type_of(shot_type);
  if (st == nullptr || enemy_slot < 0 || enemy_slot >= MAX_ENEMIES) return;
  const int slot = free_typed_slot(enemy_bullets);
  if (slot < 0) return;
  const Enemy& shooter = enemies[enemy_slot];
  Bullet& b = enemy_bullets[slot];
  b.type = shot_type;
  b.x = x < 0.0f ? shooter.x + static_cast<float>(offset_x) : x;
  b.y = y < 0.0f ? shooter.y + static_cast<float>(offset_y) : y;
  b.anim = st->start_anim;
  b.anim_timer = step_duration(st->anims, st->start_anim);
  // Fire and aimed fire both arrive here, so the difficulty scales every
  // enemy bullet once; the plain rules multiply by exactly 1.
  b.vx = vx * rules.enemy_bullet_speed;
  b.vy = vy * rules.enemy_bullet_speed;
  b.hit = 0;
  b.ignored = 0;
  record_world_event(EVENT_ENEMY_FIRE, b.x);
}

// Creates an enemy with a private copy of script `script_number` (1-based).
// An enemy type other than 1..8 and the level director, or a number that
// names no script, refuses the spawn: nothing is created.
void spawn_enemy(int enemy_type, int script_number, float x, float y, float vx, float vy, int group,
                 int group_trigger) {
  const EnemyType* def = enemy_type_of(enemy_type);
  if (def == nullptr) return;
  int start = 0;
  int length = 0;
  if (!find_script(script_number, &start, &length)) return;
  length = std::clamp(length, 0, MAX_SCRIPT_LENGTH);
  const int slot = free_typed_slot(enemies);
  if (slot < 0) return;

  Enemy& e = enemies[slot];
  if (rules.keeps_tally && enemy_type != LEVEL_DIRECTOR) ++level_tally.appeared;
  e.type = enemy_type;
  e.health = static_cast<float>(def->health);
  e.score = def->score;
  e.x = x;
  e.y = y;
  e.vx = vx;
  e.vy = vy;
  e.script_number = script_number - 1;
  e.group = group;
  e.group_trigger = group_trigger;
  e.pc = 0;
  e.wait = 0;
  e.angle = 0;
  e.tint_left = 0;
  e.ignored = 0;

  EnemyAnimState& s = enemy_anim_states[slot];
  s.anim = def->start_anim;
  s.death_anim = def->death_anim;
  s.anim_timer = step_duration(def->anims, def->start_anim);

  // The instructions past the copy keep what they held; script_length keeps
  // the interpreter from ever reaching them.
  std::copy_n(script_store.begin() + start, length, e.script.begin());
  e.script_length = length;
}

// The table's last slot is never used: 4095 usable particles.
void spawn_particle(float x, float y, float vx, float vy, int colour, int fade_step,
                    int move_period, int fade_period) {
  for (int i = 0; i < MAX_PARTICLES - 1; ++i) {
    Particle& p = particles[i];
    if (p.x != FREE_PARTICLE) continue;
    p.x = x;
    p.y = y;
    p.vx = vx;
    p.vy = vy;
    p.colour = colour;
    p.fade_step = fade_step;
    p.alpha = 255;
    p.move_timer = move_period;
    p.move_period = move_period;
    p.fade_timer = fade_period;
    p.fade_period = fade_period;
    return;
  }
}

// Sends every living member of `group` into its death step. The level
// director and the already dead (the trigger itself) are left alone; members
// keep their health, velocity and script.
int trigger_group(int group) {
  int fallen_score = 0;
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    Enemy& e = enemies[i];
    if (e.type <= 0 || e.type == LEVEL_DIRECTOR || e.health <= 0.0f || e.group != group) {
      continue;
    }
    const EnemyType* def = enemy_type_of(e.type);
    if (def == nullptr) continue;
    EnemyAnimState& s = enemy_anim_states[i];
    s.anim = s.death_anim;
    s.anim_timer = step_duration(def->anims, s.death_anim);
    fallen_score += e.score;
    if (rules.group_scores) world_local::count_type_score(e.type, e.score * score_multiplier());
    if (rules.keeps_tally) ++level_tally.destroyed;
    // Where a member scores as it falls, it cannot be shot down for more.
    if (rules.group_scores) e.health = 0.0f;
  }
  return fallen_score;
}
