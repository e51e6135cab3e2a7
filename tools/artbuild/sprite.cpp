#include "sprite.h"

#include <array>
#include <cmath>

#include "common/text_source.h"

namespace artbuild {

using textsource::at_line;
using textsource::parse_int;
using textsource::SourceLine;
using textsource::split_source;

namespace {

struct Legend {
  std::array<bool, 256> known{};
  std::array<Rgb, 256> colour{};
};

bool opaque_near(const Image& img, int x, int y, int reach) {
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx)
      if (img.inside(x + dx, y + dy) && !img.clear(x + dx, y + dy)) return true;
  return false;
}

// A random opaque pixel, or false when the image has none.
bool pick_opaque(const Image& img, Rng& rng, int& x, int& y) {
  std::vector<int> spots;
  for (int i = 0; i < img.w * img.h; ++i)
    if (!(img.px[i] == MAGENTA)) spots.push_back(i);
  if (spots.empty()) return false;
  const int i = spots[rng.between(0, static_cast<int>(spots.size()) - 1)];
  x = i % img.w;
  y = i / img.w;
  return true;
}

Rgb scale(Rgb c, double f) {
  return {clamp_byte(c.r * f), clamp_byte(c.g * f), clamp_byte(c.b * f)};
}

Rgb fire(Rng& rng) {
  return mix({255, 236, 130}, {240, 96, 24}, rng.unit());
}

// Reads `count` grid rows of exactly w characters from lines[i...].
bool read_grid(const std::vector<SourceLine>& lines, std::size_t& i, const Legend& legend, int w,
               int h, Image& out, const std::string& file, std::string& error) {
  out = Image(w, h);
  for (int y = 0; y < h; ++y, ++i) {
    if (i >= lines.size()) {
      error = at_line(
          file, lines.back().number,
          "the frame ends after " + std::to_string(y) + " of its " + std::to_string(h) + " rows");
      return false;
    }
    const SourceLine& row = lines[i];
    if (row.words.size() != 1 || static_cast<int>(row.words[0].size()) != w) {
      error = at_line(file, row.number,
                      "a grid row must be " + std::to_string(w) + " characters without blanks");
      return false;
    }
    for (int x = 0; x < w; ++x) {
      const auto ch = static_cast<unsigned char>(row.words[0][x]);
      if (!legend.known[ch]) {
        error = at_line(file, row.number,
                        std::string("'") + row.words[0][x] + "' is not in the colour legend");
        return false;
      }
      out.at(x, y) = legend.colour[ch];
    }
  }
  return true;
}

// One effect line of a derived frame.
bool apply_effect(const SourceLine& line, const Legend& legend, Image& img, const std::string& file,
                  std::string& error) {
  const auto& w = line.words;
  int seed = 0;
  if ((w[0] == "recolor" || w[0] == "swap") && w.size() == 3 && w[1].size() == 1 &&
      w[2].size() == 1) {
    const auto a = static_cast<unsigned char>(w[1][0]);
    const auto b = static_cast<unsigned char>(w[2][0]);
    if (!legend.known[a] || !legend.known[b]) {
      error = at_line(file, line.number, w[0] + " names a character not in the legend");
      return false;
    }
    if (w[0] == "recolor")
      recolor(img, legend.colour[a], legend.colour[b]);
    else
      swap_colours(img, legend.colour[a], legend.colour[b]);
    return true;
  }
  if ((w[0] == "breakup" || w[0] == "shimmer") && w.size() == 2 &&
      parse_int(w[1], 0, 1 << 30, seed)) {
    if (w[0] == "breakup")
      break_up(img, static_cast<std::uint64_t>(seed));
    else
      shimmer(img, static_cast<std::uint64_t>(seed));
    return true;
  }
  error = at_line(file, line.number,
                  "expected 'recolor A B', 'swap A B', 'breakup SEED' or 'shimmer SEED'");
  return false;
}

int find_frame(const SpriteSheet& sheet, const std::string& name) {
  for (std::size_t i = 0; i < sheet.names.size(); ++i)
    if (sheet.names[i] == name) return static_cast<int>(i);
  return -1;
}

bool parse_colour(const SourceLine& line, Legend& legend, const std::string& file,
                  std::string& error) {
  const auto& w = line.words;
  if (w.size() >= 3 && w[1].size() == 1) {
    const auto ch = static_cast<unsigned char>(w[1][0]);
    int r = 0, g = 0, b = 0;
    if (w.size() == 3 && w[2] == "transparent") {
      legend.known[ch] = true;
      legend.colour[ch] = MAGENTA;
      return true;
    }
    if (w.size() == 5 && parse_int(w[2], 0, 255, r) && parse_int(w[3], 0, 255, g) &&
        parse_int(w[4], 0, 255, b)) {
      legend.known[ch] = true;
      legend.colour[ch] = opaque({static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                  static_cast<std::uint8_t>(b)});
      return true;
    }
  }
  error = at_line(file, line.number, "expected 'colour C R G B' or 'colour C transparent'");
  return false;
}

}  // namespace

void recolor(Image& img, Rgb from, Rgb to) {
  for (Rgb& c : img.px)
    if (c == from) c = to;
}

void swap_colours(Image& img, Rgb a, Rgb b) {
  for (Rgb& c : img.px)
    if (c == a)
      c = b;
    else if (c == b)
      c = a;
}

void break_up(Image& img, std::uint64_t seed) {
  Rng rng(seed);
  const int area = img.w * img.h;
  const int burns = std::max(2, area / 220);
  for (int n = 0; n < burns; ++n) {
    int cx = 0, cy = 0;
    if (!pick_opaque(img, rng, cx, cy)) return;
    const int radius = rng.between(2, std::max(2, std::min(img.w, img.h) / 6 + 2));
    for (int y = cy - radius; y <= cy + radius; ++y)
      for (int x = cx - radius; x <= cx + radius; ++x) {
        if (!img.inside(x, y) || img.clear(x, y)) continue;
        const double d = std::hypot(x - cx, y - cy) / radius;
        if (d > 1.0) continue;
        if (d < 0.4 && rng.unit() < 0.55)
          img.at(x, y) = fire(rng);
        else
          img.at(x, y) = opaque(mix(scale(img.at(x, y), 0.3 + 0.5 * d), {50, 22, 14}, 0.3));
      }
  }
  // Torn-out holes, ragged at their rim.
  const int holes = std::max(1, area / 900);
  for (int n = 0; n < holes; ++n) {
    int cx = 0, cy = 0;
    if (!pick_opaque(img, rng, cx, cy)) return;
    const int radius = rng.between(1, std::max(1, std::min(img.w, img.h) / 16));
    for (int y = cy - radius; y <= cy + radius; ++y)
      for (int x = cx - radius; x <= cx + radius; ++x)
        if (img.inside(x, y) && std::hypot(x - cx, y - cy) <= radius + 0.3 * rng.unit())
          img.at(x, y) = MAGENTA;
  }
  // Glowing cracks: short random walks over the hull.
  const int cracks = 2 + area / 600;
  for (int n = 0; n < cracks; ++n) {
    int x = 0, y = 0;
    if (!pick_opaque(img, rng, x, y)) return;
    for (int step = rng.between(4, 4 + img.w / 4); step > 0; --step) {
      if (img.inside(x, y) && !img.clear(x, y)) img.at(x, y) = Rgb{214, 70, 24};
      x += rng.between(-1, 1);
      y += rng.between(-1, 1);
    }
  }
  // Sparks thrown just off the hull.
  for (int n = area / 90; n > 0; --n) {
    const int x = rng.between(0, img.w - 1), y = rng.between(0, img.h - 1);
    if (img.clear(x, y) && opaque_near(img, x, y, 2)) img.at(x, y) = fire(rng);
  }
}

void shimmer(Image& img, std::uint64_t seed) {
  Rng rng(seed);
  const double phase = rng.unit() * 6.2832;
  Image out(img.w, img.h);
  for (int y = 0; y < img.h; ++y) {
    const int shift = static_cast<int>(std::lround(1.6 * std::sin(y * 0.8 + phase)));
    for (int x = 0; x < img.w; ++x) {
      const int sx = x - shift;
      if (!img.inside(sx, y) || img.clear(sx, y)) continue;
      const Rgb c = img.at(sx, y);
      const double lum = (0.3 * c.r + 0.59 * c.g + 0.11 * c.b) / 255.0;
      Rgb t = mix({30, 90, 220}, {225, 250, 255}, std::min(1.0, lum * 1.5));
      if (y % 2 == 1) t = scale(t, 0.55);  // scan lines: the ship is not all here yet
      out.at(x, y) = opaque(t);
    }
  }
  for (int n = img.w * img.h / 110; n > 0; --n) {
    const int x = rng.between(0, img.w - 1), y = rng.between(0, img.h - 1);
    if (opaque_near(out, x, y, 2)) out.at(x, y) = Rgb{240, 250, 255};
  }
  img = std::move(out);
}

std::optional<SpriteSheet> parse_sprite_sheet(std::string_view text, const std::string& file,
                                              std::string& error) {
  const auto lines = split_source(text);
  SpriteSheet sheet;
  Legend legend;
  std::size_t i = 0;
  while (i < lines.size()) {
    const SourceLine& line = lines[i++];
    const auto& w = line.words;
    if (w[0] == "size" && w.size() == 3 && sheet.frames.empty()) {
      if (!parse_int(w[1], 1, 1024, sheet.w) || !parse_int(w[2], 1, 1024, sheet.h)) {
        error = at_line(file, line.number, "a size is two numbers from 1 to 1024");
        return std::nullopt;
      }
    } else if (w[0] == "colour") {
      if (!parse_colour(line, legend, file, error)) return std::nullopt;
    } else if (w[0] == "frame" && (w.size() == 2 || (w.size() == 4 && w[2] == "from"))) {
      if (sheet.w == 0) {
        error = at_line(file, line.number, "the size must come before the first frame");
        return std::nullopt;
      }
      if (find_frame(sheet, w[1]) >= 0) {
        error = at_line(file, line.number, "a second frame named " + w[1]);
        return std::nullopt;
      }
      Image img;
      if (w.size() == 2) {
        if (!read_grid(lines, i, legend, sheet.w, sheet.h, img, file, error)) return std::nullopt;
      } else {
        const int base = find_frame(sheet, w[3]);
        if (base < 0) {
          error = at_line(file, line.number, "no earlier frame named " + w[3]);
          return std::nullopt;
        }
        img = sheet.frames[base];
        for (; i < lines.size() && lines[i].words[0] != "frame"; ++i)
          if (!apply_effect(lines[i], legend, img, file, error)) return std::nullopt;
      }
      sheet.names.push_back(w[1]);
      sheet.frames.push_back(std::move(img));
    } else {
      error = at_line(file, line.number, "expected 'size', 'colour' or 'frame'");
      return std::nullopt;
    }
  }
  if (sheet.frames.empty()) {
    error = file + ": no frames";
    return std::nullopt;
  }
  return sheet;
}

}  // namespace artbuild
