// The game on a desktop: full screen under a window manager at the largest
// sharp scale, and play holding still while another window has the focus.
#include "screens.h"

namespace {

// A full-screen shot seen as the plain window would show it: the frame's
// k x k blocks brought back to one pixel each, how many blocks are not one
// colour (a sharp frame has none) and how many pixels of the bars are not black.
struct FullScreenView {
  Image field;
  int blurred_blocks = 0;
  int lit_bar_pixels = 0;
};

bool same(Rgb a, Rgb b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

FullScreenView look_at(const Image& img, int k) {
  const int x0 = (img.width - k * 320) / 2, y0 = (img.height - k * 400) / 2;
  FullScreenView view;
  view.field.width = 320;
  view.field.height = 400;
  view.field.pixels.resize(320 * 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 320; ++x) {
      const Rgb first = img.at(x0 + k * x, y0 + k * y);
      view.field.pixels[static_cast<std::size_t>(y) * 320 + x] = first;
      bool sharp = true;
      for (int dy = 0; dy < k && sharp; ++dy)
        for (int dx = 0; dx < k && sharp; ++dx)
          sharp = same(img.at(x0 + k * x + dx, y0 + k * y + dy), first);
      view.blurred_blocks += sharp ? 0 : 1;
    }
  const Box frame{x0, y0, 320 * k, 400 * k};
  view.lit_bar_pixels =
      img.width * img.height - frame.w * frame.h -
      (count_pixels(img, img.whole(), is_black) - count_pixels(img, frame, is_black));
  return view;
}

struct Desktop {
  const char* config;
  int width, height, factor;
};

std::string desktop_name(const ::testing::TestParamInfo<Desktop>& info) {
  return std::string(info.param.config[9] == '1' ? "OpenGL_" : "Software_") +
         std::to_string(info.param.height);
}

}  // namespace

class FullScreen : public Scenario, public ::testing::WithParamInterface<Desktop> {
 protected:
  // Waits for a full-screen shot that is sharp, black around the frame and
  // shows what pred asks of the frame. A shot may catch the window halfway
  // through taking a new frame (its old and new lines differ), so the wait
  // is for one whole frame: a blurring scaler or lit bars never give one.
  std::optional<FullScreenView> wait_for(const std::function<bool(const Image&)>& pred) {
    std::optional<FullScreenView> seen;
    const int k = GetParam().factor;
    const bool ok =
        s->wait_for_screen(
             [&](const Image& img) {
               if (img.width != GetParam().width) return false;
               seen = look_at(img, k);
               return seen->blurred_blocks == 0 && seen->lit_bar_pixels == 0 && pred(seen->field);
             },
             20000ms, 100ms)
            .has_value();
    if (!ok) return std::nullopt;
    return seen;
  }
};

INSTANTIATE_TEST_SUITE_P(Desktops, FullScreen,
                         ::testing::Values(Desktop{"renderer=0\nfullscreen=1\n", 1920, 1080, 2},
                                           Desktop{"renderer=0\nfullscreen=1\n", 2560, 1440, 3},
                                           Desktop{"renderer=1\nfullscreen=1\n", 1920, 1080, 2},
                                           Desktop{"renderer=1\nfullscreen=1\n", 2560, 1440, 3}),
                         desktop_name);

TEST_P(FullScreen, CoversTheScreenWithTheFrameSharplyScaledAndCentredOnBlack) {
  const Desktop d = GetParam();
  s = std::make_unique<Session>(24, d.width, d.height);
  s->start_window_manager();
  s->folder.write("mirvo.cfg", d.config);
  s->start_game();
  if (!s->wait_window(30000ms)) {
    const std::optional<int> status = s->wait_exit(0ms);
    FAIL() << "no window; the game "
           << (status ? "ended with status " + std::to_string(*status) : std::string("still runs"));
  }
  std::optional<GameWindow> w;
  const bool covers = wait_until(
      [&] {
        w = s->window();
        return w && w->width == d.width && w->height == d.height &&
               s->x().position(*w) == std::make_pair(0, 0);
      },
      10000ms);
  ASSERT_TRUE(covers) << "the window is " << (w ? w->width : 0) << " x " << (w ? w->height : 0);

  const std::optional<FullScreenView> shown_menu =
      wait_for([](const Image& field) { return menu_shows(field, 0); });
  ASSERT_TRUE(shown_menu) << "no sharp full-screen menu centred on black";

  s->keys({"Return"});
  const std::optional<FullScreenView> shown_play = wait_for(play_shows);
  ASSERT_TRUE(shown_play) << "no sharp full-screen play centred on black";
  EXPECT_EQ(s->game_stderr().find("no full screen"), std::string::npos) << s->game_stderr();

  s->key_down("Escape");
  const bool back = wait_for([](const Image& field) {
                      return menu_shows(field, 0) && !play_shows(field);
                    }).has_value();
  s->key_up("Escape");
  ASSERT_TRUE(back);
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

TEST_F(Scenario, FullScreenWithoutAWindowManagerStartsInAWindowAndSaysWhy) {
  s = std::make_unique<Session>();
  s->folder.write("mirvo.cfg", "fullscreen = 1\n");
  s->start_game();
  const std::optional<Image> shown = menu(0);
  ASSERT_TRUE(shown);
  EXPECT_EQ(std::make_pair(shown->width, shown->height), std::make_pair(320, 400));
  const std::string err = s->game_stderr();
  EXPECT_NE(err.find("Mirvo: no full screen: no window manager"), std::string::npos) << err;
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

// ---- Focus ----

class FocusPause : public Scenario, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Renderer, FocusPause, ::testing::Values("", "renderer = 1\n"),
                         [](const auto& info) {
                           return std::string(info.param[0] == '\0' ? "Software" : "OpenGL");
                         });

TEST_P(FocusPause, PlayHoldsStillWhileAnotherWindowHasTheFocus) {
  s = std::make_unique<Session>();
  s->folder.write("mirvo.cfg", GetParam());
  s->start_game();
  ASSERT_TRUE(menu(0));
  const std::optional<GameWindow> game = s->window();
  ASSERT_TRUE(game);
  s->keys({"Return"});
  ASSERT_TRUE(play());
  // Everything but the frame-rate line at the bottom.
  const Box field{0, 0, 320, 386};
  const auto moving = [&] {
    const Image before = s->shot();
    std::this_thread::sleep_for(300ms);
    const Image after = s->shot();
    return !before.empty() && !after.empty() && count_differences(before, after, field, 0) > 0;
  };
  ASSERT_TRUE(moving()) << "the world does not move while the window has the focus";

  const std::vector<std::string> env = environment_with_display(s->display());
  const unsigned long other = s->x().open_other_window(700, 100, 200, 200);
  ASSERT_EQ(run_command({"xdotool", "windowfocus", "--sync", std::to_string(other)}, env), 0);
  std::this_thread::sleep_for(300ms);  // the game notices at its next pass
  const Image away = s->shot();
  std::this_thread::sleep_for(1500ms);
  const Image later = s->shot();
  ASSERT_FALSE(away.empty() || later.empty());
  EXPECT_EQ(count_differences(away, later, field, 0), 0) << "ticks ran while the focus was away";
  EXPECT_TRUE(s->game().running());

  ASSERT_EQ(run_command({"xdotool", "windowfocus", "--sync", std::to_string(game->id)}, env), 0);
  EXPECT_TRUE(wait_until(moving, 5000ms)) << "the world did not go on after the focus came back";

  s->key_down("Escape");
  const bool back =
      s->wait_for_screen([](const Image& i) { return menu_shows(i, 0); }, 5000ms).has_value();
  s->key_up("Escape");
  ASSERT_TRUE(back);
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

// One whole session on a desktop: full screen under a window manager, the
// frame cap on, fire held while the focus goes away and comes back. The
// focus callbacks and the window-manager requests touch the game's threads
// here, so scripts/tsan.sh plays this session under ThreadSanitizer too.
class WholeDesktopSession : public Scenario {};

TEST_F(WholeDesktopSession, FullScreenCappedWithTheFocusAwayAndBackEndsCleanly) {
  s = std::make_unique<Session>(24, 1024, 768);  // 768 lines: the frame at 1x, centred
  s->start_window_manager();
  s->folder.write("mirvo.cfg", "fullscreen=1\nframecap=1\n");
  std::vector<std::string> extra;
  if (const char* tsan = std::getenv("TSAN_OPTIONS"))
    extra.push_back(std::string("TSAN_OPTIONS=") + tsan);
  s->start_game(extra);
  const auto shows = [&](const std::function<bool(const Image&)>& pred) {
    return s
        ->wait_for_screen(
            [&](const Image& img) { return img.width == 1024 && pred(look_at(img, 1).field); },
            60000ms, 100ms)
        .has_value();
  };
  ASSERT_TRUE(shows([](const Image& f) { return menu_shows(f, 0); })) << "no full-screen menu";
  const std::optional<GameWindow> game = s->window();
  ASSERT_TRUE(game);
  s->keys({"Return"});
  ASSERT_TRUE(shows(play_shows)) << "Start did not begin play";

  s->key_down("space");
  const std::vector<std::string> env = environment_with_display(s->display());
  // Under a window manager the focus goes through it: xdotool asks it to
  // activate a window and waits until it has. A busy manager can miss a
  // request (it also hands the focus to a window it has just mapped), so
  // the request is made again.
  const auto activate = [&](unsigned long id) {
    for (int attempt = 0; attempt < 5; ++attempt)
      if (run_command({"xdotool", "windowactivate", "--sync", std::to_string(id)}, env) == 0)
        return true;
    return false;
  };
  const unsigned long other = s->x().open_other_window(700, 100, 200, 200);
  ASSERT_TRUE(activate(other)) << "the other window never got the focus";
  std::this_thread::sleep_for(1000ms);
  ASSERT_TRUE(activate(game->id)) << "the game never got the focus back";
  std::this_thread::sleep_for(1000ms);
  s->key_up("space");
  EXPECT_TRUE(s->game().running());

  s->key_down("Escape");
  const bool back = shows([](const Image& f) { return menu_shows(f, 0) && !play_shows(f); });
  s->key_up("Escape");
  ASSERT_TRUE(back) << "Escape did not leave play";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(30000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stderr(), "");
}
