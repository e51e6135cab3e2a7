// Watching the world: its digest, the level files' digest, and the invariants
// every tick must keep.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "content/content.h"
#include "run/runner.h"
#include "script/script.h"
#include "world/world.h"

namespace {

// Feeds plain values into an FNV-1a digest by their bytes; floats by their
// bit pattern, so -0.0 and 0.0 differ as the world's arithmetic made them.
struct Digest {
  std::uint64_t value = 0xcbf29ce484222325ULL;

  template <typename T>
  void add(const T& v) {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    value = fnv1a(bytes, value);
  }
  template <typename T, typename... More>
  void add(const T& v, const More&... more) {
    add(v);
    add(more...);
  }
};

// One case per entry of visit_world_tables: the live records of each table,
// with their slot, in slot order. A free slot's leftovers change nothing.
struct HashTables {
  Digest& d;

  // The arcade fields join only when raised, so runs under the plain rules
  // keep the hashes they always had.
  void operator()(const Player& p) {
    d.add(p.x, p.y, p.fire_cooldown, p.energy, p.score);
    if (p.invulnerable != 0 || p.chain != 0 || p.chain_left != 0)
      d.add(p.invulnerable, p.chain, p.chain_left);
    if (p.power != 0) d.add(p.power);
    if (p.bombs != 0) d.add(p.bombs);
    if (p.bomb_left != 0) d.add(p.bomb_left);
  }
  template <std::size_t N>
  void operator()(const std::array<Bullet, N>& table) {
    for (int i = 0; i < static_cast<int>(N); ++i) {
      const Bullet& b = table[i];
      if (b.type == 0) continue;
      d.add(i, b.type, b.x, b.y, b.vx, b.vy, b.anim, b.anim_timer, b.hit);
    }
  }
  void operator()(const std::array<Enemy, MAX_ENEMIES>& table,
                  const std::array<EnemyAnimState, MAX_ENEMIES>& states) {
    for (int i = 0; i < MAX_ENEMIES; ++i) {
      const Enemy& e = table[i];
      if (e.type == 0) continue;
      const EnemyAnimState& s = states[i];
      d.add(i, e.type, e.health, e.score, e.x, e.y, e.vx, e.vy, e.wait, e.pc);
      d.add(e.script_number, e.group, e.group_trigger, e.angle, e.script_length);
      d.add(s.anim, s.death_anim, s.anim_timer);
      if (e.tint_left != 0) d.add(e.tint_left);  // raised under arcade rules only
    }
  }
  void operator()(const std::array<Particle, MAX_PARTICLES>& table) {
    for (int i = 0; i < MAX_PARTICLES; ++i) {
      const Particle& p = table[i];
      if (p.x == FREE_PARTICLE) continue;
      d.add(i, p.x, p.y, p.vx, p.vy, p.colour, p.move_timer, p.move_period, p.alpha);
      d.add(p.fade_step, p.fade_timer, p.fade_period);
    }
  }
  // The messages show what happened; nothing in the tick reads them.
  void operator()(const std::array<Message, MAX_MESSAGES>&) {}
  void operator()(std::int32_t row, float offset) { d.add(row, offset); }
  // Counted only under rules that keep a tally, so plain runs hash as before.
  // The score by type is left out: it only says where the hashed score came
  // from, and it is counted under the plain rules too.
  void operator()(const LevelTally& t) {
    if (t.appeared != 0 || t.destroyed != 0 || t.hits != 0 || t.max_chain != 0)
      d.add(t.appeared, t.destroyed, t.hits, t.max_chain);
    if (t.hits_ignored != 0) d.add(t.hits_ignored);
    for (int k = 0; k < ITEM_KINDS; ++k)
      if (t.items_dropped[k] != 0 || t.items_taken[k] != 0)
        d.add(k, t.items_dropped[k], t.items_taken[k]);
    if (t.bombs != 0) d.add(t.bombs);
  }
  // Items and drop counts exist only under rules with power-ups.
  void operator()(const std::array<Item, MAX_ITEMS>& table,
                  const std::array<std::int32_t, MAX_ENEMY_TYPES>& kills) {
    for (int i = 0; i < MAX_ITEMS; ++i) {
      const Item& item = table[i];
      if (item.kind != 0) d.add(i, item.kind, item.x, item.y, item.line_x, item.age);
    }
    for (int k = 0; k < MAX_ENEMY_TYPES; ++k)
      if (kills[k] != 0) d.add(k, kills[k]);
  }
  // Only what the screen shows, never read by the tick's rules.
  void operator()(const ScreenFeedback&) {}
  // Left out, though the tick keeps them, so every hash recorded before they
  // joined the list still matches: the outcome follows from the ship's energy
  // and the level's victory, and the generator's words from the seed and the
  // draws the hashed tables show. The ship's bomb_held (above) stays out for
  // the same reason; it is the last tick's recorded input.
  void operator()(const OutcomeState&) {}
  void operator()(const WorldRandom&) {}
};

bool finite(float a, float b, float c, float d) {
  return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

bool inside_playfield(float x, float y) {
  return x >= 0.0f && x <= PLAYFIELD_W && y >= 0.0f && y <= PLAYFIELD_H;
}

std::string slot_text(const char* table, int slot, const char* what) {
  return std::string(table) + "[" + std::to_string(slot) + "] " + what;
}

std::string check_bullets(const std::array<Bullet, MAX_PLAYER_SHOTS>& table, const char* name) {
  for (int i = 0; i < static_cast<int>(table.size()); ++i) {
    const Bullet& b = table[i];
    if (b.type == 0) continue;
    if (b.type < 1 || b.type > MAX_SHOT_TYPES) return slot_text(name, i, "has a bad type");
    if (!finite(b.x, b.y, b.vx, b.vy)) return slot_text(name, i, "is not at a finite place");
    if (!inside_playfield(b.x, b.y)) return slot_text(name, i, "is live outside the playfield");
    if (b.anim < -1 || b.anim >= MAX_ANIMATIONS) return slot_text(name, i, "has a bad step");
    if (b.anim_timer < 0) return slot_text(name, i, "has a negative step timer");
  }
  return "";
}

std::string check_enemies() {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (e.type == 0) continue;
    if ((e.type < 1 || e.type > MAX_ENEMY_TYPES) && e.type != LEVEL_DIRECTOR)
      return slot_text("enemies", i, "has a bad type");
    if (!finite(e.x, e.y, e.vx, e.vy) || !std::isfinite(e.health))
      return slot_text("enemies", i, "is not finite");
    if (e.script_length < 0 || e.script_length > MAX_SCRIPT_LENGTH)
      return slot_text("enemies", i, "has a script longer than its copy");
    if (e.pc < 0 || e.pc > e.script_length)
      return slot_text("enemies", i, "has its script counter outside its copy");
    // A dead enemy's wait keeps counting down past 0; a live one's never does.
    if (e.health > 0.0f && e.wait < 0) return slot_text("enemies", i, "waits a negative time");
    const EnemyAnimState& s = enemy_anim_states[i];
    if (s.anim < -1 || s.anim >= MAX_ANIMATIONS || s.anim_timer < 0)
      return slot_text("enemies", i, "has a bad animation step or timer");
  }
  return "";
}

std::string check_particles() {
  if (particles[MAX_PARTICLES - 1].x != FREE_PARTICLE) return "the last particle slot is in use";
  for (int i = 0; i < MAX_PARTICLES; ++i) {
    const Particle& p = particles[i];
    if (p.x == FREE_PARTICLE) continue;
    if (!finite(p.x, p.y, p.vx, p.vy)) return slot_text("particles", i, "is not finite");
    if (!inside_playfield(p.x, p.y)) return slot_text("particles", i, "is live outside the field");
    if (p.alpha < 1) return slot_text("particles", i, "is live with no alpha left");
  }
  return "";
}

std::string check_player() {
  if (player.energy < 0) return "the ship's energy is below 0";
  if (player.x < 0 || player.x > SHIP_MAX_X || player.y < 0 || player.y > SHIP_MAX_Y)
    return "the ship is outside the playfield";
  if (player.fire_cooldown < 0) return "the fire cooldown is negative";
  return "";
}

std::string check_scroll(WorldWatch& watch) {
  const bool forward = scroll_row > watch.scroll_row ||
                       (scroll_row == watch.scroll_row && scroll_offset > watch.scroll_offset);
  if (!forward) return "the scroll did not move forward";
  // The offset passes a row's height by one step at most, before it wraps.
  if (!(scroll_offset >= 0.0f && scroll_offset <= TILE_SIZE + SCROLL_SPEED))
    return "the scroll offset left its row";
  watch.scroll_row = scroll_row;
  watch.scroll_offset = scroll_offset;
  return "";
}

}  // namespace

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes, std::uint64_t digest) {
  for (std::uint8_t b : bytes) {
    digest ^= b;
    digest *= 0x100000001b3ULL;
  }
  return digest;
}

std::uint64_t level_digest(const std::string& script_file, const std::string& enemy_file) {
  const WholeFile script = read_whole_file(script_file.c_str(), MAX_SCRIPT_FILE_BYTES);
  const WholeFile enemy = read_whole_file(enemy_file.c_str(), MAX_ENEMY_FILE_BYTES);
  if (script.error != 0 || enemy.error != 0) return 0;
  // The length between the two keeps a byte moved across the boundary from
  // giving the same digest.
  Digest d;
  d.value = fnv1a(script.bytes, d.value);
  d.add(script.bytes.size());
  d.value = fnv1a(enemy.bytes, d.value);
  return d.value;
}

// A single level keeps its own digest, so recordings made before campaigns
// still replay; a campaign chains its levels' digests in order.
std::uint64_t run_digest(const RunSettings& settings) {
  if (settings.campaign == nullptr) return level_digest(settings.script_file, settings.enemy_file);
  Digest d;
  for (const CampaignLevel& level : settings.campaign->levels) {
    const std::uint64_t one = level_digest(level.script, level.enemies);
    if (one == 0) return 0;
    d.add(one);
  }
  return d.value;
}

std::uint64_t world_hash() {
  Digest d;
  visit_world_tables(HashTables{d});
  return d.value;
}

std::string check_world(WorldWatch& watch) {
  for (const std::string& broken :
       {check_player(), check_bullets(player_shots, "player_shots"),
        check_bullets(enemy_bullets, "enemy_bullets"), check_enemies(), check_particles()}) {
    if (!broken.empty()) return broken;
  }
  for (const Message& m : messages)
    if (m.time_left < 0) return "a message has a negative time";
  return check_scroll(watch);
}
