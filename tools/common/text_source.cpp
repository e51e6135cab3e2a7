#include "common/text_source.h"

#include <charconv>
#include <sstream>

#include "script/script.h"

namespace textsource {

std::vector<SourceLine> split_source(std::string_view text) {
  std::vector<SourceLine> lines;
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    ++number;
    start = end + 1;
    // A comment starts at a ';' that begins a word, so ';' can still be a glyph.
    for (std::size_t k = 0; k < line.size(); ++k)
      if (line[k] == ';' && (k == 0 || line[k - 1] == ' ' || line[k - 1] == '\t')) {
        line.erase(k);
        break;
      }
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.pop_back();
    std::istringstream in(line);
    SourceLine parsed{number, line, {}};
    for (std::string w; in >> w;) parsed.words.push_back(w);
    if (!parsed.words.empty()) lines.push_back(std::move(parsed));
    if (end == text.size()) break;
  }
  return lines;
}

std::optional<std::string> read_text(const std::string& path) {
  const WholeFile file = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  if (file.error != 0) return std::nullopt;
  return std::string(file.bytes.begin(), file.bytes.end());
}

bool parse_int(const std::string& word, int lo, int hi, int& out) {
  int v = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || end != word.data() + word.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

std::string at_line(const std::string& file, int line, const std::string& what) {
  return file + ":" + std::to_string(line) + ": " + what;
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace textsource
