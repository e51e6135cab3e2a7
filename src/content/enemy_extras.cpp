// The enemy file's companion: per-type data the ".eif" has no room for (see
// content.h), a pure parser and its writer, and the game's thin loader.
#include <toml++/toml.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "content/content.h"
#include "script/script.h"
#include "world/world.h"

namespace {

constexpr std::size_t MAX_BOSS_NAME = BOSS_NAME_SIZE - 1;

std::string at_line(const char* path, const toml::source_region& where, const std::string& text) {
  std::string out = path;
  if (where.begin.line != 0) out += ":" + std::to_string(where.begin.line);
  return "Error in " + out + ": " + text + "\n";
}

// A whole number of the table in lo..hi, or why not; absent leaves `value`.
std::string read_number(const toml::table& table, const char* key, int lo, int hi, const char* path,
                        int& value) {
  const toml::node* node = table.get(key);
  if (!node) return {};
  const auto* number = node->as_integer();
  if (!number || number->get() < lo || number->get() > hi)
    return at_line(path, node->source(),
                   std::string(key) + " must be a whole number from " + std::to_string(lo) +
                       " to " + std::to_string(hi));
  value = static_cast<int>(number->get());
  return {};
}

// The drop keys: an item name and, with it only, every how many kills (1 when left out).
std::string read_drop(const toml::table& table, const char* path, EnemyTypeExtras& type) {
  const toml::node* drop = table.get("drop");
  if (!drop) {
    if (table.get("drop_every")) return at_line(path, table.source(), "drop_every without a drop");
    return {};
  }
  const auto* name = drop->as_string();
  type.drop = name ? item_kind_named(name->get()) : 0;
  if (type.drop == 0)
    return at_line(path, drop->source(), "drop must be \"power\", \"energy\" or \"bomb\"");
  type.drop_every = 1;
  return read_number(table, "drop_every", 1, MAX_DROP_EVERY, path, type.drop_every);
}

// One [[type]] table into its entry, or why it cannot.
std::string read_type(const toml::table& table, const char* path, EnemyExtras& extras,
                      std::array<bool, MAX_ENEMY_TYPES>& seen) {
  constexpr std::array<std::string_view, 8> KEYS = {
      "number", "score", "boss", "name", "health", "drop_every", "drop", "starts_boss_music"};
  for (auto&& [key, node] : table)
    if (std::find(KEYS.begin(), KEYS.end(), key.str()) == KEYS.end())
      return at_line(path, key.source(),
                     "unknown key \"" + std::string(key.str()) +
                         "\" in [[type]] (known: number, score, boss, name, health, drop, "
                         "drop_every, starts_boss_music)");
  int number = 0;
  if (!table.get("number")) return at_line(path, table.source(), "[[type]] has no number");
  if (std::string why = read_number(table, "number", 1, MAX_ENEMY_TYPES, path, number);
      !why.empty())
    return why;
  if (seen[number - 1])
    return at_line(path, table.source(), "type " + std::to_string(number) + " is given twice");
  seen[number - 1] = true;
  EnemyTypeExtras& type = extras.types[number - 1];
  if (std::string why = read_number(table, "score", 0, MAX_TYPE_SCORE, path, type.score);
      !why.empty())
    return why;
  if (const toml::node* boss = table.get("boss")) {
    if (!boss->as_boolean()) return at_line(path, boss->source(), "boss is not true or false");
    type.boss = boss->as_boolean()->get();
  }
  if (const toml::node* cue = table.get("starts_boss_music")) {
    if (!cue->as_boolean())
      return at_line(path, cue->source(), "starts_boss_music is not true or false");
    type.starts_boss_music = cue->as_boolean()->get();
  }
  if (const toml::node* name = table.get("name")) {
    const auto* text = name->as_string();
    if (!type.boss) return at_line(path, name->source(), "only a boss has a name");
    if (!text || !boss_name_fits(text->get()))
      return at_line(
          path, name->source(),
          "name must be 1 to " + std::to_string(MAX_BOSS_NAME) + " printable ASCII characters");
    type.name = text->get();
  }
  if (table.get("health") && !type.boss)
    return at_line(path, table.source(), "only a boss has health beyond the enemy file's");
  if (std::string why =
          read_number(table, "health", MAX_FILE_HEALTH + 1, MAX_BOSS_HEALTH, path, type.health);
      !why.empty())
    return why;
  return read_drop(table, path, type);
}

EnemyExtras refused(std::string why) {
  EnemyExtras e;
  e.error = std::move(why);
  return e;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

int item_kind_named(std::string_view name) {
  for (int k = 0; k < ITEM_KINDS; ++k)
    if (name == ITEM_KIND_NAMES[k]) return k + 1;
  return 0;
}

// The bar draws the name with the game's font: printable ASCII only.
bool boss_name_fits(std::string_view name) {
  if (name.empty() || name.size() > MAX_BOSS_NAME) return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
}

EnemyExtras parse_enemy_extras(std::span<const std::uint8_t> bytes, const char* path) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  toml::table root;
  try {
    root = toml::parse(text, std::string_view(path));
  } catch (const toml::parse_error& e) {
    return refused(at_line(path, e.source(), std::string(e.description())));
  }
  for (auto&& [key, node] : root)
    if (key.str() != "type")
      return refused(at_line(
          path, key.source(),
          "unknown key \"" + std::string(key.str()) + "\" (the file holds [[type]] tables)"));
  EnemyExtras extras;
  const toml::node* list = root.get("type");
  if (!list) return extras;
  if (!list->is_array_of_tables())
    return refused(at_line(path, list->source(), "type is not a list of [[type]] tables"));
  std::array<bool, MAX_ENEMY_TYPES> seen{};
  for (const toml::node& node : *list->as_array())
    if (std::string why = read_type(*node.as_table(), path, extras, seen); !why.empty())
      return refused(why);
  return extras;
}

std::string serialize_enemy_extras(const EnemyExtras& extras, const std::string& eif_name) {
  std::string out = "# Per-type data of \"" + eif_name +
                    "\" beyond its bytes, written by mirvo-eif:\n"
                    "# types left out score " +
                    std::to_string(ENEMY_SCORE) + " and are no bosses.\n";
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    const EnemyTypeExtras& type = extras.types[k];
    if (type == EnemyTypeExtras{}) continue;
    out += "\n[[type]]\nnumber = " + std::to_string(k + 1) + "\n";
    if (type.score != ENEMY_SCORE) out += "score = " + std::to_string(type.score) + "\n";
    if (type.boss) out += "boss = true\n";
    if (!type.name.empty()) out += "name = " + quoted(type.name) + "\n";
    if (type.health != 0) out += "health = " + std::to_string(type.health) + "\n";
    if (type.drop != 0) {
      out += "drop = \"" + std::string(ITEM_KIND_NAMES[type.drop - 1]) + "\"\n";
      out += "drop_every = " + std::to_string(type.drop_every) + "\n";
    }
    if (type.starts_boss_music) out += "starts_boss_music = true\n";
  }
  return out;
}

std::string enemy_extras_path(const std::string& enemy_file) {
  const std::string_view eif = ".eif";
  if (enemy_file.size() > eif.size() && enemy_file.ends_with(eif))
    return enemy_file.substr(0, enemy_file.size() - eif.size()) + ENEMY_EXTRAS_EXTENSION;
  return enemy_file + ENEMY_EXTRAS_EXTENSION;
}

std::string enemy_extras_mismatch(const EnemyFile& file, const EnemyExtras& extras,
                                  const char* path) {
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    const EnemyTypeExtras& type = extras.types[k];
    const std::string which = "Error in " + std::string(path) + ": type " + std::to_string(k + 1);
    if (type == EnemyTypeExtras{}) continue;
    if (k >= static_cast<int>(file.types.size()))
      return which + " is not in the enemy file, which has " + std::to_string(file.types.size()) +
             "\n";
    if (type.health != 0 && file.types[k].health != MAX_FILE_HEALTH)
      return which + " has health " + std::to_string(type.health) + ", but " +
             std::to_string(file.types[k].health) + " in the enemy file (255 goes with more)\n";
  }
  return {};
}

EnemyExtras read_enemy_extras(const char* enemy_file) {
  const std::string path = enemy_extras_path(enemy_file);
  const WholeFile in = read_whole_file(path.c_str(), MAX_ENEMY_EXTRAS_BYTES);
  if (!in.opened) return {};
  if (in.error != 0) return refused("Error loading \"" + path + "\"\n");
  EnemyExtras extras = parse_enemy_extras(in.bytes, path.c_str());
  if (!extras.error.empty()) return extras;
  const WholeFile eif = read_whole_file(enemy_file, MAX_ENEMY_FILE_BYTES);
  const EnemyFile file = parse_enemy_file(eif.bytes, enemy_file);
  if (file.error.empty()) extras.error = enemy_extras_mismatch(file, extras, path.c_str());
  return extras;
}

void load_enemy_extras(const char* enemy_file, bool used) {
  EnemyExtras extras;
  if (used) extras = read_enemy_extras(enemy_file);
  if (!extras.error.empty()) fatal_error("%s", extras.error.c_str());
  for (int k = 0; k < MAX_ENEMY_TYPES; ++k) {
    const EnemyTypeExtras& from = extras.types[k];
    EnemyType& type = enemy_types[k];
    type.score = from.score;
    type.boss = from.boss;
    type.name.fill('\0');
    std::memcpy(type.name.data(), from.name.data(), std::min(from.name.size(), MAX_BOSS_NAME));
    if (from.health != 0) type.health = from.health;
    type.drop = from.drop;
    type.drop_every = from.drop_every;
    type.starts_boss_music = from.starts_boss_music;
  }
}
