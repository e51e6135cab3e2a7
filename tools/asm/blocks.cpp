// Scripts and their repeat blocks: a label opens a script, `repeat N {`
// opens a block and `}` unrolls it into its parent as it closes, so the
// records of a script are known, in order, when the next label comes.

#include "asm/assembler_local.h"

namespace assembly {

// Ends the current script: its open repeat blocks are errors, its records are
// counted toward the file's limit.
void Assembler::close_script() {
  if (!in_script_) return;
  for (std::size_t i = 1; i < blocks_.size(); ++i)
    error(blocks_[i].pos, "expected '}' to close this repeat before the script ends");
  Script& s = scripts_.back();
  s.items = std::move(blocks_.front().items);
  blocks_.clear();
  finished_records_ += static_cast<long long>(s.items.size()) + (s.tail ? 0 : 1);
  in_script_ = false;
}

void Assembler::parse_script_label() {
  take();
  const std::optional<Token> defined = take_defined_name("script", "script");
  if (!defined) return;
  const Token name = *defined;
  if (!take_symbol(Tok::Colon, ":", "script name")) return;
  if (!expect_line_end()) return;
  if (!scripts_.empty() && scripts_.back().tail) {
    error(name.pos, "no script may follow 'tail:'");
    return;
  }
  for (const Script& s : scripts_)
    if (s.name == name.text) {
      error(name.pos, "script " + quoted(name.text) + " is already defined at line " +
                          std::to_string(s.pos.line));
      return;
    }
  close_script();
  Script s;
  s.name = std::string(name.text);
  s.pos = name.pos;
  scripts_.push_back(std::move(s));
  blocks_.assign(1, Block{});
  in_script_ = true;
}

void Assembler::parse_tail_label() {
  const Token tail = take();
  const Token colon = take();
  if (colon.kind != Tok::Colon) {
    error(colon.pos, "expected ':' after 'tail', found " + describe(colon));
    return;
  }
  if (!expect_line_end()) return;
  if (!scripts_.empty() && scripts_.back().tail) {
    error(tail.pos, "there is already a tail");
    return;
  }
  close_script();
  Script s;
  s.name = "tail";
  s.pos = tail.pos;
  s.tail = true;
  scripts_.push_back(std::move(s));
  blocks_.assign(1, Block{});
  in_script_ = true;
}

bool Assembler::need_open_script(const Token& at) {
  if (!in_script_) {
    error(at.pos, "expected 'script NAME:' before the first instruction");
    return false;
  }
  if (scripts_.back().end) {
    error(at.pos, "expected 'script NAME:' after 'end'");
    return false;
  }
  return true;
}

void Assembler::parse_repeat() {
  const Token word = take();
  if (!need_open_script(word)) return;
  const Pos count_pos = peek().pos;
  const std::optional<long long> count = parse_value();
  if (!count) return;
  if (*count < 0 || *count > SCRIPT_STORE_SIZE) {
    error(count_pos, "repeat count " + std::to_string(*count) + " is outside 0..4096");
    return;
  }
  const Token brace = take();
  if (brace.kind != Tok::LBrace) {
    error(brace.pos, "expected '{' after the repeat count, found " + describe(brace));
    return;
  }
  if (!expect_line_end()) return;
  if (static_cast<int>(blocks_.size()) > MAX_REPEAT_DEPTH) {
    error(word.pos, "repeat blocks nest deeper than " + std::to_string(MAX_REPEAT_DEPTH));
    return;
  }
  blocks_.push_back(Block{{}, *count, word.pos});
}

// Unrolls the innermost block into its parent. The copies are bounded by the
// file's limit, so a nest of large counts cannot eat the memory.
void Assembler::parse_close_brace() {
  const Token brace = take();
  if (!expect_line_end()) return;
  if (!in_script_ || blocks_.size() < 2) {
    error(brace.pos, "'}' without an open repeat");
    return;
  }
  Block block = std::move(blocks_.back());
  blocks_.pop_back();
  long long open = finished_records_;
  for (const Block& b : blocks_) open += static_cast<long long>(b.items.size());
  const long long added = block.count * static_cast<long long>(block.items.size());
  if (open + added > SCRIPT_STORE_SIZE) {
    error(block.pos, "this repeat makes " + std::to_string(open + added) +
                         " records, more than the 4096 a level file holds");
    return;
  }
  std::vector<Item>& parent = blocks_.back().items;
  for (long long n = 0; n < block.count; ++n)
    parent.insert(parent.end(), block.items.begin(), block.items.end());
}

void Assembler::add_item(Item item) {
  if (static_cast<long long>(blocks_.back().items.size()) >= SCRIPT_STORE_SIZE) {
    error(item.pos, "more than 4096 records in one script");
    return;
  }
  blocks_.back().items.push_back(std::move(item));
}

}  // namespace assembly
