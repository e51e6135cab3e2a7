// Rams that ride on aimed fire: an enemy whose body touches the ship while it
// moves along with a bullet it aimed at the ship, as when its script moves it
// the way it shoots. The world keeps no shooter per bullet, so the runner
// finds it when a bullet first shows, from the scripts, and watches the
// touches between ticks; nothing in the world is changed or read ahead.
#include <cmath>

#include "run/runner.h"
#include "world/world.h"

namespace {

// Two float positions that the world made with the same sum, one of them
// taken apart again: they differ by rounding only.
constexpr float SAME_PLACE = 0.01f;

// An enemy slot's type, 0 for a free slot and the level director, which
// never touches the ship.
int type_of(const Enemy& e) {
  return e.type >= 1 && e.type <= MAX_ENEMY_TYPES ? e.type : 0;
}

// The slot of the enemy that fired `b` in this tick with `aim`, or -1. The
// bullet left from the enemy's position plus the instruction's offsets and
// has moved once since; its speed is the instruction's at the difficulty's
// scale. An enemy moves before its script runs, so where it is now is where
// it fired from.
int aimed_shooter(const Bullet& b) {
  const float start_x = b.x - b.vx;
  const float start_y = b.y - b.vy;
  const float speed = std::hypot(b.vx, b.vy);
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (type_of(e) == 0) continue;
    for (int k = 0; k < e.script_length && k < MAX_SCRIPT_LENGTH; ++k) {
      const ScriptInstruction& in = e.script[k];
      const auto& op = in.operands;
      if (in.opcode != OP_FIRE_AIMED || op[0] != b.type) continue;
      const float aimed_speed = static_cast<float>(op[1] / 100.0) * rules.enemy_bullet_speed;
      if (std::fabs(e.x + static_cast<float>(op[2]) - start_x) < SAME_PLACE &&
          std::fabs(e.y + static_cast<float>(op[3]) - start_y) < SAME_PLACE &&
          std::fabs(aimed_speed - speed) < SAME_PLACE)
        return i;
    }
  }
  return -1;
}

// Enemy `slot`, the same one as before the tick, has just touched the ship:
// the untouchable ship let its touch pass, or it lost at least the ship's
// energy in a tick the ship lost some (each loses what the other had).
bool touched_ship(const RamWatch& w, int slot, int energy_before) {
  const Enemy& e = enemies[slot];
  if (e.ignored != 0 && !w.ignored[slot]) return true;
  return energy_before > 0 && player.energy < energy_before &&
         w.health[slot] - e.health >= static_cast<float>(energy_before) - SAME_PLACE;
}

// A live bullet that enemy `slot` aimed is moving with it, which moved
// (dx, dy) in this tick, and is close by.
bool rides_with_own_bullet(const RamWatch& w, int slot, float dx, float dy) {
  if (std::hypot(dx, dy) < RIDE_SPEED_TOLERANCE) return false;
  const Enemy& e = enemies[slot];
  int ew = 0;
  int eh = 0;
  enemy_frame_size(slot, &ew, &eh);
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    const Bullet& b = enemy_bullets[j];
    if (b.type <= 0 || w.aimed_by[j] != slot + 1) continue;
    if (std::hypot(b.vx - dx, b.vy - dy) >= RIDE_SPEED_TOLERANCE) continue;
    // How far the bullet's box centre is outside the enemy's box.
    const float cx = b.x + BULLET_BOX / 2.0f;
    const float cy = b.y + BULLET_BOX / 2.0f;
    const float out_x = std::fmax(std::fmax(e.x - cx, cx - (e.x + static_cast<float>(ew))), 0.0f);
    const float out_y = std::fmax(std::fmax(e.y - cy, cy - (e.y + static_cast<float>(eh))), 0.0f);
    if (std::hypot(out_x, out_y) <= RIDE_DISTANCE) return true;
  }
  return false;
}

}  // namespace

void watch_rams(RamWatch& w, int energy_before, int tick,
                std::array<int, MAX_ENEMY_TYPES>& first_ram) {
  // A bullet is no longer the own bullet of whatever takes its shooter's slot.
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    if (type_of(enemies[i]) == w.type[i]) continue;
    for (int& shooter : w.aimed_by)
      if (shooter == i + 1) shooter = 0;
  }
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    const Bullet& b = enemy_bullets[j];
    if (b.type > 0 && b.type != w.bullet_type[j]) w.aimed_by[j] = aimed_shooter(b) + 1;
    if (b.type <= 0) w.aimed_by[j] = 0;
    w.bullet_type[j] = b.type;
  }
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    const int type = type_of(e);
    if (type != 0 && type == w.type[i] && first_ram[type - 1] == 0 &&
        touched_ship(w, i, energy_before) &&
        rides_with_own_bullet(w, i, e.x - w.x[i], e.y - w.y[i]))
      first_ram[type - 1] = tick;
    w.type[i] = type;
    w.health[i] = e.health;
    w.x[i] = e.x;
    w.y[i] = e.y;
    w.ignored[i] = e.ignored != 0;
  }
}
