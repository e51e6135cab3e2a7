// Where the game's files are: the data folder it reads and the settings file
// it keeps, chosen once when the program starts.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "shell/shell_local.h"

namespace fs = std::filesystem;

std::string settings_path = "mirvo.cfg";

std::string installed_data_dir(const std::string& executable) {
  const fs::path prefix = fs::path(executable).parent_path().parent_path();
  return (prefix / "share" / "games" / "mirvo").string();
}

std::string config_home(const char* xdg_config_home, const char* home) {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as with an unset one.
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') return xdg_config_home;
  if (home != nullptr && home[0] == '/') return (fs::path(home) / ".config").string();
  return "";
}

std::string data_home(const char* xdg_data_home, const char* home) {
  // A relative XDG_DATA_HOME is invalid and ignored, as with an unset one.
  if (xdg_data_home != nullptr && xdg_data_home[0] == '/') return xdg_data_home;
  if (home != nullptr && home[0] == '/') return (fs::path(home) / ".local" / "share").string();
  return "";
}

std::string user_settings_path(const char* xdg_config_home, const char* home) {
  const std::string folder = config_home(xdg_config_home, home);
  return folder.empty() ? "" : (fs::path(folder) / "mirvo" / "mirvo.cfg").string();
}

namespace {

bool holds_game_data(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "data.dat", ec);
}

}  // namespace

const char* home_dir() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr ? entry->pw_dir : nullptr;
}

// A game folder (the current directory holds "data.dat") is used as it is,
// with its settings beside the data when the folder is writable. Otherwise
// the game moves into the data folder installed beside its executable, and
// every relative load (including the archives the enemy file names) works
// from there; the settings then live in the player's configuration folder.
// Without data in either place the current directory stays, so start-up
// reports the missing "data.dat" as it always has.
void find_game_files() {
  const bool game_folder = holds_game_data(".");
  if (game_folder && access(".", W_OK) == 0) {
    settings_path = "mirvo.cfg";
    return;
  }
  if (!game_folder) {
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    const std::string data_dir = ec ? std::string() : installed_data_dir(executable.string());
    // A folder it cannot enter leaves the data missing, which start-up reports.
    if (!data_dir.empty() && holds_game_data(data_dir)) fs::current_path(data_dir, ec);
  }
  const std::string user = user_settings_path(std::getenv("XDG_CONFIG_HOME"), home_dir());
  settings_path = user.empty() ? "mirvo.cfg" : user;
}
