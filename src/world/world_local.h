// Look-ups shared by the world's own files: the definition entry and step of a
// live object, and the size of a step's frame. Each one answers "nothing"
// instead of reading outside a table, so a bad index in content costs a
// missing collision or effect, never a crash.
#pragma once

#include <allegro.h>

#include "world/world.h"

namespace world_local {

inline constexpr int END_OF_LIFE = -1;  // step index that ends an object

// The definition entry of an enemy: entry 0 for the level director, entry
// type-1 for types 1..8, null for anything else.
inline EnemyType* enemy_type_of(int type) {
  if (type == LEVEL_DIRECTOR) return &enemy_types[0];
  if (type < 1 || type > MAX_ENEMY_TYPES) return nullptr;
  return &enemy_types[type - 1];
}

inline ShotType* shot_type_of(int type) {
  if (type < 1 || type > MAX_SHOT_TYPES) return nullptr;
  return &shot_types[type - 1];
}

inline bool is_step(int index) {
  return index >= 0 && index < MAX_ANIMATIONS;
}

// The step record of an index, null for the end marker or a bad index.
inline const Animation* step_of(const std::array<Animation, MAX_ANIMATIONS>& anims, int index) {
  return is_step(index) ? &anims[index] : nullptr;
}

// Ticks a new step lasts beyond its first; the end marker has none.
inline int step_duration(const std::array<Animation, MAX_ANIMATIONS>& anims, int index) {
  return is_step(index) ? anims[index].duration : 0;
}

// Adds a kill's points to its type's share of the score; the level director
// and types outside the table have none.
inline void count_type_score(int type, int points) {
  if (type >= 1 && type <= MAX_ENEMY_TYPES) level_tally.score_by_type[type - 1] += points;
}

// Boss `slot` has just lost its last health: a large explosion from its
// middle, the screen's flash and shake, and every enemy bullet turned into a
// spark, so the player is not hit by the fight that has just ended.
void boss_falls(int slot);

// Every enemy bullet in flight turns into a spark where it is and is freed.
void sparks_from_enemy_bullets();

// The bomb: drop_bomb starts one when the rules, the bombs left and the
// button allow it (see world.h); play_bomb sweeps its beam and counts it down
// once per tick. Neither draws a random number unless a bomb plays.
void drop_bomb();
void play_bomb();
// The bomb's look on tick `tick` (0 first) of its play: the ship's beam at
// column `origin` first, then columns of its core and glow running out from
// there to both edges, short-lived so the whole sweep fits beside the other
// particles.
void spawn_bomb_sweep(int origin, int tick);
// Kill of enemy `slot` by a bomb, which has just taken its last health.
void bomb_destroys(int slot);

// A victory step has ended in this tick; the tick's end settles the outcome.
void note_victory_step();
// The outcome after the tick's last phase (see GameOutcome in world.h).
void settle_game_outcome();

// The lost ship bursts where it is: fire and smoke at its centre, and the
// event its sound is heard by.
void burst_ship();

// A player shot has brought down an enemy of `type` whose box centre is
// (cx, cy): counts the kill toward the type's drop and drops its item on
// every drop_every-th, under rules with power-ups.
void count_kill_for_drop(int type, float cx, float cy);
// Phase of the tick after the enemy bullets: items drift, sway, are taken by
// the ship or leave the bottom.
void update_items();
// A blow to the ship under rules with power-ups: one weapon level less, never below 1.
void lose_power();

// Two positioned masks touch; a side without a mask counts by its box alone,
// so the caller has already made the box test.
inline bool masks_touch(const PixelMask* a, const PixelMask* b, int ax, int ay, int bx, int by) {
  if (a == nullptr || b == nullptr) return true;
  return masks_overlap(a, b, ax, ay, bx, by) != 0;
}

}  // namespace world_local
