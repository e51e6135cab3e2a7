// Pacing: what the playfield holds at each whole second of a run, and the
// figures a level is tuned by (empty seconds before the boss, bullets on the
// screen, where the hits fall, how long the boss lasts).
#include <allegro.h>

#include <algorithm>

#include "run/runner.h"
#include "world/world.h"

namespace {

bool overlaps_playfield(float x, float y, int w, int h) {
  return w > 0 && h > 0 &&
         rects_overlap(static_cast<int>(x), static_cast<int>(y), w, h, 0, 0, PLAYFIELD_W,
                       PLAYFIELD_H) == 1;
}

// Keeps the larger count and where it was; the first of equals stays.
void keep_peak(int count, std::uint32_t seed, int tick, int* peak, Place* at) {
  if (count > *peak) {
    *peak = count;
    *at = Place{seed, tick};
  }
}

}  // namespace

bool enemy_dying(int slot) {
  const Enemy& e = enemies[slot];
  const EnemyAnimState& s = enemy_anim_states[slot];
  return e.health <= 0.0f || s.anim == s.death_anim || s.anim < 0;
}

bool enemy_outside_playfield(int slot) {
  int w = 0;
  int h = 0;
  enemy_frame_size(slot, &w, &h);
  return w > 0 && h > 0 && !overlaps_playfield(enemies[slot].x, enemies[slot].y, w, h);
}

void enemy_frame_size(int slot, int* w, int* h) {
  *w = 0;
  *h = 0;
  const Enemy& e = enemies[slot];
  if (e.type < 1 || e.type > MAX_ENEMY_TYPES) return;
  const EnemyType& def = enemy_types[e.type - 1];
  const int anim = enemy_anim_states[slot].anim;
  if (anim < 0 || anim >= MAX_ANIMATIONS || def.data == nullptr) return;
  const BITMAP* b = frame_bitmap(def.data, def.anims[anim].frame);
  if (b == nullptr) return;
  *w = b->w;
  *h = b->h;
}

ScreenCount count_on_screen() {
  ScreenCount c;
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (e.type < 1 || e.type > MAX_ENEMY_TYPES || enemy_dying(i)) continue;
    int w = 0;
    int h = 0;
    enemy_frame_size(i, &w, &h);
    c.enemies += overlaps_playfield(e.x, e.y, w, h) ? 1 : 0;
  }
  for (const Bullet& b : enemy_bullets) {
    if (b.type <= 0 || b.hit != 0 || b.anim < 0) continue;
    c.enemy_bullets += overlaps_playfield(b.x, b.y, ENEMY_BULLET_SIZE, ENEMY_BULLET_SIZE) ? 1 : 0;
  }
  return c;
}

RunPacing pacing_of(const RunResult& r) {
  RunPacing p;
  const int samples =
      static_cast<int>(std::min(r.enemies_by_second.size(), r.enemy_bullets_by_second.size()));
  int empty_run = 0;
  for (int i = 0; i < samples; ++i) {
    const int bullets = r.enemy_bullets_by_second[i];
    if (p.busiest_second < 0 || bullets > r.enemy_bullets_by_second[p.busiest_second])
      p.busiest_second = i;
    if (r.boss_tick > 0 && sample_tick(i) >= r.boss_tick) continue;
    ++p.seconds_before_boss;
    p.bullets_before_boss += bullets;
    if (r.enemies_by_second[i] > 0 || bullets > 0) {
      empty_run = 0;
      continue;
    }
    ++p.empty_seconds_before_boss;
    if (++empty_run > p.longest_empty_before_boss) {
      p.longest_empty_before_boss = empty_run;
      p.longest_empty_start = i - empty_run + 1;
    }
  }
  return p;
}

RunsSummary summarize_runs(std::span<const RunResult> runs) {
  RunsSummary s;
  std::vector<int> hits_before_boss;
  std::vector<int> boss_ticks;
  for (const RunResult& r : runs) {
    ++s.runs;
    (r.outcome == Outcome::victory ? s.victories
     : r.outcome == Outcome::lost  ? s.lost
                                   : s.time) += 1;
    if (s.hits_by_stretch.size() < r.hits_by_stretch.size())
      s.hits_by_stretch.resize(r.hits_by_stretch.size());
    for (std::size_t i = 0; i < r.hits_by_stretch.size(); ++i)
      s.hits_by_stretch[i] += r.hits_by_stretch[i];

    const RunPacing p = pacing_of(r);
    s.seconds_before_boss += p.seconds_before_boss;
    s.empty_seconds_before_boss += p.empty_seconds_before_boss;
    s.bullets_before_boss += p.bullets_before_boss;
    if (p.longest_empty_start >= 0)
      keep_peak(p.longest_empty_before_boss, r.seed, sample_tick(p.longest_empty_start),
                &s.longest_empty, &s.longest_empty_at);
    for (int i = 0; i < static_cast<int>(r.enemy_bullets_by_second.size()); ++i) {
      const bool before = r.boss_tick == 0 || sample_tick(i) < r.boss_tick;
      keep_peak(r.enemy_bullets_by_second[i], r.seed, sample_tick(i),
                before ? &s.peak_before_boss : &s.peak_with_boss,
                before ? &s.peak_before_boss_at : &s.peak_with_boss_at);
    }

    for (int tick : r.hit_ticks) {
      s.hits_first_30s += tick <= 30 * TICKS_PER_SECOND ? 1 : 0;
      if (r.boss_tick == 0 || tick < r.boss_tick) hits_before_boss.push_back(tick);
    }
    if (r.outcome == Outcome::victory && r.boss_tick > 0)
      boss_ticks.push_back(r.tick - r.boss_tick);
  }

  // The busiest 10 seconds start at a hit: slide a window from each one.
  std::sort(hits_before_boss.begin(), hits_before_boss.end());
  for (std::size_t first = 0, end = 0; first < hits_before_boss.size(); ++first) {
    while (end < hits_before_boss.size() &&
           hits_before_boss[end] < hits_before_boss[first] + STRETCH_TICKS)
      ++end;
    const int hits = static_cast<int>(end - first);
    if (hits > s.most_hits_in_10s) {
      s.most_hits_in_10s = hits;
      s.most_hits_from = hits_before_boss[first];
    }
  }

  s.boss_fights = static_cast<int>(boss_ticks.size());
  if (!boss_ticks.empty()) {
    std::sort(boss_ticks.begin(), boss_ticks.end());
    const std::size_t mid = boss_ticks.size() / 2;
    s.boss_ticks_median =
        boss_ticks.size() % 2 == 1 ? boss_ticks[mid] : (boss_ticks[mid - 1] + boss_ticks[mid]) / 2;
  }
  return s;
}
