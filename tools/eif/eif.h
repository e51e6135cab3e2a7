// mirvo-eif: enemy definitions written in TOML, compiled to the game's ".eif"
// files and printed back, with a checker for what the game needs of a level.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/content.h"

// A compiled TOML source. `file` is meaningful only when `errors` is empty.
// Each error is complete, "source:line:column: error: text" where toml++ gives
// a position. `type_where[k]` and `step_where[k][j]` say where type k and its
// step j were written, for the checker's messages.
struct EifCompiled {
  EnemyFile file;
  EnemyExtras extras;  // the keys boss, a boss's name, score and health above 255
  std::vector<std::string> errors;
  std::vector<std::string> type_where;
  std::vector<std::vector<std::string>> step_where;
};

// Compiles TOML text; refuses whatever the game's parser would refuse (counts,
// step numbers, datafile names, values that do not fit their bytes).
EifCompiled compile_enemy_toml(std::string_view text, const std::string& source_name);

// TOML that compiles back to exactly serialize_enemy_file(file), and to the
// same companion `extras`.
std::string decompile_enemy_file(const EnemyFile& file, const std::string& eif_name,
                                 const EnemyExtras& extras = {});

// One refusal of the checker, about type `type` (or the whole file when -1)
// and one of its steps (or the type as a whole when -1).
struct EifProblem {
  int type = -1;
  int step = -1;
  std::string text;
};

// The first type also serves as the level director: it needs health above 0
// and an animation chain that loops from its start step.
std::vector<EifProblem> check_level_director(const EnemyFile& file);

// Loads every type's datafile (its name resolved against data_dir) and checks
// every frame with the game's own frame check. Needs Allegro installed with a
// colour depth set.
std::vector<EifProblem> check_enemy_datafiles(const EnemyFile& file, const std::string& data_dir);

// What makes the file suspect for a level without making it unusable, as
// whole "warning: source: ..." lines: no step carries the victory flag.
std::vector<std::string> level_warnings(const EnemyFile& file, const std::string& source_name);

// The names of the flag bits, lowest bit first; bits without a name are
// written as numbers.
struct EifFlagName {
  const char* name;
  int bit;
};
inline constexpr EifFlagName EIF_FLAG_NAMES[] = {
    {"unhittable", 1}, {"explode", 2}, {"spark", 4}, {"beam", 8}, {"victory", 16},
};
