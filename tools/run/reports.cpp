// What mirvo-run prints: one line (or JSON object) per run and the summary
// over all runs.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "content/content.h"
#include "run/cli.h"

namespace runcli {

namespace {

void append_numbers(std::string& out, const char* key, const std::vector<int>& numbers) {
  appendf(out, ", \"%s\": [", key);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    appendf(out, "%s%d", i == 0 ? "" : ", ", numbers[i]);
  out += "]";
}

// What the arcade rules add to a run: where the score came from (types that
// scored nothing left out), the best multiplier, the touches the untouchable
// ship let pass, the bombs dropped, the continues (a pilot never takes one) and each cleared
// level's tally.
void append_arcade_figures(std::string& out, const RunResult& r) {
  out += ", \"score_by_type\": {";
  const char* separator = "";
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    if (r.score_by_type[k] == 0) continue;
    appendf(out, "%s\"%d\": %d", separator, k + 1, r.score_by_type[k]);
    separator = ", ";
  }
  appendf(out,
          "}, \"max_multiplier\": %d, \"hits_ignored\": %d, \"bombs_used\": %d, "
          "\"continues\": 0, \"tally\": [",
          r.max_multiplier, r.hits_ignored, r.bombs_used);
  for (std::size_t i = 0; i < r.tally.size(); ++i) {
    const LevelTally& t = r.tally[i].tally;
    appendf(out,
            "%s{\"destroyed\": %d, \"appeared\": %d, \"hits\": %d, \"max_chain\": %d, "
            "\"bombs\": %d, \"bonus\": %d}",
            i == 0 ? "" : ", ", t.destroyed, t.appeared, t.hits, t.max_chain, t.bombs,
            r.tally[i].bonus);
  }
  out += "]";
}

// {"power": N, "energy": N, "bomb": N}
void append_items(std::string& out, const char* key, const std::array<int, ITEM_KINDS>& counts) {
  appendf(out, ", \"%s\": {", key);
  for (int k = 0; k < ITEM_KINDS; ++k)
    appendf(out, "%s\"%s\": %d", k == 0 ? "" : ", ", std::string(ITEM_KIND_NAMES[k]).c_str(),
            counts[k]);
  out += "}";
}

int percent(int part, int whole) {
  return whole > 0 ? static_cast<int>(std::lround(100.0 * part / whole)) : 0;
}

std::string place_text(const Place& at) {
  return "seed " + std::to_string(at.seed) + " at " + game_time(at.tick);
}

}  // namespace

std::string run_text(const RunResult& r, const char* pilot, bool json) {
  const RunPacing pacing = pacing_of(r);
  std::string out;
  if (json) {
    appendf(out,
            "{\"seed\": %u, \"pilot\": \"%s\", \"outcome\": \"%s\", \"tick\": %d, \"score\": %d, "
            "\"spawned\": %d, \"destroyed\": %d, \"hits_taken\": %d, \"energy\": %d, "
            "\"level\": %d, \"boss_tick\": %d, \"midboss_tick\": %d, \"midboss_ticks\": %d, "
            "\"worst_stretch\": %d, \"difficulty\": \"%s\"",
            r.seed, pilot, outcome_name(r.outcome), r.tick, r.score, r.spawned, r.destroyed,
            r.hits_taken, r.energy, r.level, r.boss_tick, r.midboss_tick, r.midboss_ticks,
            worst_stretch(r), difficulty_word(r.difficulty));
    append_numbers(out, "hits_by_stretch", r.hits_by_stretch);
    append_numbers(out, "hit_ticks", r.hit_ticks);
    append_numbers(out, "enemies_by_second", r.enemies_by_second);
    append_numbers(out, "enemy_bullets_by_second", r.enemy_bullets_by_second);
    append_numbers(out, "power_by_second", r.power_by_second);
    append_items(out, "items_dropped", r.items_dropped);
    append_items(out, "items_taken", r.items_taken);
    append_arcade_figures(out, r);
    appendf(out,
            ", \"seconds_before_boss\": %d, \"empty_seconds_before_boss\": %d, "
            "\"longest_empty_before_boss\": %d, \"hash\": \"%s\"}\n",
            pacing.seconds_before_boss, pacing.empty_seconds_before_boss,
            pacing.longest_empty_before_boss, hex_digest(r.hash).c_str());
    return out;
  }
  std::string worst = "no hits";
  if (const int w = worst_stretch(r); w >= 0) {
    worst = "most hits " + game_time(w * STRETCH_TICKS) + "-" + game_time((w + 1) * STRETCH_TICKS) +
            " (" + std::to_string(r.hits_by_stretch[w]) + ")";
  }
  appendf(out,
          "seed %u  %s  %s at %s (tick %d) in level %d  score %d  enemies %d seen %d destroyed  "
          "hits %d  energy %d  %s  empty %d%% of %d s before the boss (longest %d s)",
          r.seed, pilot, outcome_name(r.outcome), game_time(r.tick).c_str(), r.tick, r.level,
          r.score, r.spawned, r.destroyed, r.hits_taken, r.energy, worst.c_str(),
          percent(pacing.empty_seconds_before_boss, pacing.seconds_before_boss),
          pacing.seconds_before_boss, pacing.longest_empty_before_boss);
  if (pacing.busiest_second >= 0)
    appendf(out, "  busiest %s (%d bullets)", game_time(sample_tick(pacing.busiest_second)).c_str(),
            r.enemy_bullets_by_second[pacing.busiest_second]);
  out += "\n";
  return out;
}

std::string run_warnings(const RunResult& r) {
  std::string out;
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    if (r.outside_from[k] == 0) continue;
    appendf(out,
            "warning: seed %u: enemy type %d stayed wholly outside the playfield with health left "
            "for more than %d s from %s\n",
            r.seed, k + 1, OUTSIDE_WARNING_TICKS / TICKS_PER_SECOND,
            game_time(r.outside_from[k]).c_str());
  }
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    if (r.rammed_from[k] == 0) continue;
    appendf(out,
            "warning: seed %u: enemy type %d ran into the ship at %s moving with a bullet it had "
            "aimed at the ship\n",
            r.seed, k + 1, game_time(r.rammed_from[k]).c_str());
  }
  return out;
}

std::string summary_warnings(const RunsSummary& s) {
  if (s.runs == 0 || s.time < s.runs) return "";
  return s.runs == 1 ? "warning: the run ended out of time\n"
                     : "warning: every run ended out of time\n";
}

void print_summary(const Options& o, const RunsSummary& s) {
  std::printf("%s, %d run%s from seed %u: %d victories, %d lost, %d out of time\n",
              pilot_name(o.pilot), s.runs, s.runs == 1 ? "" : "s", o.run.seed, s.victories, s.lost,
              s.time);
  std::printf("hits per 10 s:");
  for (int h : s.hits_by_stretch) std::printf(" %d", h);
  std::printf("\nhits in the first 30 s: %d; most in 10 s before the boss: %d", s.hits_first_30s,
              s.most_hits_in_10s);
  if (s.most_hits_in_10s > 0)
    std::printf(" from %s to %s", game_time(s.most_hits_from).c_str(),
                game_time(s.most_hits_from + STRETCH_TICKS).c_str());
  std::printf("\nbefore the boss: empty %d%% of %d s, longest empty %d s",
              percent(s.empty_seconds_before_boss, s.seconds_before_boss), s.seconds_before_boss,
              s.longest_empty);
  if (s.longest_empty > 0) std::printf(" (%s)", place_text(s.longest_empty_at).c_str());
  std::printf(", enemy bullets on screen %.1f on average, at most %d",
              s.seconds_before_boss > 0
                  ? static_cast<double>(s.bullets_before_boss) / s.seconds_before_boss
                  : 0.0,
              s.peak_before_boss);
  if (s.peak_before_boss > 0) std::printf(" (%s)", place_text(s.peak_before_boss_at).c_str());
  std::printf("\nthe boss: enemy bullets on screen at most %d", s.peak_with_boss);
  if (s.peak_with_boss > 0) std::printf(" (%s)", place_text(s.peak_with_boss_at).c_str());
  if (s.boss_fights > 0)
    std::printf(", lasted %.1f s (median of %d victories)",
                static_cast<double>(s.boss_ticks_median) / TICKS_PER_SECOND, s.boss_fights);
  std::printf("\n");
}

}  // namespace runcli
