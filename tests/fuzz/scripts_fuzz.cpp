// Any bytes through the script file parser: the record count follows the
// size, script selection stays inside the store, and every loadable file
// comes back byte for byte through the assembler's source.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "asm/assembler.h"
#include "script/script.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_selection(int number) {
  int start = -1;
  int length = -1;
  if (!find_script(number, &start, &length)) return;
  require(number >= 1 && start >= 0 && length >= 0 && length <= MAX_SCRIPT_LENGTH);
  require(start + length < SCRIPT_STORE_SIZE);
  for (int i = start; i < start + length; ++i) require(script_store[i].opcode != OP_END);
  require(length == MAX_SCRIPT_LENGTH || script_store[start + length].opcode == OP_END);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const ScriptParse parsed = parse_scripts(bytes, "fuzz.wif");
  const std::size_t records = size / SCRIPT_RECORD_SIZE;
  if (records == 0 || records > static_cast<std::size_t>(SCRIPT_STORE_SIZE)) {
    require(!parsed.error.empty() && parsed.instructions.empty());
    return 0;
  }
  require(parsed.error.empty() && parsed.instructions.size() == records);

  script_store.fill(ScriptInstruction{});
  std::copy(parsed.instructions.begin(), parsed.instructions.end(), script_store.begin());
  const int ends = static_cast<int>(
      std::count_if(parsed.instructions.begin(), parsed.instructions.end(),
                    [](const ScriptInstruction& in) { return in.opcode == OP_END; }));
  for (int number = -1; number <= std::min(ends, 40) + 1; ++number) check_selection(number);
  for (int number : {ends, ends + 1, ends + 2, 32767}) check_selection(number);

  AsmOptions options;
  options.check = false;
  const AsmResult again = assemble_source(disassemble(parsed.instructions), options);
  require(again.ok());
  const std::vector<std::uint8_t> encoded = encode_scripts(again.instructions);
  require(std::equal(encoded.begin(), encoded.end(), bytes.begin(),
                     bytes.begin() + records * SCRIPT_RECORD_SIZE) &&
          encoded.size() == records * SCRIPT_RECORD_SIZE);
  return 0;
}
