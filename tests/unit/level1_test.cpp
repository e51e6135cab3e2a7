// The first level played headless from start to end: its built scripts and
// enemy types from the game folder, a fixed seed, and a test pilot who sweeps
// left and right with fire held. Waves must come, enemies must fall, and the
// run must end with the victory message.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "content/content.h"
#include "world_fixture.h"

namespace {

using fixture::visible_messages;

constexpr const char* VICTORY = "You are a winner!!!11";
constexpr int MAX_TICKS = 100 * 60 * 15;  // fifteen minutes of play is far past any level end

bool file_exists(const char* path) {
  return std::ifstream(path).good();
}

// The level's script file into the store, as the game's loader would.
bool load_level_scripts(const char* path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const ScriptParse parsed = parse_scripts(bytes, path);
  EXPECT_EQ(parsed.error, "");
  if (!parsed.error.empty() || parsed.instructions.size() > script_store.size()) return false;
  std::copy(parsed.instructions.begin(), parsed.instructions.end(), script_store.begin());
  return true;
}

// What one run saw.
struct RunLog {
  int ticks = 0;
  int spawned = 0;       // enemies that appeared (level director excluded)
  int most_at_once = 0;  // the biggest wave on screen
  int destroyed = 0;     // enemies whose health fell to 0 or below
  int shots_landed = 0;  // player shots that hit an enemy
  int hits_taken = 0;    // ticks in which the ship lost energy
  bool victory = false;
};

// One tick's sweep: the ship turns at either side of the playfield.
void steer(bool& moving_right) {
  if (player.x >= 270) moving_right = false;
  if (player.x <= 10) moving_right = true;
  key[KEY_RIGHT] = moving_right;
  key[KEY_LEFT] = !moving_right;
  key[KEY_SPACE] = 1;
}

RunLog play_until_victory() {
  RunLog log;
  std::array<bool, MAX_ENEMIES> was_alive{};
  std::array<bool, MAX_ENEMIES> was_dying{};
  std::array<bool, MAX_PLAYER_SHOTS> had_hit{};
  bool moving_right = true;
  for (log.ticks = 1; log.ticks <= MAX_TICKS; ++log.ticks) {
    steer(moving_right);
    const int energy_before = player.energy;
    update_player();
    update_world();
    tick_messages();
    if (player.energy < energy_before) ++log.hits_taken;
    // The pilot is kept alive: the run measures the level, not the flying.
    player.energy = 10;

    int alive = 0;
    for (int i = 0; i < MAX_ENEMIES; ++i) {
      const Enemy& e = enemies[i];
      const bool live = e.type > 0 && e.type != LEVEL_DIRECTOR;
      const bool dying = live && e.health <= 0.0f;
      if (live && !was_alive[i]) ++log.spawned;
      if (dying && !was_dying[i]) ++log.destroyed;
      was_alive[i] = live;
      was_dying[i] = dying;
      alive += live ? 1 : 0;
    }
    log.most_at_once = std::max(log.most_at_once, alive);
    for (int j = 0; j < MAX_PLAYER_SHOTS; ++j) {
      const bool hit = player_shots[j].type > 0 && player_shots[j].hit != 0;
      if (hit && !had_hit[j]) ++log.shots_landed;
      had_hit[j] = hit;
    }
    if (visible_messages(VICTORY) > 0) {
      log.victory = true;
      break;
    }
  }
  return log;
}

class LevelOne : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture::start_allegro_headless();
    ASSERT_EQ(chdir(MIRVO_GAME_DIR), 0);
    for (const char* f : {"level1.wif", "enemy.eif", "data.dat"}) {
      if (!file_exists(f)) GTEST_SKIP() << f << " is not built in " << MIRVO_GAME_DIR;
    }
    content_.install_builtin_shot_types();
    ship_data_ = load_datafile("data.dat");
    ASSERT_NE(ship_data_, nullptr);
    player.mask = content_.mask_of(static_cast<BITMAP*>(ship_data_[DATA_PLAYER_SHIP].dat));
    fixture::reset_world();
    ASSERT_TRUE(load_level_scripts("level1.wif"));
    load_enemy_types("enemy.eif");  // ends the program on a broken file
    for (EnemyType& type : enemy_types) type.score = ENEMY_SCORE;  // as start-up does
    spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
    ASSERT_EQ(enemies[0].type, LEVEL_DIRECTOR);
    std::srand(1234);
  }
  void TearDown() override {
    release_enemy_types();
    player.mask = nullptr;
    for (ShotType& t : shot_types) t = ShotType{};
    if (ship_data_ != nullptr) unload_datafile(ship_data_);
  }

  fixture::Content content_;
  DATAFILE* ship_data_ = nullptr;
};

TEST_F(LevelOne, SweepingPilotSeesWavesShootsThemDownAndWins) {
  const RunLog log = play_until_victory();
  std::printf(
      "level1: %d ticks, %d enemies spawned, at most %d at once, %d destroyed, "
      "%d shots landed, hit in %d ticks\n",
      log.ticks, log.spawned, log.most_at_once, log.destroyed, log.shots_landed, log.hits_taken);
  EXPECT_GE(log.spawned, 10) << "the timeline sent fewer than ten enemies";
  EXPECT_GE(log.most_at_once, 3) << "no wave of three or more";
  EXPECT_GT(log.shots_landed, 0);
  EXPECT_GT(log.destroyed, 0);
  // Every enemy a shot brings down scores; rammed and group-triggered ones do not.
  EXPECT_GT(player.score, 0);
  EXPECT_EQ(player.score % ENEMY_SCORE, 0);
  EXPECT_LE(player.score, log.destroyed * ENEMY_SCORE);
  EXPECT_TRUE(log.victory) << "no victory within " << MAX_TICKS << " ticks";
}

}  // namespace
