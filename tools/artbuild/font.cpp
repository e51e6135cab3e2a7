#include "font.h"

#include "common/text_source.h"

namespace artbuild {

using textsource::at_line;
using textsource::parse_int;
using textsource::SourceLine;
using textsource::split_source;

namespace {

struct FontOptions {
  int height = 0;
  int spacing = 1;  // blank columns after every glyph
  int space = 4;    // width of the space character before the spacing
};

// A glyph from its rows, with the gap that follows it.
Glyph finish_glyph(const std::vector<std::string>& rows, const FontOptions& opt) {
  Glyph g;
  const int raw = static_cast<int>(rows[0].size());
  g.w = raw + opt.spacing;
  g.ink.assign(static_cast<std::size_t>(g.w) * opt.height, 0);
  for (int y = 0; y < opt.height; ++y)
    for (int x = 0; x < raw; ++x) g.ink[static_cast<std::size_t>(y) * g.w + x] = rows[y][x] == '#';
  return g;
}

bool parse_option(const SourceLine& line, FontOptions& opt, bool& handled) {
  const auto& w = line.words;
  handled = true;
  if (w.size() == 2 && w[0] == "height") return parse_int(w[1], 1, 64, opt.height);
  if (w.size() == 2 && w[0] == "spacing") return parse_int(w[1], 0, 8, opt.spacing);
  if (w.size() == 2 && w[0] == "space") return parse_int(w[1], 1, 64, opt.space);
  handled = false;
  return false;
}

// One "chars" block: the characters, then `height` lines holding one token
// of '#' and '.' per character.
bool parse_block(const std::vector<SourceLine>& lines, std::size_t& i, const FontOptions& opt,
                 FontSheet& font, std::array<bool, CHAR_COUNT>& given, const std::string& file,
                 std::string& error) {
  const SourceLine& head = lines[i++];
  const std::string chars = head.words[1];
  std::vector<std::vector<std::string>> rows(chars.size());
  for (int y = 0; y < opt.height; ++y, ++i) {
    if (i >= lines.size() || lines[i].words.size() != chars.size()) {
      error = at_line(file, i < lines.size() ? lines[i].number : head.number,
                      "expected " + std::to_string(chars.size()) + " glyph rows side by side");
      return false;
    }
    for (std::size_t c = 0; c < chars.size(); ++c) {
      const std::string& tok = lines[i].words[c];
      if (tok.find_first_not_of("#.") != std::string::npos ||
          (y > 0 && tok.size() != rows[c][0].size())) {
        error = at_line(file, lines[i].number,
                        std::string("glyph '") + chars[c] + "': rows of '#' and '.' of one width");
        return false;
      }
      rows[c].push_back(tok);
    }
  }
  for (std::size_t c = 0; c < chars.size(); ++c) {
    const int code = static_cast<unsigned char>(chars[c]);
    if (code < FIRST_CHAR || code > LAST_CHAR || given[code - FIRST_CHAR]) {
      error =
          at_line(file, head.number,
                  std::string("character '") + chars[c] + "' is outside 33..126 or given twice");
      return false;
    }
    given[code - FIRST_CHAR] = true;
    font.glyphs[code - FIRST_CHAR] = finish_glyph(rows[c], opt);
  }
  return true;
}

}  // namespace

std::optional<FontSheet> parse_font(std::string_view text, const std::string& file,
                                    std::string& error) {
  const auto lines = split_source(text);
  FontOptions opt;
  FontSheet font;
  std::array<bool, CHAR_COUNT> given{};
  std::size_t i = 0;
  while (i < lines.size()) {
    const SourceLine& line = lines[i];
    if (line.words[0] == "chars" && line.words.size() == 2) {
      if (opt.height == 0) {
        error = at_line(file, line.number, "the height must come before the glyphs");
        return std::nullopt;
      }
      font.height = opt.height;
      if (!parse_block(lines, i, opt, font, given, file, error)) return std::nullopt;
      continue;
    }
    bool handled = false;
    if (!parse_option(line, opt, handled)) {
      error = at_line(
          file, line.number,
          handled ? "value out of range" : "expected 'height', 'spacing', 'space' or 'chars'");
      return std::nullopt;
    }
    ++i;
  }
  // The space has no ink, so it is given by its width alone.
  font.glyphs[0].w = opt.space + opt.spacing;
  font.glyphs[0].ink.assign(static_cast<std::size_t>(font.glyphs[0].w) * opt.height, 0);
  given[0] = true;
  for (int c = 0; c < CHAR_COUNT; ++c)
    if (!given[c]) {
      error = file + ": character '" + static_cast<char>(c + FIRST_CHAR) + "' has no glyph";
      return std::nullopt;
    }
  return font;
}

IndexedImage font_grid(const FontSheet& font) {
  constexpr int PER_ROW = 16;
  const int rows = (CHAR_COUNT + PER_ROW - 1) / PER_ROW;
  int width = 0;
  for (int r = 0; r < rows; ++r) {
    int w = 1;
    for (int c = r * PER_ROW; c < std::min(CHAR_COUNT, (r + 1) * PER_ROW); ++c)
      w += font.glyphs[c].w + 1;
    width = std::max(width, w);
  }
  IndexedImage img;
  img.w = width;
  img.h = 1 + rows * (font.height + 1);
  img.px.assign(static_cast<std::size_t>(img.w) * img.h, 255);
  img.palette.assign(256, Rgb{255, 255, 0});
  img.palette[0] = Rgb{0, 0, 0};
  img.palette[1] = Rgb{255, 255, 255};
  for (int r = 0; r < rows; ++r) {
    int x0 = 1;
    const int y0 = 1 + r * (font.height + 1);
    for (int c = r * PER_ROW; c < std::min(CHAR_COUNT, (r + 1) * PER_ROW); ++c) {
      const Glyph& g = font.glyphs[c];
      for (int y = 0; y < font.height; ++y)
        for (int x = 0; x < g.w; ++x)
          img.px[static_cast<std::size_t>(y0 + y) * img.w + x0 + x] =
              g.ink[static_cast<std::size_t>(y) * g.w + x];
      x0 += g.w + 1;
    }
  }
  return img;
}

TextMask set_text(const FontSheet& font, std::string_view text) {
  TextMask m;
  m.h = font.height;
  for (char ch : text) {
    const int c = static_cast<unsigned char>(ch);
    if (c >= FIRST_CHAR && c <= LAST_CHAR) m.w += font.glyphs[c - FIRST_CHAR].w;
  }
  m.ink.assign(static_cast<std::size_t>(m.w) * m.h, 0);
  int x0 = 0;
  for (char ch : text) {
    const int c = static_cast<unsigned char>(ch);
    if (c < FIRST_CHAR || c > LAST_CHAR) continue;
    const Glyph& g = font.glyphs[c - FIRST_CHAR];
    for (int y = 0; y < m.h; ++y)
      for (int x = 0; x < g.w; ++x)
        m.ink[static_cast<std::size_t>(y) * m.w + x0 + x] =
            g.ink[static_cast<std::size_t>(y) * g.w + x];
    x0 += g.w;
  }
  return m;
}

}  // namespace artbuild
