// The assembler's parts: the tokens of a line, the scripts and repeat blocks
// being read, and the Assembler that the lexer, the parser, the block
// unrolling and the checks (one file each) share. Only tools/asm includes it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "asm/asm_local.h"
#include "asm/assembler.h"

namespace assembly {

inline constexpr int MAX_ERRORS = 100;
inline constexpr int MAX_REPEAT_DEPTH = 16;
inline constexpr long long OPERAND_MIN = -32768;
inline constexpr long long OPERAND_MAX = 32767;
inline constexpr long long LITERAL_MAX = 1000000000;

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

inline std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

inline std::string describe(const Token& t) {
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
  // Reading one line into tokens (lexer.cpp).
  bool tokenize(std::string_view line, int line_number);
  bool read_number(std::string_view line, std::size_t& i, Token& t);

  // Parsing one line (parser.cpp).
  void parse_line();
  void parse_const();
  std::optional<Token> take_defined_name(std::string_view keyword, std::string_view kind);
  std::optional<Token> take_symbol(Tok kind, std::string_view symbol, std::string_view after);
  void parse_end();
  void parse_raw();
  bool parse_raw_operands(ScriptInstruction& instruction);
  void parse_mnemonic(const MnemonicInfo& m);
  std::optional<long long> parse_value();
  std::optional<long long> parse_term();
  std::optional<std::int16_t> parse_operand();
  bool expect_line_end();

  // Scripts and the unrolling of their repeat blocks (blocks.cpp).
  void parse_script_label();
  void parse_tail_label();
  void parse_repeat();
  void parse_close_brace();
  bool need_open_script(const Token& at);
  void add_item(Item item);
  void close_script();

  // After parsing (checks.cpp).
  void resolve_references();
  void check();
  void check_victory();
  void check_script(const Script& s, int number, int script_count);
  void check_item(const Item& item, int script_count);

  // The messages and the records (assembler.cpp).
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

}  // namespace assembly
