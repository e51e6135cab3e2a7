// Making and replaying recordings: the content digest a recording is bound
// to, the start of a game shared by every player of one, the runs kept tick
// by tick, and the headless replay that checks a recording against itself.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "content/content.h"
#include "script/script.h"
#include "world/world.h"

namespace {

// A file's bytes and then its length, so a byte moved across the boundary
// to the next file changes the digest; false when it cannot be read.
bool add_file(Digest& d, const std::string& path, std::size_t limit) {
  const WholeFile file = read_whole_file(path.c_str(), limit);
  if (file.error != 0) return false;
  d.value = fnv1a(file.bytes, d.value);
  d.add(file.bytes.size());
  return true;
}

std::string clipped(std::string text) {
  if (text.size() > MAX_RECORDING_TEXT) text.resize(MAX_RECORDING_TEXT);
  return text;
}

// Whole seconds of game time as "m:ss".
std::string minutes(int tick) {
  char text[32];
  const int seconds = tick / 100;
  std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
  return text;
}

// The one rule set a recording names: the arcade rules or the plain ones.
bool arcade_rules(const Rules& rules) {
  return rules.game_ends;
}

const char* end_name(GameEnd end) {
  switch (end) {
    case GameEnd::victory:
      return "victory";
    case GameEnd::game_over:
      return "game over";
    case GameEnd::left:
      return "left";
    case GameEnd::time:
      return "out of time";
  }
  return "?";
}

// Whether the world as it stands can have ended the way the recording says:
// a victory on the last level, a lost ship for a game over. A game left or
// out of time can stand anywhere.
bool end_matches(GameEnd end, const Campaign& campaign, const CampaignProgress& progress) {
  const bool last = progress.level + 1 == static_cast<int>(campaign.levels.size());
  if (end == GameEnd::victory) return last && game_outcome() == GameOutcome::won;
  if (end == GameEnd::game_over) return game_outcome() == GameOutcome::lost;
  return true;
}

bool recording_full(const Recording& r) {
  return r.inputs.size() >= MAX_RECORDED_RUNS || r.ticks >= MAX_RECORDED_TICKS;
}

}  // namespace

std::uint64_t level_content_digest(const CampaignLevel& level, const Rules& rules) {
  Digest d;
  if (!add_file(d, level.script, MAX_SCRIPT_FILE_BYTES)) return 0;
  const WholeFile enemies = read_whole_file(level.enemies.c_str(), MAX_ENEMY_FILE_BYTES);
  if (enemies.error != 0) return 0;
  d.value = fnv1a(enemies.bytes, d.value);
  d.add(enemies.bytes.size());
  if (rules.enemy_extras) {
    // A missing companion is a level's choice (the defaults), not a failure.
    const std::string extras = enemy_extras_path(level.enemies);
    const bool read = add_file(d, extras, MAX_ENEMY_EXTRAS_BYTES);
    if (!read && read_whole_file(extras.c_str(), MAX_ENEMY_EXTRAS_BYTES).opened) return 0;
    d.add(read);
  }
  const EnemyFile file = parse_enemy_file(enemies.bytes, level.enemies.c_str());
  if (!file.error.empty()) return 0;
  for (const EnemyTypeRecord& type : file.types)
    if (!add_file(d, enemy_archive_path(level.enemies, type.datafile), MAX_ARCHIVE_BYTES)) return 0;
  return d.value;
}

Recording begin_recording(const Campaign& campaign, std::uint32_t seed, const char* pilot,
                          const char* game_version) {
  Recording r;
  r.game_version = clipped(game_version);
  char date[32] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr)
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  r.date = date;
  r.pilot = clipped(pilot);
  r.campaign = clipped(campaign.name);
  r.arcade = arcade_rules(campaign.rules);
  r.difficulty = campaign.rules.difficulty;
  r.seed = seed;
  for (const CampaignLevel& level : campaign.levels) {
    r.levels.push_back({clipped(level.title), clipped(level.script), clipped(level.enemies),
                        clipped(level.tiles), clipped(level.music), ""});
    r.digests.push_back(level_content_digest(level, campaign.rules));
  }
  r.inputs.reserve(MAX_RECORDED_RUNS);
  r.checks.reserve(MAX_RECORDED_TICKS / CHECK_TICKS);
  return r;
}

void record_tick(Recording& recording, int bits) {
  if (recording_full(recording)) return;
  ++recording.ticks;
  if (!recording.inputs.empty() && recording.inputs.back().bits == bits) {
    ++recording.inputs.back().ticks;
  } else {
    recording.inputs.push_back({1, static_cast<std::uint8_t>(bits & INPUT_MASK)});
  }
  if (recording.ticks % CHECK_TICKS == 0) recording.checks.push_back(world_hash());
  // The last tick it can keep: the summary is this tick's, whatever follows.
  if (recording_full(recording)) {
    recording.score = player.score;
    recording.final_hash = world_hash();
  }
}

void finish_recording(Recording& recording, GameEnd end, const CampaignProgress& progress) {
  recording.level = progress.level + 1;
  if (recording_full(recording)) {
    recording.end = GameEnd::left;
    return;
  }
  recording.end = end;
  recording.score = player.score;
  recording.final_hash = world_hash();
}

void start_game(const Campaign& campaign, CampaignProgress& progress, std::uint32_t seed,
                int start_tick) {
  seed_world_random(seed);
  reset_world_for_new_game();
  progress = CampaignProgress{};
  load_campaign_level(campaign, 0);
  for (int tick = 0; tick < start_tick; ++tick) {
    const GameOutcome before = game_outcome();
    campaign_tick(campaign, progress, TickInput{});
    keep_ship_alive(before);
    clear_world_events();  // nobody hears the ticks skipped
  }
}

void continue_game(const Campaign& campaign, CampaignProgress& progress) {
  // Full energy, score 0, the outcome undecided; the level's start does the rest.
  reset_world_for_new_game();
  progress.cleared = false;
  progress.victory_ticks = 0;
  progress.skip_wait = false;
  progress.fire_held = true;
  load_campaign_level(campaign, progress.level);
}

namespace {

// Boss tracks change nothing in play, so a recording leaves them out: a level
// the game folder's campaign plays with the same script and track takes its
// boss track from there.
void add_folder_boss_music(Campaign& c) {
  const WholeFile in = read_whole_file(CAMPAIGN_FILE, MAX_TEXT_FILE_BYTES);
  if (!in.opened || in.error != 0) return;
  const Campaign folder = parse_campaign(in.bytes, CAMPAIGN_FILE);
  for (CampaignLevel& level : c.levels)
    for (const CampaignLevel& f : folder.levels)
      if (f.script == level.script && f.music == level.music) level.boss_music = f.boss_music;
}

}  // namespace

RecordedCampaign recorded_campaign(const Recording& recording) {
  RecordedCampaign out;
  Campaign& c = out.campaign;
  c.levels = recording.levels;
  c.name = recording.campaign;
  c.rules =
      rules_at_difficulty(recording.arcade ? ARCADE_RULES : PLAIN_RULES, recording.difficulty);
  for (std::size_t i = 0; i < c.levels.size(); ++i) {
    const CampaignLevel& level = c.levels[i];
    const std::uint64_t digest = level_content_digest(level, c.rules);
    if (digest == 0 || i >= recording.digests.size() || digest != recording.digests[i]) {
      out.error = digest == 0 ? "the files of level " + std::to_string(i + 1) + " (" +
                                    level.script + ") cannot be read"
                              : "the recording was made with another " + level.script + " (level " +
                                    std::to_string(i + 1) + ")";
      return out;
    }
  }
  out.error = campaign_problem(c);
  add_folder_boss_music(c);
  return out;
}

int next_input(const Recording& recording, RecordingCursor& cursor) {
  if (cursor.run >= recording.inputs.size()) return -1;
  const InputRun& run = recording.inputs[cursor.run];
  if (++cursor.used >= run.ticks) {
    ++cursor.run;
    cursor.used = 0;
  }
  ++cursor.tick;
  return run.bits;
}

bool replay_tick(const Campaign& campaign, CampaignProgress& progress, int bits) {
  if ((bits & INPUT_CONTINUE) != 0) continue_game(campaign, progress);
  return campaign_tick(campaign, progress, bits_input(bits));
}

// The check values name the first 5-s stretch that went its own way; the
// summary is compared only when every check held.
Verification verify_recording(const Recording& recording) {
  Verification v;
  const RecordedCampaign played = recorded_campaign(recording);
  if (!played.error.empty()) {
    v.why = played.error;
    return v;
  }
  CampaignProgress progress;
  start_game(played.campaign, progress, recording.seed, recording.start_tick);
  RecordingCursor cursor;
  for (int bits = next_input(recording, cursor); bits >= 0; bits = next_input(recording, cursor)) {
    replay_tick(played.campaign, progress, bits);
    // Events are for sounds; nobody hears them here.
    clear_world_events();
    if (cursor.tick % CHECK_TICKS != 0) continue;
    const std::size_t check = static_cast<std::size_t>(cursor.tick / CHECK_TICKS) - 1;
    if (check < recording.checks.size() && world_hash() != recording.checks[check]) {
      v.first_bad_tick = cursor.tick;
      v.why = "tick " + std::to_string(cursor.tick) +
              ": the world differs from the recording; it drifted between " +
              minutes(cursor.tick - CHECK_TICKS) + " and " + minutes(cursor.tick) + " of game time";
      return v;
    }
  }
  v.first_bad_tick = recording.ticks;
  const std::string at = "tick " + std::to_string(recording.ticks) + ": ";
  const int last_check = recording.ticks / CHECK_TICKS * CHECK_TICKS;
  if (world_hash() != recording.final_hash) {
    v.why = at + "the world differs from the recording at its end; it drifted after " +
            minutes(last_check) + " of game time";
  } else if (player.score != recording.score) {
    v.why = at + "the score is " + std::to_string(player.score) + ", the recording says " +
            std::to_string(recording.score);
  } else if (progress.level + 1 != recording.level) {
    v.why = at + "the game stands at level " + std::to_string(progress.level + 1) +
            ", the recording says " + std::to_string(recording.level);
  } else if (!end_matches(recording.end, played.campaign, progress)) {
    v.why = at + "the game did not end as the recording says (" + end_name(recording.end) + ")";
  } else {
    v.ok = true;
    v.first_bad_tick = -1;
  }
  return v;
}
