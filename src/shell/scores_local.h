// The score table's file and ranks, shared by the shell's files through
// shell_local.h: a pure parser and writer over its text, and the loader and
// saver around them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "world/world.h"

inline constexpr int SCORE_TABLE_SIZE = 10;        // entries kept per campaign and difficulty
inline constexpr std::size_t MAX_SCORE_NAME = 12;  // bytes of a player's name

struct ScoreEntry {
  std::string name;
  int score = 0;
  int level = 1;     // the level reached, from 1
  std::string date;  // ISO 8601
  int continues = 0;
  std::string campaign;                // the campaign's name, else its first level's title
  int difficulty = DIFFICULTY_NORMAL;  // a Difficulty
  std::string replay;                  // the game's recording in the replays folder; "" for none
  bool operator==(const ScoreEntry&) const = default;
};

// A parsed score table, best first, at most SCORE_TABLE_SIZE per campaign and
// difficulty; or why it cannot be read (empty error on success).
struct ScoreTable {
  std::vector<ScoreEntry> entries;
  std::string error;
};
// Parses "scores.toml": only [[score]] tables, each with every key of a
// ScoreEntry in range; the difficulty is one of DIFFICULTY_NAMES, and an entry
// without one (written before there was a choice) is Normal; one without a
// replay (written before games were recorded) names none. Never exits.
ScoreTable parse_scores(std::span<const std::uint8_t> bytes);
// The file's text; parse_scores(scores_text(e)).entries == e for a table in order.
std::string scores_text(std::span<const ScoreEntry> entries);
// Puts entry into the table of its campaign and difficulty and returns its
// place there (0 the best), or -1 when it does not make the table (a score of
// 0 never does); an older equal score stays above it.
int add_score(std::vector<ScoreEntry>& entries, const ScoreEntry& entry);
// mirvo/scores.toml in the data home; empty when there is none.
std::string scores_path(const char* xdg_data_home, const char* home);
// The table at path; none when it is missing. A file that cannot be read or
// parsed is renamed to scores.toml.broken, with one line on standard error.
std::vector<ScoreEntry> load_scores(const std::string& path);
// Replaces the file whole (its folder made when missing); a failure is one
// line on standard error and false.
bool save_scores(const std::string& path, std::span<const ScoreEntry> entries);
