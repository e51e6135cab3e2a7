// The level authors' script assembler: readable script source to the records
// of a ".wif" file and back. The language is described in docs/levels.md.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "script/script.h"

struct AsmOptions {
  std::string file_name = "<source>";  // the first part of every message
  // When false, the checker's refusals become warnings, so that every file the
  // game can load assembles again from its disassembly.
  bool check = true;
  // Number of enemy types in the enemy file, or -1 without one: spawn types are
  // then only held to the table's 1..8 (or 255).
  int enemy_types = -1;
  // With an enemy file: the spawn numbers of its types with a victory step.
  // The level can be won only when a script spawns one of them.
  std::optional<std::vector<int>> victory_types;
};

struct AsmResult {
  std::vector<ScriptInstruction> instructions;  // OP_END records included
  std::vector<std::string> errors;              // "file:line:column: message"
  std::vector<std::string> warnings;            // "file:line:column: warning: message", or
                                                // "warning: file: message" for the whole level
  bool ok() const { return errors.empty(); }
};

// Assembles a whole source text. Never throws and never exits; on any error the
// instructions are empty.
AsmResult assemble_source(std::string_view text, const AsmOptions& options);

// Readable source for any run of records: assembling it with check = false
// gives the same records back, operands an opcode ignores included.
std::string disassemble(std::span<const ScriptInstruction> instructions);

// The bytes of a ".wif" file: 17 bytes a record, operands big-endian.
std::vector<std::uint8_t> encode_scripts(std::span<const ScriptInstruction> instructions);

// For tests: assembles `text` and copies it into script_store from entry 0, as
// load_scripts would. Returns the assembler's errors (empty on success, when
// the store has been filled). Needs the script library linked in.
inline std::vector<std::string> load_source_into_store(std::string_view text,
                                                       const AsmOptions& options = {}) {
  AsmResult result = assemble_source(text, options);
  if (!result.ok()) return result.errors;
  for (std::size_t i = 0; i < result.instructions.size(); ++i)
    script_store[i] = result.instructions[i];
  return {};
}
