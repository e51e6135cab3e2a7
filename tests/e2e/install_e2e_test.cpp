// The game as a player gets it: installed under a prefix, started from a
// directory that has nothing to do with it, with a home of its own.
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "screens.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines_naming(const std::string& text, const std::string& word) {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find(word) != std::string::npos) found.push_back(line);
  return found;
}

}  // namespace

class Installed : public OptionsScenario {
 protected:
  fs::path prefix, elsewhere, home;

  // A fresh install of the build into the session's temporary folder.
  void SetUp() override {
    s = std::make_unique<Session>();
    prefix = s->folder.root() / "prefix";
    elsewhere = s->folder.root() / "elsewhere";
    home = s->folder.root() / "home";
    fs::create_directories(elsewhere);
    fs::create_directories(home);
    ASSERT_EQ(run_command({MIRVO_CMAKE, "--install", MIRVO_BUILD_DIR, "--prefix", prefix.string()},
                          current_environment()),
              0)
        << "cmake --install failed";
    ASSERT_TRUE(fs::exists(prefix / "share/games/mirvo/data.dat"));
    // These scenarios walk the first level's plain game, as every game folder does.
    fs::remove(prefix / "share/games/mirvo/campaign.toml");
  }

  fs::path settings_folder() const { return home / ".config" / "mirvo"; }

  // Starts program in cwd. As root, the game runs without the power to
  // override file permissions, so a read-only folder is read-only to it too.
  void start_as_player(const fs::path& program, const fs::path& cwd) {
    std::vector<std::string> argv;
    if (geteuid() == 0)
      argv = {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"};
    argv.push_back(program.string());
    s->start_program(argv, cwd.string(), home.string());
  }

  void start_installed() { start_as_player(prefix / "games" / "mirvo", elsewhere); }

  // From the doubled menu: Start, play for a while, back to the menu and Quit.
  void play_then_quit() {
    s->keys({"Return"});
    ASSERT_TRUE(play()) << "Start did not play the installed level";
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(s->game().running()) << "the game ended in play: " << s->game_stdout();
    ASSERT_TRUE(leave_play());
    s->keys({"Escape"});
    EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
    EXPECT_EQ(s->game_stdout(), "");
  }
};

TEST_F(Installed, RunsFromAnyDirectoryAndKeepsSettingsInTheHomeFolder) {
  start_installed();
  const std::optional<GameWindow> w = accept_stretch();
  ASSERT_TRUE(w);

  const fs::path cfg = settings_folder() / "mirvo.cfg";
  ASSERT_TRUE(fs::exists(cfg));
  EXPECT_EQ(config_value(file_text(cfg), "scale"), std::optional<int>(1));
  EXPECT_EQ(fs::status(settings_folder()).permissions() & fs::perms::all, fs::perms::owner_all);
  // Nothing is written where the game was started or where it is installed.
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_FALSE(fs::exists(prefix / "share/games/mirvo/mirvo.cfg"));
  EXPECT_EQ(lines_naming(s->game_stderr(), "mirvo.cfg"), std::vector<std::string>{});

  // The desktop entry finds the running window by its class.
  const std::string entry = file_text(prefix / "share/applications/mirvo.desktop");
  EXPECT_NE(entry.find("\nStartupWMClass=" + w->class_name + "\n"), std::string::npos)
      << "the window's class is " << w->class_name;

  play_then_quit();
}

TEST_F(Installed, ReadOnlySettingsFolderIsReportedOnceAndTheGameGoesOn) {
  fs::create_directories(settings_folder());
  fs::permissions(settings_folder(), fs::perms::owner_read | fs::perms::owner_exec);
  start_installed();
  ASSERT_TRUE(accept_stretch());

  // Libraries below the game may print lines of their own; the game's is one.
  const std::string path = (settings_folder() / "mirvo.cfg").string();
  EXPECT_EQ(lines_naming(s->game_stderr(), "mirvo.cfg"),
            std::vector<std::string>{"mirvo: cannot save the settings in " + path +
                                     ": Permission denied"});
  EXPECT_TRUE(fs::is_empty(settings_folder()));

  play_then_quit();
  fs::permissions(settings_folder(), fs::perms::owner_all);  // so the folder can be removed
}

TEST_F(Installed, AReadOnlyGameFolderKeepsSettingsInTheHomeFolder) {
  const fs::path game = s->folder.path();
  fs::permissions(game, fs::perms::owner_read | fs::perms::owner_exec);
  start_as_player(game / "mirvo", game);
  const bool doubled = accept_stretch().has_value();
  fs::permissions(game, fs::perms::owner_all);
  ASSERT_TRUE(doubled);
  EXPECT_EQ(config_value(file_text(settings_folder() / "mirvo.cfg"), "scale"),
            std::optional<int>(1));
  EXPECT_FALSE(fs::exists(game / "mirvo.cfg"));
  EXPECT_EQ(lines_naming(s->game_stderr(), "mirvo.cfg"), std::vector<std::string>{});
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}
