// The main menu of the real program in a real X server, at 24- and 16-bit depth.
#include "screens.h"

class MainMenu : public Scenario, public ::testing::WithParamInterface<int> {};

INSTANTIATE_TEST_SUITE_P(Depth, MainMenu, ::testing::Values(24, 16),
                         [](const auto& info) { return "bits" + std::to_string(info.param); });

TEST_P(MainMenu, StartsWithoutConfigInSmallSoftwareWindow) {
  start(GetParam());
  const std::optional<GameWindow> w = s->wait_window(15000ms);
  ASSERT_TRUE(w) << "no window appeared";
  EXPECT_EQ(w->title, "Mirvo");
  EXPECT_EQ(w->width, 320);
  EXPECT_EQ(w->height, 400);
  EXPECT_EQ(w->depth, GetParam());
  const std::optional<Image> shot = menu(0);
  ASSERT_TRUE(shot) << "the menu with Start selected was not shown";
  EXPECT_TRUE(label_reads(*shot, "Software"));
  EXPECT_FALSE(label_reads(*shot, "OpenGL"));
  EXPECT_TRUE(s->game().running());
  EXPECT_FALSE(std::filesystem::exists(s->folder.file("mirvo.cfg")))
      << "starting must not write a configuration";
}

TEST_P(MainMenu, UpFromStartSelectsQuitAndEnterEndsWithStatusZero) {
  start(GetParam());
  ASSERT_TRUE(menu(0));
  s->keys({"Up"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 3); }, 5000ms))
      << "red did not move to Quit";
  s->keys({"Down"});  // and Down from Quit wraps back to Start
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 0); }, 5000ms));
  s->keys({"Up", "Return"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_P(MainMenu, EscapeEndsWithStatusZero) {
  start(GetParam());
  ASSERT_TRUE(menu(0));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_P(MainMenu, ResumeWithoutGameSaysSoAndKeepsTheMenu) {
  start(GetParam());
  ASSERT_TRUE(menu(0));
  s->keys({"Down"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 5000ms));
  s->keys({"Return"});
  // The menu comes back with its selection at Start again.
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 0); }, 5000ms))
      << "the menu did not come back after the message";
  EXPECT_TRUE(s->game().running());
  // The menu still answers keys.
  s->keys({"Down", "Down"});
  EXPECT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 2); }, 5000ms));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  // Standard output goes to a file, so the message is there once the program has ended.
  EXPECT_EQ(s->game_stdout(), printed("There is no game running"));
}

TEST_F(Scenario, OtherKeysLeaveTheMenuAsItIs) {
  start();
  const std::optional<Image> before = menu(0);
  ASSERT_TRUE(before);
  s->keys({"Right", "a", "KP_Enter", "Left"});  // keypad Enter is not Enter
  // A redraw has no visible effect, so give the keys time to arrive, then check
  // with a key that does show: Down must move the red to Resume, not further.
  s->keys({"Down"});
  const std::optional<Image> after =
      s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 5000ms);
  ASSERT_TRUE(after) << "the selection moved on a key other than Up or Down";
  EXPECT_TRUE(s->game().running());
  const Box picture = Box{0, 20, 320, 220};
  EXPECT_EQ(count_differences(*before, *after, picture, 0), 0);
}
