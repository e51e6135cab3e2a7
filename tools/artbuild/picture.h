// Large pictures made from a few parameters instead of pixel by pixel: the
// menu background and the seamless background tile.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "font.h"
#include "image.h"

namespace artbuild {

// Makes the picture a parameter file describes (keys listed in data/pictures/menu.txt).
// `font` is used for the logo text, when the file asks for one. A `variant`
// above 0 draws the stars from another seed and its own clouds inside the
// tile, fading to the tile's own along the edges, so the variants of a tile
// join each other seamlessly. Never exits; on failure sets
// `error` and returns nullopt.
std::optional<Image> make_picture(std::string_view text, const std::string& file,
                                  const FontSheet* font, std::string& error, int variant = 0);

// Smooth noise in [0, 1] that repeats every `period` pixels in both directions
// when `cell` divides `period`; several octaves from `cell` down to 4 pixels.
double tiled_noise(double x, double y, int cell, int period, std::uint64_t seed);

// The font file a parameter file names with "logo_font", or "" when none.
std::string logo_font_path(std::string_view text, const std::string& file);

}  // namespace artbuild
