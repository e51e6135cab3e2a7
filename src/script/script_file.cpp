// The script file: a plain run of 17-byte records, read into script_store, and
// the rule by which a script number selects one script of the store.
#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "script/script.h"

std::array<ScriptInstruction, SCRIPT_STORE_SIZE> script_store;

namespace {

std::string format_message(const char* format, const char* path) {
  char text[512];
  std::snprintf(text, sizeof text, format, path ? path : "");
  return text;
}

std::string format_too_big(long records) {
  char text[128];
  std::snprintf(text, sizeof text, "Error: scripts too big (max %d, but is %ld)\n",
                SCRIPT_STORE_SIZE, records);
  return text;
}

// Why a file of this many whole records cannot be the scripts: none at all
// reads as a missing file, more than the store holds as too big. Empty when fine.
std::string record_count_problem(std::uint64_t records, const char* path) {
  if (records == 0) return format_message("Script file \"%s\" does not exist\n", path);
  if (records > static_cast<std::uint64_t>(SCRIPT_STORE_SIZE))
    return format_too_big(static_cast<long>(records));
  return {};
}

// Operands are big-endian and signed: FF FE is -2, 80 00 is -32768.
std::int16_t read_operand(const std::uint8_t* bytes) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]));
}

}  // namespace

ScriptParse parse_scripts(std::span<const std::uint8_t> bytes, const char* path) {
  ScriptParse result;
  const std::size_t records = bytes.size() / SCRIPT_RECORD_SIZE;  // a partial record is ignored
  result.error = record_count_problem(records, path);
  if (!result.error.empty()) return result;
  result.instructions.resize(records);
  for (std::size_t i = 0; i < records; ++i) {
    const std::uint8_t* record = bytes.data() + i * SCRIPT_RECORD_SIZE;
    ScriptInstruction& instruction = result.instructions[i];
    instruction.opcode = record[0];
    for (int k = 0; k < 8; ++k) instruction.operands[k] = read_operand(record + 1 + 2 * k);
  }
  return result;
}

// Sizes are checked before the file is opened, so an oversized file is never
// read; the parser checks the bytes actually read once more.
ScriptParse read_script_file(const char* path) {
  ScriptParse result;
  const std::uint64_t size = file_size_ex(path);  // 0 for a file that does not exist
  const std::uint64_t records = size / SCRIPT_RECORD_SIZE;
  result.error = record_count_problem(records, path);
  if (!result.error.empty()) return result;
  // A file that cannot be opened, or whose read stops short (a directory, a
  // file cut meanwhile), is a load error, not a missing file. Bytes past the
  // last whole record are not the game's.
  const std::size_t whole = records * SCRIPT_RECORD_SIZE;
  WholeFile file = read_whole_file(path, MAX_SCRIPT_FILE_BYTES);
  if (file.bytes.size() < whole) {
    result.error = format_message("Error loading script file \"%s\"\n", path);
    return result;
  }
  file.bytes.resize(whole);
  return parse_scripts(file.bytes, path);
}

void load_scripts(const char* path) {
  const ScriptParse parsed = read_script_file(path);
  if (!parsed.error.empty()) fatal_error("%s", parsed.error.c_str());
  // Entries past the new file's length keep what an earlier load left there.
  std::copy(parsed.instructions.begin(), parsed.instructions.end(), script_store.begin());
}

bool find_script(int number, int* start, int* length) {
  if (number <= 0) return false;
  int first = 0;
  for (int passed = 0; passed < number - 1; ++first) {
    if (first >= SCRIPT_STORE_SIZE) return false;  // fewer than number-1 OP_ENDs
    if (script_store[first].opcode == OP_END) ++passed;
  }
  int end = first;
  while (end < SCRIPT_STORE_SIZE && script_store[end].opcode != OP_END) ++end;
  if (end >= SCRIPT_STORE_SIZE) return false;  // no OP_END closes it inside the store
  *start = first;
  *length = std::min(end - first, MAX_SCRIPT_LENGTH);
  return true;
}
