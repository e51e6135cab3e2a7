// Watching the world: the level files' digest (the world's own digest is the
// world library's) and the invariants every tick must keep.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "content/content.h"
#include "run/runner.h"
#include "script/script.h"
#include "world/world.h"

namespace {

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
