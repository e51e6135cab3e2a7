// Sprite sheets: the frames of one sprite as text pixel grids with a colour
// legend, plus frames derived from others by a few named effects.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image.h"

namespace artbuild {

struct SpriteSheet {
  int w = 0, h = 0;
  std::vector<std::string> names;  // one per frame, in file order
  std::vector<Image> frames;       // every frame is w x h
};

// Parses a sprite source (the format is described at the top of data/sprites/ship.txt).
// Never exits; on failure returns nullopt and sets `error` to "file:line: what".
std::optional<SpriteSheet> parse_sprite_sheet(std::string_view text, const std::string& file,
                                              std::string& error);

// The effects a derived frame may apply, exposed for the tests of the tool.
void recolor(Image& img, Rgb from, Rgb to);
void swap_colours(Image& img, Rgb a, Rgb b);    // blinking lights
void break_up(Image& img, std::uint64_t seed);  // scorch marks, embers, holes, cracks
void shimmer(Image& img, std::uint64_t seed);   // the blue, wavering ghost of a warp-in

}  // namespace artbuild
