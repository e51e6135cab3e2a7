// The score table: its text both ways, the place a new score takes, and a
// broken or unwritable file never costing the player a crash or their table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "shell/shell_local.h"

namespace fs = std::filesystem;

namespace {

ScoreEntry entry(const std::string& name, int score, const std::string& campaign = "Mirvo",
                 int difficulty = DIFFICULTY_NORMAL) {
  return ScoreEntry{name, score, 2, "2026-12-08T20:00:00", 1, campaign, difficulty, ""};
}

ScoreTable parse_text(const std::string& text) {
  return parse_scores(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace

// Eleven scores of one campaign keep the best ten; another campaign, and the
// same one at another difficulty, have tables of their own; an equal score
// ranks below the older one; 0 never enters.
TEST(ScoreTable, RanksKeepTenPerCampaignAndReadBackExactly) {
  std::vector<ScoreEntry> table;
  for (int i = 1; i <= 10; ++i)
    EXPECT_EQ(add_score(table, entry("P" + std::to_string(i), i * 100)), 0);
  EXPECT_EQ(add_score(table, entry("LOW", 50)), -1);
  EXPECT_EQ(add_score(table, entry("ZERO", 0, "Other")), -1);
  EXPECT_EQ(add_score(table, entry("TIE", 500)), 6);  // below the older 500
  EXPECT_EQ(add_score(table, entry("pilot7", 50, "Other")), 0);
  EXPECT_EQ(add_score(table, entry("HARD", 50, "Mirvo", DIFFICULTY_HARD)), 0);
  EXPECT_EQ(add_score(table, entry("EASY", 40, "Mirvo", DIFFICULTY_EASY)), 0);
  table.back().replay = "2026-12-09-04-28-29.mirvo-replay";  // the game's recording
  ASSERT_EQ(table.size(), 13u);
  EXPECT_EQ(table.front().name, "P10");
  EXPECT_EQ(std::count_if(table.begin(), table.end(), [](auto& e) { return e.name == "P1"; }), 0);

  const ScoreTable again = parse_text(scores_text(table));
  EXPECT_EQ(again.error, "");
  EXPECT_EQ(again.entries, table);
}

TEST(ScoreTable, BrokenTextIsRefusedWithItsLine) {
  const std::string good =
      "[[score]]\nname = \"A\"\nscore = 5\nlevel = 1\ndate = \"d\"\n"
      "continues = 0\ncampaign = \"C\"\n";
  const std::pair<std::string, std::string> cases[] = {
      {"[[score]\n", "line 1"},
      {"best = 3\n", "\"best\" is not a [[score]] list"},
      {good + "[[score]]\nname = \"ThirteenChars\"\n", "line 8: name is not 1 to 12"},
      {good + "[[score]]\nname = \"A\"\nscore = -1\n", "line 8: score is not"},
      {good + "[[score]]\nname = \"A\"\nscore = 1\nlevel = 0\n", "line 8: level is not"},
      {good + "difficulty = \"Insane\"\n", "line 1: difficulty is not Easy, Normal or Hard"},
      {good + "difficulty = 2\n", "line 1: difficulty is not"},
      {good + "difficulty = \"hard\"\n", "line 1: difficulty is not"},
      {good + "replay = \"../scores.toml\"\n", "line 1: replay is not a plain file name"},
  };
  // A table written before there was a choice of difficulty was played at Normal.
  const std::pair<std::string, int> reads[] = {
      {good, DIFFICULTY_NORMAL},
      {good + "difficulty = \"Easy\"\n", DIFFICULTY_EASY},
      {good + "difficulty = \"Hard\"\n", DIFFICULTY_HARD},
  };
  for (const auto& [text, played] : reads) {
    const ScoreTable read = parse_text(text);
    EXPECT_EQ(read.error, "") << text;
    ASSERT_EQ(read.entries.size(), 1u) << text;
    EXPECT_EQ(read.entries.front().difficulty, played) << text;
    EXPECT_EQ(read.entries.front().replay, "") << "an older entry names no recording";
  }
  for (const auto& [text, says] : cases)
    EXPECT_NE(parse_text(text).error.find(says), std::string::npos)
        << text << parse_text(text).error;
}

// A corrupt file is moved aside, not lost; a save writes the whole table
// into a folder it makes; a folder that cannot be written is a false return.
TEST(ScoreTable, CorruptFileIsKeptAsideAndSavesAreWhole) {
  const fs::path home = fs::path(testing::TempDir()) / ("scores_" + std::to_string(getpid()));
  fs::remove_all(home);
  const std::string path = scores_path(nullptr, home.c_str());
  EXPECT_EQ(path, (home / ".local/share/mirvo/scores.toml").string());
  EXPECT_EQ(scores_path("/x", home.c_str()), "/x/mirvo/scores.toml");
  EXPECT_TRUE(load_scores(path).empty());

  const std::vector<ScoreEntry> table = {entry("ACE", 900), entry("Bo", 10)};
  ASSERT_TRUE(save_scores(path, table));
  EXPECT_EQ(load_scores(path), table);

  std::ofstream(path) << "[[score]]\nname = 3\n";
  testing::internal::CaptureStderr();
  EXPECT_TRUE(load_scores(path).empty());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("kept as scores.toml.broken"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(path + ".broken"));
  EXPECT_FALSE(fs::exists(path));

  if (geteuid() != 0) {  // root writes anywhere
    fs::permissions(fs::path(path).parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(save_scores(path, table));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot save"), std::string::npos);
    fs::permissions(fs::path(path).parent_path(), fs::perms::owner_all);
  }
  EXPECT_FALSE(save_scores("/proc/mirvo/scores.toml", table));
  fs::remove_all(home);
}
