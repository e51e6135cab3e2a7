// What the assembler and the disassembler share: the mnemonics and their
// operands, and the words the language reserves.
#pragma once

#include <array>
#include <string_view>

#include "script/script.h"
#include "world/world.h"  // the table limits and LEVEL_DIRECTOR; nothing is linked

struct OperandInfo {
  std::string_view name;
  bool required = false;  // an operand left out is 0 unless it is required
};

struct MnemonicInfo {
  std::string_view word;
  int opcode = 0;
  int count = 0;  // operands the opcode uses; the others must be 0 in this form
  std::array<OperandInfo, 8> operands{};
};

inline constexpr std::array<MnemonicInfo, 10> MNEMONICS = {{
    {"wait", OP_WAIT, 1, {{{"ticks", true}}}},
    {"velocity", OP_SET_VELOCITY, 2, {{{"vx", true}, {"vy", true}}}},
    {"fire",
     OP_FIRE,
     7,
     {{{"shot", true},
       {"x", true},
       {"y", true},
       {"vx", false},
       {"vy", false},
       {"dx", false},
       {"dy", false}}}},
    {"aim", OP_FIRE_AIMED, 4, {{{"shot", true}, {"speed", true}, {"dx", false}, {"dy", false}}}},
    {"spawn",
     OP_SPAWN,
     8,
     {{{"type", true},
       {"script", true},
       {"x", true},
       {"y", true},
       {"vx", false},
       {"vy", false},
       {"group", false},
       {"trigger", false}}}},
    {"restart", OP_RESTART, 0, {}},
    {"remove", OP_REMOVE, 0, {}},
    {"angle", OP_SET_ANGLE, 1, {{{"angle", true}}}},
    {"wait_health", OP_WAIT_HEALTH, 1, {{{"health", true}}}},
    {"skip_unless", OP_SKIP_UNLESS, 2, {{{"difficulty", true}, {"count", true}}}},
}};

// The spawn operand that names a script: a label there, not a constant.
inline constexpr int SPAWN_SCRIPT_OPERAND = 1;
inline constexpr int FIRE_X_OPERAND = 1;
inline constexpr int FIRE_Y_OPERAND = 2;
inline constexpr int AIM_SPEED_OPERAND = 1;
inline constexpr int SPAWN_TYPE_OPERAND = 0;
inline constexpr int SKIP_DIFFICULTY_OPERAND = 0;
inline constexpr int SKIP_COUNT_OPERAND = 1;

// Predefined constants: `self` as a fire position means the enemy's own.
inline constexpr int SELF_VALUE = -1;

inline const MnemonicInfo* find_mnemonic(std::string_view word) {
  for (const MnemonicInfo& m : MNEMONICS)
    if (m.word == word) return &m;
  return nullptr;
}

inline const MnemonicInfo* find_mnemonic(int opcode) {
  for (const MnemonicInfo& m : MNEMONICS)
    if (m.opcode == opcode) return &m;
  return nullptr;
}

// True when the game's interpreter does something for the opcode.
inline bool opcode_has_action(int opcode) {
  return find_mnemonic(opcode) != nullptr;
}
