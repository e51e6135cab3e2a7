// What the level tools tell an author, in the same words from each of them:
// where a file was looked for, and what the enemy file says about winning.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "content/content.h"
#include "world/world.h"

namespace levelcheck {

// Appended to every "cannot load" error: the folder searched, absolute, and
// how to name another. A tool run from the wrong folder is the usual cause.
inline std::string searched_in(const std::string& folder) {
  std::error_code error;
  std::filesystem::path where = std::filesystem::absolute(folder, error);
  if (error) where = folder;
  std::string text = where.lexically_normal().string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return " (searched in " + text + "; name the game folder with --data DIR)";
}

// Whether a loader's message says the file was missing or unreadable (the
// game's "Error loading ..." and "... does not exist", a track's "... cannot
// be read: ...") rather than faulty.
inline bool not_found(std::string_view why) {
  while (!why.empty() && why.back() == '\n') why.remove_suffix(1);
  return why.starts_with("Error loading") || why.ends_with("does not exist") ||
         why.find("\" cannot be read: ") != std::string_view::npos;
}

// A loader's message on one line, with the folder searched when not_found
// and the message names the file relative to it (an absolute name, as from
// the command line, already says where).
inline std::string load_problem(std::string why, const std::string& folder) {
  const bool relative = why.find("\"/") == std::string::npos && why.find(" /") == std::string::npos;
  const bool missing = not_found(why);
  while (!why.empty() && why.back() == '\n') why.pop_back();
  return missing && relative ? why + searched_in(folder) : why;
}

inline constexpr const char* NEVER_WON =
    "the level can never be won: no step carries the victory flag";

// The spawn numbers (1 for the file's first type) of the types with a step
// that carries the victory flag, in any of their chains.
inline std::vector<int> victory_types(const EnemyFile& file) {
  std::vector<int> types;
  for (std::size_t k = 0; k < file.types.size(); ++k)
    for (const EnemyStepRecord& step : file.types[k].steps)
      if ((step.flags & ANIM_VICTORY) != 0) {
        types.push_back(static_cast<int>(k) + 1);
        break;
      }
  return types;
}

}  // namespace levelcheck
