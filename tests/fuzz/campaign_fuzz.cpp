// Feeds arbitrary bytes to the campaign file parser. A refused file must say
// why, naming the file, and keep no level; an accepted one must keep every
// promise the game relies on: one to MAX_CAMPAIGN_LEVELS levels, titles an
// on-screen message can hold, and file names inside the game folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "content/content.h"

namespace {

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "campaign fuzz: %s\n", what);
  std::abort();
}

bool inside_game_folder(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.size() > MAX_CAMPAIGN_NAME) return false;
  if (name.find('\0') != std::string::npos) return false;
  return name != ".." && name.rfind("../", 0) != 0 && name.find("/../") == std::string::npos &&
         (name.size() < 3 || name.compare(name.size() - 3, 3, "/..") != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Campaign c = parse_campaign(std::span(data, size), "fuzz.toml");
  if (!c.error.empty()) {
    require(c.levels.empty(), "a refused file kept levels");
    require(c.error.rfind("fuzz.toml", 0) == 0, "the message does not name the file");
    return 0;
  }
  require(!c.levels.empty() && c.levels.size() <= MAX_CAMPAIGN_LEVELS, "level count");
  for (const CampaignLevel& level : c.levels) {
    require(!level.title.empty() && level.title.size() <= MAX_CAMPAIGN_TITLE, "title size");
    require(level.title.find('\0') == std::string::npos, "title holds a NUL");
    for (const std::string* name : {&level.script, &level.enemies, &level.tiles, &level.music})
      require(inside_game_folder(*name), "a file name outside the game folder");
  }
  return 0;
}
