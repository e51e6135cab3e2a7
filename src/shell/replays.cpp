// The replays folder: recordings written whole under date-time names, the
// newest 50 kept with every one the score table names, and read back for the
// Replays list, playback and the score table's marks.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "script/script.h"
#include "shell/replays_local.h"
#include "shell/shell_local.h"

namespace fs = std::filesystem;

bool replay_name_usable(std::string_view name) {
  if (name.size() <= REPLAY_SUFFIX.size() || name.size() > 64 || name.front() == '.') return false;
  if (!name.ends_with(REPLAY_SUFFIX)) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return c > ' ' && c <= '~' && c != '/' && c != '"' && c != '\\';
  });
}

std::string replay_name(const std::tm& when, int n) {
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d-%H-%M-%S", &when);
  std::string name = text;
  if (n > 1) name += "-" + std::to_string(n);
  return name + std::string(REPLAY_SUFFIX);
}

std::string replays_folder() {
  const std::string folder = data_home(std::getenv("XDG_DATA_HOME"), home_dir());
  return folder.empty() ? "" : (fs::path(folder) / "mirvo" / "replays").string();
}

namespace {

// Names are dates to the second, so the greater name is the newer game. The
// suffix is left out: "-2" after a second's name must sort after it, and '-'
// comes before the suffix's '.'.
bool newer(const std::string& a, const std::string& b) {
  const auto stem = [](const std::string& name) {
    return std::string_view(name).substr(0,
                                         name.size() - std::min(name.size(), REPLAY_SUFFIX.size()));
  };
  return stem(a) > stem(b);
}

}  // namespace

std::vector<std::string> replays_to_prune(std::vector<std::string> names,
                                          std::span<const std::string> named, int kept) {
  std::sort(names.begin(), names.end(), newer);
  std::vector<std::string> gone;
  for (std::size_t i = std::min(names.size(), static_cast<std::size_t>(std::max(kept, 0)));
       i < names.size(); ++i)
    if (std::find(named.begin(), named.end(), names[i]) == named.end()) gone.push_back(names[i]);
  return gone;
}

namespace {

// The names of the folder's recordings; none when it cannot be read.
std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (replay_name_usable(name) && it->is_regular_file(ec)) names.push_back(name);
  }
  return names;
}

}  // namespace

std::string save_replay(const Recording& recording) {
  const std::string folder = replays_folder();
  if (folder.empty()) {
    std::fprintf(stderr, "mirvo: the game's recording is not saved: there is no home folder\n");
    return "";
  }
  std::string error = make_folders(folder);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string name = replay_name(local, 1);
  std::error_code ec;
  for (int n = 2; fs::exists(fs::path(folder) / name, ec); ++n) name = replay_name(local, n);
  if (error.empty()) {
    const std::vector<std::uint8_t> bytes = recording_bytes(recording);
    error =
        replace_file((fs::path(folder) / name).string(), std::string(bytes.begin(), bytes.end()));
  }
  if (error.empty()) return name;
  std::fprintf(stderr, "mirvo: cannot save the game's recording in %s: %s\n", folder.c_str(),
               error.c_str());
  return "";
}

void prune_replays(std::span<const ScoreEntry> table) {
  const std::string folder = replays_folder();
  if (folder.empty()) return;
  std::vector<std::string> named;
  for (const ScoreEntry& e : table)
    if (!e.replay.empty()) named.push_back(e.replay);
  std::error_code ec;
  for (const std::string& name : replays_to_prune(folder_names(folder), named))
    fs::remove(fs::path(folder) / name, ec);
}

LoadedReplay read_replay(const std::string& path) {
  LoadedReplay loaded;
  const std::string file_name = fs::path(path).filename().string();
  const WholeFile file = read_whole_file(path.c_str(), MAX_RECORDING_BYTES);
  if (const std::string why = whole_file_problem(file); !why.empty()) {
    loaded.error = file_name + ": " + why;
    return loaded;
  }
  RecordingRead read = parse_recording(file.bytes);
  if (!read.error.empty()) {
    loaded.error = file_name + ": " + read.error;
    return loaded;
  }
  loaded.recording = std::move(read.recording);
  return loaded;
}

void find_replay_campaign(LoadedReplay& loaded, const std::string& path) {
  if (!loaded.error.empty()) return;
  const std::string file_name = fs::path(path).filename().string();
  RecordedCampaign campaign = recorded_campaign(loaded.recording);
  loaded.campaign = std::move(campaign.campaign);
  if (!campaign.error.empty()) loaded.error = file_name + ": " + campaign.error;
}

LoadedReplay load_replay(const std::string& path) {
  LoadedReplay loaded = read_replay(path);
  find_replay_campaign(loaded, path);
  return loaded;
}

std::vector<ReplayListing> list_replays() {
  const std::string folder = replays_folder();
  std::vector<std::string> names =
      folder.empty() ? std::vector<std::string>{} : folder_names(folder);
  std::sort(names.begin(), names.end(), newer);
  std::vector<ReplayListing> list;
  for (const std::string& name : names) {
    ReplayListing item{name, {}, {}};
    const WholeFile file = read_whole_file((fs::path(folder) / name).c_str(), MAX_RECORDING_BYTES);
    item.error = whole_file_problem(file);
    if (item.error.empty()) {
      RecordingRead read = parse_recording(file.bytes);
      item.recording = std::move(read.recording);
      item.error = std::move(read.error);
    }
    list.push_back(std::move(item));
  }
  return list;
}

std::string replay_line(const ReplayListing& item) {
  char line[64];
  if (!item.error.empty()) {
    std::snprintf(line, sizeof line, "%-16.16s %-21s", item.name.c_str(), "unreadable");
    return line;
  }
  const Recording& r = item.recording;
  // "2026-12-09T04:28:29" shown as "2026-12-09 04:28".
  std::string date = r.date.substr(0, 16);
  if (date.size() > 10) date[10] = ' ';
  std::snprintf(line, sizeof line, "%-16s %8d %3d %-6s %c", date.c_str(), r.score, r.level,
                difficulty_name(r.difficulty), r.practice ? 'P' : ' ');
  return line;
}

bool replay_proves(const ScoreEntry& entry, bool may_verify) {
  // The score each file's recording verifies to, -1 when it does not.
  static std::map<std::string, int> known;
  const std::string& name = entry.replay;
  if (const auto it = known.find(name); it != known.end()) return it->second == entry.score;
  if (!may_verify || !replay_name_usable(name)) return false;
  const LoadedReplay replay = load_replay((fs::path(replays_folder()) / name).string());
  const bool ok = replay.error.empty() && !replay.recording.practice &&
                  replay.recording.difficulty == entry.difficulty &&
                  verify_recording(replay.recording).ok;
  known[name] = ok ? replay.recording.score : -1;
  return known[name] == entry.score;
}

void keep_first_ticks(const Recording& from, int ticks, Recording& to) {
  to.start_tick = from.start_tick;
  to.inputs.clear();
  to.ticks = 0;
  for (const InputRun& run : from.inputs) {
    if (to.ticks >= ticks) break;
    const auto take =
        std::min<std::uint32_t>(run.ticks, static_cast<std::uint32_t>(ticks - to.ticks));
    to.inputs.push_back({take, run.bits});
    to.ticks += static_cast<int>(take);
  }
  const auto checks =
      std::min(from.checks.size(), static_cast<std::size_t>(to.ticks / CHECK_TICKS));
  to.checks.assign(from.checks.begin(), from.checks.begin() + static_cast<std::ptrdiff_t>(checks));
}

PlaybackStep playback_step(bool paused, const PlaybackKeys& keys, int due) {
  PlaybackStep step{paused != keys.space, 0};
  if (step.paused)
    step.ticks = keys.down ? 1 : 0;
  else
    step.ticks = keys.right_held ? due * FAST_FORWARD : due;
  return step;
}
