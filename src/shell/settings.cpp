// The settings file: every start-up reads it through Allegro's configuration
// functions; Accept on the options screen replaces it in one piece, edited as
// settings_text describes.
#include <allegro.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"

namespace fs = std::filesystem;

namespace {

// The text the last Accept could not store; empty once a save succeeds. The
// next start-up reads it instead of the file, so the game goes on with the
// accepted settings and not with the older ones still on disk.
std::string unsaved_text;

// The whole file; a missing one reads as empty. Empty on success, else why
// not: a file that exists but cannot be read must not be replaced by one
// holding nothing but the settings.
std::string read_text(const std::string& path, std::string& text) {
  const WholeFile file = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  text.append(file.bytes.begin(), file.bytes.end());
  if (!file.opened && file.error == ENOENT) return "";
  return whole_file_problem(file);
}

// The file path names at the end of its chain of symbolic links, which need
// not exist yet. Empty on success, else why not.
std::string link_target(const std::string& path, std::string& target) {
  target = path;
  for (int links = 0; links < 40; ++links) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec))) return "";
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) return ec.message();
    target = next.is_absolute() ? next.string() : (fs::path(target).parent_path() / next).string();
  }
  return std::strerror(ELOOP);
}

}  // namespace

std::string make_folders(const fs::path& dir) {
  std::error_code ec;
  if (dir.empty() || fs::is_directory(dir, ec)) return "";
  std::string parent = make_folders(dir.parent_path());
  if (!parent.empty()) return parent;
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
  return "";
}

std::string replace_file(const std::string& path, const std::string& text) {
  // Through a symbolic link the file it names is replaced and the link stays.
  std::string real;
  if (std::string error = link_target(path, real); !error.empty()) return error;
  struct stat old {};
  const mode_t mode = stat(real.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  std::string temp = real + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::strerror(errno);
  int error = fchmod(fd, mode) == 0 ? 0 : errno;
  for (std::size_t done = 0; error == 0 && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  // On disk before the rename, so a crash leaves the old file or the new one.
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), real.c_str()) != 0) error = errno;
  if (error == 0) return "";
  unlink(temp.c_str());
  return std::strerror(error);
}

void use_settings_file() {
  std::string text = unsaved_text;
  // A file that cannot be read gives the defaults, as it does to Allegro.
  if (unsaved_text.empty()) {
    if (const std::string error = read_text(settings_path, text); !error.empty()) {
      std::fprintf(stderr, "mirvo: the settings in %s are not read: %s\n", settings_path.c_str(),
                   error.c_str());
    }
  }
  use_settings_text(text);
}

void save_settings(std::span<const SettingValue> values) {
  std::string old_text;
  std::string error = read_text(settings_path, old_text);
  const std::string text = settings_text(old_text, values);
  if (error.empty()) error = make_folders(fs::path(settings_path).parent_path());
  if (error.empty()) error = replace_file(settings_path, text);
  unsaved_text = error.empty() ? std::string() : text;
  if (!error.empty())
    std::fprintf(stderr, "mirvo: cannot save the settings in %s: %s\n", settings_path.c_str(),
                 error.c_str());
}

void write_settings() {
  save_settings(setting_values(settings));
}
