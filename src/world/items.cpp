// Items: the drop counter of each enemy type, the items' drift and sway, and
// what the ship gets by touching one.
#include <algorithm>

#include "world/world.h"
#include "world/world_local.h"

std::array<Item, MAX_ITEMS> items;
std::array<std::int32_t, MAX_ENEMY_TYPES> kills_toward_drop;
std::array<Animation, ITEM_KINDS> item_pictures;

namespace {

// A triangle wave of the age, -ITEM_SWAY..ITEM_SWAY pixels: integer steps and
// one exact division, so every machine sways the same.
float sway(int age) {
  const int phase = age % ITEM_SWAY_TICKS;
  const int half = ITEM_SWAY_TICKS / 2;
  const int tri = phase < half ? phase : ITEM_SWAY_TICKS - phase;  // 0..half
  return static_cast<float>(tri * 2 * ITEM_SWAY) / static_cast<float>(half) -
         static_cast<float>(ITEM_SWAY);
}

bool valid_kind(int kind) {
  return kind >= ITEM_POWER && kind <= ITEM_BOMB;
}

void take_item(Item& item) {
  switch (item.kind) {
    case ITEM_POWER:
      player.power = std::min(player.power + 1, MAX_POWER);
      break;
    case ITEM_ENERGY:
      player.energy = std::min(player.energy + ENERGY_ITEM_POINTS, START_ENERGY);
      break;
    case ITEM_BOMB:
      player.bombs = std::min(player.bombs + 1, MAX_BOMBS);
      break;
    default:
      break;
  }
  ++level_tally.items_taken[item.kind - 1];
  record_world_event(EVENT_ITEM_TAKEN, item.x + ITEM_SIZE / 2.0f);
  item.kind = 0;
}

// The same box and mask test as a bullet's against the ship; a burst ship
// takes nothing, an untouchable one still does.
bool ship_touches(const Item& item) {
  if (rules.ship_explodes && player.energy < 1) return false;
  const int ix = static_cast<int>(item.x);
  const int iy = static_cast<int>(item.y);
  if (rects_overlap(ix, iy, ITEM_SIZE, ITEM_SIZE, player.x, player.y, SHIP_SIZE, SHIP_SIZE) != 1)
    return false;
  return world_local::masks_touch(item_pictures[item.kind - 1].mask, player.mask, ix, iy, player.x,
                                  player.y);
}

}  // namespace

void drop_item(int kind, float cx, float cy) {
  if (!valid_kind(kind)) return;
  for (Item& item : items) {
    if (item.kind != 0) continue;
    // The whole sway stays inside the playfield.
    const float half = ITEM_SIZE / 2.0f;
    item = Item{kind, 0.0f, cy - half,
                std::clamp(cx - half, static_cast<float>(ITEM_SWAY),
                           static_cast<float>(PLAYFIELD_W - ITEM_SIZE - ITEM_SWAY)),
                0};
    item.x = item.line_x + sway(0);
    ++level_tally.items_dropped[kind - 1];
    return;
  }
}

bool item_shown(const Item& item) {
  const float blink_from = PLAYFIELD_H - ITEM_FALL_SPEED * ITEM_BLINK_TICKS;
  return item.y < blink_from || (item.age / BLINK_TICKS) % 2 == 0;
}

namespace world_local {

void count_kill_for_drop(int type, float cx, float cy) {
  if (!rules.power_ups || type < 1 || type > MAX_ENEMY_TYPES) return;
  const EnemyType& def = enemy_types[type - 1];
  if (!valid_kind(def.drop) || def.drop_every < 1) return;
  if (++kills_toward_drop[type - 1] < def.drop_every) return;
  kills_toward_drop[type - 1] = 0;
  drop_item(def.drop, cx, cy);
}

void update_items() {
  for (Item& item : items) {
    if (item.kind == 0) continue;
    ++item.age;
    item.y += ITEM_FALL_SPEED;
    item.x = item.line_x + sway(item.age);
    if (item.y >= PLAYFIELD_H) {
      item.kind = 0;
    } else if (ship_touches(item)) {
      take_item(item);
    }
  }
}

void lose_power() {
  if (rules.power_ups) player.power = std::max(player.power - 1, 1);
}

}  // namespace world_local
