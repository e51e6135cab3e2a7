// Screenshots: F12 in the menus and in play keeps what the screen shows as
// PNG files in the player's pictures folder.
#include <alleggl.h>
#include <allegro.h>
#include <loadpng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

// A value of user-dirs.dirs between its double quotes, with the shell's
// backslash escapes undone; nothing for a line of another form.
std::optional<std::string> quoted_value(std::string_view text) {
  if (text.size() < 2 || text.front() != '"') return std::nullopt;
  std::string value;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') return value;
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    value += text[i];
  }
  return std::nullopt;  // no closing quote
}

// "$HOME/x" under home, "/x" as it is; empty for anything else and for the
// home folder itself.
std::string folder_from_value(const std::string& value, const char* home) {
  constexpr std::string_view HOME_VAR = "$HOME";
  fs::path folder;
  if (value.starts_with('/')) {
    folder = value;
  } else if (value.starts_with(HOME_VAR) &&
             (value.size() == HOME_VAR.size() || value[HOME_VAR.size()] == '/')) {
    if (home == nullptr || home[0] != '/') return "";
    folder = std::string(home) + value.substr(HOME_VAR.size());
  } else {
    return "";
  }
  folder = folder.lexically_normal();
  if (home != nullptr && home[0] == '/' &&
      (folder / "").lexically_normal() == (fs::path(home) / "").lexically_normal())
    return "";
  return folder.string();
}

// Where the playfield is in the window and how many times enlarged.
struct ShownPlayfield {
  int x = 0, y = 0;
  int factor = 1;
};

ShownPlayfield shown_playfield() {
  if (screen_fit.factor > 0) return ShownPlayfield{screen_fit.x, screen_fit.y, screen_fit.factor};
  return ShownPlayfield{0, 0, scale == 1 ? 2 : 1};
}

// The window's pixels in the rectangle, rows from the top. The OpenGL
// renderer's picture is read from the back buffer, which still holds the
// frame the last flip showed (the front buffer of a window reads as black
// under Mesa's software rasteriser).
std::vector<std::uint32_t> read_screen(int x, int y, int w, int h) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  if (renderer == Renderer::Software) {
    BITMAP* copy = create_bitmap_ex(32, w, h);
    if (copy == nullptr) return {};
    blit(screen, copy, x, y, 0, 0, w, h);  // converts from the window's depth
    for (int row = 0; row < h; ++row)
      for (int col = 0; col < w; ++col) {
        const int c = getpixel(copy, col, row);
        pixels[row * w + col] =
            static_cast<std::uint32_t>(getr32(c) << 16 | getg32(c) << 8 | getb32(c));
      }
    destroy_bitmap(copy);
    return pixels;
  }
  std::vector<std::uint8_t> rgba(pixels.size() * 4);
  GLint buffer = GL_BACK, alignment = 4;
  glGetIntegerv(GL_READ_BUFFER, &buffer);
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // OpenGL counts rows from the bottom of the window.
  glReadPixels(x, SCREEN_H - y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glReadBuffer(static_cast<GLenum>(buffer));
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const std::uint8_t* p = &rgba[(static_cast<std::size_t>(h - 1 - row) * w + col) * 4];
      pixels[row * w + col] = static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
  return pixels;
}

// Writes the picture as a PNG into a new file beside path and renames it to
// path, so no one ever sees half a picture. Empty on success, else why not.
std::string write_png(const std::string& path, const std::vector<std::uint32_t>& pixels, int w,
                      int h) {
  // 24 bits: loadpng would save a 32-bit bitmap's unused fourth byte as alpha.
  BITMAP* bmp = create_bitmap_ex(24, w, h);
  if (bmp == nullptr) return "no memory for the picture";
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const std::uint32_t c = pixels[row * w + col];
      putpixel(bmp, col, row, makecol24(c >> 16 & 0xff, c >> 8 & 0xff, c & 0xff));
    }
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  std::string error = fd < 0 ? std::strerror(errno) : "";
  // Readable by all, as a picture the player may share (mkstemp makes it private).
  if (fd >= 0 && fchmod(fd, 0644) != 0) error = std::strerror(errno);
  if (fd >= 0) close(fd);
  if (error.empty() && save_png(temp.c_str(), bmp, nullptr) != 0) error = "cannot write it";
  destroy_bitmap(bmp);
  if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0) error = std::strerror(errno);
  if (!error.empty() && fd >= 0) unlink(temp.c_str());
  return error;
}

// A small text file whole; empty when it is missing or unreadable.
std::string file_text(const fs::path& path) {
  const WholeFile file = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  return std::string(file.bytes.begin(), file.bytes.end());
}

// The folder for this player's screenshots, made if missing; empty (and
// `error` set) when there is none.
std::string ready_folder(std::string& error) {
  const char* home = home_dir();
  const std::string config = config_home(std::getenv("XDG_CONFIG_HOME"), home);
  std::string pictures = xdg_pictures_dir(
      config.empty() ? std::string() : file_text(fs::path(config) / "user-dirs.dirs"),
      std::getenv("XDG_PICTURES_DIR"), home);
  // A pictures folder the player removed is not made again behind their back.
  std::error_code ec;
  if (!pictures.empty() && !fs::is_directory(pictures, ec)) pictures.clear();
  const std::string folder = screenshot_folder(pictures, std::getenv("XDG_DATA_HOME"), home);
  if (folder.empty()) {
    error = "no folder for them (HOME is not set)";
    return "";
  }
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) {
    error = "cannot make " + folder + (ec ? ": " + ec.message() : "");
    return "";
  }
  return folder;
}

}  // namespace

std::string xdg_pictures_dir(const std::string& user_dirs, const char* pictures_env,
                             const char* home) {
  constexpr std::string_view KEY = "XDG_PICTURES_DIR=";
  std::optional<std::string> value;
  std::size_t at = 0;
  while (at < user_dirs.size()) {
    std::size_t end = user_dirs.find('\n', at);
    if (end == std::string::npos) end = user_dirs.size();
    std::string_view line(user_dirs.data() + at, end - at);
    at = end + 1;
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    // The file is read by a shell: the last assignment counts.
    if (line.starts_with(KEY)) value = quoted_value(line.substr(KEY.size()));
  }
  if (!value && pictures_env != nullptr) value = pictures_env;
  return value ? folder_from_value(*value, home) : "";
}

std::string screenshot_folder(const std::string& pictures, const char* xdg_data_home,
                              const char* home) {
  if (!pictures.empty()) return (fs::path(pictures) / "Mirvo").string();
  const std::string data = data_home(xdg_data_home, home);
  return data.empty() ? "" : (fs::path(data) / "mirvo" / "screenshots").string();
}

std::string screenshot_name(const std::tm& when, int n, int width, int height) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H-%M-%S", &when);
  std::string name = std::string("mirvo-") + stamp;
  if (n > 1) name += "-" + std::to_string(n);
  if (width > 0) name += "-" + std::to_string(width) + "x" + std::to_string(height);
  return name + ".png";
}

std::vector<std::uint32_t> shrink_picture(std::span<const std::uint32_t> pixels, int width,
                                          int height, int factor) {
  const int w = width / factor, h = height / factor;
  std::vector<std::uint32_t> small(static_cast<std::size_t>(w) * h);
  const unsigned area = static_cast<unsigned>(factor * factor);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned sum[3] = {0, 0, 0};
      for (int dy = 0; dy < factor; ++dy)
        for (int dx = 0; dx < factor; ++dx) {
          const std::uint32_t c = pixels[(y * factor + dy) * width + x * factor + dx];
          sum[0] += c >> 16 & 0xff;
          sum[1] += c >> 8 & 0xff;
          sum[2] += c & 0xff;
        }
      // Rounded to the nearest whole value.
      small[y * w + x] = (sum[0] + area / 2) / area << 16 | (sum[1] + area / 2) / area << 8 |
                         (sum[2] + area / 2) / area;
    }
  return small;
}

void save_screenshot() {
  const ShownPlayfield shown = shown_playfield();
  const int w = PLAYFIELD_W * shown.factor, h = PLAYFIELD_H * shown.factor;
  const std::vector<std::uint32_t> big = read_screen(shown.x, shown.y, w, h);
  std::string error = big.empty() ? "no memory for the picture" : "";
  const std::string folder = error.empty() ? ready_folder(error) : "";
  if (!error.empty()) {
    std::fprintf(stderr, "Mirvo: no screenshot: %s\n", error.c_str());
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  // The first number of the second no earlier screenshot has taken.
  int n = 1;
  std::error_code ec;
  while (fs::exists(fs::path(folder) / screenshot_name(local, n), ec)) ++n;
  const std::string small_path = (fs::path(folder) / screenshot_name(local, n)).string();
  error = write_png(small_path, shown.factor > 1 ? shrink_picture(big, w, h, shown.factor) : big,
                    PLAYFIELD_W, PLAYFIELD_H);
  if (!error.empty()) {
    std::fprintf(stderr, "Mirvo: no screenshot: %s: %s\n", small_path.c_str(), error.c_str());
    return;
  }
  if (shown.factor == 1) {
    std::fprintf(stderr, "Mirvo: screenshot saved as %s\n", small_path.c_str());
    return;
  }
  const std::string big_path = (fs::path(folder) / screenshot_name(local, n, w, h)).string();
  error = write_png(big_path, big, w, h);
  if (error.empty())
    std::fprintf(stderr, "Mirvo: screenshot saved as %s and %s\n", small_path.c_str(),
                 big_path.c_str());
  else
    std::fprintf(stderr, "Mirvo: screenshot saved as %s only; %s: %s\n", small_path.c_str(),
                 big_path.c_str(), error.c_str());
}
