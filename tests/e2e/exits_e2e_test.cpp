// Every way out of the program while the music plays: the window's close
// button in the menu, in play and after a restart end with status 0 and say
// nothing; the command line is answered without a display; a missing display
// is named.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <thread>

#include "screens.h"

namespace {

struct Ran {
  std::optional<int> status;
  std::string out, err;
};

// Runs the game in a fresh copy of its folder with env (no DISPLAY unless env
// has one) and waits for its end.
Ran run_without_display(const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {}) {
  GameFolder folder;
  std::vector<std::string> argv = {folder.file("mirvo").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> full_env = {"PATH=/nonexistent", "HOME=" + folder.root().string()};
  full_env.insert(full_env.end(), env.begin(), env.end());
  ChildProcess game;
  game.start(argv, full_env, folder.path().string(), folder.file("stdout.txt").string(),
             folder.file("stderr.txt").string());
  Ran ran;
  ran.status = game.wait_exit(10000ms);
  ran.out = folder.read("stdout.txt");
  ran.err = folder.read("stderr.txt");
  return ran;
}

constexpr const char* USAGE =
    "usage: mirvo [--help | --version | --replay FILE]\n"
    "       mirvo --level FILE.wif --enemies FILE.eif [--tiles FILE.dat] [--music FILE.ogg]\n"
    "       mirvo --campaign FILE.toml\n"
    "       (either of the last two may add --at SECONDS and --watch)\n";

}  // namespace

TEST(CommandLine, HelpAndVersionAnswerWithoutADisplay) {
  const Ran help = run_without_display({"--help"});
  EXPECT_EQ(help.status, std::optional<int>(0));
  EXPECT_EQ(help.out.rfind(USAGE, 0), 0u) << help.out;
  EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
  EXPECT_EQ(help.err, "");

  const Ran version = run_without_display({"--version"});
  EXPECT_EQ(version.status, std::optional<int>(0));
  EXPECT_TRUE(std::regex_match(version.out, std::regex("mirvo [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << version.out;
  EXPECT_EQ(version.err, "");
}

TEST(CommandLine, AnyOtherArgumentIsRefusedWithStatusTwo) {
  const auto unexpected = [](const std::string& arg) {
    return "unexpected argument \"" + arg + "\"";
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-h"}, unexpected("-h")},
      {{"level1.wif"}, unexpected("level1.wif")},
      {{"--help", "--version"}, unexpected("--version")},
      {{"--version", ""}, unexpected("")},
      {{"--replay"}, unexpected("--replay")},
      {{"--level", "a.wif", "--level", "b.wif"}, unexpected("--level")},
      {{"--campaign"}, unexpected("--campaign")},
      {{"--level", "a.wif"}, "--level needs --enemies"},
      {{"--tiles", "t.dat"}, "--enemies, --tiles and --music need --level"},
      {{"--campaign", "c.toml", "--level", "a.wif", "--enemies", "e.eif"},
       "--campaign stands alone"},
      {{"--watch", "--at", "5"}, "--at and --watch need --level or --campaign"},
      {{"--campaign", "c.toml", "--at", "-1"}, "--at needs seconds from 0 to 3600"},
      {{"--campaign", "c.toml", "--at", "2m"}, "--at needs seconds from 0 to 3600"},
      {{"--campaign", "c.toml", "--watch", "--watch"}, unexpected("--watch")},
  };
  for (const auto& [args, refusal] : cases) {
    const Ran ran = run_without_display(args);
    EXPECT_EQ(ran.status, std::optional<int>(2)) << args[0];
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "mirvo: " + refusal + "\n" + USAGE);
  }
}

TEST(NoDisplay, TheMessageSaysWhichDisplayCouldNotBeOpened) {
  const Ran unset = run_without_display({});
  EXPECT_EQ(unset.status, std::optional<int>(1));
  EXPECT_EQ(unset.out,
            "Error initializing Allegro: no X display could be opened (DISPLAY is not set)\n");
  // A display number no server listens on.
  const Ran absent = run_without_display({}, {"DISPLAY=:987"});
  EXPECT_EQ(absent.status, std::optional<int>(1));
  EXPECT_EQ(absent.out,
            "Error initializing Allegro: no X display could be opened (DISPLAY is \":987\")\n");
}

// Where the close button is pressed; the menu music plays in all three.
enum class Closed { IN_MENU, IN_PLAY, AFTER_RESTART };

class CloseButton : public OptionsScenario, public ::testing::WithParamInterface<Closed> {};

INSTANTIATE_TEST_SUITE_P(Where, CloseButton,
                         ::testing::Values(Closed::IN_MENU, Closed::IN_PLAY, Closed::AFTER_RESTART),
                         [](const auto& info) {
                           return std::string(info.param == Closed::IN_MENU   ? "InTheMenu"
                                              : info.param == Closed::IN_PLAY ? "InPlay"
                                                                              : "AfterRestart");
                         });

TEST_P(CloseButton, EndsTheProgramWithStatusZeroAndNothingOnStandardError) {
  start();
  ASSERT_TRUE(menu(0));
  if (GetParam() == Closed::IN_PLAY) {
    s->keys({"Return"});
    ASSERT_TRUE(play());
  } else if (GetParam() == Closed::AFTER_RESTART) {
    const int mapped = s->windows_mapped();
    ASSERT_TRUE(open_options() && accept_from("Renderer:") && restarted(mapped));
    ASSERT_TRUE(menu(0));
  }
  const std::optional<GameWindow> w = s->window();
  ASSERT_TRUE(w);
  s->press_close_button(*w);
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stdout(), "");
  EXPECT_EQ(s->game_stderr(), "");
}

// Ctrl+C in a terminal (SIGINT), a logout (SIGHUP) or kill (SIGTERM) in play,
// with the music on: the program ends as through the close button.
class StopSignal : public Scenario, public ::testing::WithParamInterface<int> {};

INSTANTIATE_TEST_SUITE_P(Kind, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_P(StopSignal, InPlayEndsTheProgramAsTheCloseButtonDoes) {
  s = std::make_unique<Session>();
  // The OpenGL renderer once hung in Allegro's shutdown on SIGTERM.
  if (GetParam() == SIGTERM) s->folder.write("mirvo.cfg", "renderer = 1\n");
  s->start_game();
  ASSERT_TRUE(menu(0));
  s->keys({"Return"});
  ASSERT_TRUE(play());
  ASSERT_EQ(kill(s->game().pid(), GetParam()), 0);
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stdout(), "");
  EXPECT_EQ(s->game_stderr(), "");
}

// One whole session with the music playing: the menu, Start with fire held,
// Escape, Resume, an accepted restart into OpenGL, a short play there and Quit. Nothing may reach
// standard error. `make tsan` runs this scenario against a ThreadSanitizer build of the game
// (MIRVO_GAME_DIR), whose reports would land there and fail it.
class WholeSession : public OptionsScenario {};

TEST_F(WholeSession, WithMusicEndsCleanly) {
  s = std::make_unique<Session>();
  std::vector<std::string> env;
  if (const char* tsan = std::getenv("TSAN_OPTIONS"))
    env.push_back(std::string("TSAN_OPTIONS=") + tsan);
  s->start_game(env);
  ASSERT_TRUE(menu(0, 60000ms)) << "no menu";
  s->keys({"Return"});
  ASSERT_TRUE(play(30000ms)) << "Start did not begin play";
  s->key_down("space");
  std::this_thread::sleep_for(1500ms);
  s->key_up("space");
  ASSERT_TRUE(leave_play()) << "Escape did not leave play";
  s->keys({"Down"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 10000ms));
  s->keys({"Return"});
  ASSERT_TRUE(play(30000ms)) << "Resume did not go back to play";
  ASSERT_TRUE(leave_play()) << "Escape did not leave play again";
  // The restart switches to OpenGL, so Mesa's threads run beside ours too.
  const std::optional<Image> screen = open_options();
  ASSERT_TRUE(screen) << "no options screen";
  const int mapped = s->windows_mapped();
  ASSERT_TRUE(change_value("Renderer:", *screen, "Right") && accept_from("Renderer:") &&
              restarted(mapped))
      << "no restart";
  ASSERT_TRUE(menu(0, 60000ms)) << "no menu after the restart";
  s->keys({"Return"});
  ASSERT_TRUE(play(30000ms)) << "Start did not begin play under OpenGL";
  ASSERT_TRUE(leave_play()) << "Escape did not leave play under OpenGL";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(30000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stderr(), "");
}
