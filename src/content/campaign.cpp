// Playing a campaign: its file loaded (or the first level alone), every file
// it names checked before the first level starts, and the step from a won
// level to the next, shared by the game's play loop and the level runner.
#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "content/content.h"
#include "content/content_local.h"
#include "script/script.h"
#include "world/world.h"

namespace {

// The level's victory step has ended and the ship still flies (a victory
// won in the tick the last point went counts for the runner's verdict, not
// for the next level).
bool level_won() {
  return game_outcome() == GameOutcome::won && player.energy >= 1;
}

}  // namespace

Campaign read_campaign_file(const std::string& path) {
  namespace fs = std::filesystem;
  const WholeFile in = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  Campaign c;
  if (!in.opened || in.error != 0) {
    c.error = path + ": " + whole_file_problem(in);
    return c;
  }
  c = parse_campaign(in.bytes, path.c_str());
  if (!c.error.empty()) return c;
  const fs::path folder = fs::path(path).parent_path();
  for (CampaignLevel& level : c.levels)
    for (std::string* name :
         {&level.script, &level.enemies, &level.tiles, &level.music, &level.boss_music})
      if (!name->empty()) *name = fs::absolute(folder / *name).lexically_normal().string();
  return c;
}

Campaign load_campaign() {
  const WholeFile in = read_whole_file(CAMPAIGN_FILE, MAX_TEXT_FILE_BYTES);
  if (!in.opened) return single_level_campaign();
  if (in.error != 0) {
    std::fprintf(stderr, "mirvo: %s: %s\n", CAMPAIGN_FILE, whole_file_problem(in).c_str());
    fatal_error("Error loading \"%s\"\n", CAMPAIGN_FILE);
  }
  Campaign campaign = parse_campaign(in.bytes, CAMPAIGN_FILE);
  if (!campaign.error.empty()) fatal_error("Error in %s\n", campaign.error.c_str());
  return campaign;
}

// In the order the level start loads them, so the message is the one the
// start of that level would have shown.
std::string campaign_level_problem(const CampaignLevel& level, const Rules& level_rules) {
  if (std::string why = read_script_file(level.script.c_str()).error; !why.empty()) return why;
  if (std::string why = tile_set_problem(level.tiles.c_str()); !why.empty()) return why;
  if (std::string why = enemy_file_problem(level.enemies.c_str(), level_rules.enemy_types);
      !why.empty())
    return why;
  return level_rules.enemy_extras ? read_enemy_extras(level.enemies.c_str()).error : "";
}

std::vector<std::string> level_files(const CampaignLevel& level, const Rules& level_rules) {
  std::vector<std::string> files{level.script, level.tiles, level.enemies};
  if (level_rules.enemy_extras) files.push_back(enemy_extras_path(level.enemies));
  const WholeFile enemies = read_whole_file(level.enemies.c_str(), MAX_ENEMY_FILE_BYTES);
  const EnemyFile file = parse_enemy_file(enemies.bytes, level.enemies.c_str());
  if (enemies.error != 0 || !file.error.empty()) return files;
  for (const EnemyTypeRecord& type : file.types) {
    files.push_back((std::filesystem::path(level.enemies).parent_path() / type.datafile).string());
    files.push_back(enemy_archive_path(level.enemies, type.datafile));
  }
  return files;
}

std::string campaign_problem(const Campaign& campaign) {
  for (const CampaignLevel& level : campaign.levels)
    if (std::string why = campaign_level_problem(level, campaign.rules); !why.empty()) return why;
  return {};
}

void load_campaign_level(const Campaign& campaign, int index) {
  const CampaignLevel& level = campaign.levels.at(static_cast<std::size_t>(index));
  load_level(level.script.c_str(), level.enemies.c_str(), level.tiles.c_str(), campaign.rules);
  if (!level.title.empty()) show_message(level.title.c_str(), LEVEL_TITLE_TICKS);
}

int energy_for_next_level(int energy) {
  return std::min(START_ENERGY, energy + LEVEL_ENERGY_BONUS);
}

int tally_bonus(const LevelTally& tally) {
  return tally.hits == 0 ? NO_HIT_BONUS : 0;
}

bool advance_campaign(const Campaign& campaign, CampaignProgress& progress) {
  if (!level_won()) return false;
  const bool tallied = campaign.rules.keeps_tally;
  if (tallied && !progress.cleared) {
    progress.cleared = true;
    progress.tally = level_tally;
    progress.bonus = tally_bonus(level_tally);
    player.score += progress.bonus;
  }
  if (progress.level + 1 >= static_cast<int>(campaign.levels.size())) return false;
  const int wait = tallied ? TALLY_TICKS : LEVEL_VICTORY_TICKS;
  if (progress.skip_wait) progress.victory_ticks = wait;
  progress.skip_wait = false;
  if (++progress.victory_ticks < wait) return false;
  progress.cleared = false;
  ++progress.level;
  progress.victory_ticks = 0;
  player.energy = energy_for_next_level(player.energy);
  progress.left_tally = level_tally;
  // The next level's start sets the outcome back to playing.
  reset_world_for_next_level();
  load_campaign_level(campaign, progress.level);
  return true;
}

// The skip is taken after the step, so fire pressed on this tick starts the
// next level at the next one, as the tally's "Fire to go on" promises.
bool campaign_tick(const Campaign& campaign, CampaignProgress& progress, const TickInput& input) {
  run_tick(input);
  const bool next = advance_campaign(campaign, progress);
  if (progress.cleared && input.fire && !progress.fire_held) progress.skip_wait = true;
  progress.fire_held = input.fire;
  return next;
}
