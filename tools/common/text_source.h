// Reading the build tools' text sources (art, sound effects, music):
// line-oriented text where a ';' at the start of a word begins a comment,
// blank lines are ignored and every error names the file and line. The art
// and sound builders both read their sources with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace textsource {

struct SourceLine {
  int number = 0;                  // 1-based line number in the file
  std::string text;                // without the comment and trailing blanks
  std::vector<std::string> words;  // text split at blanks
};

// Splits the text of a source file into its meaningful lines.
std::vector<SourceLine> split_source(std::string_view text);

// A whole file as text; nullopt when it cannot be opened.
std::optional<std::string> read_text(const std::string& path);

// Reads a source file and parses it with parse(text, path, error), the shape
// of every parser here; nullopt, with the error set, when either step fails.
template <typename Parse>
auto load_source(const std::string& path, Parse parse, std::string& error)
    -> decltype(parse(std::string_view{}, path, error)) {
  const auto text = read_text(path);
  if (!text) {
    error = "cannot read " + path;
    return std::nullopt;
  }
  return parse(*text, path, error);
}

// Parses a whole number in [lo, hi]; false when the word is not one.
bool parse_int(const std::string& word, int lo, int hi, int& out);

// The error text every parser reports: "file:line: what".
std::string at_line(const std::string& file, int line, const std::string& what);

// The folder part of a path, to find files named relative to a source.
std::string folder_of(const std::string& path);

}  // namespace textsource
