// The X server ends under a running game (a logout, a dropped ssh link), in
// the menu or in play, windowed or full screen, with the music on: the game
// ends within 2 s with status 1 and one line naming the display, never
// hangs and never crashes. Each renderer meets it five times in each place.
#include <algorithm>

#include "screens.h"

namespace {

struct Place {
  int renderer;
  bool in_play;
};

std::string place_name(const Place& p) {
  return std::string(p.renderer == 0 ? "Software" : "OpenGL") +
         (p.in_play ? "InPlay" : "InTheMenu");
}

void PrintTo(const Place& p, std::ostream* os) {
  *os << place_name(p);
}

// A full-screen shot centred on the doubled frame, which is what the
// screen predicates read; a window's own shot is left as it is.
Image frame_of(const Image& img) {
  if (img.width <= 640 || img.height < 800) return img;
  Image frame{640, 800, {}};
  const int x0 = (img.width - 640) / 2, y0 = (img.height - 800) / 2;
  for (int y = 0; y < 800; ++y)
    for (int x = 0; x < 640; ++x) frame.pixels.push_back(img.at(x0 + x, y0 + y));
  return frame;
}

}  // namespace

class DisplayLoss : public Scenario, public ::testing::WithParamInterface<Place> {};

INSTANTIATE_TEST_SUITE_P(Where, DisplayLoss,
                         ::testing::Values(Place{0, false}, Place{0, true}, Place{1, false},
                                           Place{1, true}),
                         [](const auto& info) { return place_name(info.param); });

TEST_P(DisplayLoss, EndsTheGameWithinTwoSecondsWithOneLineNamingTheDisplay) {
  constexpr int ROUNDS = 5;
  Millis slowest{0};
  int ended = 0;
  for (int round = 0; round < ROUNDS; ++round) {
    const bool full_screen = round % 2 == 1;
    SCOPED_TRACE("round " + std::to_string(round) + (full_screen ? ", full screen" : ", windowed"));
    s = std::make_unique<Session>();
    if (full_screen) s->start_window_manager();
    s->folder.write("mirvo.cfg", "renderer = " + std::to_string(GetParam().renderer) +
                                     "\nsound = 1\nfullscreen = " + (full_screen ? "1" : "0") +
                                     "\n");
    s->start_game();
    ASSERT_TRUE(s->wait_window(30000ms)) << "no window";
    ASSERT_TRUE(
        s->wait_for_screen([](const Image& i) { return menu_shows(frame_of(i), 0); }, 30000ms))
        << "no menu";
    if (GetParam().in_play) {
      s->keys({"Return"});
      ASSERT_TRUE(
          s->wait_for_screen([](const Image& i) { return play_shows(frame_of(i)); }, 15000ms))
          << "Start did not begin play";
    }
    const std::string display = s->display();
    const auto lost = std::chrono::steady_clock::now();
    s->end_server();
    // More than the 2 s allowed, so a late end is told from a hang.
    const std::optional<int> status = s->wait_exit(10000ms);
    const auto took = std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - lost);
    ASSERT_TRUE(status) << "the game hangs without its display";
    EXPECT_EQ(*status, 1) << "a status above 128 is a death by signal";
    EXPECT_LE(took, 2000ms);
    EXPECT_EQ(s->game_stderr(), "Mirvo: lost the X display \"" + display + "\"\n");
    EXPECT_EQ(s->game_stdout(), "");
    slowest = std::max(slowest, took);
    ended += *status == 1 ? 1 : 0;
    if (HasFailure()) return;
  }
  std::cout << ended << " of " << ROUNDS << " ended with status 1, the slowest in "
            << slowest.count() << " ms\n";
}
