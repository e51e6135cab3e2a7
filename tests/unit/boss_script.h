// The script a shipped level spawns its boss with, for the tests that read
// what a boss fights with. The boss is the enemy type whose animation can win
// the level, so the level's enemy types must be loaded first.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/script.h"
#include "world/world.h"

// Empty, with the reason reported as a test failure, when the level file
// does not load or nothing in it spawns the boss.
inline std::vector<ScriptInstruction> boss_script_of(const std::string& level_file) {
  // Only the death's chain counts: steps past a type's count keep an earlier
  // level's records, a boss's victory step among them.
  int boss_type = 0;
  for (int t = 1; t <= MAX_ENEMY_TYPES; ++t) {
    const EnemyType& type = enemy_types[t - 1];
    for (int s = type.death_anim, n = 0; s >= 0 && s < MAX_ANIMATIONS && n < MAX_ANIMATIONS;
         s = type.anims[s].next, ++n)
      if ((type.anims[s].flags & ANIM_VICTORY) != 0) boss_type = t;
  }
  EXPECT_GT(boss_type, 0) << "no enemy type can win the level";

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
