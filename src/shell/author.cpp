// An author's level or campaign named on the command line: read, and its
// paths made whole, before the game folder becomes the current one, so a
// path given from where the author stands still names the same file.
#include <filesystem>
#include <string>

#include "content/content.h"
#include "shell/screens_local.h"

namespace {

namespace fs = std::filesystem;

std::string whole_path(const char* name) {
  return fs::absolute(name).lexically_normal().string();
}

}  // namespace

CommandCampaign read_command_campaign(const CommandLine& line) {
  CommandCampaign out;
  if (line.level) {
    out.one_level = true;
    // The tiles and music Start's first level would have, from the game folder.
    const CampaignLevel first = single_level_campaign().levels.front();
    out.campaign.levels.push_back({"", whole_path(line.level), whole_path(line.enemies),
                                   line.tiles ? whole_path(line.tiles) : first.tiles,
                                   line.music ? whole_path(line.music) : first.music, ""});
    return out;
  }
  if (!line.campaign) return out;
  out.campaign = read_campaign_file(line.campaign);
  if (!out.campaign.error.empty()) out.error = "mirvo: " + out.campaign.error;
  return out;
}
