// Where the game looks for its files, and how the settings file is rewritten.
#include <allegro.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/shell_local.h"

namespace fs = std::filesystem;

namespace {

const std::array<SettingValue, 3> ACCEPTED = {{{"renderer", 1}, {"scale", 1}, {"usejoystick", 0}}};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A private temporary folder, removed with everything in it.
struct TempDir {
  fs::path path;
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "mirvo-settings-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
};

}  // namespace

TEST(GameFiles, InstalledDataSitsUnderTheSamePrefix) {
  EXPECT_EQ(installed_data_dir("/usr/games/mirvo"), "/usr/share/games/mirvo");
  EXPECT_EQ(installed_data_dir("/tmp/p/games/mirvo"), "/tmp/p/share/games/mirvo");
  EXPECT_EQ(installed_data_dir("/opt/x/bin/mirvo"), "/opt/x/share/games/mirvo");
}

TEST(GameFiles, SettingsFollowXdgThenHome) {
  const struct {
    const char* xdg;
    const char* home;
    const char* path;
  } cases[] = {
      {"/x/cfg", "/home/p", "/x/cfg/mirvo/mirvo.cfg"},
      {nullptr, "/home/p", "/home/p/.config/mirvo/mirvo.cfg"},
      {"", "/home/p", "/home/p/.config/mirvo/mirvo.cfg"},
      {"relative/cfg", "/home/p", "/home/p/.config/mirvo/mirvo.cfg"},  // invalid, ignored
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(user_settings_path(c.xdg, c.home), c.path)
        << (c.xdg ? c.xdg : "(unset)") << " / " << (c.home ? c.home : "(unset)");
}

TEST(SettingsText, KeysAreSetInTheUnnamedSectionAndEverythingElseKept) {
  const struct {
    const char* old_text;
    const char* expected;
  } cases[] = {
      {"", "renderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"scale = 0\n", "scale = 1\nrenderer = 1\nusejoystick = 0\n"},
      // Comments, other keys, spacing and sections stay; a repeated key goes.
      {"# mine\nusejoystick=1\nvolume = 7\nrenderer = 0\nrenderer = 0\n\n[sound]\nscale = 3\n",
       "# mine\nusejoystick = 0\nvolume = 7\nrenderer = 1\n\nscale = 1\n[sound]\nscale = 3\n"},
      {"  renderer   =  0  \r\nlast = 1", "renderer = 1\nlast = 1\nscale = 1\nusejoystick = 0\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(settings_text(c.old_text, ACCEPTED), c.expected);
}

TEST(SettingsText, AllegroReadsBackWhatWasWritten) {
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  std::string text = settings_text("# kept\n[system]\nscale = 5\n", ACCEPTED);
  set_config_data(text.data(), static_cast<int>(text.size()));
  EXPECT_EQ(get_config_int(nullptr, "renderer", -1), 1);
  EXPECT_EQ(get_config_int(nullptr, "scale", -1), 1);
  EXPECT_EQ(get_config_int(nullptr, "usejoystick", -1), 0);
  EXPECT_EQ(get_config_int("system", "scale", -1), 5);
  allegro_exit();
}

// The folder made on the first save (mode 0700) and the file written whole are
// checked by the installed-game scenarios; here, the failures.
TEST(SettingsFile, ReplacedWholeOrNotAtAll) {
  TempDir dir;
  const fs::path file = dir.path / "mirvo.cfg";
  std::ofstream(file) << "old = 1\n";
  EXPECT_EQ(replace_file(file.string(), "new = 2\n"), "");
  EXPECT_EQ(slurp(file), "new = 2\n");
  EXPECT_EQ(replace_file((dir.path / "missing" / "mirvo.cfg").string(), "x = 1\n"),
            "No such file or directory");
  // Nothing but the file itself: no temporary file stays behind either way.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(SettingsFile, AFailedSaveStillHoldsForTheNextStartUp) {
  TempDir dir;
  std::ofstream(dir.path / "blocker") << "a file where the folder should be\n";
  settings_path = (dir.path / "blocker" / "mirvo.cfg").string();
  testing::internal::CaptureStderr();
  save_settings(ACCEPTED);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "mirvo: cannot save the settings in " + settings_path + ": Not a directory\n");

  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  use_settings_file();
  EXPECT_EQ(get_config_int(nullptr, "renderer", -1), 1);
  EXPECT_EQ(get_config_int(nullptr, "scale", -1), 1);
  allegro_exit();

  // A later save that works goes back to reading the file.
  settings_path = (dir.path / "mirvo.cfg").string();
  const std::array<SettingValue, 1> scale_only = {{{"scale", 0}}};
  save_settings(scale_only);
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  use_settings_file();
  EXPECT_EQ(get_config_int(nullptr, "renderer", -1), -1);
  EXPECT_EQ(get_config_int(nullptr, "scale", -1), 0);
  allegro_exit();
  settings_path = "mirvo.cfg";
}
