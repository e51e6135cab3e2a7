// A boss under the arcade rules, in a campaign of the scenario's own: level
// 1's boss picture with a name and a score beside the enemy file, a script
// with one phase change, and the ship firing at it. Its health bar shows
// under the score line, marks the phase change and empties as it is hit.
#include <gtest/gtest.h>

#include "harness.h"
#include "render/hud_local.h"
#include "screens.h"

namespace {

constexpr const char* CAMPAIGN = R"(name = "Boss test"
[rules]
arcade = true

[[level]]
title = "The boss"
script = "level1.wif"
enemies = "enemy.eif"
tiles = "tileset1.dat"
music = "play.ogg"
)";

// Type 7 of the shipped enemy file is level 1's boss.
constexpr const char* SCRIPTS = R"(
script timeline:
  spawn type=7 script=boss x=112 y=30
  wait 30000
  remove

script boss:
  wait_health 40
  wait 30000
  restart
)";

constexpr const char* EXTRAS = "[[type]]\nnumber = 7\nboss = true\nname = \"Tyrant\"\n";

bool near(Rgb c, BarColour want) {
  return std::abs(c.r - want.r) <= 30 && std::abs(c.g - want.g) <= 30 &&
         std::abs(c.b - want.b) <= 30;
}

// The bar's health left in playfield pixels (its full-coloured part on its
// middle row), and whether a phase mark stands above it.
struct SeenBar {
  int filled = 0;
  bool marked = false;
};

SeenBar read_bar(const Image& img) {
  const int k = window_factor(img);
  SeenBar bar;
  for (int x = BOSS_BAR_X * k; x < (BOSS_BAR_X + BOSS_BAR_W) * k; ++x) {
    bar.filled += near(img.at(x, (BOSS_BAR_Y + BOSS_BAR_H / 2) * k), BOSS_BAR_FULL) ? 1 : 0;
    bar.marked = bar.marked || is_white(img.at(x, (BOSS_BAR_Y - 1) * k));
  }
  bar.filled /= k;
  return bar;
}

class BossFight : public Scenario, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Renderer, BossFight, ::testing::Values("", "renderer = 1\n"),
                         [](const auto& info) {
                           return std::string(*info.param ? "OpenGL" : "Software");
                         });

}  // namespace

TEST_P(BossFight, AppearsMarksItsPhaseAndShrinksUnderFire) {
  s = std::make_unique<Session>();
  if (*GetParam()) s->folder.write("mirvo.cfg", GetParam());
  s->folder.write("campaign.toml", CAMPAIGN);
  s->folder.write("enemy.eix", EXTRAS);
  s->folder.write("boss.wis", SCRIPTS);
  ASSERT_EQ(
      run_command({MIRVO_ASM, "--enemies", s->folder.file("enemy.eif").string(), "-o",
                   s->folder.file("level1.wif").string(), s->folder.file("boss.wis").string()},
                  current_environment()),
      0);
  s->start_game();
  ASSERT_TRUE(menu(0));
  s->keys({"Return"});

  SeenBar first;
  const std::optional<Image> full = s->wait_for_screen(
      [&](const Image& i) {
        first = read_bar(i);
        return play_shows(i) && first.filled >= BOSS_BAR_W - 2;
      },
      15000ms);
  ASSERT_TRUE(full) << "no full boss bar; last seen " << first.filled << " pixels";
  EXPECT_TRUE(first.marked) << "the wait_health phase is not marked";
  s->keep_shot(*full, name() + "-full");

  // The boss warps in out of reach for 1.5 s; then every shot takes a little.
  s->key_down("space");
  SeenBar later;
  const std::optional<Image> hit = s->wait_for_screen(
      [&](const Image& i) {
        later = read_bar(i);
        return play_shows(i) && later.filled > 0 && later.filled <= first.filled - 6;
      },
      20000ms, 200ms);
  s->key_up("space");
  ASSERT_TRUE(hit) << "the bar did not shrink; last seen " << later.filled << " pixels";
  s->keep_shot(*hit, name() + "-hit");

  // Escape back to the menu, whichever row the arcade rules select there.
  s->key_down("Escape");
  const bool left =
      s->wait_for_screen(
           [](const Image& i) { return !play_shows(i) && (menu_shows(i, 0) || menu_shows(i, 1)); },
           5000ms)
          .has_value();
  s->key_up("Escape");
  ASSERT_TRUE(left) << "Escape did not return to the menu";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}
