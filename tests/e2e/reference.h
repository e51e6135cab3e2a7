// What the game should show, made independently of the game's own code:
// pictures read from its archives with Allegro in memory (no window), and
// text set in Allegro's built-in font.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "image.h"

// A bitmap object of an archive, with its transparent (magenta) pixels marked.
struct Picture {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;   // row-major
  std::vector<bool> opaque;  // false where the mask colour is

  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  bool solid(int x, int y) const { return opaque[static_cast<std::size_t>(y) * width + x]; }
};

// Object `index` of the archive at path; empty width when it cannot be read
// or is not a bitmap.
Picture load_picture(const std::string& path, int index);

// A PNG file as RGB; empty when it cannot be read.
Image load_png_image(const std::string& path);

// Glyph pixels of text in Allegro's 8 x 8 built-in font, set right-aligned
// so that its last column is right_edge - 1, its top at y 0.
std::vector<std::pair<int, int>> text_pixels(const std::string& text, int right_edge);
