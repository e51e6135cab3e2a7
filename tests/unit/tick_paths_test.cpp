// The game's two callers of the logic tick, the play loop's catch-up and the
// level runner, fed the same seed and keys through a campaign, make the same
// world and the same outcome.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "content/content.h"
#include "run/runner.h"
#include "shell/shell_local.h"
#include "world/world.h"

namespace {

// A recorded tick's keys held on the keyboard, where the play loop reads them.
void hold_keys(int keys) {
  key[KEY_LEFT] = (keys & PILOT_LEFT) != 0;
  key[KEY_RIGHT] = (keys & PILOT_RIGHT) != 0;
  key[KEY_UP] = (keys & PILOT_UP) != 0;
  key[KEY_DOWN] = (keys & PILOT_DOWN) != 0;
  key[KEY_SPACE] = (keys & PILOT_FIRE) != 0;
  key[KEY_X] = (keys & PILOT_BOMB) != 0;
}

TEST(TickPaths, PlayLoopCatchUpAndRunnerMakeTheSameWorldAcrossALevelChange) {
  ASSERT_EQ(chdir(MIRVO_GAME_DIR), 0);
  start_runner();
  const Campaign campaign = load_campaign();
  ASSERT_GE(campaign.levels.size(), 2u);

  // The runner: the careful pilot, past the first level's victory into the second.
  RunSettings settings;
  settings.seed = 1;
  settings.campaign = &campaign;
  settings.max_ticks = 26000;  // a full-length first level and its tally
  Pilot pilot = make_pilot(PilotKind::dodge, settings.seed);
  Recording recording;
  const RunResult run = run_level(settings, pilot, &recording);
  ASSERT_EQ(run.level, 2) << "the run never reached the second level: " << outcome_name(run.outcome)
                          << " at tick " << run.tick;
  const auto runner_messages = messages;
  const GameOutcome runner_outcome = game_outcome();

  // The play loop: the same start, the recorded keys held, the ticks falling
  // due in uneven catch-ups as the timer brings them.
  seed_world_random(settings.seed);
  reset_world_for_new_game();
  load_campaign_level(campaign, 0);
  CampaignProgress progress;
  int catch_up = 1;
  for (const InputRun& run : recording.inputs) {
    hold_keys(run.bits);
    for (int left = static_cast<int>(run.ticks); left > 0;) {
      const int due = std::min(left, catch_up);
      tick_count = due;
      ASSERT_EQ(run_due_ticks(campaign, progress), due);
      left -= due;
      catch_up = catch_up % 3 + 1;  // passes of 1, 2 and 3 ticks in turn
    }
  }
  hold_keys(0);
  EXPECT_EQ(progress.level + 1, run.level);
  EXPECT_EQ(world_hash(), run.hash);
  EXPECT_EQ(game_outcome(), runner_outcome);
  for (int i = 0; i < MAX_MESSAGES; ++i) {
    EXPECT_EQ(messages[i].time_left, runner_messages[i].time_left) << "message " << i;
    EXPECT_STREQ(messages[i].text.data(), runner_messages[i].text.data()) << "message " << i;
  }
}

}  // namespace
