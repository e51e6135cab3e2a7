// An author's own level, played with `mirvo --level` from a folder of its own:
// the paths are taken from where the game starts, the enemy file's archive is
// found beside it, and the game folder's own level is never read. With --at
// and --watch, a save puts the new content on screen at the same moment, and
// a broken save shows why while the last good level plays on.
#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "screens.h"

namespace fs = std::filesystem;

namespace {

// A dart that dives from the top and leaves.
constexpr const char* DIVER_LEVEL = R"(
script timeline:
  spawn 2 diver 140 -20 0 120
  wait 30000
  remove

script diver:
  wait 400
  remove
)";

// One enemy that sinks 15 pixels a second down the middle, so where it
// stands tells the tick.
constexpr const char* SINKER_LEVEL = R"(
script timeline:
  spawn 2 sinker 144 20 0 15
  wait 30000
  remove

script sinker:
  wait 30000
  remove
)";

// The level's enemy types, the sinker wearing `picture`.
std::string sinker_enemies(const std::string& picture) {
  const std::string steps = R"(
[[enemy.step]]
name = "fly"
next = "fly"
duration = 255
frame = 0

[[enemy.step]]
name = "gone"
next = "end"
duration = 0
frame = 0
)";
  const std::string type = "score = 0\nhealth = 1\nstart = \"fly\"\ndeath = \"gone\"\n";
  return "[[enemy]]\nname = \"director\"\ndatafile = \"director.dat\"\n" + type + steps +
         "[[enemy]]\nname = \"sinker\"\ndatafile = \"" + picture + "\"\n" + type + steps;
}

// The mean row of the pixels `is_enemy` finds in the sinker's column, in
// playfield pixels; nothing when there are too few to be the enemy.
template <class Pred>
std::optional<double> sinker_row(const Image& i, Pred is_enemy) {
  const int k = window_factor(i);
  long rows = 0, n = 0;
  for (int y = 30 * k; y < 300 * k; ++y)  // above the ship
    for (int x = 138 * k; x < 182 * k; ++x)
      if (is_enemy(i.at(x, y))) rows += y, ++n;
  if (n < 20 * k * k) return std::nullopt;
  return static_cast<double>(rows) / static_cast<double>(n) / k;
}

}  // namespace

TEST_F(Scenario, AnAuthorsSaveReloadsTheLevelAtTheSameMoment) {
  using namespace std::chrono;
  s = std::make_unique<Session>();
  const GameFolder& f = s->folder;
  fs::create_directories(f.file("mine"));
  f.write("mine/sinker.wis", SINKER_LEVEL);
  const auto compile_enemies = [&](const std::string& picture) {
    f.write("mine/sinker.toml", sinker_enemies(picture));
    return run_command({MIRVO_EIF, "--data", f.path().string(), "-o",
                        f.file("mine/sinker.eif").string(), f.file("mine/sinker.toml").string()},
                       current_environment());
  };
  ASSERT_EQ(compile_enemies("dart.dat"), 0);
  ASSERT_EQ(run_command({MIRVO_ASM, "--enemies", f.file("mine/sinker.eif").string(), "-o",
                         f.file("mine/sinker.wif").string(), f.file("mine/sinker.wis").string()},
                        current_environment()),
            0);
  s->start_program({f.file("mirvo").string(), "--level", "mine/sinker.wif", "--enemies",
                    "mine/sinker.eif", "--at", "2", "--watch"},
                   f.path().string(), f.root().string());
  ASSERT_TRUE(menu(0));
  s->keys({"Return"});
  ASSERT_TRUE(play()) << s->game_stderr();
  EXPECT_NE(s->game_stderr().find("started 2.00 s into the level"), std::string::npos);

  const auto dart_red = [](Rgb p) { return p.r > 150 && p.g < 110 && p.b < 90; };
  const auto jelly_blue = [](Rgb p) { return p.b > 170 && p.r < 170 && p.b > p.r + 60; };
  // Two seconds in, the sinker stands 30 pixels lower than it starts.
  const auto dart = s->wait_for_screen(
      [&](const Image& i) { return play_shows(i) && sinker_row(i, dart_red).has_value(); }, 5000ms);
  ASSERT_TRUE(dart) << "no sinker";
  std::this_thread::sleep_for(1500ms);
  const double before = sinker_row(s->shot(), dart_red).value_or(0);

  // Saved anew with another picture: on screen at once, where it stood.
  const auto saved = steady_clock::now();
  ASSERT_EQ(compile_enemies("jelly.dat"), 0);
  const auto jelly = s->wait_for_screen(
      [&](const Image& i) {
        return sinker_row(i, jelly_blue).has_value() && !sinker_row(i, dart_red).has_value();
      },
      3000ms);
  ASSERT_TRUE(jelly) << "the new picture never came";
  EXPECT_LT(steady_clock::now() - saved, 1500ms);
  std::smatch took;
  const std::string err = s->game_stderr();
  ASSERT_TRUE(std::regex_search(err, took, std::regex("reloaded at tick [0-9]+ in ([0-9.]+) s")))
      << err;
  EXPECT_LT(std::stod(took[1]), 1.0);
  const double after = sinker_row(*jelly, jelly_blue).value_or(0);
  EXPECT_GT(after, before - 12) << "the reload went back in time";
  EXPECT_LT(after, before + 30);

  // A save that breaks the file: its error over the playfield, and play goes
  // on (the background below the panel scrolls on).
  f.write("mine/sinker.eif", "not an enemy file");
  const auto panel = [](Rgb p) { return p.r < 10 && p.g < 10 && p.b > 38 && p.b < 58; };
  const auto refused = s->wait_for_screen(
      [&](const Image& i) {
        const int k = window_factor(i);
        return count_pixels(i, Box{40, 120, 240, 160}.times(k), panel) > 3000 * k * k;
      },
      3000ms);
  ASSERT_TRUE(refused) << s->game_stderr();
  // The message names the author's file, not the copy the reload checked.
  const std::string printed = s->game_stderr();
  const std::size_t at = printed.find("mirvo: cannot reload: ");
  ASSERT_NE(at, std::string::npos) << printed;
  const std::string why = printed.substr(at);
  EXPECT_NE(why.find(f.file("mine/sinker.eif").string()), std::string::npos) << why;
  EXPECT_EQ(why.find("mirvo-reload-"), std::string::npos) << why;
  std::this_thread::sleep_for(500ms);
  const Image later = s->shot();
  ASSERT_EQ(later.width, refused->width);
  const Box below = Box{0, 290, 120, 100}.times(window_factor(later));
  EXPECT_GT(count_differences(*refused, later, below, 24), below.w * below.h / 10)
      << "play stopped";
}

TEST_F(Scenario, AnAuthorsLevelPlaysFromTheCommandLine) {
  s = std::make_unique<Session>();
  const GameFolder& f = s->folder;
  fs::create_directories(f.file("mine"));
  f.write("mine/diver.wis", DIVER_LEVEL);
  fs::copy_file(f.file("enemy.eif"), f.file("mine/diver.eif"));
  // The dart's pictures only beside the author's enemy file; no level1.wif to fall back on.
  fs::rename(f.file("dart.dat"), f.file("mine/dart.dat"));
  f.remove("level1.wif");
  ASSERT_EQ(run_command({MIRVO_ASM, "--enemies", f.file("mine/diver.eif").string(), "-o",
                         f.file("mine/diver.wif").string(), f.file("mine/diver.wis").string()},
                        current_environment()),
            0);
  s->start_program(
      {f.file("mirvo").string(), "--level", "mine/diver.wif", "--enemies", "mine/diver.eif"},
      f.path().string(), f.root().string());
  ASSERT_TRUE(menu(0));
  s->keys({"Return"});
  ASSERT_TRUE(play()) << s->game_stdout();
  // The dart's red hull dives down the middle of the playfield.
  const auto dart_red = [](Rgb p) { return p.r > 150 && p.g < 110 && p.b < 90; };
  EXPECT_TRUE(s->wait_for_screen(
      [&](const Image& i) {
        const int k = window_factor(i);
        return play_shows(i) &&
               count_pixels(i, Box{120 * k, 20 * k, 80 * k, 200 * k}, dart_red) > 20;
      },
      5000ms))
      << "no dart dived";
}
