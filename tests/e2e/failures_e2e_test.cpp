// Missing or broken files: the program says exactly what is wrong and ends
// with status 1. Without xmessage on PATH, Allegro prints its message boxes
// on standard output, which is where these texts are read from (see printed()).
#include <fstream>

#include "screens.h"

class Fatal : public Scenario {
 protected:
  // Waits for the end of the program; it must end with status 1 and have
  // printed exactly `message`.
  void expect_fatal(const std::string& message) {
    EXPECT_EQ(s->wait_exit(15000ms), std::optional<int>(1));
    EXPECT_EQ(s->game_stdout(), printed(message)) << "stderr: " << s->game_stderr();
  }

  // From the fresh menu, Start.
  void start_level() {
    ASSERT_TRUE(menu(0)) << "the menu was not shown";
    s->keys({"Return"});
  }
};

TEST_F(Fatal, MissingArchiveStopsBeforeTheMenu) {
  s = std::make_unique<Session>();
  s->folder.remove("data.dat");
  s->start_game();
  expect_fatal("Error loading \"data.dat\"\n");
}

TEST_F(Fatal, MissingTileSetStopsAtStart) {
  s = std::make_unique<Session>();
  s->folder.remove("tileset1.dat");
  // The script file is read before the tile set: one instruction is enough.
  s->folder.write("level1.wif", std::string("\x08") + std::string(16, '\0'));
  s->start_game();
  start_level();
  expect_fatal("Error loading tileset1.dat");
}

TEST_F(Fatal, ScriptFileShorterThanOneRecordCountsAsMissing) {
  s = std::make_unique<Session>();
  s->folder.write("level1.wif", std::string(16, '\x08'));
  s->start_game();
  start_level();
  expect_fatal("Script file \"level1.wif\" does not exist\n");
}

TEST_F(Fatal, ScriptFileOfMoreThan4096RecordsIsTooBig) {
  s = std::make_unique<Session>();
  s->folder.write("level1.wif", std::string(4097 * 17, '\x08'));
  s->start_game();
  start_level();
  expect_fatal("Error: scripts too big (max 4096, but is 4097)\n");
}

namespace {

// The 0-based index of the enemy type whose archive is `archive` in an enemy
// file, read the way the game reads it; -1 when no type names it.
int enemy_index_of(const std::string& eif, const std::string& archive) {
  if (eif.size() < 2) return -1;
  const int types = static_cast<unsigned char>(eif[1]);
  std::size_t at = 2;
  for (int k = 0; k < types; ++k) {
    if (at + 20 > eif.size()) return -1;
    std::string name = eif.substr(at + 3, 16);
    name = name.substr(0, name.find_first_of(std::string(" \0\n", 3)));
    if (name == archive) return k;
    const int steps = static_cast<unsigned char>(eif[at + 19]);
    at += 20 + 9 * static_cast<std::size_t>(steps);
  }
  return -1;
}

}  // namespace

TEST_F(Fatal, MissingEnemyArchiveNamesTheArchiveAndTheType) {
  s = std::make_unique<Session>();
  const int k = enemy_index_of(s->folder.read("enemy.eif"), "dart.dat");
  ASSERT_GE(k, 0) << "the level's enemy.eif names no type with the archive dart.dat";
  s->folder.remove("dart.dat");
  s->start_game();
  start_level();
  expect_fatal("Error loading datafile \"dart.dat\" for enemy " + std::to_string(k) + "\n");
}
