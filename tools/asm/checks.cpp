// After the parse: script names in spawns become numbers, and the checker
// refuses what the game would run badly (an unknown shot or enemy type, a
// script that runs off its end or loops without yielding).

#include <algorithm>

#include "asm/assembler_local.h"
#include "common/level_checks.h"

namespace assembly {

void Assembler::resolve_references() {
  std::map<std::string, int, std::less<>> numbers;
  int number = 0;
  for (const Script& s : scripts_)
    if (!s.tail) numbers[s.name] = ++number;
  for (Script& s : scripts_)
    for (Item& item : s.items) {
      if (item.script_ref.empty()) continue;
      const auto found = numbers.find(item.script_ref);
      if (found == numbers.end())
        error(item.ref_pos, "no script named " + assembly::quoted(item.script_ref));
      else
        item.instruction.operands[SPAWN_SCRIPT_OPERAND] = static_cast<std::int16_t>(found->second);
    }
}

void Assembler::check_item(const Item& item, int script_count) {
  const ScriptInstruction& in = item.instruction;
  const auto& op = in.operands;
  if (!opcode_has_action(in.opcode))
    warning(item.pos, "opcode " + std::to_string(in.opcode) +
                          " has no action: the game prints \"Unknown OpCode " +
                          std::to_string(in.opcode) + "\"");
  if ((in.opcode == OP_FIRE || in.opcode == OP_FIRE_AIMED) &&
      (op[0] < 1 || op[0] > BUILT_IN_SHOT_TYPES))
    refuse(item.pos, "shot type " + std::to_string(op[0]) + " is not built in (1 to " +
                         std::to_string(BUILT_IN_SHOT_TYPES) + " expected)");
  if (in.opcode == OP_SKIP_UNLESS) {
    const int lowest = op[SKIP_DIFFICULTY_OPERAND];
    if (lowest < DIFFICULTY_EASY || lowest > DIFFICULTY_HARD)
      refuse(item.pos, "skip_unless for difficulty " + std::to_string(lowest) +
                           " (0 Easy, 1 Normal or 2 Hard expected)");
    if (op[SKIP_COUNT_OPERAND] < 1)
      refuse(item.pos, "skip_unless skips " + std::to_string(op[SKIP_COUNT_OPERAND]) +
                           " instructions (at least 1 expected)");
  }
  // A bullet at rest never leaves the playfield and keeps its slot for good.
  if (in.opcode == OP_FIRE_AIMED && op[AIM_SPEED_OPERAND] <= 0)
    refuse(item.pos, "aim with speed " + std::to_string(op[AIM_SPEED_OPERAND]) +
                         ": the bullet must move towards the ship (speed above 0)");
  if (in.opcode == OP_SPAWN) {
    const int types = options_.enemy_types >= 0 ? options_.enemy_types : MAX_ENEMY_TYPES;
    const int type = op[SPAWN_TYPE_OPERAND];
    if (type != LEVEL_DIRECTOR && (type < 1 || type > types))
      refuse(item.pos, "enemy type " + std::to_string(type) + " is not defined (expected 1.." +
                           std::to_string(types) + " or 255)");
    const int script = op[SPAWN_SCRIPT_OPERAND];
    if (script < 1 || script > script_count)
      refuse(item.pos, "spawn of script " + std::to_string(script) + ", but the file has " +
                           std::to_string(script_count) + " scripts");
  }
}

void Assembler::check_script(const Script& s, int number, int script_count) {
  const std::string name =
      "script " + assembly::quoted(s.name) + " (number " + std::to_string(number) + ")";
  const int length = static_cast<int>(s.items.size());
  if (length > MAX_SCRIPT_LENGTH)
    refuse(s.pos, name + " has " + std::to_string(length) + " instructions, more than " +
                      std::to_string(MAX_SCRIPT_LENGTH));
  const int last = length ? s.items.back().instruction.opcode : -1;
  if (last != OP_RESTART && last != OP_REMOVE)
    refuse(length ? s.items.back().pos : s.pos,
           name + " can run off its end: its last instruction must be restart or remove");
  // Every loop passes through the instructions before the first restart, so
  // the first restart must come after a yield that no skip_unless jumps over.
  int skipped_until = 0;
  for (int i = 0; i < length; ++i) {
    const Item& item = s.items[i];
    const int opcode = item.instruction.opcode;
    if (opcode == OP_SKIP_UNLESS)
      skipped_until =
          std::max(skipped_until, i + 1 + item.instruction.operands[SKIP_COUNT_OPERAND]);
    if ((opcode == OP_WAIT || opcode == OP_REMOVE) && i >= skipped_until) break;
    if (opcode == OP_RESTART) {
      refuse(item.pos, name + " loops without yielding: put a wait before this restart");
      break;
    }
  }
  for (int i = 0; i < length; ++i) {
    const ScriptInstruction& in = s.items[i].instruction;
    // The game removes an enemy whose skip runs past its script's end.
    if (in.opcode == OP_SKIP_UNLESS && i + in.operands[SKIP_COUNT_OPERAND] >= length - 1)
      refuse(s.items[i].pos, "skip_unless skips " +
                                 std::to_string(in.operands[SKIP_COUNT_OPERAND]) +
                                 " instructions, past the end of " + name);
  }
  for (const Item& item : s.items) check_item(item, script_count);
}

void Assembler::check() {
  int script_count = 0;
  for (const Script& s : scripts_)
    if (!s.tail) ++script_count;
  if (script_count == 0) refuse({1, 1}, "no script: the first script is the level's timeline");
  int number = 0;
  for (const Script& s : scripts_) {
    if (s.tail) {
      refuse(s.pos, "the records of the tail belong to no script and never run");
      for (const Item& item : s.items) check_item(item, script_count);
    } else {
      check_script(s, ++number, script_count);
    }
  }
  if (options_.victory_types) check_victory();
}

// Only a spawned enemy's steps fire their flags (never the director's), so
// the victory step must belong to a type some script spawns.
void Assembler::check_victory() {
  const std::vector<int>& winners = *options_.victory_types;
  const std::string where = "warning: " + options_.file_name + ": ";
  if (winners.empty()) {
    result_.warnings.push_back(where + levelcheck::NEVER_WON);
    return;
  }
  for (const Script& s : scripts_)
    for (const Item& item : s.items)
      if (item.instruction.opcode == OP_SPAWN &&
          std::ranges::find(winners, item.instruction.operands[SPAWN_TYPE_OPERAND]) !=
              winners.end())
        return;
  std::string types;
  for (int type : winners) types += (types.empty() ? "" : ", ") + std::to_string(type);
  result_.warnings.push_back(where + "the level can never be won: no script spawns a type " +
                             "with a victory step (" + types + ")");
}

}  // namespace assembly
