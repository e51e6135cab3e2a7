// One logic tick of the world, in seven phases: enemies (movement, script,
// animation, collisions), player shots, the fire cooldown, enemy bullets,
// particles, the energy floor and the scroll. Slots are visited in index order
// and every change is seen at once by later slots and phases.

#include <allegro.h>

#include <algorithm>

#include "script/script.h"
#include "world/world.h"
#include "world/world_local.h"

using world_local::END_OF_LIFE;
using world_local::enemy_type_of;
using world_local::masks_touch;
using world_local::shot_type_of;
using world_local::step_duration;
using world_local::step_of;

namespace {

constexpr int LOST_MESSAGE_TICKS = 500;

// The ship has just been hit, and had `energy_before` before the blow. The
// message shows after every blow below 1; the lost game is heard only for the
// blow that took the last point.
void ship_was_hit(int energy_before) {
  player.invulnerable = rules.invulnerable_ticks;
  player.chain = 0;
  player.chain_left = 0;
  world_local::lose_power();
  if (rules.keeps_tally) ++level_tally.hits;
  const float centre = static_cast<float>(player.x + SHIP_SIZE / 2);
  record_world_event(EVENT_SHIP_HIT, centre);
  screen_feedback.shake_left = std::max(screen_feedback.shake_left, rules.shake_ticks);
  if (rules.energy_flash_ticks > 0) {
    // A blow while the bar still flashes keeps the flash's start: the whole loss shows.
    if (screen_feedback.energy_flash_left <= 0) screen_feedback.energy_lost_from = energy_before;
    screen_feedback.energy_flash_left = rules.energy_flash_ticks;
  }
  if (energy_before >= 1 && player.energy < 1) {
    record_world_event(EVENT_GAME_LOST, centre);
    if (rules.ship_explodes) world_local::burst_ship();
  }
  if (player.energy < 1) show_message(LOST_MESSAGE, LOST_MESSAGE_TICKS);
}

// Nothing touches a ship that has burst, not even to be ignored.
bool ship_burst() {
  return rules.ship_explodes && player.energy < 1;
}

void enter_death_step(int slot, const EnemyType& def) {
  Enemy& e = enemies[slot];
  EnemyAnimState& s = enemy_anim_states[slot];
  e.vx = 0.0f;
  e.vy = 0.0f;
  s.anim = s.death_anim;
  s.anim_timer = step_duration(def.anims, s.death_anim);
  if (def.boss) world_local::boss_falls(slot);
}

// The kill of `e`, with what its group was worth when it fell with it, scores
// them times the multiplier, and under a chain rule (unless told not to)
// raises the chain and gives the next kill the chain's time.
void score_kill(const Enemy& e, int group_score, bool raises_chain = true) {
  world_local::count_type_score(e.type, e.score * score_multiplier());
  player.score += (e.score + group_score) * score_multiplier();
  if (rules.keeps_tally) {
    ++level_tally.destroyed;
    level_tally.max_chain = std::max(level_tally.max_chain, score_multiplier());
  }
  if (rules.chain_ticks <= 0 || !raises_chain) return;
  if (player.chain + 1 < rules.max_multiplier) ++player.chain;
  player.chain_left = rules.chain_ticks;
}

// A bullet or enemy touches the untouchable ship and passes on; each is
// counted the first time only.
void count_ignored(std::int32_t& ignored) {
  if (ignored == 0) ++level_tally.hits_ignored;
  ignored = 1;
}

// A projectile inside the playfield, bounds included.
bool in_playfield(float x, float y) {
  return x >= 0.0f && x <= static_cast<float>(PLAYFIELD_W) && y >= 0.0f &&
         y <= static_cast<float>(PLAYFIELD_H);
}

// Advances an enemy's animation by one tick. Returns false when the slot has
// been freed because its chain had already ended.
bool animate_enemy(int slot, const EnemyType& def) {
  Enemy& e = enemies[slot];
  EnemyAnimState& s = enemy_anim_states[slot];
  if (s.anim_timer != 0) {
    --s.anim_timer;
    return true;
  }
  const Animation* step = step_of(def.anims, s.anim);
  if (step != nullptr && step->flags != 0 && e.type != LEVEL_DIRECTOR) enemy_step_event(slot);
  if (step == nullptr) {
    e.type = 0;
    return false;
  }
  s.anim = step->next;
  s.anim_timer = step_duration(def.anims, s.anim);  // 0 after the last step: freed next tick
  return true;
}

// Player shots against enemy `slot`, whose box is w x h. Once the enemy's
// health is gone the later shots pass on, so score and trigger happen once.
void shoot_enemy(int slot, const EnemyType& def, int w, int h) {
  Enemy& e = enemies[slot];
  const EnemyAnimState& s = enemy_anim_states[slot];
  for (int j = 0; j < MAX_PLAYER_SHOTS; ++j) {
    Bullet& b = player_shots[j];
    if (b.type <= 0 || b.hit != 0 || b.anim == END_OF_LIFE) continue;
    if (e.health <= 0.0f) return;
    const Animation* enemy_step = step_of(def.anims, s.anim);
    if (enemy_step == nullptr || (enemy_step->flags & ANIM_UNHITTABLE) != 0) return;
    const ShotType* st = shot_type_of(b.type);
    if (st == nullptr) continue;
    const int bx = static_cast<int>(b.x);
    const int by = static_cast<int>(b.y);
    const int ex = static_cast<int>(e.x);
    const int ey = static_cast<int>(e.y);
    if (rects_overlap(bx, by, st->width, st->height, ex, ey, w, h) != 1) continue;
    const Animation* shot_step = step_of(st->anims, b.anim);
    if (shot_step == nullptr) continue;
    if (!masks_touch(shot_step->mask, enemy_step->mask, bx, by, ex, ey)) continue;

    e.health -= st->damage;
    if (e.health > 0.0f) {
      record_world_event(EVENT_ENEMY_HIT, b.x);
      e.tint_left = rules.enemy_tint_ticks;
    }
    b.hit = 1;
    b.anim = st->hit_anim;
    b.anim_timer = step_duration(st->anims, st->hit_anim);
    if (e.health <= 0.0f) {
      // The group falls before the trigger's own death step starts.
      const int group_score = e.group_trigger > 0 ? trigger_group(e.group) : 0;
      score_kill(e, rules.group_scores ? group_score : 0);
      world_local::count_kill_for_drop(e.type, e.x + static_cast<float>(w) / 2.0f,
                                       e.y + static_cast<float>(h) / 2.0f);
      enter_death_step(slot, def);
    }
  }
}

// The ship rams enemy `slot`: each loses what the other had. A rammed enemy
// gives no score and triggers no group.
void ram_enemy(int slot, const EnemyType& def, int w, int h) {
  Enemy& e = enemies[slot];
  const int ex = static_cast<int>(e.x);
  const int ey = static_cast<int>(e.y);
  if (ship_burst()) return;
  if (rects_overlap(player.x, player.y, SHIP_SIZE, SHIP_SIZE, ex, ey, w, h) != 1) return;
  if (e.health <= 0.0f) return;
  const Animation* enemy_step = step_of(def.anims, enemy_anim_states[slot].anim);
  if (enemy_step == nullptr || (enemy_step->flags & ANIM_UNHITTABLE) != 0) return;
  if (!masks_touch(player.mask, enemy_step->mask, player.x, player.y, ex, ey)) return;
  if (player.invulnerable > 0) return count_ignored(e.ignored);

  const int energy = player.energy;
  player.energy = static_cast<int>(static_cast<float>(energy) - e.health);
  e.health -= static_cast<float>(energy);
  if (e.health <= 0.0f) enter_death_step(slot, def);
  ship_was_hit(energy);
}

// Phase 1 for one enemy slot.
void update_enemy(int slot) {
  Enemy& e = enemies[slot];
  const EnemyType* def = enemy_type_of(e.type);
  if (def == nullptr) return;
  const bool director = e.type == LEVEL_DIRECTOR;
  if (e.tint_left > 0) --e.tint_left;

  // The frame size of the step this tick starts in serves both collision
  // tests, even when the animation moves on below.
  int w = 0;
  int h = 0;
  if (!director) {
    e.x += e.vx;
    e.y += e.vy;
    const Animation* step = step_of(def->anims, enemy_anim_states[slot].anim);
    if (step != nullptr) {
      if (const BITMAP* frame = frame_bitmap(def->data, step->frame)) {
        w = frame->w;
        h = frame->h;
      }
    }
  }

  // Movement comes before the script, so a velocity set in this burst moves
  // the enemy from the next tick on.
  run_script(slot);
  if (e.type == 0) return;
  if (!animate_enemy(slot, *def)) return;
  if (director || enemy_anim_states[slot].anim == END_OF_LIFE) return;

  shoot_enemy(slot, *def, w, h);
  ram_enemy(slot, *def, w, h);
}

// Shared by both projectile tables: a finished step raises its effects and
// moves on; the reload uses the start step's duration, not the new step's.
// Returns false when the slot has been freed.
bool animate_projectile(Bullet& b, int owner, int slot) {
  if (b.anim_timer != 0) {
    --b.anim_timer;
    return true;
  }
  const ShotType* st = shot_type_of(b.type);
  const Animation* step = st != nullptr ? step_of(st->anims, b.anim) : nullptr;
  if (step != nullptr && step->flags != 0) shot_step_event(owner, slot, step->flags);
  if (step == nullptr) {
    b.type = 0;
    return false;
  }
  b.anim = step->next;
  b.anim_timer = step_duration(st->anims, st->start_anim);
  return true;
}

void update_player_shots() {
  for (int j = 0; j < MAX_PLAYER_SHOTS; ++j) {
    Bullet& b = player_shots[j];
    if (b.type <= 0) continue;
    b.x += b.vx;
    b.y += b.vy;
    if (!animate_projectile(b, -1, j)) continue;
    if (!in_playfield(b.x, b.y)) b.type = 0;
  }
}

// An enemy bullet tests a 3 x 3 box against the ship, whatever its type's size.
void bullet_hits_ship(Bullet& b) {
  if (b.hit != 0 || b.anim == END_OF_LIFE || ship_burst()) return;
  const ShotType* st = shot_type_of(b.type);
  if (st == nullptr) return;
  const int bx = static_cast<int>(b.x);
  const int by = static_cast<int>(b.y);
  if (rects_overlap(bx, by, BULLET_BOX, BULLET_BOX, player.x, player.y, SHIP_SIZE, SHIP_SIZE) !=
      1) {
    return;
  }
  const Animation* step = step_of(st->anims, b.anim);
  if (step == nullptr) return;
  if (!masks_touch(step->mask, player.mask, bx, by, player.x, player.y)) return;
  if (player.invulnerable > 0) return count_ignored(b.ignored);

  const int energy = player.energy;
  player.energy = static_cast<int>(static_cast<float>(energy) - st->damage);
  ship_was_hit(energy);
  b.hit = 1;
  b.anim = st->hit_anim;
  b.anim_timer = step_duration(st->anims, st->hit_anim);
}

void update_enemy_bullets() {
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    Bullet& b = enemy_bullets[j];
    if (b.type <= 0) continue;
    b.x += b.vx;
    b.y += b.vy;
    bullet_hits_ship(b);
    if (!animate_projectile(b, j, j)) continue;
    if (!in_playfield(b.x, b.y)) b.type = 0;
  }
}

// A particle moves once every move_period + 1 ticks and fades once every
// fade_period + 1 ticks; it dies outside the playfield or when its alpha is gone.
void update_particles() {
  for (Particle& p : particles) {
    if (p.x == FREE_PARTICLE) continue;
    if (p.move_timer != 0) {
      --p.move_timer;
    } else {
      p.x += p.vx;
      p.y += p.vy;
      p.move_timer = p.move_period;
    }
    if (p.fade_timer != 0) {
      --p.fade_timer;
    } else {
      p.alpha -= p.fade_step;
      p.fade_timer = p.fade_period;
    }
    if (!in_playfield(p.x, p.y) || p.alpha < 1) p.x = FREE_PARTICLE;
  }
}

// The sum is formed in double and stored as float: starting from 0, 194
// additions pass 64, so one tile row scrolls by every 195 ticks.
void scroll_background() {
  if (scroll_offset >= static_cast<float>(TILE_SIZE)) {
    scroll_offset = 0.0f;
    ++scroll_row;
  } else {
    scroll_offset = static_cast<float>(static_cast<double>(scroll_offset) + SCROLL_SPEED);
  }
}

// Before anything of this tick raises them again.
void count_down_screen_feedback() {
  for (std::int32_t* left : {&screen_feedback.shake_left, &screen_feedback.flash_left,
                             &screen_feedback.energy_flash_left})
    if (*left > 0) --*left;
}

}  // namespace

void update_world() {
  count_down_screen_feedback();
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    if (enemies[i].type > 0) update_enemy(i);
  }
  update_player_shots();
  if (player.fire_cooldown != 0) --player.fire_cooldown;
  update_enemy_bullets();
  world_local::update_items();
  world_local::play_bomb();
  if (player.invulnerable > 0) --player.invulnerable;
  if (player.chain_left > 0 && --player.chain_left == 0) player.chain = 0;
  update_particles();
  if (player.energy < 0) player.energy = 0;
  scroll_background();
  world_local::settle_game_outcome();
}

// Scored and fallen as a shot's kill is, its group with it, but a bomb's
// kills raise no chain.
void world_local::bomb_destroys(int slot) {
  Enemy& e = enemies[slot];
  const EnemyType* def = enemy_type_of(e.type);
  if (def == nullptr) return;
  const int group_score = e.group_trigger > 0 ? trigger_group(e.group) : 0;
  score_kill(e, rules.group_scores ? group_score : 0, false);
  enter_death_step(slot, *def);
}

bool ship_shown() {
  if (rules.ship_explodes && player.energy < 1) return false;
  return player.invulnerable <= 0 || (player.invulnerable / BLINK_TICKS) % 2 == 0;
}

int living_boss() {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    if (enemies[i].type == LEVEL_DIRECTOR) continue;  // it borrows type 1's entry
    const EnemyType* def = enemy_type_of(enemies[i].type);
    if (def != nullptr && def->boss && enemies[i].health > 0.0f) return i;
  }
  return -1;
}

int score_multiplier() {
  return std::min(player.chain + 1, std::max(rules.max_multiplier, 1));
}

void run_tick(const TickInput& input) {
  update_player(input);
  update_world();
  tick_messages();
}
