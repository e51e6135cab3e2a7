// The score table, "scores.toml" in the player's data folder: the ten best
// games of each campaign at each difficulty. A pure parser and writer over its text, the rank a
// new score takes, and the loader and saver that keep a broken file aside
// instead of losing it.
#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "script/script.h"
#include "shell/replays_local.h"
#include "shell/shell_local.h"

namespace fs = std::filesystem;

namespace {

// Printable ASCII without the quote and backslash TOML would escape: what a
// player types into the name, and what a hand-edited file may hold.
bool plain_text(std::string_view text, std::size_t most) {
  if (text.empty() || text.size() > most) return false;
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c >= ' ' && c <= '~' && c != '"' && c != '\\'; });
}

std::string entry_problem(const toml::table& t, ScoreEntry& e) {
  const auto name = t["name"].value<std::string>();
  const auto score = t["score"].value<std::int64_t>();
  const auto level = t["level"].value<std::int64_t>();
  const auto date = t["date"].value<std::string>();
  const auto continues = t["continues"].value<std::int64_t>();
  const auto campaign = t["campaign"].value<std::string>();
  // Tables written before there was a choice of difficulty were played at Normal.
  const auto difficulty = t.contains("difficulty")
                              ? t["difficulty"].value<std::string>()
                              : std::string(DIFFICULTY_NAMES[DIFFICULTY_NORMAL]);
  // Older tables name no recording.
  const auto replay = t["replay"].value_or(std::string());
  if (!name || !plain_text(*name, MAX_SCORE_NAME)) return "name is not 1 to 12 plain characters";
  if (!score || *score < 0 || *score > INT32_MAX) return "score is not a whole number from 0";
  if (!level || *level < 1 || *level > 999) return "level is not a whole number from 1";
  if (!date || !plain_text(*date, 40)) return "date is not a short text";
  if (!continues || *continues < 0 || *continues > 99) return "continues is not 0 to 99";
  if (!campaign || !plain_text(*campaign, 64)) return "campaign is not a short text";
  const auto named =
      std::find(DIFFICULTY_NAMES.begin(), DIFFICULTY_NAMES.end(), difficulty.value_or(""));
  if (named == DIFFICULTY_NAMES.end()) return "difficulty is not Easy, Normal or Hard";
  if (!replay.empty() && !replay_name_usable(replay)) return "replay is not a plain file name";
  e = ScoreEntry{*name,
                 static_cast<int>(*score),
                 static_cast<int>(*level),
                 *date,
                 static_cast<int>(*continues),
                 *campaign,
                 static_cast<int>(named - DIFFICULTY_NAMES.begin()),
                 replay};
  return {};
}

// Better first; among equal scores the earlier entry keeps its place.
bool ranks_above(const ScoreEntry& a, const ScoreEntry& b) {
  return a.score > b.score;
}

// Whether two entries stand in the same table.
bool same_table(const ScoreEntry& a, const ScoreEntry& b) {
  return a.campaign == b.campaign && a.difficulty == b.difficulty;
}

// A table's entries beyond its first SCORE_TABLE_SIZE are dropped.
void keep_best(std::vector<ScoreEntry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), ranks_above);
  std::vector<ScoreEntry> kept;
  for (const ScoreEntry& e : entries) {
    const auto same = std::count_if(kept.begin(), kept.end(),
                                    [&](const ScoreEntry& k) { return same_table(k, e); });
    if (same < SCORE_TABLE_SIZE) kept.push_back(e);
  }
  entries = std::move(kept);
}

}  // namespace

ScoreTable parse_scores(std::span<const std::uint8_t> bytes) {
  ScoreTable table;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  toml::table root;
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& e) {
    table.error =
        "line " + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    return table;
  }
  for (auto&& [key, node] : root) {
    const toml::array* list = node.as_array();
    if (key.str() != "score" || list == nullptr)
      return ScoreTable{{}, "\"" + std::string(key.str()) + "\" is not a [[score]] list"};
    for (const toml::node& item : *list) {
      const toml::table* t = item.as_table();
      ScoreEntry e;
      const std::string why = t ? entry_problem(*t, e) : "a score is not a table";
      if (!why.empty())
        return ScoreTable{{}, "line " + std::to_string(item.source().begin.line) + ": " + why};
      table.entries.push_back(e);
    }
  }
  keep_best(table.entries);
  return table;
}

std::string scores_text(std::span<const ScoreEntry> entries) {
  std::string text = "# Mirvo's best games, ten for each campaign at each difficulty.\n";
  for (const ScoreEntry& e : entries) {
    text += "\n[[score]]\nname = \"" + e.name + "\"\nscore = " + std::to_string(e.score) +
            "\nlevel = " + std::to_string(e.level) + "\ndate = \"" + e.date +
            "\"\ncontinues = " + std::to_string(e.continues) + "\ncampaign = \"" + e.campaign +
            "\"\ndifficulty = \"" + difficulty_name(e.difficulty) + "\"\n";
    if (!e.replay.empty()) text += "replay = \"" + e.replay + "\"\n";
  }
  return text;
}

int add_score(std::vector<ScoreEntry>& entries, const ScoreEntry& entry) {
  if (entry.score <= 0) return -1;
  keep_best(entries);
  // An older equal score keeps its place above the new one.
  const auto above = [&](const ScoreEntry& e) { return e.score >= entry.score; };
  const auto rank = std::count_if(entries.begin(), entries.end(), [&](const ScoreEntry& e) {
    return same_table(e, entry) && above(e);
  });
  if (rank >= SCORE_TABLE_SIZE) return -1;
  entries.insert(std::find_if_not(entries.begin(), entries.end(), above), entry);
  keep_best(entries);
  return static_cast<int>(rank);
}

std::string scores_path(const char* xdg_data_home, const char* home) {
  const std::string folder = data_home(xdg_data_home, home);
  return folder.empty() ? "" : (fs::path(folder) / "mirvo" / "scores.toml").string();
}

std::vector<ScoreEntry> load_scores(const std::string& path) {
  const WholeFile file = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  if (!file.opened && file.error == ENOENT) return {};
  std::string why = whole_file_problem(file);
  ScoreTable table;
  if (why.empty()) {
    table = parse_scores(file.bytes);
    why = table.error;
  }
  if (why.empty()) return table.entries;
  // Kept for the player to mend or delete; the next save starts afresh.
  std::error_code ec;
  fs::rename(path, path + ".broken", ec);
  std::fprintf(stderr, "mirvo: the score table %s cannot be read (%s); %s\n", path.c_str(),
               why.c_str(), ec ? "it is left as it is" : "it is kept as scores.toml.broken");
  return {};
}

bool save_scores(const std::string& path, std::span<const ScoreEntry> entries) {
  std::string error = make_folders(fs::path(path).parent_path());
  if (error.empty()) error = replace_file(path, scores_text(entries));
  if (error.empty()) return true;
  std::fprintf(stderr, "mirvo: cannot save the score table in %s: %s\n", path.c_str(),
               error.c_str());
  return false;
}
