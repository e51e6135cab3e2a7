// Power and the bomb under the arcade rules, in a campaign of the scenario's
// own: a dart shot down drops a power item, the ship takes it and fires two
// streams, then X turns the enemy bullets on screen into sparks.
#include "render/hud_local.h"
#include "screens.h"

namespace {

constexpr const char* CAMPAIGN =
    "[rules]\narcade = true\n[[level]]\ntitle = \"Power\"\nscript = \"level1.wif\"\n"
    "enemies = \"enemy.eif\"\ntiles = \"tileset1.dat\"\nmusic = \"play.ogg\"\n";
// Every dart shot down drops a power item.
constexpr const char* DROPS = "[[type]]\nnumber = 2\ndrop = \"power\"\ndrop_every = 1\n";

// A dart comes down the ship's column into its fire; its item drifts onto the
// ship. 8.5 s in, four bullets stand still left of the ship's streams:
// only a bomb takes them away.
constexpr const char* LEVEL = R"(
const DART = 2
const SHOT = 3

script timeline:
  wait 50
  spawn DART dart 150 -24
  wait 800
  fire SHOT 30 150
  fire SHOT 50 150
  fire SHOT 70 150
  fire SHOT 90 150
  wait 30000
  remove

script dart:
  velocity 0 100
  wait 600
  remove
)";

// Shots between the HUD and the ship centred on column x: under the arcade
// rules a shot is a lance, seven white pixels down column x in a cyan edge,
// which no text or star matches. One stream leaves the ship at x 159, two at
// 153 and 165 (the ship stays at its start, x 140).
int shots_in_column(const Image& i, int x) {
  const auto white = [&](int dx, int y) { return is_white(i.at(x + dx, y)); };
  int shots = 0;
  for (int y = 20; y + 7 < SHIP_START_Y; ++y) {
    bool lance = !white(0, y - 1) && !white(0, y + 7);
    for (int k = 0; k < 7 && lance; ++k)
      lance = white(0, y + k) && !white(-1, y + k) && !white(1, y + k);
    shots += lance;
  }
  return shots;
}
bool one_stream(const Image& i) {
  return shots_in_column(i, 159) >= 2 && shots_in_column(i, 153) + shots_in_column(i, 165) == 0;
}
bool two_streams(const Image& i) {
  return shots_in_column(i, 153) >= 2 && shots_in_column(i, 165) >= 2 &&
         shots_in_column(i, 159) == 0;
}

// The red of the four standing bullets, and the dark field around them.
constexpr Box BULLETS{20, 140, 90, 20};
int bullet_pixels(const Image& i) {
  return count_pixels(i, BULLETS, [](Rgb c) { return c.r >= 200 && c.g <= 90 && c.b <= 90; });
}
bool field_dark(const Image& i) {
  const int dark = count_pixels(i, BULLETS, [](Rgb c) { return c.r + c.g + c.b < 300; });
  return dark * 10 >= BULLETS.w * BULLETS.h * 9;
}

// A HUD number: the whole text, and its last digit alone (which tells 2 from
// 3 where the whole text cannot), white on the field.
bool hud_reads(const Image& i, const std::string& text, int right_edge, int top) {
  return text_reads(i, text, right_edge, top) &&
         text_reads(i, text.substr(text.size() - 1), right_edge, top);
}
bool power_reads(const Image& i, int level) {
  const std::string text = "PWR " + std::to_string(level);
  return hud_reads(i, text, POWER_TEXT_X + 8 * static_cast<int>(text.size()), POWER_TEXT_Y);
}
// The bombs left stand right-aligned at x 310 on the bottom text line.
bool bombs_read(const Image& i, int bombs) {
  return hud_reads(i, "BOMB x" + std::to_string(bombs), 310, 390);
}

}  // namespace

class Power : public Scenario {};

TEST_F(Power, ADroppedItemDoublesTheStreamsAndXClearsTheBullets) {
  s = std::make_unique<Session>();
  s->folder.write("campaign.toml", CAMPAIGN);
  s->folder.write("enemy.eix", DROPS);
  ASSERT_EQ(s->folder.write_first_level("power.wis", LEVEL), 0);
  s->start_game();
  ASSERT_TRUE(menu(0));
  ASSERT_TRUE(start_arcade_game()) << "Start did not ask for the difficulty";
  ASSERT_TRUE(s->wait_for_screen(
      [](const Image& i) { return play_shows(i) && power_reads(i, 1) && bombs_read(i, 3); },
      15000ms))
      << "no play with PWR 1 and BOMB x3 in the HUD";

  // Fire is held to the end: the dart falls to the single stream.
  s->key_down("space");
  EXPECT_TRUE(s->wait_for_screen(one_stream, 5000ms)) << "no single stream at weapon level 1";
  EXPECT_TRUE(s->wait_for_screen([](const Image& i) { return power_reads(i, 2); }, 20000ms))
      << "the dart's item never raised the weapon level";
  EXPECT_TRUE(s->wait_for_screen(two_streams, 3000ms)) << "no two streams at weapon level 2";

  ASSERT_TRUE(s->wait_for_screen(
      [](const Image& i) { return bullet_pixels(i) >= 24 && bombs_read(i, 3); }, 15000ms))
      << "the standing bullets never showed";
  s->keys({"x"});
  // Standing bullets never leave by themselves: the bomb took them.
  EXPECT_TRUE(s->wait_for_screen(
      [](const Image& i) { return bullet_pixels(i) == 0 && field_dark(i) && bombs_read(i, 2); },
      3000ms))
      << "X left the bullets on screen or the bomb count as it was";
  s->key_up("space");
}
