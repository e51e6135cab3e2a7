// Any settings file through Accept's writer, with Allegro's own reader as the
// judge: after the writer sets some keys, Allegro reads each of them with its
// new value and every other key of every section as it read it before.
// The first byte picks the keys written, the next four their base value; the
// rest is the file.
#include <allegro.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shell/shell_local.h"

namespace {

// What the options screen stores, and what it may store one day.
constexpr const char* KEYS[] = {"renderer",   "scale",    "usejoystick", "sound",
                                "fullscreen", "framecap", "volume",      "s"};

void require(bool condition) {
  if (!condition) std::abort();
}

using Name = std::pair<std::string, std::string>;  // section ("" unnamed), key

// Adds every (section, key) Allegro lists in text to names.
void add_names(const std::string& text, std::set<Name>& names) {
  use_settings_text(text);
  std::set<std::string> sections = {""};
  const char** listed = nullptr;
  const int section_count = list_config_sections(&listed);
  for (int i = 0; i < section_count; ++i) sections.insert(listed[i]);
  free_config_entries(&listed);
  for (const std::string& section : sections) {
    const int count = list_config_entries(section.empty() ? nullptr : section.c_str(), &listed);
    for (int i = 0; i < count; ++i) names.emplace(section, listed[i]);
    free_config_entries(&listed);
  }
}

// What Allegro reads in text for each of names.
std::map<Name, std::string> reading(const std::string& text, const std::set<Name>& names) {
  use_settings_text(text);
  std::map<Name, std::string> values;
  for (const auto& [section, key] : names)
    values[{section, key}] =
        get_config_string(section.empty() ? nullptr : section.c_str(), key.c_str(), "(none)");
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool allegro = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  require(allegro);
  if (size < 5) return 0;
  const unsigned mask = data[0];
  std::int32_t base = 0;
  std::memcpy(&base, data + 1, sizeof base);
  const std::string old_text(reinterpret_cast<const char*>(data) + 5, size - 5);

  std::vector<SettingValue> values;
  for (std::size_t k = 0; k < std::size(KEYS); ++k)
    if (mask & (1u << k))
      values.push_back({KEYS[k], static_cast<int>(base + static_cast<std::int32_t>(k))});
  const std::string new_text = settings_text(old_text, values);

  std::set<Name> names;
  for (const char* key : KEYS) names.emplace("", key);
  add_names(old_text, names);
  add_names(new_text, names);
  const auto before = reading(old_text, names);
  const auto after = reading(new_text, names);
  for (const auto& [name, value] : after) {
    bool written = false;
    for (const SettingValue& v : values)
      if (name.first.empty() && ustricmp(name.second.c_str(), v.key) == 0) {
        // The number, then what is left of a trailing comment the line kept.
        const std::string number = std::to_string(v.value);
        require(value.rfind(number, 0) == 0);
        require(value.size() == number.size() || std::strchr(" \t#", value[number.size()]));
        written = true;
      }
    if (!written) require(before.at(name) == value);
  }
  // Without keys to write, not a byte changes.
  if (values.empty()) require(new_text == old_text);
  return 0;
}
