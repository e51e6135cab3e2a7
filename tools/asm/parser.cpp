// The parser: one line of tokens to a constant or an instruction record.
// Values are terms joined by + and -, each a number or a constant's name;
// operands are given by position or as name=value.
#include <array>

#include "asm/assembler_local.h"

namespace assembly {

namespace {

bool is_keyword(std::string_view word) {
  static constexpr std::string_view keywords[] = {"const", "script", "tail", "repeat",
                                                  "end",   "op",     "self", "director"};
  for (std::string_view k : keywords)
    if (k == word) return true;
  return find_mnemonic(word) != nullptr;
}

std::string operand_list(const MnemonicInfo& m) {
  std::string names;
  for (int k = 0; k < m.count; ++k) names += (k ? ", " : "") + std::string(m.operands[k].name);
  return names;
}

}  // namespace

bool Assembler::expect_line_end() {
  if (peek().kind == Tok::End) return true;
  error(peek().pos, "expected the end of the line, found " + describe(peek()));
  return false;
}

// term: an optional sign written against a number or a constant's name.
std::optional<long long> Assembler::parse_term() {
  long long sign = 1;
  if (peek().kind == Tok::Minus || peek().kind == Tok::Plus) {
    if (take().kind == Tok::Minus) sign = -1;
    if (peek().space_before) {
      error(peek().pos, "expected a number or a constant right after the sign");
      return std::nullopt;
    }
  }
  const Token& t = take();
  if (t.kind == Tok::Number) return sign * t.value;
  if (t.kind == Tok::Name) {
    const auto found = constants_.find(t.text);
    if (found == constants_.end()) {
      error(t.pos, "unknown constant " + quoted(t.text));
      return std::nullopt;
    }
    return sign * found->second;
  }
  error(t.pos, "expected a number or a constant, found " + describe(t));
  return std::nullopt;
}

// value: terms joined by + and -, written without spaces (a space starts the
// next operand, so `velocity 0 -150` is two operands).
std::optional<long long> Assembler::parse_value() {
  std::optional<long long> total = parse_term();
  while (total && (peek().kind == Tok::Plus || peek().kind == Tok::Minus) && !peek().space_before) {
    const bool minus = take().kind == Tok::Minus;
    if (peek().space_before) {
      error(peek().pos, "expected a number or a constant right after the operator");
      return std::nullopt;
    }
    const std::optional<long long> term = parse_term();
    if (!term) return std::nullopt;
    *total += minus ? -*term : *term;
  }
  return total;
}

std::optional<std::int16_t> Assembler::parse_operand() {
  const Pos pos = peek().pos;
  const std::optional<long long> value = parse_value();
  if (!value) return std::nullopt;
  if (*value < OPERAND_MIN || *value > OPERAND_MAX) {
    error(pos, "value " + std::to_string(*value) + " does not fit an operand (-32768..32767)");
    return std::nullopt;
  }
  return static_cast<std::int16_t>(*value);
}

// The name a 'const' or 'script' line defines: a plain name, not a keyword.
std::optional<Token> Assembler::take_defined_name(std::string_view keyword, std::string_view kind) {
  const Token name = take();
  if (name.kind != Tok::Name) {
    error(name.pos, "expected a " + std::string(kind) + " name after '" + std::string(keyword) +
                        "', found " + describe(name));
    return std::nullopt;
  }
  if (is_keyword(name.text)) {
    error(name.pos,
          quoted(name.text) + " is a reserved word, not a " + std::string(kind) + " name");
    return std::nullopt;
  }
  return name;
}

// The '=' or ':' that must follow a defined name.
std::optional<Token> Assembler::take_symbol(Tok kind, std::string_view symbol,
                                            std::string_view after) {
  const Token t = take();
  if (t.kind != kind) {
    error(t.pos, "expected '" + std::string(symbol) + "' after the " + std::string(after) +
                     ", found " + describe(t));
    return std::nullopt;
  }
  return t;
}

void Assembler::parse_const() {
  take();
  const std::optional<Token> defined = take_defined_name("const", "constant");
  if (!defined) return;
  const Token name = *defined;
  if (constants_.count(name.text)) {
    error(name.pos, "constant " + quoted(name.text) + " is already defined");
    return;
  }
  if (!take_symbol(Tok::Equals, "=", "constant name")) return;
  const std::optional<std::int16_t> value = parse_operand();
  if (!value || !expect_line_end()) return;
  constants_[std::string(name.text)] = *value;
}

// Up to eight operands to the end of the line, for `end` and `op`; those
// left out stay 0. False once an error is reported.
bool Assembler::parse_raw_operands(ScriptInstruction& instruction) {
  for (int k = 0; peek().kind != Tok::End; ++k) {
    if (k == 8) {
      error(peek().pos, "too many operands: a record has 8");
      return false;
    }
    const std::optional<std::int16_t> v = parse_operand();
    if (!v) return false;
    instruction.operands[k] = *v;
  }
  return true;
}

// `end` with up to eight raw operands: the OP_END record that closes a script.
void Assembler::parse_end() {
  const Token word = take();
  if (!need_open_script(word)) return;
  if (scripts_.back().tail) {
    error(word.pos, "the tail is what follows the last end: it has no end of its own");
    return;
  }
  if (blocks_.size() > 1) {
    error(word.pos, "'end' cannot stand inside a repeat");
    return;
  }
  Item item;
  item.pos = word.pos;
  item.instruction.opcode = OP_END;
  if (!parse_raw_operands(item.instruction)) return;
  scripts_.back().end = item;
}

// `op OPCODE a0 .. a7`: any record the game can load, operands left out are 0.
void Assembler::parse_raw() {
  const Token word = take();
  const Pos opcode_pos = peek().pos;
  const std::optional<long long> opcode = parse_value();
  if (!opcode) return;
  if (*opcode < 0 || *opcode > 255) {
    error(opcode_pos, "opcode " + std::to_string(*opcode) + " is outside 0..255");
    return;
  }
  if (*opcode == OP_END) {
    error(opcode_pos, "opcode 8 ends a script: write 'end'");
    return;
  }
  Item item;
  item.pos = word.pos;
  item.instruction.opcode = static_cast<std::int32_t>(*opcode);
  if (!parse_raw_operands(item.instruction)) return;
  if (need_open_script(word)) add_item(std::move(item));
}

// Operands by position, or by name as `name=value`, in any mix; each once.
void Assembler::parse_mnemonic(const MnemonicInfo& m) {
  const Token word = take();
  Item item;
  item.pos = word.pos;
  item.instruction.opcode = m.opcode;
  std::array<bool, 8> given{};
  int position = 0;
  while (peek().kind != Tok::End) {
    int k = position;
    const Token start = peek();
    if (start.kind == Tok::Name && tokens_[next_ + 1].kind == Tok::Equals) {
      k = -1;
      for (int i = 0; i < m.count; ++i)
        if (m.operands[i].name == start.text) k = i;
      if (k < 0) {
        error(start.pos, std::string(m.word) + " has no operand " + quoted(start.text) +
                             (m.count ? " (expected " + operand_list(m) + ")" : ""));
        return;
      }
      take();
      take();
    } else {
      while (position < m.count && given[position]) ++position;
      k = position;
      if (k >= m.count) {
        error(start.pos, "too many operands: " + std::string(m.word) + " takes " +
                             std::to_string(m.count) +
                             (m.count ? " (" + operand_list(m) + ")" : ""));
        return;
      }
    }
    if (given[k]) {
      error(start.pos, "operand " + quoted(m.operands[k].name) + " is given twice");
      return;
    }
    given[k] = true;
    const Token value_start = peek();
    if (m.opcode == OP_SPAWN && k == SPAWN_SCRIPT_OPERAND && value_start.kind == Tok::Name) {
      take();  // a script label, resolved when every script is known
      item.script_ref = std::string(value_start.text);
      item.ref_pos = value_start.pos;
      continue;
    }
    const std::optional<std::int16_t> v = parse_operand();
    if (!v) return;
    item.instruction.operands[k] = *v;
  }
  for (int k = 0; k < m.count; ++k)
    if (m.operands[k].required && !given[k]) {
      error(peek().pos, std::string(m.word) + " needs operand " + quoted(m.operands[k].name) +
                            " (expected " + operand_list(m) + ")");
      return;
    }
  if (need_open_script(word)) add_item(std::move(item));
}

void Assembler::parse_line() {
  const Token& first = peek();
  if (first.kind == Tok::End) return;
  if (first.kind == Tok::RBrace) return parse_close_brace();
  if (first.kind != Tok::Name) {
    error(first.pos, "expected an instruction, 'script NAME:', 'const', 'repeat' or '}', found " +
                         describe(first));
    return;
  }
  const std::string_view word = first.text;
  if (word == "const") return parse_const();
  if (word == "script") return parse_script_label();
  if (word == "tail") return parse_tail_label();
  if (word == "repeat") return parse_repeat();
  if (word == "end") return parse_end();
  if (word == "op") return parse_raw();
  if (const MnemonicInfo* m = find_mnemonic(word)) return parse_mnemonic(*m);
  error(first.pos,
        "unknown instruction " + quoted(word) +
            " (expected wait, velocity, fire, aim, spawn, restart, remove, angle, wait_health, "
            "skip_unless, op or end)");
}

}  // namespace assembly
