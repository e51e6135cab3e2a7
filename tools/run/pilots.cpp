// The pilots: idle touches nothing, sweep flies side to side with fire held
// The pilots: idle touches nothing, sweep flies side to side with fire held
// (taking what crosses its path, never bombing), dodge plays like a careful
// person who goes for items when that is as safe as anything else and bombs
// when no move is safe, and the replay pilot plays a recording.
#include <allegro.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "run/runner.h"
#include "world/world.h"

namespace {

// How a person flies, drawn per decision. Keys are held from one decision to
// the next; what appeared on the screen less than the reaction time ago is not
// seen yet. A lapse is a decision taken without looking at the danger.
constexpr int DECISION_MIN = 4;  // ticks: 40 to 80 ms between decisions
constexpr int DECISION_MAX = 8;
constexpr int REACTION_MIN = 15;  // ticks: 150 to 250 ms
constexpr int REACTION_MAX = 25;
constexpr int AIM_ERROR = 6;        // pixels either way
constexpr int LOOK_AHEAD_MIN = 60;  // ticks
constexpr int LOOK_AHEAD_MAX = 90;
constexpr int MARGIN_MIN = 0;  // pixels added round the ship as it judges it
constexpr int MARGIN_MAX = 4;
constexpr int LAPSE_PER_THOUSAND = 10;
constexpr int HOME_ROW_MIN = 290;  // where the pilot likes to sit
constexpr int HOME_ROW_MAX = 330;
// How high the ship goes to meet an item: just above its home rows, so it
// waits for an item more than it climbs into the fire for one.
constexpr int ITEM_ROW_MIN = 260;
// No safe place: even the safest move meets a threat sooner than the pilot
// could see a way out and take it (its slowest reaction and decision). The
// pilot then bombs, if it has one and is not untouchable past that time
// already.
constexpr int PANIC_TICKS = REACTION_MAX + DECISION_MAX;

struct Box {
  float x, y, w, h;
};

bool boxes_meet(const Box& a, const Box& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// What the pilot sees moving on the screen: a box and its velocity.
struct Threat {
  Box box;
  float vx, vy;
};

// The ship as a person judges it: the nose and the wide body, grown by margin.
std::array<Box, 2> ship_boxes(float x, float y, float margin) {
  return {{{x + 13 - margin, y - margin, 14 + 2 * margin, 22 + margin},
           {x - margin, y + 20, 40 + 2 * margin, 20 + margin}}};
}

bool enemy_hittable(int slot) {
  const Enemy& e = enemies[slot];
  if (e.type < 1 || e.type > MAX_ENEMY_TYPES || e.health <= 0.0f) return false;
  const int anim = enemy_anim_states[slot].anim;
  if (anim < 0 || anim >= MAX_ANIMATIONS) return false;
  return (enemy_types[e.type - 1].anims[anim].flags & ANIM_UNHITTABLE) == 0;
}

bool on_screen(const Box& b) {
  return b.x + b.w > 0 && b.x < PLAYFIELD_W && b.y + b.h > 0 && b.y < PLAYFIELD_H;
}

// Every enemy bullet in flight and every enemy on the screen that has been
// there for at least `reaction` ticks.
int collect_threats(const Pilot& pilot, int reaction,
                    std::array<Threat, MAX_ENEMY_BULLETS + MAX_ENEMIES>& out) {
  int n = 0;
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    const Bullet& b = enemy_bullets[j];
    if (b.type <= 0 || b.hit != 0 || b.anim < 0) continue;
    if (pilot.tick - pilot.bullet_seen[j] < reaction) continue;
    const Threat t{{b.x, b.y, BULLET_BOX, BULLET_BOX}, b.vx, b.vy};
    if (on_screen(t.box)) out[n++] = t;
  }
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (e.type < 1 || e.type > MAX_ENEMY_TYPES) continue;
    if (pilot.tick - pilot.enemy_seen[i] < reaction) continue;
    int w = 0;
    int h = 0;
    enemy_frame_size(i, &w, &h);
    const Threat t{{e.x, e.y, static_cast<float>(w), static_cast<float>(h)}, e.vx, e.vy};
    if (w > 0 && on_screen(t.box)) out[n++] = t;
  }
  return n;
}

// How bad a move is: every predicted contact over the look-ahead, the near
// ones counting far more than the distant.
struct Move {
  int dx, dy;
  int hold;  // ticks the keys are held; then the ship is still
};

// With `first`, the tick of the first contact goes there (0: none).
long danger_of(const Move& m, std::span<const Threat> threats, int look_ahead, float margin,
               int* first = nullptr) {
  long danger = 0;
  if (first != nullptr) *first = 0;
  int x = player.x;
  int y = player.y;
  for (int t = 1; t <= look_ahead; ++t) {
    if (t <= m.hold) {
      x = std::clamp(x + m.dx, 0, SHIP_MAX_X);
      y = std::clamp(y + m.dy, 0, SHIP_MAX_Y);
    }
    const auto ship = ship_boxes(static_cast<float>(x), static_cast<float>(y), margin);
    for (const Threat& th : threats) {
      const Box at{th.box.x + th.vx * t, th.box.y + th.vy * t, th.box.w, th.box.h};
      if (boxes_meet(ship[0], at) || boxes_meet(ship[1], at)) {
        const long weight = look_ahead + 1 - t;
        danger += weight * weight;
        if (first != nullptr && *first == 0) *first = t;
      }
    }
  }
  return danger;
}

// The x the ship's gun should be under: the nearest hittable enemy above,
// led by where it will be when a shot arrives, with this decision's aim error.
int aim_x(Pilot& pilot) {
  int best = -1;
  float best_cost = 0;
  float target = PLAYFIELD_W / 2.0f;
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    if (!enemy_hittable(i)) continue;
    int w = 0;
    int h = 0;
    enemy_frame_size(i, &w, &h);
    const Enemy& e = enemies[i];
    if (e.y + h < 0 || e.y > player.y - 10) continue;
    const float centre = e.x + w / 2.0f;
    const float cost = std::fabs(centre - (player.x + SHIP_SIZE / 2)) + 0.3f * (player.y - e.y);
    if (best < 0 || cost < best_cost) {
      best = i;
      best_cost = cost;
      const float flight = (player.y - (e.y + h / 2.0f)) / PLAYER_SHOT_SPEED;
      target = centre + e.vx * flight;
    }
  }
  return static_cast<int>(target) - SHIP_SIZE / 2 + pilot.random.between(-AIM_ERROR, AIM_ERROR);
}

// The place the ship's top-left should reach to take the nearest item, when
// one is on the screen: the item goes before the target and the home row,
// but only among moves that are equally safe.
bool item_goal(int* x, int* y) {
  int best = -1;
  float best_cost = 0;
  for (int i = 0; i < MAX_ITEMS; ++i) {
    const Item& item = items[i];
    if (item.kind == 0) continue;
    const float cost = std::fabs(item.x - player.x) + std::fabs(item.y - player.y);
    if (best < 0 || cost < best_cost) {
      best = i;
      best_cost = cost;
    }
  }
  if (best < 0) return false;
  const Item& item = items[best];
  *x = std::clamp(static_cast<int>(item.x) + ITEM_SIZE / 2 - SHIP_SIZE / 2, 0, SHIP_MAX_X);
  *y = std::clamp(static_cast<int>(item.y) + ITEM_SIZE / 2 - SHIP_SIZE / 2, ITEM_ROW_MIN,
                  SHIP_MAX_Y);
  return true;
}

int keys_for(const Move& m) {
  int keys = PILOT_FIRE;
  if (m.dx < 0) keys |= PILOT_LEFT;
  if (m.dx > 0) keys |= PILOT_RIGHT;
  if (m.dy < 0) keys |= PILOT_UP;
  if (m.dy > 0) keys |= PILOT_DOWN;
  return keys;
}

// Whether the safest move, `best`, still leaves no safe place.
bool should_bomb(const Move& best, std::span<const Threat> threats, int look_ahead, float margin) {
  if (!rules.bombs || player.bombs <= 0 || player.bomb_left > 0) return false;
  if (player.invulnerable > PANIC_TICKS) return false;
  int first = 0;
  danger_of(best, threats, look_ahead, margin, &first);
  return first > 0 && first <= PANIC_TICKS;
}

// One decision: the safest move, and among the equally safe the one that
// brings the gun under the target and the ship towards its home row.
int decide(Pilot& pilot, int hold) {
  std::array<Threat, MAX_ENEMY_BULLETS + MAX_ENEMIES> threats;
  const bool lapse = pilot.random.chance(LAPSE_PER_THOUSAND);
  const int reaction = pilot.random.between(REACTION_MIN, REACTION_MAX);
  const int n = lapse ? 0 : collect_threats(pilot, reaction, threats);
  const int look_ahead = pilot.random.between(LOOK_AHEAD_MIN, LOOK_AHEAD_MAX);
  const float margin = static_cast<float>(pilot.random.between(MARGIN_MIN, MARGIN_MAX));
  int target_x = std::clamp(aim_x(pilot), 0, SHIP_MAX_X);
  int home_y = pilot.random.between(HOME_ROW_MIN, HOME_ROW_MAX);
  item_goal(&target_x, &home_y);

  Move best{0, 0, 0};
  long best_danger = -1;
  int best_error = 0;
  for (int dx = -1; dx <= 1; ++dx) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int ticks : {hold, look_ahead}) {
        const Move m{dx, dy, ticks};
        const long danger = danger_of(m, std::span(threats.data(), n), look_ahead, margin);
        const int x = std::clamp(player.x + dx * hold, 0, SHIP_MAX_X);
        const int y = std::clamp(player.y + dy * hold, 0, SHIP_MAX_Y);
        const int error = 4 * std::abs(x - target_x) + std::abs(y - home_y);
        if (best_danger < 0 || danger < best_danger ||
            (danger == best_danger && error < best_error)) {
          best = m;
          best_danger = danger;
          best_error = error;
        }
      }
    }
  }
  const bool bomb = should_bomb(best, std::span(threats.data(), n), look_ahead, margin);
  return keys_for(best) | (bomb ? PILOT_BOMB : 0);
}

// Notes when each bullet and enemy slot last took a new occupant.
void watch_arrivals(Pilot& pilot) {
  ++pilot.tick;
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    const int type = enemy_bullets[j].type;
    if (type != 0 && pilot.bullet_type[j] == 0) pilot.bullet_seen[j] = pilot.tick;
    pilot.bullet_type[j] = type;
  }
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const int type = enemies[i].type;
    if (type != 0 && pilot.enemy_type[i] != type) pilot.enemy_seen[i] = pilot.tick;
    pilot.enemy_type[i] = type;
  }
}

int dodge_keys(Pilot& pilot) {
  watch_arrivals(pilot);
  if (pilot.ticks_to_decision <= 0) {
    const int hold = pilot.random.between(DECISION_MIN, DECISION_MAX);
    pilot.keys = decide(pilot, hold);
    pilot.ticks_to_decision = hold;
  }
  --pilot.ticks_to_decision;
  return pilot.keys;
}

int sweep_keys(Pilot& pilot) {
  if (player.x >= 270) pilot.moving_right = false;
  if (player.x <= 10) pilot.moving_right = true;
  return PILOT_FIRE | (pilot.moving_right ? PILOT_RIGHT : PILOT_LEFT);
}

int replay_keys(Pilot& pilot) {
  const int bits = next_input(*pilot.replay, pilot.cursor);
  return bits < 0 ? 0 : bits;  // past the recording: hands off
}

}  // namespace

std::uint64_t PilotRandom::next() {
  state_ += 0x9e3779b97f4a7c15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

int PilotRandom::between(int lo, int hi) {
  if (hi < lo) std::swap(lo, hi);
  const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
  return lo + static_cast<int>(next() % span);
}

bool PilotRandom::chance(int per_thousand) {
  return between(0, 999) < per_thousand;
}

bool pilot_kind_named(const std::string& name, PilotKind* kind) {
  for (PilotKind k : {PilotKind::idle, PilotKind::sweep, PilotKind::dodge}) {
    if (name == pilot_name(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

const char* pilot_name(PilotKind kind) {
  switch (kind) {
    case PilotKind::idle:
      return "idle";
    case PilotKind::sweep:
      return "sweep";
    case PilotKind::dodge:
      return "dodge";
    case PilotKind::replay:
      return "replay";
  }
  return "?";
}

Pilot make_pilot(PilotKind kind, std::uint32_t seed) {
  Pilot p;
  p.kind = kind;
  // Mixed with a constant so that seed 0 does not start the generator at 0.
  p.random = PilotRandom(0x6d6972766f2d7275ULL ^ seed);
  return p;
}

Pilot make_replay_pilot(const Recording& recording) {
  Pilot p;
  p.kind = PilotKind::replay;
  p.replay = &recording;
  return p;
}

int pilot_keys(Pilot& pilot) {
  switch (pilot.kind) {
    case PilotKind::idle:
      return 0;
    case PilotKind::sweep:
      return sweep_keys(pilot);
    case PilotKind::dodge:
      return dodge_keys(pilot);
    case PilotKind::replay:
      return replay_keys(pilot);
  }
  return 0;
}
