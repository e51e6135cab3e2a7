// The runner's pacing figures and its jobs: what counts as on the screen, the
// empty seconds and bullets before the boss, the figures over many runs, and
// runs spread over processes arriving in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "content/content.h"
#include "run/runner.h"
#include "world_fixture.h"

namespace {

// ---- What is on the screen ----

class OnScreen : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    content_.define_enemy_type(1, 5, 0, 1, {fixture::Step{}, fixture::Step{}});
  }
  // An empty world but for one idle 40 x 40 enemy at (x, y); its slot.
  int only_enemy_at(float x, float y) {
    fixture::reset_world();
    fixture::load_script_source(fixture::IDLE_SCRIPT);
    return spawn_idle(1, x, y);
  }
};

TEST_F(OnScreen, EnemiesCountWhileAliveAndTheirBoxTouchesThePlayfield) {
  const struct {
    float x, y;
    float health;
    int type;
    int expected;
  } cases[] = {
      {-39.0f, 0.0f, 5, 1, 1},  // one column inside
      {-40.0f, 0.0f, 5, 1, 0},  // just left of it
      {280.0f, -39.0f, 5, 1, 1},
      {0.0f, 400.0f, 5, 1, 0},  // just below it
      {319.0f, 399.0f, 5, 1, 1},
      {100.0f, 100.0f, 0, 1, 0},  // dying
      {100.0f, 100.0f, 5, LEVEL_DIRECTOR, 0},
  };
  for (const auto& c : cases) {
    const int slot = only_enemy_at(c.x, c.y);
    enemies[slot].health = c.health;
    enemies[slot].type = c.type;
    EXPECT_EQ(count_on_screen().enemies, c.expected) << c.x << ", " << c.y;
  }
  const int slot = only_enemy_at(100.0f, 100.0f);
  enemy_anim_states[slot].anim = enemy_anim_states[slot].death_anim;
  EXPECT_EQ(count_on_screen().enemies, 0) << "in its death step";
}

TEST_F(OnScreen, EnemyBulletsCountInFlightInsideThePlayfield) {
  const struct {
    Bullet bullet;
    int expected;
  } cases[] = {
      {Bullet{1, 319.0f, 399.0f}, 1},
      {Bullet{1, -2.0f, 10.0f}, 1},  // its 3 x 3 box reaches column 0
      {Bullet{1, -3.0f, 10.0f}, 0},
      {Bullet{1, 320.0f, 10.0f}, 0},
      {Bullet{1, 10.0f, 400.0f}, 0},
      {Bullet{1, 10.0f, 10.0f, 0, 0, 0, 0, 1}, 0},  // has hit the ship
      {Bullet{1, 10.0f, 10.0f, 0, 0, -1}, 0},       // finished
      {Bullet{0, 10.0f, 10.0f}, 0},                 // a free slot
  };
  for (const auto& c : cases) {
    fixture::reset_world();
    enemy_bullets[7] = c.bullet;
    EXPECT_EQ(count_on_screen().enemy_bullets, c.expected) << c.bullet.x << ", " << c.bullet.y;
  }
  fixture::reset_world();
  for (int i = 0; i < MAX_ENEMY_BULLETS; ++i) enemy_bullets[i] = Bullet{1, 5.0f * i, 50.0f};
  EXPECT_EQ(count_on_screen().enemy_bullets, MAX_ENEMY_BULLETS);
  EXPECT_EQ(count_on_screen().enemies, 0);
}

// ---- One run's pacing ----

RunResult samples(std::vector<int> enemies_on_screen, std::vector<int> bullets, int boss_tick) {
  RunResult r;
  r.enemies_by_second = std::move(enemies_on_screen);
  r.enemy_bullets_by_second = std::move(bullets);
  r.boss_tick = boss_tick;
  r.tick = static_cast<int>(r.enemies_by_second.size()) * TICKS_PER_SECOND;
  return r;
}

TEST(Pacing, EmptySecondsAndBulletsAreCountedBeforeTheBoss) {
  const struct {
    const char* what;
    RunResult run;
    int seconds, empty, longest, longest_start, bullets, busiest;
  } cases[] = {
      {"no samples", samples({}, {}, 0), 0, 0, 0, -1, 0, -1},
      {"no boss: the whole run", samples({0, 0, 1, 0, 0, 0}, {0, 0, 2, 0, 0, 0}, 0), 6, 5, 3, 3, 2,
       2},
      {"a bullet alone fills a second", samples({0, 0, 0}, {0, 4, 0}, 0), 3, 2, 1, 0, 4, 1},
      // Samples at ticks 100..600; the boss at 400 leaves 100, 200 and 300 before it.
      {"the boss cuts it", samples({0, 0, 0, 0, 0, 0}, {0, 0, 0, 9, 0, 0}, 400), 3, 3, 3, 0, 0, 3},
      {"a sample on the boss's tick is the boss's", samples({0, 2, 0}, {1, 1, 1}, 300), 2, 0, 0, -1,
       2, 0},
      {"the first of equal stretches", samples({0, 0, 1, 0, 0, 1, 0}, {0, 0, 0, 0, 0, 0, 0}, 0), 7,
       5, 2, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const RunPacing p = pacing_of(c.run);
    EXPECT_EQ(std::make_tuple(p.seconds_before_boss, p.empty_seconds_before_boss,
                              p.longest_empty_before_boss, p.longest_empty_start,
                              p.bullets_before_boss, p.busiest_second),
              std::make_tuple(c.seconds, c.empty, c.longest, c.longest_start, c.bullets, c.busiest))
        << c.what;
  }
}

// ---- Many runs ----

RunResult run_of(std::uint32_t seed, Outcome outcome, int tick, int boss_tick,
                 std::vector<int> hit_ticks, std::vector<int> bullets) {
  std::vector<int> one_enemy_each(bullets.size(), 1);
  RunResult r = samples(std::move(one_enemy_each), std::move(bullets), boss_tick);
  r.seed = seed;
  r.outcome = outcome;
  r.tick = tick;
  r.hit_ticks = std::move(hit_ticks);
  r.hits_by_stretch.assign(tick / STRETCH_TICKS + 1, 0);
  for (int t : r.hit_ticks) ++r.hits_by_stretch[(t - 1) / STRETCH_TICKS];
  return r;
}

TEST(RunsSummary, FiguresOverRunsForTuningALevel) {
  const std::vector<RunResult> runs = {
      // Hits at 30.00 s and 30.01 s: only the first is in the first 30 s.
      run_of(1, Outcome::victory, 9000, 5000, {3000, 3001, 4500, 6000}, {2, 7, 3, 12}),
      run_of(2, Outcome::victory, 8000, 5000, {100, 3900, 4999}, {2, 8, 0, 5}),
      run_of(3, Outcome::lost, 4000, 0, {3950, 4000, 3999}, {1, 1, 9}),
      run_of(4, Outcome::victory, 10000, 5000, {}, {0}),
      run_of(5, Outcome::time, 700, 0, {}, {}),
  };
  const RunsSummary s = summarize_runs(runs);
  EXPECT_EQ(std::make_tuple(s.runs, s.victories, s.lost, s.time), std::make_tuple(5, 3, 1, 1));
  EXPECT_EQ(s.hits_first_30s, 2);
  // Before each run's boss: 100 3000 3001 3900 3950 3999 4000 4500 4999 (6000 came with
  // the boss). Ticks 3000..3999, 3001..4000 and 3900..4899 hold five each: the first wins.
  EXPECT_EQ(std::make_tuple(s.most_hits_in_10s, s.most_hits_from), std::make_tuple(5, 3000));
  EXPECT_EQ(s.hits_by_stretch, (std::vector<int>{1, 0, 1, 5, 2, 1, 0, 0, 0, 0, 0}));
  // Bosses lasted 4000, 3000 and 5000 ticks.
  EXPECT_EQ(std::make_tuple(s.boss_fights, s.boss_ticks_median), std::make_tuple(3, 4000));
  EXPECT_EQ(std::make_tuple(s.seconds_before_boss, s.bullets_before_boss),
            std::make_tuple(4 + 4 + 3 + 1, 2 + 7 + 3 + 12 + 2 + 8 + 0 + 5 + 1 + 1 + 9 + 0));
  EXPECT_EQ(
      std::make_tuple(s.peak_before_boss, s.peak_before_boss_at.seed, s.peak_before_boss_at.tick),
      std::make_tuple(12, 1u, 400));
  EXPECT_EQ(s.peak_with_boss, 0) << "every sample above came before the boss";

  const std::vector<RunResult> two = {run_of(1, Outcome::victory, 900, 300, {}, {3, 0, 4, 2}),
                                      run_of(2, Outcome::victory, 800, 300, {}, {3, 0, 0, 6})};
  const RunsSummary t = summarize_runs(two);
  EXPECT_EQ(t.boss_ticks_median, (600 + 500) / 2);
  EXPECT_EQ(std::make_tuple(t.peak_with_boss, t.peak_with_boss_at.seed, t.peak_with_boss_at.tick),
            std::make_tuple(6, 2u, 400));
}

TEST(RunsSummary, TheLongestEmptyStretchIsPlaced) {
  std::vector<RunResult> runs = {samples({1, 0, 0, 1}, {0, 0, 0, 0}, 0),
                                 samples({0, 1, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0}, 0)};
  runs[0].seed = 8;
  runs[1].seed = 9;
  const RunsSummary s = summarize_runs(runs);
  EXPECT_EQ(std::make_tuple(s.seconds_before_boss, s.empty_seconds_before_boss, s.longest_empty,
                            s.longest_empty_at.seed, s.longest_empty_at.tick),
            std::make_tuple(10, 6, 3, 9u, 300));
}

// ---- Reports between processes ----

SeedReport full_report() {
  SeedReport report;
  RunResult& r = report.result;
  r = run_of(4000000000u, Outcome::lost, 12345, 678, {5, 5, 900}, {0, 3, 17});
  r.score = 900;
  r.spawned = 31;
  r.destroyed = 9;
  r.hits_taken = 3;
  r.energy = 0;
  r.level = 3;
  r.hash = 0xfedcba9876543210ULL;
  r.enemies_by_second = {4, 0, 2};
  r.score_by_type = {0, 500, 0, 0, 0, 0, 400, 0};
  r.outside_from[6] = 8123;
  r.rammed_from[3] = 1234;
  r.max_multiplier = 5;
  r.hits_ignored = 7;
  r.bombs_used = 4;
  r.tally = {{{31, 9, 3, 5, {}, 3}, 0}, {{40, 12, 0, 2, {}, 1}, NO_HIT_BONUS}};
  report.text = "seed 4000000000  dodge  lost\ntick 100 hash 00\n";
  return report;
}

TEST(SeedReports, ReadBackWhole) {
  const SeedReport a = full_report();
  SeedReport b;
  ASSERT_TRUE(read_report(write_report(a), &b));
  const RunResult& x = a.result;
  const RunResult& y = b.result;
  EXPECT_EQ(std::tie(x.seed, x.outcome, x.tick, x.score, x.spawned, x.destroyed, x.hits_taken,
                     x.energy, x.level, x.boss_tick, x.hash, x.hits_by_stretch, x.hit_ticks,
                     x.enemies_by_second, x.enemy_bullets_by_second),
            std::tie(y.seed, y.outcome, y.tick, y.score, y.spawned, y.destroyed, y.hits_taken,
                     y.energy, y.level, y.boss_tick, y.hash, y.hits_by_stretch, y.hit_ticks,
                     y.enemies_by_second, y.enemy_bullets_by_second));
  EXPECT_EQ(std::tie(x.score_by_type, x.outside_from, x.rammed_from, x.max_multiplier,
                     x.hits_ignored, x.bombs_used),
            std::tie(y.score_by_type, y.outside_from, y.rammed_from, y.max_multiplier,
                     y.hits_ignored, y.bombs_used));
  ASSERT_EQ(y.tally.size(), 2u);
  for (int i : {0, 1}) {
    const LevelTally& t = y.tally[i].tally;
    const LevelTally& u = x.tally[i].tally;
    EXPECT_EQ(std::tie(t.appeared, t.destroyed, t.hits, t.max_chain, t.bombs, y.tally[i].bonus),
              std::tie(u.appeared, u.destroyed, u.hits, u.max_chain, u.bombs, x.tally[i].bonus));
  }
  EXPECT_EQ(b.text, a.text);

  const std::string bytes = write_report(a);
  for (const std::string& broken :
       {std::string(), bytes.substr(0, bytes.size() - 1), bytes + "x", "rapport" + bytes.substr(6),
        bytes.substr(0, 7) + "9" + bytes.substr(7)}) {
    SeedReport c;
    EXPECT_FALSE(read_report(broken, &c)) << broken;
  }
}

// ---- Jobs ----

SeedReport numbered(int i) {
  SeedReport r;
  r.result.seed = static_cast<std::uint32_t>(i);
  r.result.enemy_bullets_by_second.assign(static_cast<std::size_t>(i), i);
  r.text = "job " + std::to_string(i) + " in " + (i == 0 ? "the caller" : "any") + "\n";
  return r;
}

TEST(Jobs, ReportsArriveInOrderWhateverTheProcesses) {
  const pid_t caller = getpid();
  for (const int processes : {1, 2, 3, 9}) {
    std::string text;
    std::vector<std::uint32_t> seeds;
    bool first_here = false;
    const std::string failed = run_jobs(
        7, processes,
        [&](int i) {
          if (i == 0) first_here = getpid() == caller;
          return numbered(i);
        },
        [&](const SeedReport& r) {
          text += r.text;
          seeds.push_back(r.result.seed);
          EXPECT_EQ(r.result.enemy_bullets_by_second.size(), r.result.seed);
        });
    EXPECT_EQ(failed, "") << processes;
    EXPECT_EQ(seeds, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6})) << processes;
    EXPECT_EQ(text.substr(0, text.find('\n')), "job 0 in the caller") << processes;
    EXPECT_TRUE(first_here) << "job 0 ran in another process with " << processes;
  }
}

TEST(Jobs, AWorkerThatDiesIsReportedAndTheRestStillArrive) {
  const pid_t caller = getpid();
  std::vector<std::uint32_t> seeds;
  const std::string failed = run_jobs(
      6, 2,
      [&](int i) {
        if (i == 3 && getpid() != caller) _exit(3);
        return numbered(i);
      },
      [&](const SeedReport& r) { seeds.push_back(r.result.seed); });
  EXPECT_EQ(failed, "a worker process ended before its runs were done");
  EXPECT_EQ(seeds, (std::vector<std::uint32_t>{0, 1, 2}));
}

}  // namespace
