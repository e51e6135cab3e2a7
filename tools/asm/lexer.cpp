// The lexer: one source line to tokens. Names, numbers (decimal or 0x hex,
// at most 10^9) and the symbols : = { } + -; a comment starts at # or ;.
#include <cctype>
#include <cstdio>

#include "asm/assembler_local.h"

namespace assembly {

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

}  // namespace assembly
