// Missing or broken files: the program says exactly what is wrong and ends
// with status 1, whether the music plays, the sound is Off or there is no
// sound device. Without xmessage on PATH, Allegro prints its message boxes on
// standard output, which is where these texts are read from (see printed()).
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "screens.h"

namespace fs = std::filesystem;

enum class Sound { ON, OFF, NO_DEVICE };

class Fatal : public Scenario, public ::testing::WithParamInterface<Sound> {
 protected:
  // A session for the sound case; the test changes the folder, then starts it.
  void SetUp() override {
    s = std::make_unique<Session>();
    if (GetParam() == Sound::OFF) {
      // Beside the data, and where a folder without "data.dat" looks for it.
      s->folder.write("mirvo.cfg", "sound = 0\n");
      fs::create_directories(s->folder.root() / ".config/mirvo");
      std::ofstream(s->folder.root() / ".config/mirvo/mirvo.cfg") << "sound = 0\n";
    }
    if (GetParam() == Sound::NO_DEVICE)
      std::ofstream(s->folder.root() / ".asoundrc") << alsa_missing_device();
  }

  // Waits for the end of the program; it must end with status 1, have
  // printed exactly `message`, and say nothing else but why there is no sound.
  void expect_fatal(const std::string& message) {
    EXPECT_EQ(s->wait_exit(15000ms), std::optional<int>(1));
    const std::string err = s->game_stderr();
    EXPECT_EQ(s->game_stdout(), printed(message)) << "stderr: " << err;
    if (GetParam() == Sound::NO_DEVICE) {
      EXPECT_EQ(err.rfind("Mirvo: no sound: ", 0), 0u) << err;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    } else {
      EXPECT_EQ(err, "");
    }
  }

  // From the fresh menu, Start.
  void start_level() {
    ASSERT_TRUE(menu(0)) << "the menu was not shown";
    s->keys({"Return"});
  }
};

INSTANTIATE_TEST_SUITE_P(Sound, Fatal, ::testing::Values(Sound::ON, Sound::OFF, Sound::NO_DEVICE),
                         [](const auto& info) {
                           return std::string(info.param == Sound::ON    ? "MusicPlaying"
                                              : info.param == Sound::OFF ? "SoundOff"
                                                                         : "NoDevice");
                         });

TEST_P(Fatal, MissingArchiveStopsBeforeTheMenu) {
  s->folder.remove("data.dat");
  s->start_game();
  expect_fatal("Error loading \"data.dat\"\n");
}

TEST_P(Fatal, MissingTileSetStopsAtStart) {
  s->folder.remove("tileset1.dat");
  // The script file is read before the tile set: one instruction is enough.
  s->folder.write("level1.wif", std::string("\x08") + std::string(16, '\0'));
  s->start_game();
  start_level();
  expect_fatal("Error loading tileset1.dat");
}

TEST_P(Fatal, MissingEnemyFileStopsAtStart) {
  s->folder.remove("enemy.eif");
  s->start_game();
  start_level();
  expect_fatal("Error loading \"enemy.eif\"\n");
}

TEST_P(Fatal, ScriptFileShorterThanOneRecordCountsAsMissing) {
  s->folder.write("level1.wif", std::string(16, '\x08'));
  s->start_game();
  start_level();
  expect_fatal("Script file \"level1.wif\" does not exist\n");
}

TEST_P(Fatal, ScriptFileOfMoreThan4096RecordsIsTooBig) {
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

TEST_P(Fatal, MissingEnemyArchiveNamesTheArchiveAndTheType) {
  const int k = enemy_index_of(s->folder.read("enemy.eif"), "dart.dat");
  ASSERT_GE(k, 0) << "the level's enemy.eif names no type with the archive dart.dat";
  s->folder.remove("dart.dat");
  s->start_game();
  start_level();
  expect_fatal("Error loading datafile \"dart.dat\" for enemy " + std::to_string(k) + "\n");
}
