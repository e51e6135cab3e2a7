// The replays folder's choices and playback's keys, as pure functions: which
// recordings are deleted, the names they get, a take-over's recorded prefix.
#include <allegro.h>
#include <gtest/gtest.h>

#include "shell/replays_local.h"

TEST(Replays, PruningKeepsTheNewestAndEveryOneTheTableNames) {
  std::vector<std::string> names;
  for (int i = 0; i < 7; ++i)
    names.push_back("2026-12-0" + std::to_string(i + 1) + ".mirvo-replay");
  const std::string named[] = {names[0], names[5]};
  // The three newest stay (4, 5, 6 by date), 0 stays for the score table.
  EXPECT_EQ(replays_to_prune(names, named, 3),
            (std::vector<std::string>{names[3], names[2], names[1]}));
  EXPECT_TRUE(replays_to_prune(names, {}, KEPT_REPLAYS).empty());

  std::tm when{};
  when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 9, when.tm_hour = 4, when.tm_min = 28;
  EXPECT_EQ(replay_name(when, 1), "2026-12-09-04-28-00.mirvo-replay");
  EXPECT_EQ(replay_name(when, 2), "2026-12-09-04-28-00-2.mirvo-replay");
  // The second of one second is the newer: the first goes when only one stays.
  const std::string same_second[] = {replay_name(when, 2), replay_name(when, 1)};
  EXPECT_EQ(replays_to_prune({same_second[0], same_second[1]}, {}, 1),
            std::vector<std::string>{same_second[1]});
  for (const char* bad : {"", ".mirvo-replay", "../x.mirvo-replay", "a b.mirvo-replay", "x.toml"})
    EXPECT_FALSE(replay_name_usable(bad)) << bad;
  EXPECT_TRUE(replay_name_usable(replay_name(when, 2)));
}

TEST(Replays, TakeOverKeepsTheWatchedInputUpToItsTick) {
  Recording watched;
  watched.inputs = {{300, 0}, {400, INPUT_FIRE}, {500, INPUT_LEFT}};
  watched.ticks = 1200;
  watched.checks = {11, 22};
  Recording mine;
  keep_first_ticks(watched, 1001, mine);
  EXPECT_EQ(mine.ticks, 1001);
  ASSERT_EQ(mine.inputs.size(), 3u);
  EXPECT_EQ(mine.inputs[2].ticks, 301u);
  EXPECT_EQ(mine.checks, (std::vector<std::uint64_t>{11, 22}));
  keep_first_ticks(watched, 999, mine);
  EXPECT_EQ(mine.checks, (std::vector<std::uint64_t>{11}));
  EXPECT_EQ(mine.inputs.back().ticks, 299u);
}

TEST(Replays, PlaybackKeys) {
  const struct {
    bool paused;
    PlaybackKeys keys;
    int due;
    PlaybackStep step;
  } cases[] = {
      {false, {}, 2, {false, 2}},
      {false, {.right_held = true}, 2, {false, 2 * FAST_FORWARD}},
      {false, {.space = true}, 3, {true, 0}},
      {true, {.down = true}, 5, {true, 1}},
      {true, {}, 5, {true, 0}},
      {true, {.space = true}, 1, {false, 1}},
  };
  for (const auto& c : cases) {
    const PlaybackStep step = playback_step(c.paused, c.keys, c.due);
    EXPECT_EQ(step.paused, c.step.paused);
    EXPECT_EQ(step.ticks, c.step.ticks);
  }
}
