// Where the game looks for its files, and how the settings file is rewritten.
#include <allegro.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
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

// Standard error into a pipe for one call (a file would feel the limit on
// file sizes that one of the cases sets).
template <typename F>
std::string stderr_of(F call) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(ends[1], 2);
  call();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  close(ends[1]);
  std::string text;
  char block[256];
  ssize_t n = 0;
  while ((n = read(ends[0], block, sizeof block)) > 0)
    text.append(block, static_cast<std::size_t>(n));
  close(ends[0]);
  return text;
}

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

// Each case: the old text, the text Accept leaves, and (through Allegro's own
// reader) the accepted values read back from it.
TEST(SettingsText, ReplacesTheLineAllegroReadsAndKeepsEveryOther) {
  const struct {
    const char* what;
    std::string old_text;
    std::string expected;
  } cases[] = {
      {"no file", "", "renderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"mixed case", "Scale = 0\n", "scale = 1\nrenderer = 1\nusejoystick = 0\n"},
      {"no spaces, no last line break", "RENDERER=0\nusejoystick=1",
       "renderer = 1\nusejoystick = 0\nscale = 1\n"},
      {"a name ends at a blank, '=' or '#'", "renderer 0\nscale#old = 0\nusejoystick\t=1\n",
       "renderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"comments stay", "# scale = 0\n  #renderer = 0\n",
       "# scale = 0\n  #renderer = 0\nrenderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"trailing comments stay", "scale = 0  # doubled\nrenderer=0# gl\r\nusejoystick = # x\n",
       "scale = 1  # doubled\nrenderer = 1# gl\r\nusejoystick = 0 # x\n"},
      {"a kept comment ending in a cut-short character", "scale = 0 # \xe2",
       std::string("scale = 1 # \xe2\0\0\nrenderer = 1\nusejoystick = 0\n", 45)},
      {"only the first of duplicates is read", "scale = 0\nSCALE = 0\nscale = 0\n",
       "scale = 1\nSCALE = 0\nscale = 0\nrenderer = 1\nusejoystick = 0\n"},
      {"a longer name is another key", "scales = 0\nscale_x = 0\n",
       "scales = 0\nscale_x = 0\nrenderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"an empty value still hides later lines", "scale =\nscale = 0\n",
       "scale = 1\nscale = 0\nrenderer = 1\nusejoystick = 0\n"},
      {"sections stay; missing keys end the unnamed one", "volume = 7\n\n[sound]\nscale = 3\n",
       "volume = 7\n\nrenderer = 1\nscale = 1\nusejoystick = 0\n[sound]\nscale = 3\n"},
      {"a header ends at a blank, '=' or '#'", "[x] tail\nscale = 0\n",
       "renderer = 1\nscale = 1\nusejoystick = 0\n[x] tail\nscale = 0\n"},
      {"not a header", "[x]y = 1\nscale = 0\n",
       "[x]y = 1\nscale = 1\nrenderer = 1\nusejoystick = 0\n"},
      {"line breaks stay as they were", "  renderer   =  0  \r\nlast = 1\rscale=0\n\r",
       "renderer = 1\r\nlast = 1\rscale = 1\n\rusejoystick = 0\n"},
      {"a NUL ends the line's content", std::string("scale = 0\0 junk\n", 16),
       "scale = 1\nrenderer = 1\nusejoystick = 0\n"},
      // Allegro decodes UTF-8 before it looks for line ends: a broken lead
      // byte swallows the line break and the start of the next line.
      {"a broken sequence swallows a line break", "x = \xe2\nscale = 0\n",
       "x = \xe2\nscale = 0\nrenderer = 1\nscale = 1\nusejoystick = 0\n"},
      {"a cut-short last character", "x = \xe2",
       std::string("x = \xe2\0\0\nrenderer = 1\nscale = 1\nusejoystick = 0\n", 47)},
      // Allegro compares names through its Unicode lower case.
      {"a capital dotted I",
       "usejoyst\xc4\xb0"
       "ck = 1\n",
       "usejoystick = 0\nrenderer = 1\nscale = 1\n"},
      // Such a character makes Allegro's own reader loop for ever.
      {"characters beyond 30 bits",
       "\xfd\xbf\xbf\xbf\xbf\xbf\xfe\x85\x85\x85\x85\x85\x85\nscale = 0\n",
       "\xfd\xbf\xbf\xbf\xbf\xbf\xfe\x85\x85\x85\x85\x85\x85\nscale = 1\nrenderer = 1\nusejoystick "
       "= 0\n"},
  };
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  for (const auto& c : cases) {
    const std::string text = settings_text(c.old_text, ACCEPTED);
    EXPECT_EQ(text, c.expected) << c.what;
    use_settings_text(text);
    for (const SettingValue& v : ACCEPTED)
      EXPECT_EQ(get_config_int(nullptr, v.key, -1), v.value) << c.what << ": " << v.key;
  }
  allegro_exit();
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

// A hand-edited file that says "Scale = 1": Stretch "No" and Accept must give
// a small window on the next start.
TEST(SettingsFile, AcceptOverridesAHandEditedLine) {
  TempDir dir;
  settings_path = (dir.path / "mirvo.cfg").string();
  std::ofstream(settings_path) << "# mine\nRenderer = 0\nScale = 1\n";
  const std::array<SettingValue, 2> accepted = {{{"renderer", 0}, {"scale", 0}}};
  save_settings(accepted);
  EXPECT_EQ(slurp(settings_path), "# mine\nrenderer = 0\nscale = 0\n");
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  use_settings_file();
  EXPECT_EQ(get_config_int(nullptr, "scale", -1), 0);
  allegro_exit();
  settings_path = "mirvo.cfg";
}

// The settings file may be a symbolic link (to a dotfiles folder, say) and
// may be private: Accept updates what the link names and keeps the mode.
TEST(SettingsFile, LinksAndPermissionBitsStay) {
  const struct {
    const char* what;
    int links;           // the settings path "config/mirvo.cfg" leads to target through these
    const char* target;  // relative to the temporary folder
    mode_t mode;         // of the existing target; 0: it does not exist
    mode_t expected_mode;
  } cases[] = {
      {"a private file", 0, "config/mirvo.cfg", 0600, 0600},
      {"a group-readable file", 0, "config/mirvo.cfg", 0640, 0640},
      {"a new file", 0, "config/mirvo.cfg", 0, 0644},
      {"a relative link into another folder", 1, "dotfiles/mirvo.cfg", 0600, 0600},
      {"a link to a link", 2, "dotfiles/mirvo.cfg", 0640, 0640},
      {"a link to no file yet", 1, "dotfiles/mirvo.cfg", 0, 0644},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const fs::path target = dir.path / c.target;
    fs::create_directories(target.parent_path());
    if (c.mode != 0) {
      std::ofstream(target) << "Scale = 1\n";
      fs::permissions(target, static_cast<fs::perms>(c.mode));
    }
    const fs::path link = dir.path / "config" / "mirvo.cfg";
    fs::create_directories(link.parent_path());
    if (c.links == 1) fs::create_symlink("../dotfiles/mirvo.cfg", link);
    if (c.links == 2) {
      fs::create_symlink("../dotfiles/mirvo.cfg", dir.path / "config" / "other.cfg");
      fs::create_symlink("other.cfg", link);
    }
    settings_path = link.string();
    const std::array<SettingValue, 1> scale_off = {{{"scale", 0}}};
    save_settings(scale_off);
    EXPECT_EQ(slurp(target), "scale = 0\n") << c.what;
    EXPECT_EQ(static_cast<mode_t>(fs::status(target).permissions()), c.expected_mode) << c.what;
    EXPECT_EQ(fs::is_symlink(link), c.links > 0) << c.what;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path))
      EXPECT_EQ(entry.path().string().find(".cfg."), std::string::npos)
          << c.what << ": left " << entry.path();
  }
  settings_path = "mirvo.cfg";
}

// A folder that takes no new file, or a disk that takes no more bytes: one
// line on standard error, the old file as it was, and the game goes on with
// the accepted settings.
TEST(SettingsFile, AFolderThatCannotBeWrittenKeepsTheOldFile) {
  enum class Block { READ_ONLY_FOLDER, NO_SPACE };
  const struct {
    const char* what;
    Block block;
    const char* reason;
  } cases[] = {
      {"a read-only folder", Block::READ_ONLY_FOLDER, "Permission denied"},
      {"no space left", Block::NO_SPACE, "File too large"},
  };
  for (const auto& c : cases) {
    if (c.block == Block::READ_ONLY_FOLDER && geteuid() == 0) {
      std::printf("skipped \"%s\": the superuser writes into any folder\n", c.what);
      continue;
    }
    TempDir dir;
    settings_path = (dir.path / "mirvo.cfg").string();
    std::ofstream(settings_path) << "scale = 1\n";
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    if (c.block == Block::READ_ONLY_FOLDER) fs::permissions(dir.path, fs::perms(0555));
    if (c.block == Block::NO_SPACE) {
      rlimit none = old_limit;
      none.rlim_cur = 0;
      setrlimit(RLIMIT_FSIZE, &none);
    }
    const std::string err = stderr_of([] { save_settings(ACCEPTED); });
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    fs::permissions(dir.path, fs::perms(0700));

    EXPECT_EQ(err, "mirvo: cannot save the settings in " + settings_path + ": " + c.reason + "\n")
        << c.what;
    EXPECT_EQ(slurp(settings_path), "scale = 1\n") << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1)
        << c.what;
    ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
    use_settings_file();
    for (const SettingValue& v : ACCEPTED)
      EXPECT_EQ(get_config_int(nullptr, v.key, -1), v.value) << c.what << ": " << v.key;
    allegro_exit();
  }
  // A successful save ends the fallback to the unsaved text.
  TempDir clean;
  settings_path = (clean.path / "mirvo.cfg").string();
  save_settings({});
  settings_path = "mirvo.cfg";
}
