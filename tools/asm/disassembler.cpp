// Records back to source, and records to the bytes of a ".wif" file.
#include <string>

#include "asm/asm_local.h"
#include "asm/assembler.h"

namespace {

// True when every operand from `first` on is 0, so the readable form, which
// cannot carry them, loses nothing.
bool zero_from(const ScriptInstruction& in, int first) {
  for (int k = first; k < 8; ++k)
    if (in.operands[k] != 0) return false;
  return true;
}

// Up to eight raw operands, trailing zeros left out (they assemble as 0).
std::string raw_operands(const ScriptInstruction& in) {
  int used = 8;
  while (used > 0 && in.operands[used - 1] == 0) --used;
  std::string out;
  for (int k = 0; k < used; ++k) out += " " + std::to_string(in.operands[k]);
  return out;
}

std::string operand_text(const ScriptInstruction& in, int k, int script_count) {
  const int v = in.operands[k];
  if (in.opcode == OP_FIRE && (k == FIRE_X_OPERAND || k == FIRE_Y_OPERAND) && v == SELF_VALUE)
    return "self";
  if (in.opcode == OP_SPAWN && k == SPAWN_TYPE_OPERAND && v == LEVEL_DIRECTOR) return "director";
  if (in.opcode == OP_SPAWN && k == SPAWN_SCRIPT_OPERAND && v >= 1 && v <= script_count)
    return "script" + std::to_string(v);
  return std::to_string(v);
}

std::string instruction_text(const ScriptInstruction& in, int script_count) {
  const MnemonicInfo* m = find_mnemonic(static_cast<int>(in.opcode));
  if (!m || !zero_from(in, m->count)) return "op " + std::to_string(in.opcode) + raw_operands(in);
  std::string out(m->word);
  // Fire and spawn read better with their operands named.
  const bool named = m->count > 2;
  for (int k = 0; k < m->count; ++k) {
    out += " ";
    if (named) out += std::string(m->operands[k].name) + "=";
    out += operand_text(in, k, script_count);
  }
  return out;
}

}  // namespace

std::string disassemble(std::span<const ScriptInstruction> instructions) {
  int script_count = 0;
  for (const ScriptInstruction& in : instructions)
    if (in.opcode == OP_END) ++script_count;
  std::string out = "# " + std::to_string(instructions.size()) + " records, " +
                    std::to_string(script_count) + " scripts\n";
  int number = 0;
  bool at_start = true;
  for (const ScriptInstruction& in : instructions) {
    if (at_start) {
      out += number < script_count ? "\nscript script" + std::to_string(++number) + ":\n"
                                   : "\n# never run: no end follows these records\ntail:\n";
      at_start = false;
    }
    if (in.opcode == OP_END) {
      if (!zero_from(in, 0)) out += "  end" + raw_operands(in) + "\n";
      at_start = true;
    } else {
      out += "  " + instruction_text(in, script_count) + "\n";
    }
  }
  return out;
}

std::vector<std::uint8_t> encode_scripts(std::span<const ScriptInstruction> instructions) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(instructions.size() * SCRIPT_RECORD_SIZE);
  for (const ScriptInstruction& in : instructions) {
    bytes.push_back(static_cast<std::uint8_t>(in.opcode));
    for (std::int16_t v : in.operands) {
      const auto u = static_cast<std::uint16_t>(v);
      bytes.push_back(static_cast<std::uint8_t>(u >> 8));
      bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    }
  }
  return bytes;
}
