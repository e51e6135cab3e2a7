// Script source to records: each line is read into tokens (lexer.cpp) and
// parsed (parser.cpp, blocks.cpp, which unrolls repeat blocks as it goes);
// then script names are resolved and the checker runs (checks.cpp). This file
// holds the messages, the assembled records and the run that ties them.
#include <string>
#include <utility>

#include "asm/assembler_local.h"

namespace assembly {

std::string Assembler::located(Pos pos, const std::string& message) const {
  return options_.file_name + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) +
         ": " + message;
}

void Assembler::error(Pos pos, const std::string& message) {
  if (result_.errors.size() < MAX_ERRORS) result_.errors.push_back(located(pos, message));
}

void Assembler::warning(Pos pos, const std::string& message) {
  if (result_.warnings.size() < MAX_ERRORS)
    result_.warnings.push_back(located(pos, "warning: " + message));
}

// The checker's refusals: errors normally, warnings under --no-check.
void Assembler::refuse(Pos pos, const std::string& message) {
  if (options_.check)
    error(pos, message);
  else
    warning(pos, message);
}

std::vector<ScriptInstruction> Assembler::build() const {
  std::vector<ScriptInstruction> out;
  for (const Script& s : scripts_) {
    for (const Item& item : s.items) out.push_back(item.instruction);
    if (!s.tail) {
      ScriptInstruction end;
      end.opcode = OP_END;
      out.push_back(s.end ? s.end->instruction : end);
    }
  }
  return out;
}

AsmResult Assembler::run() {
  int line_number = 0;
  for (std::size_t start = 0; start <= text_.size();) {
    std::size_t stop = text_.find('\n', start);
    if (stop == std::string_view::npos) stop = text_.size();
    ++line_number;
    if (tokenize(text_.substr(start, stop - start), line_number)) parse_line();
    start = stop + 1;
  }
  close_script();
  resolve_references();
  if (result_.ok()) {
    std::vector<ScriptInstruction> records = build();
    if (records.empty()) error({1, 1}, "nothing to assemble: a level file needs one record");
    if (records.size() > static_cast<std::size_t>(SCRIPT_STORE_SIZE))
      error({1, 1}, "the scripts take " + std::to_string(records.size()) +
                        " records, more than the 4096 a level file holds");
    check();
    if (result_.ok()) result_.instructions = std::move(records);
  }
  return std::move(result_);
}

}  // namespace assembly

AsmResult assemble_source(std::string_view text, const AsmOptions& options) {
  return assembly::Assembler(text, options).run();
}
