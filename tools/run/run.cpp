// Runs: the game's libraries started without a display, and one level played
// from its first entry to its end as the play loop plays it.
#include <allegro.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "content/content.h"
#include "run/runner.h"
#include "world/world.h"

namespace {

// What a run has seen so far, slot by slot, to count arrivals and deaths once.
struct RunCounter {
  std::array<bool, MAX_ENEMIES> was_alive{};
  std::array<bool, MAX_ENEMIES> was_dying{};
  std::array<bool, MAX_ENEMY_BULLETS> had_hit{};
  int midboss_slot = -1;
  std::array<int, MAX_ENEMIES> outside_since{};  // 0: in view, dying or free
  RamWatch rams;
};

// A type that can win the level: a step of its death shows the victory
// message. Only the death's own chain counts: the table keeps the steps an
// earlier level's type had past this one's count.
bool wins_the_level(int type) {
  if (type < 1 || type > MAX_ENEMY_TYPES) return false;
  const EnemyType& t = enemy_types[type - 1];
  for (int step = t.death_anim, n = 0; step >= 0 && step < MAX_ANIMATIONS && n < MAX_ANIMATIONS;
       step = t.anims[step].next, ++n)
    if ((t.anims[step].flags & ANIM_VICTORY) != 0) return true;
  return false;
}

void count_enemies(RunCounter& c, RunResult& r, int tick) {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    const bool live = e.type > 0 && e.type != LEVEL_DIRECTOR;
    const bool dying = live && enemy_dying(i);
    if (live && !c.was_alive[i]) {
      ++r.spawned;
      if (r.boss_tick == 0 && wins_the_level(e.type)) r.boss_tick = tick;
      if (r.midboss_tick == 0 && enemy_types[e.type - 1].boss && !wins_the_level(e.type)) {
        r.midboss_tick = tick;
        c.midboss_slot = i;
      }
    }
    if (i == c.midboss_slot && (!live || dying)) {
      r.midboss_ticks = tick - r.midboss_tick;
      c.midboss_slot = -1;
    }
    if (dying && !c.was_dying[i]) ++r.destroyed;
    const bool outside = live && !dying && c.was_alive[i] && enemy_outside_playfield(i);
    if (!outside) {
      c.outside_since[i] = 0;
    } else if (c.outside_since[i] == 0) {
      c.outside_since[i] = tick;
    } else if (tick - c.outside_since[i] > OUTSIDE_WARNING_TICKS &&
               r.outside_from[e.type - 1] == 0) {
      r.outside_from[e.type - 1] = c.outside_since[i];
    }
    c.was_alive[i] = live;
    c.was_dying[i] = dying;
  }
}

// Enemy bullets that have just hit the ship; a loss of energy with none of
// them is a ram.
int count_hits(RunCounter& c, int energy_before) {
  int hits = 0;
  for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
    const bool hit = enemy_bullets[j].type > 0 && enemy_bullets[j].hit != 0;
    if (hit && !c.had_hit[j]) ++hits;
    c.had_hit[j] = hit;
  }
  if (hits == 0 && player.energy < energy_before) hits = 1;
  return hits;
}

// A level's share of the run's figures, taken before the next level's start
// zeroes its tally.
void add_level_figures(RunResult& r, const LevelTally& level) {
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) r.score_by_type[k] += level.score_by_type[k];
  r.max_multiplier = std::max(r.max_multiplier, level.max_chain);
  r.hits_ignored += level.hits_ignored;
  for (int k = 0; k < ITEM_KINDS; ++k) {
    r.items_dropped[k] += level.items_dropped[k];
    r.items_taken[k] += level.items_taken[k];
  }
  r.bombs_used += level.bombs;
}

// --power: the level held before every tick; a rule set without weapon
// levels (power 0) is left alone.
void hold_power(int power) {
  if (power > 0 && player.power > 0) player.power = power;
}

// How a recording of the run says it ended.
GameEnd game_end(Outcome outcome) {
  switch (outcome) {
    case Outcome::victory:
      return GameEnd::victory;
    case Outcome::lost:
      return GameEnd::game_over;
    case Outcome::time:
      break;
  }
  return GameEnd::time;
}

}  // namespace

const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::victory:
      return "victory";
    case Outcome::lost:
      return "lost";
    case Outcome::time:
      return "time";
  }
  return "?";
}

std::string game_time(int tick) {
  char text[32];
  const int tenths = tick / (TICKS_PER_SECOND / 10);
  std::snprintf(text, sizeof text, "%d:%02d.%d", tenths / 600, tenths / 10 % 60, tenths % 10);
  return text;
}

int worst_stretch(const RunResult& result) {
  int worst = -1;
  for (int i = 0; i < static_cast<int>(result.hits_by_stretch.size()); ++i) {
    if (result.hits_by_stretch[i] > 0 &&
        (worst < 0 || result.hits_by_stretch[i] > result.hits_by_stretch[worst]))
      worst = i;
  }
  return worst;
}

void start_runner() {
  // Standard output carries the reports (JSON among them) and nothing else.
  unknown_opcode_stream = stderr;
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(32);
  set_color_conversion(COLORCONV_TOTAL);
  load_game_data();
}

namespace {
constexpr std::array<const char*, DIFFICULTIES> DIFFICULTY_NAMES = {"easy", "normal", "hard"};
}  // namespace

bool difficulty_named(const std::string& name, int* difficulty) {
  for (int d = 0; d < DIFFICULTIES; ++d) {
    if (name == DIFFICULTY_NAMES[d]) {
      *difficulty = d;
      return true;
    }
  }
  return false;
}

const char* difficulty_word(int difficulty) {
  return difficulty >= 0 && difficulty < DIFFICULTIES ? DIFFICULTY_NAMES[difficulty] : "?";
}

Campaign run_campaign(const RunSettings& settings) {
  // The campaign's levels follow each other through the game's own step. A
  // single level is a campaign of one, so its tally is taken as a
  // campaign's last level's is.
  Campaign played;
  if (settings.campaign != nullptr) {
    played = *settings.campaign;
  } else {
    // Its music is the one-level game's.
    played.levels.push_back({"", settings.script_file, settings.enemy_file, settings.tile_file,
                             single_level_campaign().levels.front().music, ""});
    played.rules = settings.rules;
  }
  played.rules = rules_at_difficulty(played.rules, settings.difficulty);
  return played;
}

RunResult run_level(const RunSettings& settings, Pilot& pilot, Recording* recording,
                    const TickWatcher& watcher) {
  const Campaign played = run_campaign(settings);
  const Campaign* campaign = &played;
  if (recording != nullptr)
    *recording = begin_recording(played, settings.seed, pilot_name(pilot.kind), MIRVO_VERSION);
  CampaignProgress progress;
  start_game(*campaign, progress, settings.seed, settings.start_tick);
  const int last_level = static_cast<int>(campaign->levels.size()) - 1;

  RunResult r;
  r.seed = settings.seed;
  r.difficulty = played.rules.difficulty;
  r.hits_by_stretch.assign(settings.max_ticks / STRETCH_TICKS + 1, 0);
  r.enemies_by_second.reserve(settings.max_ticks / TICKS_PER_SECOND);
  r.enemy_bullets_by_second.reserve(settings.max_ticks / TICKS_PER_SECOND);
  r.power_by_second.reserve(settings.max_ticks / TICKS_PER_SECOND);
  RunCounter counter;
  for (int tick = 1; tick <= settings.max_ticks; ++tick) {
    r.tick = tick;
    const int keys = pilot_keys(pilot);
    const int energy_before = player.energy;
    const GameOutcome outcome_before = game_outcome();
    hold_power(settings.power);
    const bool cleared_before = progress.cleared;
    if (replay_tick(*campaign, progress, keys)) {
      add_level_figures(r, progress.left_tally);
      r.boss_tick = r.midboss_tick = r.midboss_ticks = 0;
      counter.midboss_slot = -1;
    }
    if (progress.cleared && !cleared_before) r.tally.push_back({progress.tally, progress.bonus});
    // Events are for the sounds, which the runner does not play.
    clear_world_events();

    const int hits = count_hits(counter, energy_before);
    r.hits_taken += hits;
    r.hits_by_stretch[(tick - 1) / STRETCH_TICKS] += hits;
    for (int h = 0; h < hits; ++h) r.hit_ticks.push_back(tick);
    watch_rams(counter.rams, energy_before, tick, r.rammed_from);
    count_enemies(counter, r, tick);
    if (tick % TICKS_PER_SECOND == 0) {
      const ScreenCount on_screen = count_on_screen();
      r.enemies_by_second.push_back(on_screen.enemies);
      r.enemy_bullets_by_second.push_back(on_screen.enemy_bullets);
      r.power_by_second.push_back(player.power);
    }
    if (settings.immortal) keep_ship_alive(outcome_before);
    if (recording != nullptr) record_tick(*recording, keys);

    if (watcher && !watcher(tick)) break;
    if (pilot.kind == PilotKind::replay && pilot.through_outcome &&
        pilot.cursor.tick < pilot.replay->ticks)
      continue;
    if (game_outcome() == GameOutcome::won && progress.level == last_level) {
      r.outcome = Outcome::victory;
      break;
    }
    // A level won on the tick its last point went ends the run only when no
    // level follows; otherwise the ship without energy has lost.
    if (player.energy < 1) {
      r.outcome = Outcome::lost;
      break;
    }
  }
  add_level_figures(r, level_tally);
  r.level = progress.level + 1;
  r.hits_by_stretch.resize((r.tick - 1) / STRETCH_TICKS + 1);
  r.score = player.score;
  r.energy = player.energy;
  r.hash = world_hash();
  if (recording != nullptr) {
    finish_recording(*recording, game_end(r.outcome), progress);
  }
  return r;
}
