// The options screen and "mirvo.cfg": settings written on Accept, and the
// window and renderer they give after the restart or at the next start.
#include "screens.h"

// The helpers that walk the options screen live in screens.h (OptionsScenario).
using Options = OptionsScenario;

TEST_F(Options, StretchYesAcceptedWritesScaleAndDoublesTheWindow) {
  start();
  const std::optional<Image> screen = open_options();
  ASSERT_TRUE(screen) << "the options screen was not shown";
  const int mapped = s->windows_mapped();
  const std::optional<Image> stretch = move_to("Renderer:", "Stretch:");
  ASSERT_TRUE(stretch);
  ASSERT_TRUE(change_value("Stretch:", *stretch, "Right")) << "Right did not change Stretch:";
  ASSERT_TRUE(accept_from("Stretch:"));

  const std::optional<GameWindow> w = restarted(mapped);
  ASSERT_TRUE(w) << "the program did not restart with a new window";
  EXPECT_EQ(w->width, 640);
  EXPECT_EQ(w->height, 800);
  const std::optional<Image> big = menu(0);
  ASSERT_TRUE(big) << "the doubled menu was not shown";
  EXPECT_TRUE(label_reads(*big, "Software"));

  const std::string cfg = s->folder.read("mirvo.cfg");
  EXPECT_EQ(config_value(cfg, "scale"), std::optional<int>(1)) << cfg;
  EXPECT_EQ(config_value(cfg, "renderer"), std::optional<int>(0)) << cfg;
  EXPECT_EQ(config_value(cfg, "usejoystick"), std::optional<int>(0)) << cfg;
  EXPECT_EQ(config_value(cfg, "sound"), std::optional<int>(1)) << cfg;
  EXPECT_EQ(config_value(cfg, "fullscreen"), std::optional<int>(0)) << cfg;
  EXPECT_EQ(config_value(cfg, "framecap"), std::optional<int>(0)) << cfg;
  EXPECT_LT(cfg.find("usejoystick"), cfg.find("sound")) << cfg;
  EXPECT_LT(cfg.find("sound"), cfg.find("fullscreen")) << cfg;
  EXPECT_LT(cfg.find("fullscreen"), cfg.find("framecap")) << cfg;

  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

// A file edited by hand in another case: Accept must change the line start-up
// reads, not add one it never gets to.
TEST_F(Options, StretchNoAcceptedOverAHandEditedFileGivesTheSmallWindow) {
  s = std::make_unique<Session>(24);
  s->folder.write("mirvo.cfg", "# by hand\nScale = 1\n");
  s->start_game();
  const std::optional<GameWindow> first = s->wait_window(15000ms);
  ASSERT_TRUE(first) << "no window appeared";
  ASSERT_EQ(std::make_pair(first->width, first->height), std::make_pair(640, 800));
  ASSERT_TRUE(open_options()) << "the options screen was not shown";
  const int mapped = s->windows_mapped();
  const std::optional<Image> stretch = move_to("Renderer:", "Stretch:");
  ASSERT_TRUE(stretch);
  ASSERT_TRUE(change_value("Stretch:", *stretch, "Right")) << "Right did not change Stretch:";
  ASSERT_TRUE(accept_from("Stretch:"));

  const std::optional<GameWindow> w = restarted(mapped);
  ASSERT_TRUE(w) << "the program did not restart with a new window";
  EXPECT_EQ(std::make_pair(w->width, w->height), std::make_pair(320, 400));
  const std::string cfg = s->folder.read("mirvo.cfg");
  EXPECT_EQ(cfg.rfind("# by hand\nscale = 0\n", 0), 0u) << cfg;
  ASSERT_TRUE(menu(0));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_F(Options, OpenGLAcceptedRestartsInOpenGL) {
  start();
  const std::optional<Image> software_menu = menu(0);
  ASSERT_TRUE(software_menu);
  ASSERT_TRUE(label_reads(*software_menu, "Software"));
  const std::optional<Image> screen = open_options();
  ASSERT_TRUE(screen);
  const int mapped = s->windows_mapped();
  ASSERT_TRUE(change_value("Renderer:", *screen, "Right")) << "Right did not change Renderer:";
  ASSERT_TRUE(accept_from("Renderer:"));

  const std::optional<GameWindow> w = restarted(mapped);
  ASSERT_TRUE(w) << "no new window after accepting OpenGL; the game "
                 << (s->game().running() ? "still runs" : "has ended")
                 << ". OpenGL needs GLX in the X server (Mesa software rendering).";
  EXPECT_EQ(w->width, 320);
  EXPECT_EQ(w->height, 400);
  const std::optional<Image> gl_menu = menu(0);
  ASSERT_TRUE(gl_menu) << "the menu was not shown under OpenGL";
  EXPECT_TRUE(label_reads(*gl_menu, "OpenGL"));
  EXPECT_FALSE(label_reads(*gl_menu, "Software"));
  // Apart from the name, it is the same menu picture as in the software run.
  const Box picture = Box{0, 20, 320, 360};
  EXPECT_LT(count_differences(*software_menu, *gl_menu, picture, 12), picture.w * picture.h / 100);
  EXPECT_EQ(config_value(s->folder.read("mirvo.cfg"), "renderer"), std::optional<int>(1));

  // It keeps running, and still answers keys.
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(s->game().running());
  s->keys({"Up"});
  EXPECT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 3); }, 5000ms));
  s->keys({"Return"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_F(Options, EnterOnASettingRowStoresNothing) {
  start();
  const std::optional<Image> screen = open_options();
  ASSERT_TRUE(screen);
  const int mapped = s->windows_mapped();
  ASSERT_TRUE(change_value("Renderer:", *screen, "Left"));  // Left wraps to the last value
  s->keys({"Return"});
  ASSERT_TRUE(menu(0)) << "Enter on a setting row did not return to the menu";
  EXPECT_EQ(s->windows_mapped(), mapped) << "the program restarted without Accept";
  EXPECT_TRUE(label_reads(s->shot(), "Software"));
  EXPECT_FALSE(std::filesystem::exists(s->folder.file("mirvo.cfg")));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_F(Options, AcceptingGivesUpTheRunningGame) {
  start();
  ASSERT_TRUE(menu(0));
  s->keys({"Return"});
  ASSERT_TRUE(s->wait_for_screen(play_shows, 15000ms)) << "Start did not begin play";
  ASSERT_TRUE(leave_play()) << "Escape did not return to the menu";
  s->keys({"Down", "Down"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 2); }, 5000ms));
  s->keys({"Return"});
  ASSERT_TRUE(options(0));
  const int mapped = s->windows_mapped();
  ASSERT_TRUE(accept_from("Renderer:"));  // nothing changed: it restarts all the same
  ASSERT_TRUE(restarted(mapped)) << "Accept did not restart the program";
  ASSERT_TRUE(menu(0));
  s->keys({"Down"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 5000ms));
  s->keys({"Return"});
  // No play screen: the menu comes back, with Start selected.
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 0); }, 5000ms));
  EXPECT_FALSE(play_shows(s->shot()));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stdout(), printed("There is no game running"));
  EXPECT_EQ(config_value(s->folder.read("mirvo.cfg"), "scale"), std::optional<int>(0));
}

// Values the options screen never writes: the software window doubles only for
// exactly 1, the OpenGL window for anything but 0.
struct ConfigCase {
  const char* name;
  const char* cfg;
  int width, height;
  const char* label;
};

class StartUpConfig : public Scenario, public ::testing::WithParamInterface<ConfigCase> {};

INSTANTIATE_TEST_SUITE_P(
    Scale, StartUpConfig,
    ::testing::Values(ConfigCase{"SoftwareScale2", "scale = 2\n", 320, 400, "Software"},
                      ConfigCase{"OpenGLScale2", "renderer = 1\nscale = 2\n", 640, 800, "OpenGL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(StartUpConfig, WindowAndRendererFollowTheFile) {
  const ConfigCase& c = GetParam();
  s = std::make_unique<Session>(24);
  s->folder.write("mirvo.cfg", c.cfg);
  s->start_game();
  const std::optional<GameWindow> w = s->wait_window(15000ms);
  ASSERT_TRUE(w) << "no window appeared";
  EXPECT_EQ(w->width, c.width);
  EXPECT_EQ(w->height, c.height);
  const std::optional<Image> shot = menu(0);
  ASSERT_TRUE(shot) << "the menu did not fill the window";
  EXPECT_TRUE(label_reads(*shot, c.label));
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}
