// The settings file's text as Allegro's configuration reader sees it, and the
// edit Accept makes to it. Allegro decodes the bytes as UTF-8 before it looks
// for line ends, takes the first line of the unnamed section whose name equals
// a key regardless of case, and ignores every later one; so the writer finds
// the line to replace exactly that way, with Allegro's own character routines.
#include <allegro.h>

#include <string>
#include <string_view>
#include <vector>

#include "shell/shell_local.h"

namespace {

// One line as Allegro splits the text.
struct ConfigLine {
  std::size_t begin = 0;    // its first byte
  std::size_t end = 0;      // the byte after its content: its line break starts here
  std::size_t comment = 0;  // where its trailing comment starts (end when none)
  bool has_break = false;
  std::vector<int> name;  // the characters of its name; empty on blanks and comments
};

struct ConfigLines {
  std::vector<ConfigLine> lines;
  // Bytes the last character wanted beyond the end of the text (a cut-short
  // UTF-8 sequence), which Allegro reads as a broken character.
  std::size_t overshoot = 0;
};

// Allegro's reader never returns from a character that decodes to 2^30 or
// more, which only the lead bytes 0xFD to 0xFF can start (none of them is
// ever part of UTF-8): a hand-damaged file would hang every start-up. Allegro
// is given the text with those bytes as '?', one for one.
std::string readable(std::string_view text) {
  std::string copy(text);
  for (char& c : copy)
    if (c == '\xfd' || c == '\xfe' || c == '\xff') c = '?';
  return copy;
}

// The longest sequence Allegro's UTF-8 decoder reads from one lead byte is 8
// bytes; zeros after the text make a cut-short one decode as broken, which is
// how a text followed by nothing but its terminator reads.
constexpr std::size_t PADDING = 8;

bool is_line_break(int c) {
  return c == '\r' || c == '\n';
}

// The name of a line: after leading blanks, up to a blank, '=' or '#'; a NUL
// ends the line's content.
std::vector<int> line_name(const std::vector<int>& chars) {
  std::size_t i = 0;
  while (i < chars.size() && chars[i] != 0 && uisspace(chars[i])) ++i;
  std::vector<int> name;
  for (; i < chars.size() && chars[i] != 0 && !uisspace(chars[i]) && chars[i] != '=' &&
         chars[i] != '#';
       ++i)
    name.push_back(chars[i]);
  return name;
}

// Where the trailing comment of a line starts: at the blanks before the first
// '#' after the '=' (Allegro reads a value's number up to them and keeps the
// rest as text, so they cost nothing). `end` when there is none.
std::size_t comment_start(const std::vector<int>& chars, const std::vector<std::size_t>& offsets,
                          std::size_t end) {
  std::size_t i = 0;
  while (i < chars.size() && chars[i] != 0 && chars[i] != '=') ++i;
  const std::size_t value = i + 1;
  while (i < chars.size() && chars[i] != 0 && chars[i] != '#') ++i;
  if (value >= chars.size() || i >= chars.size() || chars[i] != '#') return end;
  while (i > value && uisspace(chars[i - 1])) --i;
  return offsets[i];
}

ConfigLines read_lines(std::string_view text) {
  const std::string padded = readable(text) + std::string(PADDING, '\0');
  const std::size_t n = text.size();
  const auto width_at = [&](std::size_t pos) {
    const int w = uwidth(padded.data() + pos);
    return static_cast<std::size_t>(w > 0 ? w : 1);
  };
  ConfigLines result;
  std::size_t pos = 0;
  while (pos < n) {
    ConfigLine line;
    line.begin = pos;
    std::vector<int> chars;
    std::vector<std::size_t> offsets;  // of each character's first byte
    while (pos < n) {
      const int c = ugetc(padded.data() + pos);
      const std::size_t w = width_at(pos);
      if (!is_line_break(c)) {
        chars.push_back(c);
        offsets.push_back(pos);
        pos += w;
        continue;
      }
      line.end = pos;
      line.has_break = true;
      pos += w;
      // "\r\n" and "\n\r" are one break.
      if (pos < n) {
        const int c2 = ugetc(padded.data() + pos);
        if ((c == '\r' && c2 == '\n') || (c == '\n' && c2 == '\r')) pos += width_at(pos);
      }
      break;
    }
    if (!line.has_break) {
      line.end = n;
      result.overshoot = pos - n;
    }
    line.name = line_name(chars);
    line.comment = comment_start(chars, offsets, line.end);
    result.lines.push_back(std::move(line));
  }
  return result;
}

// "[name]" starts a section; the unnamed one ends at the first.
bool is_section_header(const std::vector<int>& name) {
  return !name.empty() && name.front() == '[' && name.back() == ']';
}

bool same_name(const std::vector<int>& name, std::string_view key) {
  if (name.size() != key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (utolower(name[i]) != utolower(static_cast<unsigned char>(key[i]))) return false;
  return true;
}

std::string setting_line(const SettingValue& setting) {
  return std::string(setting.key) + " = " + std::to_string(setting.value);
}

}  // namespace

void use_settings_text(std::string_view text) {
  // Allegro reads up to a character's worth of bytes past the end.
  static std::string padded;
  padded = readable(text) + std::string(PADDING, '\0');
  set_config_data(padded.data(), static_cast<int>(text.size()));
}

std::string settings_text(std::string_view old_text, std::span<const SettingValue> values) {
  const ConfigLines read = read_lines(old_text);
  const std::vector<ConfigLine>& lines = read.lines;
  std::size_t section_end = 0;  // index of the first section header, or lines.size()
  while (section_end < lines.size() && !is_section_header(lines[section_end].name)) ++section_end;

  // For each line, the setting that replaces it, if any.
  std::vector<const SettingValue*> replacement(lines.size(), nullptr);
  std::string missing;
  for (const SettingValue& setting : values) {
    std::size_t i = 0;
    while (i < section_end && !same_name(lines[i].name, setting.key)) ++i;
    if (i < section_end && replacement[i] == nullptr)
      replacement[i] = &setting;
    else if (i == section_end)
      missing += setting_line(setting) + "\n";
  }

  std::string text;
  std::size_t copied = 0;  // old_text before this is in text
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == section_end) break;
    if (replacement[i] == nullptr) continue;
    text.append(old_text.substr(copied, lines[i].begin - copied));
    text += setting_line(*replacement[i]);
    copied = lines[i].comment;
  }
  if (section_end < lines.size()) {
    // Before the first header, which starts right after a line break.
    text.append(old_text.substr(copied, lines[section_end].begin - copied));
    text += missing;
    text.append(old_text.substr(lines[section_end].begin));
    return text;
  }
  text.append(old_text.substr(copied));
  if (missing.empty()) return text;
  if (!lines.empty() && !lines.back().has_break) {
    // Complete a cut-short last character with the zeros it was read with,
    // so it cannot swallow the line break that follows.
    const ConfigLine& last = lines.back();
    if (replacement.back() == nullptr || last.comment < last.end) text.append(read.overshoot, '\0');
    text += "\n";
  }
  return text + missing;
}
