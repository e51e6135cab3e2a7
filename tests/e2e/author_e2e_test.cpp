// An author's own level, played with `mirvo --level` from a folder of its own:
// the paths are taken from where the game starts, the enemy file's archive is
// found beside it, and the game folder's own level is never read.
#include <filesystem>

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

}  // namespace

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
