// A boss under the arcade rules, in a campaign of the scenario's own: level
// 1's boss picture (type 7) named beside the enemy file, a script with one
// phase change, and the ship firing at it. Its bar shows under the score line
// with the phase marked, and empties as the boss is hit.
#include <gtest/gtest.h>

#include "harness.h"
#include "render/hud_local.h"
#include "screens.h"

namespace {

constexpr const char* CAMPAIGN =
    "[rules]\narcade = true\n[[level]]\ntitle = \"The boss\"\nscript = \"level1.wif\"\n"
    "enemies = \"enemy.eif\"\ntiles = \"tileset1.dat\"\nmusic = \"play.ogg\"\n";
constexpr const char* SCRIPTS =
    "script timeline:\n  spawn type=7 script=boss x=112 y=30\n  wait 30000\n  remove\n"
    "script boss:\n  wait_health 40\n  wait 30000\n  restart\n";

// The bar's full-coloured pixels on its middle row, and whether a phase mark
// stands above it.
struct SeenBar {
  int filled = 0;
  bool marked = false;
};

SeenBar read_bar(const Image& img) {
  const int k = window_factor(img);
  SeenBar bar;
  for (int x = BOSS_BAR_X * k; x < (BOSS_BAR_X + BOSS_BAR_W) * k; ++x) {
    const Rgb c = img.at(x, (BOSS_BAR_Y + BOSS_BAR_H / 2) * k);
    bar.filled += std::abs(c.r - BOSS_BAR_FULL.r) + std::abs(c.g - BOSS_BAR_FULL.g) < 40;
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

TEST_P(BossFight, TheBarAppearsMarksItsPhaseAndShrinksUnderFire) {
  s = std::make_unique<Session>();
  if (*GetParam()) s->folder.write("mirvo.cfg", GetParam());
  s->folder.write("campaign.toml", CAMPAIGN);
  s->folder.write("enemy.eix", "[[type]]\nnumber = 7\nboss = true\nname = \"Tyrant\"\n");
  ASSERT_EQ(s->folder.write_first_level("boss.wis", SCRIPTS), 0);
  s->start_game();
  ASSERT_TRUE(menu(0));
  ASSERT_TRUE(start_arcade_game()) << "Start did not ask for the difficulty";
  SeenBar full, later;
  ASSERT_TRUE(s->wait_for_screen(
      [&](const Image& i) { return play_shows(i) && (full = read_bar(i)).filled >= 298; }, 15000ms))
      << "no full boss bar; last seen " << full.filled << " pixels";
  EXPECT_TRUE(full.marked) << "the wait_health phase is not marked";

  // The boss warps in out of reach for 1.5 s; then every shot takes a little.
  s->key_down("space");
  const bool shrank = s->wait_for_screen(
                           [&](const Image& i) {
                             later = read_bar(i);
                             return later.filled > 0 && later.filled <= full.filled - 6;
                           },
                           20000ms, 200ms)
                          .has_value();
  s->key_up("space");
  EXPECT_TRUE(shrank) << "the bar did not shrink; last seen " << later.filled << " pixels";
}
