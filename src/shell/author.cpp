// An author's level or campaign named on the command line: read, and its
// paths made whole, before the game folder becomes the current one, so a
// path given from where the author stands still names the same file; and,
// with --watch, its files watched for saves.
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "content/content.h"
#include "render/render.h"
#include "shell/screens_local.h"

namespace {

namespace fs = std::filesystem;

fs::path whole_path(const char* name) {
  return fs::absolute(name).lexically_normal();
}

}  // namespace

CommandCampaign read_command_campaign(const CommandLine& line) {
  CommandCampaign out;
  out.start_tick = line.start_tick;
  out.watch = line.watch;
  if (line.level) {
    out.one_level = true;
    // The tiles and music Start's first level would have, from the game folder.
    const CampaignLevel first = single_level_campaign().levels.front();
    out.campaign.levels.push_back({"", whole_path(line.level).string(),
                                   whole_path(line.enemies).string(),
                                   line.tiles ? whole_path(line.tiles).string() : first.tiles,
                                   line.music ? whole_path(line.music).string() : first.music, ""});
    return out;
  }
  if (!line.campaign) return out;
  out.campaign = read_campaign_file(line.campaign);
  if (!out.campaign.error.empty()) out.error = "mirvo: " + out.campaign.error;
  return out;
}

// ---- Reload on save ----
// The game polls one non-blocking inotify descriptor between frames, so no
// thread of ours is needed (the descriptor closes with the program). Folders are watched rather
// than files: an editor that saves by renaming a new file over the old one would leave a watch on
// the file itself behind on the old inode.

namespace {

// How long the files must stay quiet after a save before the reload: long
// enough for a tool's several writes (an .eif and its companion) to land as one.
constexpr auto SETTLE = std::chrono::milliseconds(150);

struct LevelWatch {
  int fd = -1;
  std::vector<std::pair<int, fs::path>> folders;  // watch descriptor, folder
  std::vector<fs::path> files;
  bool saved = false;
  std::chrono::steady_clock::time_point first_save{}, last_save{};
};
LevelWatch level_watch;

bool watched(int wd, const char* name) {
  for (const auto& [descriptor, folder] : level_watch.folders)
    if (descriptor == wd && std::find(level_watch.files.begin(), level_watch.files.end(),
                                      folder / name) != level_watch.files.end())
      return true;
  return false;
}

}  // namespace

void watch_level_files(const Campaign& played) {
  // One descriptor for the program's life; a folder watched already keeps
  // its watch, so a save that came meanwhile is not lost.
  if (level_watch.fd < 0) level_watch.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (level_watch.fd < 0) {
    std::fprintf(stderr, "mirvo: cannot watch the level's files: %s\n", std::strerror(errno));
    return;
  }
  level_watch.files.clear();
  for (const CampaignLevel& level : played.levels)
    for (const std::string& name : level_files(level, played.rules))
      level_watch.files.push_back(whole_path(name.c_str()));
  for (const fs::path& file : level_watch.files) {
    const int wd = inotify_add_watch(level_watch.fd, file.parent_path().c_str(),
                                     IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
    if (wd < 0)
      std::fprintf(stderr, "mirvo: cannot watch %s: %s\n", file.parent_path().c_str(),
                   std::strerror(errno));
    else if (std::find(level_watch.folders.begin(), level_watch.folders.end(),
                       std::pair{wd, file.parent_path()}) == level_watch.folders.end())
      level_watch.folders.emplace_back(wd, file.parent_path());
  }
}

std::optional<std::chrono::steady_clock::time_point> level_files_saved() {
  if (level_watch.fd < 0) return std::nullopt;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(level_watch.fd, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0 && watched(event->wd, event->name)) {
        level_watch.last_save = std::chrono::steady_clock::now();
        if (!level_watch.saved) level_watch.first_save = level_watch.last_save;
        level_watch.saved = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (!level_watch.saved || std::chrono::steady_clock::now() - level_watch.last_save < SETTLE)
    return std::nullopt;
  level_watch.saved = false;
  return level_watch.first_save;
}

void show_reload_error(const std::string& why) {
  overlay.lines = 0;
  if (why.empty()) return;
  // The panel's 8-pixel font fits 31 characters a line; long paths are cut
  // anywhere, other text between words.
  constexpr std::size_t WIDTH = 31;
  std::snprintf(overlay.text[0].data(), OVERLAY_TEXT_SIZE, "Cannot reload");
  int line = 1;
  std::size_t at = 0;
  while (at < why.size() && line < OVERLAY_LINES - 1) {
    std::size_t take = std::min(WIDTH, why.size() - at);
    if (at + take < why.size()) {
      const std::size_t space = why.rfind(' ', at + take);
      if (space != std::string::npos && space > at + WIDTH / 2) take = space - at;
    }
    std::snprintf(overlay.text[static_cast<std::size_t>(line++)].data(), OVERLAY_TEXT_SIZE, "%.*s",
                  static_cast<int>(take), why.c_str() + at);
    at += take;
    while (at < why.size() && why[at] == ' ') ++at;
  }
  std::snprintf(overlay.text[static_cast<std::size_t>(line++)].data(), OVERLAY_TEXT_SIZE,
                "The last good level plays on");
  overlay.lines = line;
}
