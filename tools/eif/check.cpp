// What a level needs of its enemy file beyond what the game's parser checks:
// a level director that can run, and frames that exist in the datafiles.
#include <allegro.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include "common/level_checks.h"
#include "eif/eif.h"
#include "world/world.h"

std::vector<EifProblem> check_level_director(const EnemyFile& file) {
  if (file.types.empty()) {
    return {{-1, -1, "the file defines no enemy type; the first one runs the level director"}};
  }
  std::vector<EifProblem> problems;
  const EnemyTypeRecord& director = file.types[0];
  if (director.health <= 0) {
    problems.push_back({0, -1,
                        "the first enemy type has health 0; the level director runs its script "
                        "only while its health is above 0"});
  }
  // Follow the chain for as many steps as there are: one that has not ended
  // by then has visited a step twice, so it loops for ever.
  const int count = static_cast<int>(director.steps.size());
  int step = director.start_anim;
  for (int walked = 0; walked <= count && step >= 0 && step < count; ++walked) {
    int next = director.steps[step].next;
    if (next < 0) {
      problems.push_back({0, step,
                          "the first enemy type's animation from step " +
                              std::to_string(director.start_anim) + " reaches \"end\" at step " +
                              std::to_string(step) +
                              "; the level director's slot is freed when its chain ends, so it "
                              "must loop"});
      break;
    }
    step = next;
  }
  return problems;
}

namespace {

// The game's message without its "Error: " and line feed.
std::string plain(std::string message) {
  if (message.rfind("Error: ", 0) == 0) message.erase(0, 7);
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return message;
}

}  // namespace

std::vector<EifProblem> check_enemy_datafiles(const EnemyFile& file, const std::string& data_dir) {
  std::vector<EifProblem> problems;
  std::array<DATAFILE*, MAX_ENEMY_TYPES> datafiles{};
  const std::size_t count = std::min<std::size_t>(file.types.size(), MAX_ENEMY_TYPES);
  for (std::size_t k = 0; k < count; ++k) {
    std::filesystem::path path = file.types[k].datafile;
    if (data_dir != ".") path = std::filesystem::path(data_dir) / path;
    datafiles[k] = load_checked_datafile(path.string().c_str());
    if (!datafiles[k]) {
      problems.push_back({static_cast<int>(k), -1,
                          "cannot load the datafile \"" + file.types[k].datafile + "\"" +
                              levelcheck::searched_in(data_dir)});
    }
  }
  // Each type on its own, so every type with a bad frame is reported: the
  // types before it keep their place (and so the game's numbering) but lose
  // their steps, and stand on any loaded datafile since none is read.
  for (std::size_t k = 0; k < count; ++k) {
    if (!datafiles[k]) continue;
    EnemyFile prefix;
    prefix.types.assign(file.types.begin(), file.types.begin() + k + 1);
    std::array<DATAFILE*, MAX_ENEMY_TYPES> stand_ins{};
    for (std::size_t i = 0; i < k; ++i) {
      prefix.types[i].steps.clear();
      stand_ins[i] = datafiles[k];
    }
    stand_ins[k] = datafiles[k];
    std::string problem = check_enemy_frames(prefix, std::span(stand_ins.data(), k + 1));
    if (!problem.empty()) problems.push_back({static_cast<int>(k), -1, plain(problem)});
  }
  for (DATAFILE* data : datafiles) {
    if (data) unload_datafile(data);
  }
  return problems;
}

std::vector<std::string> level_warnings(const EnemyFile& file, const std::string& source_name) {
  if (!levelcheck::victory_types(file).empty()) return {};
  return {"warning: " + source_name + ": " + levelcheck::NEVER_WON};
}
