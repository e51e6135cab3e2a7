// The first level played headless through the level runner, as the game plays
// it: the idle pilot must lose before the boss, the careful mortal pilot must
// win, and every run must be reproducible from its seed or its recording.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "run/runner.h"
#include "world/world.h"

namespace {

// The sanitizer build runs the same cases on fewer seeds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int SEEDS = 4;
constexpr int DODGE_WINS_NEEDED = 3;
#else
constexpr int SEEDS = 20;
constexpr int DODGE_WINS_NEEDED = 16;
#endif

class LevelOne : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(chdir(MIRVO_GAME_DIR), 0);
    for (const char* f : {"level1.wif", "enemy.eif", "data.dat"})
      ASSERT_TRUE(std::ifstream(f).good()) << f << " is not built in " << MIRVO_GAME_DIR;
    start_runner();
  }

  static RunResult play(PilotKind kind, std::uint32_t seed, bool immortal = false,
                        RunRecording* recording = nullptr) {
    RunSettings settings;
    settings.seed = seed;
    settings.immortal = immortal;
    Pilot pilot = make_pilot(kind, seed);
    return run_level(settings, pilot, recording);
  }
};

TEST_F(LevelOne, IdlePilotLosesOnEverySeedBeforeTheBoss) {
  for (std::uint32_t seed = 1; seed <= SEEDS; ++seed) {
    const RunResult r = play(PilotKind::idle, seed);
    EXPECT_EQ(r.outcome, Outcome::lost) << "seed " << seed;
    EXPECT_EQ(r.boss_tick, 0) << "seed " << seed << ": the boss came before the loss";
    EXPECT_EQ(r.energy, 0) << "seed " << seed;
  }
}

TEST_F(LevelOne, CarefulMortalPilotWinsMostSeeds) {
  int wins = 0;
  for (std::uint32_t seed = 1; seed <= SEEDS; ++seed) {
    const RunResult r = play(PilotKind::dodge, seed);
    wins += r.outcome == Outcome::victory ? 1 : 0;
    EXPECT_NE(r.outcome, Outcome::time) << "seed " << seed << " neither won nor lost";
    if (r.outcome == Outcome::victory) {
      EXPECT_GT(r.boss_tick, 0) << "a victory without a boss";
      EXPECT_GE(r.energy, 1);
    }
  }
  EXPECT_GE(wins, DODGE_WINS_NEEDED) << "of " << SEEDS << " seeds";
}

// What the old keep-alive run checked: waves come, enemies fall, only shot
// enemies score, and the level ends in victory.
TEST_F(LevelOne, ImmortalSweepSeesWavesShootsThemDownAndWins) {
  const RunResult r = play(PilotKind::sweep, 1, true);
  EXPECT_EQ(r.outcome, Outcome::victory);
  EXPECT_GE(r.spawned, 10);
  EXPECT_GT(r.destroyed, 0);
  EXPECT_GT(r.score, 0);
  EXPECT_EQ(r.score % ENEMY_SCORE, 0);
  EXPECT_LE(r.score, r.destroyed * ENEMY_SCORE);
  EXPECT_GT(r.hits_taken, 0) << "an immortal sweep through level1 was never hit";
}

TEST_F(LevelOne, TheSameSeedGivesTheSameGameAndOtherSeedsDoNot) {
  const RunResult a = play(PilotKind::dodge, 7);
  const RunResult b = play(PilotKind::dodge, 7);
  const RunResult c = play(PilotKind::dodge, 8);
  EXPECT_EQ(a.hash, b.hash);
  EXPECT_EQ(a.tick, b.tick);
  EXPECT_EQ(a.hits_taken, b.hits_taken);
  EXPECT_NE(a.hash, c.hash) << "the seed does not reach the pilot";
}

TEST_F(LevelOne, ARecordedRunReplaysToTheSameEnd) {
  RunRecording recording;
  const RunResult original = play(PilotKind::dodge, 3, false, &recording);
  EXPECT_EQ(recording.ticks, original.tick);

  EXPECT_EQ(recording.seed, 3u);
  const std::string text = serialize_recording(recording);
  const RunRecording read_back =
      parse_recording(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  ASSERT_EQ(read_back.error, "");
  RunSettings settings;
  settings.seed = read_back.seed;
  settings.max_ticks = read_back.ticks;
  Pilot replay = make_replay_pilot(read_back);
  const RunResult again = run_level(settings, replay);
  EXPECT_EQ(again.outcome, original.outcome);
  EXPECT_EQ(again.tick, original.tick);
  EXPECT_EQ(again.hash, original.hash);
  EXPECT_EQ(again.score, original.score);
}

}  // namespace
