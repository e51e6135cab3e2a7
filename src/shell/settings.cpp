// The settings file: every start-up reads it through Allegro's configuration
// functions; Accept on the options screen replaces it in one piece.
#include <allegro.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "content/content.h"
#include "render/render.h"
#include "shell/shell_local.h"

namespace fs = std::filesystem;

namespace {

// The text the last Accept could not store; empty once a save succeeds. The
// next start-up reads it instead of the file, so the game goes on with the
// accepted settings and not with the older ones still on disk.
std::string unsaved_text;

std::string_view trimmed(std::string_view s) {
  const std::size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The name of a "name = value" line; empty for comments, headers and blanks.
std::string_view line_key(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {};
  const std::string_view key = trimmed(line.substr(0, equals));
  return !key.empty() && key[0] == '#' ? std::string_view{} : key;
}

bool is_section_header(std::string_view line) {
  const std::string_view t = trimmed(line);
  return !t.empty() && t[0] == '[';
}

std::string setting_line(const SettingValue& setting) {
  return std::string(setting.key) + " = " + std::to_string(setting.value) + "\n";
}

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Makes dir and its missing parents, private to the player as a new
// configuration folder should be. Empty on success, else why not.
std::string make_folders(const fs::path& dir) {
  std::error_code ec;
  if (dir.empty() || fs::is_directory(dir, ec)) return "";
  std::string parent = make_folders(dir.parent_path());
  if (!parent.empty()) return parent;
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
  return "";
}

}  // namespace

std::string settings_text(const std::string& old_text, std::span<const SettingValue> values) {
  std::vector<bool> placed(values.size(), false);
  std::string text;
  std::size_t section_start = std::string::npos;  // where the unnamed section ends
  std::size_t at = 0;
  while (at < old_text.size()) {
    std::size_t end = old_text.find('\n', at);
    if (end == std::string::npos) end = old_text.size();
    const std::string_view line(old_text.data() + at, end - at);
    at = end + 1;
    if (section_start == std::string::npos && is_section_header(line)) section_start = text.size();
    bool ours = false;
    for (std::size_t i = 0; section_start == std::string::npos && i < values.size(); ++i) {
      if (line_key(line) != values[i].key) continue;
      ours = true;
      if (!placed[i]) text += setting_line(values[i]);  // a repeated key is dropped
      placed[i] = true;
    }
    if (!ours) text.append(line).append("\n");
  }
  std::string missing;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (!placed[i]) missing += setting_line(values[i]);
  text.insert(section_start == std::string::npos ? text.size() : section_start, missing);
  return text;
}

std::string replace_file(const std::string& path, const std::string& text) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  int error = fchmod(fd, 0644) == 0 ? 0 : errno;
  for (std::size_t done = 0; error == 0 && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  // On disk before the rename, so a crash leaves the old file or the new one.
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error == 0) return "";
  unlink(temp.c_str());
  return std::strerror(error);
}

void use_settings_file() {
  if (unsaved_text.empty())
    set_config_file(settings_path.c_str());
  else
    set_config_data(unsaved_text.data(), static_cast<int>(unsaved_text.size()));
}

void save_settings(std::span<const SettingValue> values) {
  const std::string text = settings_text(read_text(settings_path), values);
  std::string error = make_folders(fs::path(settings_path).parent_path());
  if (error.empty()) error = replace_file(settings_path, text);
  unsaved_text = error.empty() ? std::string() : text;
  if (!error.empty())
    std::fprintf(stderr, "mirvo: cannot save the settings in %s: %s\n", settings_path.c_str(),
                 error.c_str());
}

// The one place that lists what "mirvo.cfg" stores, in the order start-up reads it.
void write_settings() {
  const SettingValue values[] = {
      {"renderer", renderer},
      {"scale", scale},
      {"usejoystick", use_joystick},
      {"sound", sound_on},
  };
  save_settings(values);
}
