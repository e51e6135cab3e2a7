// The campaign file, "campaign.toml": the levels played in a row, one
// [[level]] table each. A pure parser over the file's bytes; the game's
// loader and the check of every file a campaign names are in campaign.cpp.
#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <string_view>

#include "content/content.h"

namespace {

constexpr std::array<std::string_view, 6> LEVEL_KEYS = {"title", "script", "enemies",
                                                        "tiles", "music",  "boss_music"};

std::string at_line(const char* path, const toml::source_region& where, const std::string& text) {
  std::string out = path ? path : CAMPAIGN_FILE;
  if (where.begin.line != 0) out += ":" + std::to_string(where.begin.line);
  return out + ": " + text;
}

// A file name of the game folder: not empty, no folder above or outside it,
// nothing a C string or a message would cut.
std::string file_name_problem(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name.front() == '/') return "is not relative to the game folder";
  if (name.find('\0') != std::string_view::npos) return "holds a NUL";
  if (name.size() > MAX_CAMPAIGN_NAME)
    return "is longer than " + std::to_string(MAX_CAMPAIGN_NAME) + " bytes";
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    if (name.substr(start, end - start) == "..") return "leaves the game folder";
    start = end + 1;
  }
  return {};
}

// Fills one level from its table, or returns why it cannot.
std::string read_level(const toml::table& table, const char* path, CampaignLevel& level) {
  for (auto&& [key, node] : table) {
    if (std::find(LEVEL_KEYS.begin(), LEVEL_KEYS.end(), key.str()) == LEVEL_KEYS.end())
      return at_line(path, key.source(),
                     "unknown key \"" + std::string(key.str()) +
                         "\" in [[level]] (known: title, script, enemies, tiles, music, "
                         "boss_music)");
  }
  std::array<std::string*, 6> fields = {&level.title, &level.script, &level.enemies,
                                        &level.tiles, &level.music,  &level.boss_music};
  for (std::size_t i = 0; i < LEVEL_KEYS.size(); ++i) {
    const std::string key(LEVEL_KEYS[i]);
    const toml::node* node = table.get(key);
    if (!node && key == "boss_music") continue;  // the level's track plays on through its boss
    if (!node) return at_line(path, table.source(), "[[level]] has no " + key);
    const auto* text = node->as_string();
    if (!text) return at_line(path, node->source(), key + " is not a string");
    *fields[i] = text->get();
    if (key == "title") {
      if (fields[i]->empty() || fields[i]->size() > MAX_CAMPAIGN_TITLE ||
          fields[i]->find('\0') != std::string::npos)
        return at_line(path, node->source(),
                       "title must be 1 to " + std::to_string(MAX_CAMPAIGN_TITLE) +
                           " bytes without a NUL (it is shown as an on-screen message)");
    } else if (std::string why = file_name_problem(*fields[i]); !why.empty()) {
      return at_line(path, node->source(), key + " \"" + *fields[i] + "\" " + why);
    }
  }
  return {};
}

Campaign refused(std::string why) {
  Campaign c;
  c.error = std::move(why);
  return c;
}

// The campaign's name and the rules it is played by: `name` a title-sized
// text, `[rules]` holding only `arcade`, a boolean.
std::string read_rules(const toml::table& root, const char* path, Campaign& c) {
  if (const toml::node* name = root.get("name")) {
    const auto* text = name->as_string();
    if (!text || text->get().empty() || text->get().size() > MAX_CAMPAIGN_TITLE ||
        text->get().find('\0') != std::string::npos)
      return at_line(
          path, name->source(),
          "name must be 1 to " + std::to_string(MAX_CAMPAIGN_TITLE) + " bytes without a NUL");
    c.name = text->get();
  }
  const toml::node* node = root.get("rules");
  if (!node) return {};
  const toml::table* table = node->as_table();
  if (!table) return at_line(path, node->source(), "rules is not a [rules] table");
  for (auto&& [key, value] : *table) {
    if (key.str() != "arcade")
      return at_line(path, key.source(),
                     "unknown key \"" + std::string(key.str()) + "\" in [rules] (known: arcade)");
    const auto* arcade = value.as_boolean();
    if (!arcade) return at_line(path, value.source(), "arcade is not true or false");
    c.rules = arcade->get() ? ARCADE_RULES : PLAIN_RULES;
  }
  return {};
}

}  // namespace

Campaign single_level_campaign() {
  Campaign c;
  c.levels.push_back(
      {"", FIRST_LEVEL_SCRIPT, FIRST_LEVEL_ENEMIES, FIRST_LEVEL_TILES, FIRST_LEVEL_MUSIC, ""});
  return c;
}

Campaign parse_campaign(std::span<const std::uint8_t> bytes, const char* path) {
  Campaign c;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  toml::table root;
  try {
    root = toml::parse(text, std::string_view(path ? path : CAMPAIGN_FILE));
  } catch (const toml::parse_error& e) {
    c.error = at_line(path, e.source(), std::string(e.description()));
    return c;
  }
  for (auto&& [key, node] : root) {
    if (key.str() != "level" && key.str() != "name" && key.str() != "rules")
      return refused(at_line(path, key.source(),
                             "unknown key \"" + std::string(key.str()) +
                                 "\" (a campaign holds a name, [rules] and [[level]] tables)"));
  }
  if (std::string why = read_rules(root, path, c); !why.empty()) return refused(why);
  const toml::array* levels = root["level"].as_array();
  if (!levels || levels->empty())
    return refused(at_line(path, root.source(), "no [[level]] table: a campaign needs a level"));
  if (levels->size() > MAX_CAMPAIGN_LEVELS)
    return refused(at_line(path, (*levels)[MAX_CAMPAIGN_LEVELS].source(),
                           "more than " + std::to_string(MAX_CAMPAIGN_LEVELS) + " levels"));
  for (const toml::node& node : *levels) {
    const toml::table* table = node.as_table();
    if (!table) return refused(at_line(path, node.source(), "level is not a [[level]] table"));
    CampaignLevel level;
    if (std::string why = read_level(*table, path, level); !why.empty()) return refused(why);
    c.levels.push_back(std::move(level));
  }
  if (c.name.empty()) c.name = c.levels.front().title;
  return c;
}
