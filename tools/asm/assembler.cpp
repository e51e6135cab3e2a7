// Script source to records: a line-by-line reader, a parser that unrolls
// repeat blocks as it goes, the resolution of script names, and the checker
// that refuses scripts the game would run badly.
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "asm/asm_local.h"
#include "asm/assembler.h"

namespace {

constexpr int MAX_ERRORS = 100;
constexpr int MAX_REPEAT_DEPTH = 16;
constexpr long long OPERAND_MIN = -32768;
constexpr long long OPERAND_MAX = 32767;
constexpr long long LITERAL_MAX = 1000000000;

struct Pos {
  int line = 1;
  int column = 1;
};

enum class Tok { Name, Number, Colon, Equals, LBrace, RBrace, Plus, Minus, End };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;
  long long value = 0;
  Pos pos;
  bool space_before = false;  // operands are separated by spaces, so this matters
};

struct Item {
  ScriptInstruction instruction;
  Pos pos;
  std::string script_ref;  // a spawn naming its script by label
  Pos ref_pos;
};

struct Script {
  std::string name;
  Pos pos;
  bool tail = false;  // records after the last end: no OP_END follows them
  std::vector<Item> items;
  std::optional<Item> end;  // an explicit `end`, perhaps with operands
};

struct Block {
  std::vector<Item> items;
  long long count = 1;
  Pos pos;
};

bool is_keyword(std::string_view word) {
  static constexpr std::string_view keywords[] = {"const", "script", "tail", "repeat",
                                                  "end",   "op",     "self", "director"};
  for (std::string_view k : keywords)
    if (k == word) return true;
  return find_mnemonic(word) != nullptr;
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

std::string describe(const Token& t) {
  if (t.kind == Tok::End) return "the end of the line";
  return quoted(t.text);
}

class Assembler {
 public:
  Assembler(std::string_view text, const AsmOptions& options) : text_(text), options_(options) {
    constants_["self"] = SELF_VALUE;
    constants_["director"] = LEVEL_DIRECTOR;
  }

  AsmResult run();

 private:
  // Reading one line into tokens.
  bool tokenize(std::string_view line, int line_number);
  bool read_number(std::string_view line, std::size_t& i, Token& t);

  // Parsing.
  void parse_line();
  void parse_const();
  std::optional<Token> take_defined_name(std::string_view keyword, std::string_view kind);
  std::optional<Token> take_symbol(Tok kind, std::string_view symbol, std::string_view after);
  void parse_script_label();
  void parse_tail_label();
  void parse_repeat();
  void parse_close_brace();
  void parse_end();
  void parse_raw();
  void parse_mnemonic(const MnemonicInfo& m);
  std::optional<long long> parse_value();
  std::optional<long long> parse_term();
  std::optional<std::int16_t> parse_operand();
  bool expect_line_end();
  bool need_open_script(const Token& at);
  void add_item(Item item);
  void close_script();

  // After parsing.
  void resolve_references();
  void check();
  void check_script(const Script& s, int number, int script_count);
  void check_item(const Item& item, int script_count);
  void refuse(Pos pos, const std::string& message);
  std::vector<ScriptInstruction> build() const;

  void error(Pos pos, const std::string& message);
  void warning(Pos pos, const std::string& message);
  std::string located(Pos pos, const std::string& message) const;

  const Token& peek() const { return tokens_[next_]; }
  const Token& take() { return tokens_[next_ < tokens_.size() - 1 ? next_++ : next_]; }

  std::string_view text_;
  const AsmOptions& options_;
  AsmResult result_;
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
  std::map<std::string, long long, std::less<>> constants_;
  std::vector<Script> scripts_;
  std::vector<Block> blocks_;  // the open repeat blocks of the current script
  bool in_script_ = false;     // instructions go to scripts_.back()
  long long finished_records_ = 0;
};

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

bool Assembler::read_number(std::string_view line, std::size_t& i, Token& t) {
  const std::size_t start = i;
  int base = 10;
  if (line[i] == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  long long value = 0;
  std::size_t digits = 0;
  for (; i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])); ++i, ++digits) {
    const int d = std::isdigit(static_cast<unsigned char>(line[i]))
                      ? line[i] - '0'
                      : std::tolower(static_cast<unsigned char>(line[i])) - 'a' + 10;
    if (d >= base) break;
    if (value <= LITERAL_MAX) value = value * base + d;
  }
  const bool glued =
      i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_');
  t.text = line.substr(start, i - start);
  if (digits == 0 || glued) {
    while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
      ++i;
    error(t.pos, "malformed number " + quoted(line.substr(start, i - start)));
    return false;
  }
  if (value > LITERAL_MAX) {
    error(t.pos, "number " + quoted(t.text) + " is too large");
    return false;
  }
  t.kind = Tok::Number;
  t.value = value;
  return true;
}

// Splits one line into tokens, dropping a comment that starts with # or ;.
bool Assembler::tokenize(std::string_view line, int line_number) {
  tokens_.clear();
  next_ = 0;
  bool space = true;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (c == '#' || c == ';') break;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      space = true;
      ++i;
      continue;
    }
    Token t;
    t.pos = {line_number, static_cast<int>(i) + 1};
    t.space_before = space;
    space = false;
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      const std::size_t start = i;
      while (i < line.size() &&
             (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
        ++i;
      t.kind = Tok::Name;
      t.text = line.substr(start, i - start);
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      if (!read_number(line, i, t)) return false;
    } else {
      static constexpr std::string_view symbols = ":={}+-";
      static constexpr Tok kinds[] = {Tok::Colon,  Tok::Equals, Tok::LBrace,
                                      Tok::RBrace, Tok::Plus,   Tok::Minus};
      const std::size_t k = symbols.find(c);
      if (k == std::string_view::npos) {
        const unsigned char u = static_cast<unsigned char>(c);
        char shown[16];
        std::snprintf(shown, sizeof shown, std::isprint(u) ? "'%c'" : "byte 0x%02X", u);
        error(t.pos, std::string("unexpected character ") + shown);
        return false;
      }
      t.kind = kinds[k];
      t.text = line.substr(i, 1);
      ++i;
    }
    tokens_.push_back(t);
  }
  Token end;
  end.pos = {line_number, static_cast<int>(line.size()) + 1};
  end.space_before = true;
  tokens_.push_back(end);
  return true;
}

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
  for (int k = 0; peek().kind != Tok::End; ++k) {
    if (k == 8) {
      error(peek().pos, "too many operands: a record has 8");
      return;
    }
    const std::optional<std::int16_t> v = parse_operand();
    if (!v) return;
    item.instruction.operands[k] = *v;
  }
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
  for (int k = 0; peek().kind != Tok::End; ++k) {
    if (k == 8) {
      error(peek().pos, "too many operands: a record has 8");
      return;
    }
    const std::optional<std::int16_t> v = parse_operand();
    if (!v) return;
    item.instruction.operands[k] = *v;
  }
  if (need_open_script(word)) add_item(std::move(item));
}

std::string operand_list(const MnemonicInfo& m) {
  std::string names;
  for (int k = 0; k < m.count; ++k) names += (k ? ", " : "") + std::string(m.operands[k].name);
  return names;
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
            " (expected wait, velocity, fire, aim, spawn, restart, remove, angle, op or end)");
}

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
        error(item.ref_pos, "no script named " + quoted(item.script_ref));
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
  const std::string name = "script " + quoted(s.name) + " (number " + std::to_string(number) + ")";
  const int length = static_cast<int>(s.items.size());
  if (length > MAX_SCRIPT_LENGTH)
    refuse(s.pos, name + " has " + std::to_string(length) + " instructions, more than " +
                      std::to_string(MAX_SCRIPT_LENGTH));
  const int last = length ? s.items.back().instruction.opcode : -1;
  if (last != OP_RESTART && last != OP_REMOVE)
    refuse(length ? s.items.back().pos : s.pos,
           name + " can run off its end: its last instruction must be restart or remove");
  // Every loop passes through the instructions before the first restart, so
  // the first restart must come after a yield.
  for (const Item& item : s.items) {
    const int opcode = item.instruction.opcode;
    if (opcode == OP_WAIT || opcode == OP_REMOVE) break;
    if (opcode == OP_RESTART) {
      refuse(item.pos, name + " loops without yielding: put a wait before this restart");
      break;
    }
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

}  // namespace

AsmResult assemble_source(std::string_view text, const AsmOptions& options) {
  return Assembler(text, options).run();
}
