// The script a shipped level spawns its boss with, for the tests that read
// what a boss fights with. The level's enemy types must be loaded first, by
// the rules that read which type is its boss.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/script.h"
#include "world/world.h"

// Empty, with the reason reported as a test failure, when the level file
// does not load or nothing in it spawns the boss.
// The type the level calls its boss: a boss whose fall wins the level (a
// mid-boss's does not).
inline int boss_type_of_level() {
  for (int t = 1; t <= MAX_ENEMY_TYPES; ++t) {
    const EnemyType& type = enemy_types[t - 1];
    if (!type.boss) continue;
    for (int step = type.death_anim, n = 0; step >= 0 && step < MAX_ANIMATIONS && n < 32;
         step = type.anims[step].next, ++n)
      if (type.anims[step].flags & ANIM_VICTORY) return t;
  }
  return 0;
}

inline std::vector<ScriptInstruction> boss_script_of(const std::string& level_file) {
  const int boss_type = boss_type_of_level();
  EXPECT_GT(boss_type, 0) << "no enemy type is the level's boss";

  const ScriptParse file = read_script_file(level_file.c_str());
  EXPECT_EQ(file.error, "");
  std::vector<std::vector<ScriptInstruction>> scripts(1);
  for (const ScriptInstruction& in : file.instructions) {
    if (in.opcode == OP_END)
      scripts.emplace_back();
    else
      scripts.back().push_back(in);
  }
  int boss_script = 0;
  for (const auto& script : scripts)
    for (const ScriptInstruction& in : script)
      if (in.opcode == OP_SPAWN && in.operands[0] == boss_type) boss_script = in.operands[1];
  const bool found =
      boss_type > 0 && boss_script > 0 && boss_script <= static_cast<int>(scripts.size());
  EXPECT_TRUE(found) << "nothing in " << level_file << " spawns the boss";
  return found ? scripts[boss_script - 1] : std::vector<ScriptInstruction>{};
}

// The health marks at which the boss moves on to its next phase: the
// operands of its wait_health gates above 0, in script order.
inline std::vector<int> phase_marks(const std::vector<ScriptInstruction>& boss) {
  std::vector<int> marks;
  for (const ScriptInstruction& in : boss)
    if (in.opcode == OP_WAIT_HEALTH && in.operands[0] > 0) marks.push_back(in.operands[0]);
  return marks;
}

// The phase (0-based) the living boss of the level loaded now is in: how many
// of its gates above 0 its script has passed; -1 while no boss lives.
inline int boss_phase_now(const std::vector<ScriptInstruction>& boss) {
  const int boss_type = boss_type_of_level();
  for (const Enemy& e : enemies) {
    if (e.type != boss_type || e.health <= 0.0f) continue;
    int phase = 0;
    for (int i = 0; i < e.pc && i < static_cast<int>(boss.size()); ++i)
      phase += boss[i].opcode == OP_WAIT_HEALTH && boss[i].operands[0] > 0;
    return phase;
  }
  return -1;
}
