// The X server ends under a running game (a logout, a dropped ssh link) with
// the music on, five times per renderer in the menu and five in play: the
// game ends within 2 s with status 1 and one line naming the display, never
// hanging and never dying by a signal.
#include "screens.h"

class DisplayLoss : public Scenario, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

INSTANTIATE_TEST_SUITE_P(RendererInPlay, DisplayLoss,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "OpenGL" : "Software") +
                                  (std::get<1>(info.param) ? "InPlay" : "InTheMenu");
                         });

TEST_P(DisplayLoss, EndsTheGameWithinTwoSecondsWithOneLineNamingTheDisplay) {
  const auto [renderer, in_play] = GetParam();
  for (int round = 0; round < 5 && !HasFailure(); ++round) {
    s = std::make_unique<Session>();
    s->folder.write("mirvo.cfg", "renderer = " + std::to_string(renderer) + "\nsound = 1\n");
    s->start_game();
    ASSERT_TRUE(menu(0, 30000ms));
    if (in_play) s->keys({"Return"});
    ASSERT_TRUE(!in_play || play());
    s->end_server();
    EXPECT_EQ(s->wait_exit(2000ms), std::optional<int>(1)) << "no end within 2 s, or not status 1";
    EXPECT_EQ(s->game_stderr(), "Mirvo: lost the X display \"" + s->display() + "\"\n");
    EXPECT_EQ(s->game_stdout(), "");
  }
}
