// The bomb: what it does to the bullets, the enemies and the ship when it is
// dropped, and its beam sweeping the playfield while it plays. Only under
// rules with bombs; the plain rules never reach it.

#include <allegro.h>

#include <algorithm>

#include "world/world.h"
#include "world/world_local.h"

using world_local::enemy_type_of;
using world_local::step_of;

namespace {

// The column the ship's beam stands in, as fire_player_shot places it.
int beam_column() {
  return player.x + 18;
}

// Enemy `slot` takes the bomb when it lives, can be hit in its current step
// and its frame's box overlaps the playfield: BOMB_DAMAGE, or a boss's share.
void bomb_enemy(int slot) {
  Enemy& e = enemies[slot];
  if (e.type == LEVEL_DIRECTOR || e.health <= 0.0f) return;
  const EnemyType* def = enemy_type_of(e.type);
  if (def == nullptr) return;
  const Animation* step = step_of(def->anims, enemy_anim_states[slot].anim);
  if (step == nullptr || (step->flags & ANIM_UNHITTABLE) != 0) return;
  const BITMAP* frame = frame_bitmap(def->data, step->frame);
  const int w = frame != nullptr ? std::max(frame->w, 1) : 1;
  const int h = frame != nullptr ? std::max(frame->h, 1) : 1;
  if (rects_overlap(static_cast<int>(e.x), static_cast<int>(e.y), w, h, 0, 0, PLAYFIELD_W,
                    PLAYFIELD_H) != 1)
    return;
  if (def->boss) {
    const float share = BOSS_BOMB_SHARE * static_cast<float>(std::max(def->health, 1));
    // The last point is left to the ship's shots.
    e.health = std::max(e.health - share, std::min(e.health, 1.0f));
  } else {
    e.health -= BOMB_DAMAGE;
  }
  if (e.health > 0.0f) {
    e.tint_left = rules.enemy_tint_ticks;
    return;
  }
  world_local::bomb_destroys(slot);
}

}  // namespace

// The chain breaks before the bomb's kills, so they score at the multiplier 1.
void world_local::drop_bomb() {
  if (!rules.bombs || player.bombs <= 0 || player.bomb_left > 0 || player.energy < 1) return;
  --player.bombs;
  ++level_tally.bombs;
  player.bomb_left = BOMB_TICKS;
  player.invulnerable = std::max(player.invulnerable, BOMB_TICKS);
  player.chain = 0;
  player.chain_left = 0;
  screen_feedback.flash_left = std::max(screen_feedback.flash_left, BOMB_FLASH_TICKS);
  record_world_event(EVENT_BOMB, static_cast<float>(player.x + SHIP_SIZE / 2));
  sparks_from_enemy_bullets();
  for (int i = 0; i < MAX_ENEMIES; ++i) bomb_enemy(i);
}

// The sweep runs out from wherever the ship is now, so it stays the ship's beam.
void world_local::play_bomb() {
  if (player.bomb_left <= 0) return;
  spawn_bomb_sweep(beam_column(), BOMB_TICKS - player.bomb_left);
  --player.bomb_left;
}
