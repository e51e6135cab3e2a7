// The aimed-fire example of docs/levels.md, taken from the guide as written,
// assembled and played in the world: what the text promises must happen.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "content/content.h"
#include "world_fixture.h"

namespace {

namespace fs = std::filesystem;

// The first fenced block after `heading` in the guide.
std::string example_after(const std::string& heading) {
  std::ifstream in(fs::path(MIRVO_SOURCE_DIR) / "docs" / "levels.md");
  std::stringstream text;
  text << in.rdbuf();
  const std::string guide = text.str();
  const std::size_t at = guide.find("\n" + heading + "\n");
  if (at == std::string::npos) return {};
  const std::size_t open = guide.find("```\n", at);
  const std::size_t close = guide.find("```", open + 4);
  if (open == std::string::npos || close == std::string::npos) return {};
  return guide.substr(open + 4, close - open - 4);
}

struct Fired {
  int tick;
  float speed;
  double off_line;  // how far the flight misses the line to the ship's centre
  bool towards;     // the flight points at the ship, not away
};

class AimedFireExample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fixture::start_allegro_headless();
    set_color_conversion(COLORCONV_TOTAL | COLORCONV_KEEP_TRANS);
    const fs::path back = fs::current_path();
    fs::current_path(MIRVO_GAME_DIR);
    release_shot_types();
    load_builtin_shot_types();
    fs::current_path(back);
  }
  static void TearDownTestSuite() { release_shot_types(); }

  void SetUp() override {
    player.mask = content_.mask_of(content_.solid_bitmap(SHIP_SIZE, SHIP_SIZE));
    fixture::reset_world();
    content_.define_enemy_type(1, 1, 0, 0, {{0, 255}});
    content_.define_enemy_type(2, 10, 0, 0, {{0, 10, 0, 16, 16}});
    const std::string source = example_after("### Aimed fire");
    ASSERT_FALSE(source.empty()) << "no example under \"### Aimed fire\"";
    fixture::load_script_source(source);
  }
  void TearDown() override {
    for (int k = 0; k < KEY_MAX; ++k) key[k] = 0;
    player.mask = nullptr;
  }

  // Plays the example's 7 seconds with the ship starting at x and holding
  // `keys` down; returns every bullet as it left its gun.
  std::vector<Fired> play(int x, int held_key) {
    player.x = x;
    spawn_enemy(LEVEL_DIRECTOR, 1, 0, 0, 0, 0, 0, 0);
    if (held_key != 0) key[held_key] = 1;
    std::vector<Fired> fired;
    std::array<int, MAX_ENEMY_BULLETS> was{};
    for (int tick = 1; tick <= 700; ++tick) {
      update_player(read_tick_input());
      // The ship as the turret saw it: before the tick's enemies ran.
      const double ship_x = player.x + SHIP_SIZE / 2.0;
      const double ship_y = player.y + SHIP_SIZE / 2.0;
      update_world();
      for (int j = 0; j < MAX_ENEMY_BULLETS; ++j) {
        const Bullet& b = enemy_bullets[j];
        if (b.type != 0 && was[j] == 0) {
          // The bullet has flown once already; step back to where it left.
          const double from_x = b.x - b.vx + 1.5;
          const double from_y = b.y - b.vy + 1.5;
          const double to_x = ship_x - from_x;
          const double to_y = ship_y - from_y;
          const double cross = b.vx * to_y - b.vy * to_x;
          fired.push_back({tick, std::hypot(b.vx, b.vy), std::fabs(cross) / std::hypot(b.vx, b.vy),
                           b.vx * to_x + b.vy * to_y > 0.0});
          EXPECT_EQ(b.type, ENEMY_BULLET_SHOT);
        }
        was[j] = b.type;
      }
    }
    return fired;
  }

  fixture::Content content_;
};

TEST_F(AimedFireExample, ThreeBulletsAQuarterSecondApartAtTwicePixelsPerTickHitAShipThatSitsStill) {
  const std::vector<Fired> fired = play(140, 0);
  ASSERT_EQ(fired.size(), 3u);
  for (std::size_t i = 0; i < fired.size(); ++i) {
    EXPECT_EQ(fired[i].tick, fired[0].tick + 25 * static_cast<int>(i));
    EXPECT_NEAR(fired[i].speed, 2.0f, 1e-5);
    EXPECT_LT(fired[i].off_line, 1e-3);
    EXPECT_TRUE(fired[i].towards);
  }
  EXPECT_NEAR(fired[0].tick, 100, 2) << "one second in";
  EXPECT_EQ(player.energy, 7) << "a point for each of the three";
}

TEST_F(AimedFireExample, AShipThatKeepsMovingIsMissedByAllThree) {
  const std::vector<Fired> fired = play(PLAYFIELD_W - SHIP_SIZE, KEY_LEFT);
  ASSERT_EQ(fired.size(), 3u);
  for (const Fired& f : fired) EXPECT_LT(f.off_line, 1e-3) << "aimed at where the ship was";
  EXPECT_EQ(player.energy, 10);
}

}  // namespace
