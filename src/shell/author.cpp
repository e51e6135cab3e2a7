// An author's level or campaign named on the command line: read, and its
// paths made whole, before the game folder becomes the current one, so a
// path given from where the author stands still names the same file; and,
// with --watch, its files watched for saves.
#include <stdlib.h>
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
#include "script/script.h"
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

// ---- Reload snapshots ----
// A reload loads private copies of the level files, taken before they are
// checked: a save landing between the check and the load cannot then reach
// the loaders, which end the program on a file they cannot use.

namespace {

fs::path snapshot_folder;  // the copies of the reload under way, if any
// Each copy's path and its original's, so messages name the author's files.
std::vector<std::pair<std::string, std::string>> snapshot_names;

// Copies `from` to `to` (its folder made), reading at most `limit` bytes;
// false, with why, when it cannot.
bool copy_bounded(const fs::path& from, const fs::path& to, std::size_t limit, std::string& why) {
  const WholeFile file = read_whole_file(from.c_str(), limit);
  if (file.error != 0 || !file.refusal.empty()) {
    why = "cannot read " + from.string() + ": " +
          (file.refusal.empty() ? std::strerror(file.error) : file.refusal);
    return false;
  }
  snapshot_names.emplace_back(to.string(), from.string());
  std::error_code made;
  fs::create_directories(to.parent_path(), made);
  const std::string failed =
      replace_file(to.string(), std::string(file.bytes.begin(), file.bytes.end()));
  if (!failed.empty()) why = "cannot copy " + from.string() + ": " + failed;
  return failed.empty();
}

// One level's files copied into `folder`: the enemy file with its companion
// and archives side by side, where the loaders look first.
bool copy_level(const CampaignLevel& level, const Rules& level_rules, const fs::path& folder,
                CampaignLevel& copy, std::string& why) {
  copy = level;
  copy.script = (folder / "script" / fs::path(level.script).filename()).string();
  copy.tiles = (folder / "tiles" / fs::path(level.tiles).filename()).string();
  copy.enemies = (folder / "enemies" / fs::path(level.enemies).filename()).string();
  if (!copy_bounded(level.script, copy.script, MAX_SCRIPT_FILE_BYTES, why) ||
      !copy_bounded(level.tiles, copy.tiles, MAX_ARCHIVE_BYTES, why) ||
      !copy_bounded(level.enemies, copy.enemies, MAX_ENEMY_FILE_BYTES, why))
    return false;
  const std::string extras = enemy_extras_path(level.enemies);
  std::error_code missing;
  if (level_rules.enemy_extras && fs::exists(extras, missing) &&
      !copy_bounded(extras, enemy_extras_path(copy.enemies), MAX_ENEMY_EXTRAS_BYTES, why))
    return false;
  const WholeFile enemies = read_whole_file(copy.enemies.c_str(), MAX_ENEMY_FILE_BYTES);
  const EnemyFile file = parse_enemy_file(enemies.bytes, copy.enemies.c_str());
  if (!file.error.empty()) return true;  // the check names what is wrong
  for (const EnemyTypeRecord& type : file.types) {
    const fs::path name = fs::path(type.datafile).lexically_normal();
    // A name that leaves the folder is read where it is, copied nowhere.
    if (name.is_absolute() || name.empty() || *name.begin() == "..") continue;
    if (!copy_bounded(enemy_archive_path(level.enemies, type.datafile),
                      fs::path(copy.enemies).parent_path() / name, MAX_ARCHIVE_BYTES, why))
      return false;
  }
  return true;
}

}  // namespace

Campaign snapshot_campaign(const Campaign& played, std::string& why) {
  drop_snapshot();
  Campaign copy = played;
  std::string pattern = (fs::temp_directory_path() / "mirvo-reload-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    why = "cannot make a folder for the reload: " + std::string(std::strerror(errno));
    return copy;
  }
  snapshot_folder = pattern;
  for (std::size_t i = 0; i < played.levels.size() && why.empty(); ++i)
    copy_level(played.levels[i], played.rules, snapshot_folder / std::to_string(i), copy.levels[i],
               why);
  return copy;
}

std::string in_original_names(std::string text) {
  for (const auto& [copy, original] : snapshot_names)
    for (std::size_t at = text.find(copy); at != std::string::npos;
         at = text.find(copy, at + original.size()))
      text.replace(at, copy.size(), original);
  return text;
}

void drop_snapshot() {
  snapshot_names.clear();
  if (snapshot_folder.empty()) return;
  std::error_code ignored;  // a copy left in the temporary folder harms nothing
  fs::remove_all(snapshot_folder, ignored);
  snapshot_folder.clear();
}
