// The menu font: glyphs drawn as text grids, turned into the glyph-grid
// picture Allegro grabs a one-colour FONT from.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image.h"

namespace artbuild {

inline constexpr int FIRST_CHAR = 32;  // space
inline constexpr int LAST_CHAR = 126;  // tilde
inline constexpr int CHAR_COUNT = LAST_CHAR - FIRST_CHAR + 1;

struct Glyph {
  int w = 0;                      // including the gap that follows it
  std::vector<std::uint8_t> ink;  // w x height, 1 where the glyph is drawn
};

struct FontSheet {
  int height = 0;
  std::array<Glyph, CHAR_COUNT> glyphs;  // index = character - FIRST_CHAR
};

// Parses a font source (format at the top of data/font/menu_font.txt). Every
// character from 32 to
// 126 must be given. Never exits; on failure sets `error` and returns nullopt.
std::optional<FontSheet> parse_font(std::string_view text, const std::string& file,
                                    std::string& error);

// Allegro's glyph-grid layout: cells separated by lines of index 255, glyph
// background index 0, ink index 1, sixteen characters to a row.
IndexedImage font_grid(const FontSheet& font);

// The ink of a line of text set in this font, one byte per pixel.
struct TextMask {
  int w = 0, h = 0;
  std::vector<std::uint8_t> ink;
};
TextMask set_text(const FontSheet& font, std::string_view text);

}  // namespace artbuild
