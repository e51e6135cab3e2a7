// The world's digest: FNV-1a over the live records of every table the tick
// changes, so two runs that went the same way hash the same.
#include "world/world.h"

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes, std::uint64_t digest) {
  for (std::uint8_t b : bytes) {
    digest ^= b;
    digest *= 0x100000001b3ULL;
  }
  return digest;
}

namespace {

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

}  // namespace

std::uint64_t world_hash() {
  Digest d;
  visit_world_tables(HashTables{d});
  return d.value;
}
