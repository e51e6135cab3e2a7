// The arcade rules, in a campaign of the scenarios' own with one level each.
// A whole game lost within seconds: Start's difficulty (Escape back, then
// Hard), Escape in play and back, the game-over screen, the name entry and
// the score table at Hard written in the player's data folder, where a
// corrupt table was moved aside first. A hit ship: it blinks, and the
// bullets right behind the first go through it for nothing. And a game
// recorded, verified, played back and taken over.
#include <filesystem>
#include <fstream>
#include <thread>

#include "screens.h"

namespace {

namespace fs = std::filesystem;

// Level 1's enemy types: a dart flies down the ship's column into its fire
// (a score above 0), then darts to its left shoot at it until it is lost,
// one bullet about every 1.3 s against the ship's 1.2 s of invulnerability.
constexpr const char* LOSING_LEVEL = R"(
const DART = 2
const SHOT = 3

script timeline:
  wait 50
  spawn DART target 150 -24
  wait 150
  repeat 60 {
    spawn DART gunner 40 20
    wait 130
  }
  remove

script target:
  velocity 0 100
  wait 600
  remove

script gunner:
  wait 10
  aim SHOT 400 10 22
  wait 300
  remove
)";

constexpr const char* TEST_CAMPAIGN = R"(name = "Test run"

[rules]
arcade = true

[[level]]
title = "Losing"
script = "level1.wif"
enemies = "enemy.eif"
tiles = "tileset1.dat"
music = "play.ogg"
)";

// A dart straight above the ship's start fires three bullets down at it, 0.3 s
// apart: each reaches the ship within 0.2 s, all three within 0.8 s.
constexpr const char* BLOWS_LEVEL = R"(
const DART = 2
const SHOT = 3

script timeline:
  spawn DART gunner 140 160
  wait 30000
  remove

script gunner:
  wait 150
  repeat 3 {
    aim SHOT 800 10 22
    wait 30
  }
  wait 30000
  remove
)";

// Whole points of energy in the bar: its green columns along its middle row, 10 a point.
int energy_shown(const Image& i) {
  return (count_pixels(i, Box{10, 15, 101, 1}, [](Rgb c) { return c.g >= 140 && c.r <= 90; }) + 5) /
         10;
}

// The ship's light grey-blue pixels around its start (a shaken field moves it 2 pixels).
int ship_pixels(const Image& i) {
  return count_pixels(i, Box{136, 296, 48, 48}, [](Rgb c) { return c.r >= 90 && c.b >= 130; });
}

// A red enemy bullet under the ship: it went through the ship untouched.
bool bullet_below_ship(const Image& i) {
  return count_pixels(i, Box{140, 346, 40, 54},
                      [](Rgb c) { return c.r >= 200 && c.g <= 90 && c.b <= 90; }) >= 3;
}

// The arcade menu: five rows, and its help line names the bomb and tells that
// Escape pauses.
bool arcade_menu(const Image& i, int selected) {
  const std::string help = "Arrows, Space fire, X bomb, Esc pause";
  return menu_shows(i, selected, true) && !play_shows(i) &&
         text_reads(i, help, 160 + 4 * static_cast<int>(help.size()), 390);
}

}  // namespace

class Arcade : public Scenario {
 protected:
  // A session whose one level, under the arcade rules, is the source given.
  void assemble(const char* level) {
    s = std::make_unique<Session>();
    ASSERT_EQ(s->folder.write_first_level("level.wis", level), 0);
    s->folder.write("campaign.toml", TEST_CAMPAIGN);
  }

  std::optional<Image> screen(const std::function<bool(const Image&)>& pred,
                              Millis timeout = 5000ms, Millis every = 40ms) {
    return s->wait_for_screen(pred, timeout, every);
  }
};

TEST_F(Arcade, ALostGameEndsInTheScoreTable) {
  ASSERT_NO_FATAL_FAILURE(assemble(LOSING_LEVEL));
  const fs::path data_home = s->folder.root() / "data";
  const fs::path table = data_home / "mirvo" / "scores.toml";
  fs::create_directories(table.parent_path());
  std::ofstream(table) << "[[score]]\nname = \"broken";
  s->start_game({"XDG_DATA_HOME=" + data_home.string()});

  ASSERT_TRUE(s->wait_window(15000ms));
  ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 0); }, 15000ms))
      << "no menu with Start selected and a High scores row";
  // Start asks for the difficulty, Normal first; Escape goes back to the menu.
  const auto difficulty = [&](int selected) {
    return screen([=](const Image& i) { return difficulty_menu_shows(i, selected); }).has_value();
  };
  s->keys({"Return"});
  ASSERT_TRUE(difficulty(1)) << "Start did not ask for the difficulty";
  s->keys({"Escape"});
  ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 0); }))
      << "Escape did not go back to the main menu";
  s->keys({"Return"});
  ASSERT_TRUE(difficulty(1));
  s->keys({"Down"});
  ASSERT_TRUE(difficulty(2));
  s->keys({"Return"});
  ASSERT_TRUE(play());
  EXPECT_EQ(config_value(s->folder.read("mirvo.cfg"), "difficulty"), std::optional<int>(2));
  // Escape comes back on Resume, so Enter goes on with the same game.
  s->key_down("Escape");
  const bool on_resume = screen([](const Image& i) { return arcade_menu(i, 1); }).has_value();
  s->key_up("Escape");
  ASSERT_TRUE(on_resume) << "Escape in play did not leave Resume selected";
  s->keys({"Return"});
  ASSERT_TRUE(play());
  s->key_down("space");  // brings the first dart down: the score is above 0

  const auto game_over = [](const Image& i) {
    return line_reads(i, 1, "Level reached 1") && line_reads(i, 2, "Continues used 0 of 3") &&
           line_reads(i, 3, "Difficulty Hard");
  };
  const bool over = screen(game_over, 60000ms).has_value();
  s->key_up("space");
  ASSERT_TRUE(over) << "the lost game did not reach the game-over screen";
  // Fire does nothing there; Escape declines the continue and asks for a name.
  s->keys({"space", "Escape"});
  ASSERT_TRUE(screen([](const Image& i) { return line_reads(i, 2, "Name: _"); }))
      << "no name entry after Escape";
  s->keys({"shift+a", "c", "e", "x", "BackSpace", "7"});
  ASSERT_TRUE(screen([](const Image& i) { return line_reads(i, 2, "Name: Ace7_"); }));
  s->keys({"Return"});
  // The table at Hard shows the new entry first, in red; Easy's has none.
  ASSERT_TRUE(screen([](const Image& i) {
    return line_reads(i, 0, "Test run") && line_reads(i, 1, "< Hard >") &&
           count_pixels(i, Box{0, screen_line_y(3), 320, 8}, is_red) > 50;
  })) << "the score table did not show the new entry highlighted";
  s->keys({"Right"});
  EXPECT_TRUE(screen([](const Image& i) {
    return line_reads(i, 1, "< Easy >") && line_reads(i, 2, "No scores yet");
  })) << "Right did not show Easy's table";

  // The one entry, written as the player confirmed it.
  const std::string written = file_text(table);
  EXPECT_NE(written.find("\nname = \"Ace7\"\n"), std::string::npos) << written;
  EXPECT_GT(config_value(written, "score").value_or(0), 0) << written;
  EXPECT_EQ(config_value(written, "level"), std::optional<int>(1));
  EXPECT_EQ(config_value(written, "continues"), std::optional<int>(0));
  EXPECT_NE(written.find("\ncampaign = \"Test run\"\n"), std::string::npos) << written;
  EXPECT_NE(written.find("\ndifficulty = \"Hard\"\n"), std::string::npos) << written;
  EXPECT_EQ(file_text(fs::path(table.string() + ".broken")), "[[score]]\nname = \"broken");
  EXPECT_NE(s->game_stderr().find("it is kept as scores.toml.broken"), std::string::npos);

  // The main menu follows, no game running: Resume says so in the window.
  s->keys({"Return"});
  ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 0); }));
  s->keys({"Down", "Return"});
  EXPECT_TRUE(screen([](const Image& i) {
    return arcade_menu(i, 0) && count_pixels(i, Box{0, 196, 320, 2}, is_black) > 600;
  })) << "no notice in the window";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  EXPECT_EQ(s->game_stdout(), "") << "a notice went to a message box";
}

TEST_F(Arcade, AHitShipBlinksAndTakesNoSecondBlowWithinASecond) {
  ASSERT_NO_FATAL_FAILURE(assemble(BLOWS_LEVEL));
  s->start_game();
  ASSERT_TRUE(s->wait_window(15000ms));
  ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 0); }, 15000ms));
  ASSERT_TRUE(start_arcade_game());
  ASSERT_TRUE(play());
  ASSERT_TRUE(screen([](const Image& i) { return energy_shown(i) == 10; }));
  // The first bullet costs a point: the second begins the second the ship is untouchable.
  ASSERT_TRUE(screen([](const Image& i) { return energy_shown(i) < 10; }, 10000ms, 10ms))
      << "the first bullet never hit";
  bool hidden = false, shown = false, passed = false;
  int least = 10;
  wait_until(
      [&] {
        const Image i = s->shot();
        if (i.empty()) return false;
        const int ship = ship_pixels(i);
        hidden = hidden || ship < 50;
        shown = shown || ship > 200;
        passed = passed || bullet_below_ship(i);
        least = std::min(least, energy_shown(i));
        return false;
      },
      1000ms, 10ms);
  EXPECT_TRUE(hidden && shown) << "the ship did not blink after the hit";
  EXPECT_TRUE(passed) << "no later bullet went through the ship within the second";
  EXPECT_EQ(least, 9) << "a bullet within the second cost energy";
  // Once the lost part has stopped flashing the bar still holds 9 points.
  std::this_thread::sleep_for(1000ms);
  EXPECT_EQ(energy_shown(s->shot()), 9);
}

namespace {

// The ship's middle column: the mean x of its grey-blue pixels in the lower playfield.
double ship_x(const Image& i) {
  long sum = 0, n = 0;
  for (int y = 200; y < 400; ++y)
    for (int x = 0; x < 320; ++x)
      if (const Rgb c = i.at(x, y); c.r >= 90 && c.b >= 130 && c.g < 200) sum += x, ++n;
  return n > 40 ? static_cast<double>(sum) / static_cast<double>(n) : -1.0;
}

// Playback's "REPLAY" mark, yellow at the playfield's bottom left.
bool replay_mark(const Image& i) {
  return text_reads(i, "REPLAY", 5 + 48, 370,
                    [](Rgb c) { return c.r > 200 && c.g > 200 && c.b < 80; });
}

// The dark panel of "Replay over" across the middle of the playfield.
bool replay_over(const Image& i) {
  return count_pixels(i, Box{40, 170, 240, 60},
                      [](Rgb c) { return c.r < 8 && c.g < 8 && c.b > 40 && c.b < 60; }) > 8000;
}

// The HUD's score, right-aligned at x 310 on y 10.
constexpr Box SCORE_BOX{230, 10, 80, 8};

// Pixels of box white in one picture and not in the other: the text over a
// scrolling background.
int white_differences(const Image& a, const Image& b, Box box) {
  int n = 0;
  for (int y = box.y; y < box.y + box.h; ++y)
    for (int x = box.x; x < box.x + box.w; ++x) n += is_white(a.at(x, y)) != is_white(b.at(x, y));
  return n;
}

std::vector<fs::path> recordings(const fs::path& folder) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == ".mirvo-replay") found.push_back(e.path());
  std::sort(found.begin(), found.end());
  return found;
}

// mirvo-run --verify on a recording, in the game folder; its exit status.
std::optional<int> runner_verifies(const Session& s, const fs::path& recording) {
  ChildProcess run;
  run.start({MIRVO_RUN, "--verify", recording.string()}, current_environment(),
            s.folder.path().string(), (s.folder.root() / "verify.txt").string(),
            (s.folder.root() / "verify.txt").string());
  return run.wait_exit(30000ms);
}

}  // namespace

// A short game played, quit, and found among the recordings; the runner
// verifies it; `mirvo --replay` plays it to the same score with its mark and
// hands the ship over on Enter; the practice game is recorded in turn; a
// truncated copy is refused in one line.
TEST_F(Arcade, AGameIsRecordedPlayedBackAndTakenOver) {
  ASSERT_NO_FATAL_FAILURE(assemble(BLOWS_LEVEL));
  const fs::path data_home = s->folder.root() / "data";
  const fs::path replays = data_home / "mirvo" / "replays";
  const std::vector<std::string> env = {"XDG_DATA_HOME=" + data_home.string()};
  // Escape pauses on Resume; Quit, the menu's last row, writes the game's recording.
  const auto quit_from_play = [&] {
    s->key_down("Escape");
    const bool paused = screen([](const Image& i) { return arcade_menu(i, 1); }).has_value();
    s->key_up("Escape");
    ASSERT_TRUE(paused);
    s->keys({"Down", "Down", "Down", "Down"});
    ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 5); }));
    s->keys({"Return"});
    ASSERT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  };
  s->start_game(env);
  ASSERT_TRUE(s->wait_window(15000ms));
  ASSERT_TRUE(screen([](const Image& i) { return arcade_menu(i, 0); }, 15000ms));
  ASSERT_TRUE(start_arcade_game());
  ASSERT_TRUE(play());
  // Fire brings the dart above the ship down; a step left, then quiet.
  s->key_down("space");
  // A score of two digits or more: white in the second column from the right.
  ASSERT_TRUE(screen(
      [](const Image& i) {
        return play_shows(i) && count_pixels(i, Box{294, 10, 8, 8}, is_white) > 4;
      },
      10000ms))
      << "the dart was never shot";
  s->key_up("space");
  s->key_down("Left");
  std::this_thread::sleep_for(300ms);
  s->key_up("Left");
  std::this_thread::sleep_for(2000ms);  // the chain's multiplier gone from beside the score
  const Image played = s->shot();
  s->keep_shot(played, "played");
  ASSERT_TRUE(play_shows(played));

  ASSERT_NO_FATAL_FAILURE(quit_from_play());
  const std::vector<fs::path> kept = recordings(replays);
  ASSERT_EQ(kept.size(), 1u) << "Quit wrote no recording of the game";
  EXPECT_EQ(runner_verifies(*s, kept[0]), std::optional<int>(0))
      << file_text(s->folder.root() / "verify.txt");

  // Played back: the mark, fast forward to the end, the very score shown.
  s->start_program({s->folder.file("mirvo").string(), "--replay", kept[0].string()},
                   s->folder.path().string(), s->folder.root().string(), env);
  ASSERT_TRUE(s->wait_window(15000ms));
  ASSERT_TRUE(screen([](const Image& i) { return play_shows(i) && replay_mark(i); }, 15000ms))
      << "no playback with its REPLAY mark";
  s->key_down("Right");
  const std::optional<Image> over = screen(replay_over, 15000ms);
  s->key_up("Right");
  ASSERT_TRUE(over) << "the playback never reached its end";
  EXPECT_EQ(white_differences(*over, played, SCORE_BOX), 0) << "another score than the game's";

  // Enter hands the ship over: held Left moves it from where the recording left it.
  const double before = ship_x(*over);
  s->key_down("Left");
  s->keys({"Return"});
  const bool moved = screen([&](const Image& i) {
                       return !replay_mark(i) && ship_x(i) >= 0 && ship_x(i) < before - 10;
                     }).has_value();
  s->key_up("Left");
  EXPECT_GT(before, 0);
  EXPECT_TRUE(moved) << "the ship did not answer the keys after Enter";
  ASSERT_NO_FATAL_FAILURE(quit_from_play());
  const std::vector<fs::path> both = recordings(replays);
  ASSERT_EQ(both.size(), 2u) << "the practice game was not recorded";
  EXPECT_EQ(runner_verifies(*s, both[1]), std::optional<int>(0))
      << file_text(s->folder.root() / "verify.txt");

  // Half a recording is refused in one line, before any window.
  const std::string bytes = file_text(kept[0]);
  s->folder.write("half.mirvo-replay", bytes.substr(0, bytes.size() / 2));
  s->start_program({s->folder.file("mirvo").string(), "--replay", "half.mirvo-replay"},
                   s->folder.path().string(), s->folder.root().string(), env);
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(1));
  const std::string said = s->game_stdout();
  EXPECT_TRUE(said.starts_with("half.mirvo-replay: ") && said.ends_with("\n") &&
              std::count(said.begin(), said.end(), '\n') == 1)
      << said;
}
