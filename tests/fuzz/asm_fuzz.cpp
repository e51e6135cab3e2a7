// Any text through the assembler: it must never crash, and whatever it
// accepts must come back unchanged through the disassembler.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "asm/assembler.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool same(const std::vector<ScriptInstruction>& a, const std::vector<ScriptInstruction>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].opcode != b[i].opcode || a[i].operands != b[i].operands) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  AsmOptions options;
  options.enemy_types = 4;
  const AsmResult checked = assemble_source(text, options);
  options.check = false;
  const AsmResult loose = assemble_source(text, options);
  // The checker only ever takes files away.
  require(!checked.ok() || (loose.ok() && same(checked.instructions, loose.instructions)));
  if (!loose.ok()) {
    require(loose.instructions.empty());
    return 0;
  }
  require(!loose.instructions.empty() &&
          loose.instructions.size() <= static_cast<std::size_t>(SCRIPT_STORE_SIZE));
  const AsmResult again = assemble_source(disassemble(loose.instructions), options);
  require(again.ok() && same(again.instructions, loose.instructions));
  return 0;
}
