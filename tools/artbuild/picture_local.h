// What the picture builder's files share: the parameters a picture file
// gives, read line by line in picture_params.cpp and drawn in picture.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/text_source.h"
#include "image.h"

namespace artbuild {

struct Cloud {
  Rgb colour;
  double strength = 0;
  int cell = 16;
  bool local = false;  // true: faded out away from (x, y)
  double x = 0, y = 0, radius = 0;
};
struct StarLayer {
  int count = 0, lo = 0, hi = 0;
};
struct Planet {
  bool on = false;
  double x = 0, y = 0, r = 0;
  Rgb lit, dark, haze;
  int bands = 0, levels = 6;
};
struct Logo {
  bool on = false;
  std::string text;
  int x = 0, y = 0, scale = 1;
  Rgb top, bottom, outline;
};
struct Box {
  bool on = false;
  int x = 0, y = 0, w = 0, h = 0;
  Rgb frame;
};
struct Dim {
  int y0 = 0, y1 = 0;
  double factor = 1;
};

struct Params {
  bool tile = false;  // a tile wraps around both ways
  int w = 0, h = 0;
  std::uint64_t seed = 1;
  Rgb sky_top, sky_bottom;
  std::vector<Cloud> clouds;
  std::vector<StarLayer> stars;
  int flares = 0;
  Planet planet;
  Logo logo;
  Box panel;
  std::vector<Dim> dims;
  std::array<double, 3> light{-0.6, -0.55, 0.58};
};

// Reads one line of a picture file into p; false when it is not a known key
// with the right words.
bool parse_picture_line(const textsource::SourceLine& line, Params& p);

}  // namespace artbuild
