// Drawing a picture from its parameters: the sky, clouds, stars, a planet, a
// panel, dimmed bands and the logo, on a canvas that may wrap around as a
// tile does. picture_params.cpp reads the parameters, noise.cpp the clouds' noise.
#include "picture.h"

#include <array>
#include <cmath>
#include <vector>

#include "common/text_source.h"
#include "picture_local.h"

namespace artbuild {

using textsource::at_line;
using textsource::SourceLine;
using textsource::split_source;

namespace {

// A canvas of real-valued colours, so light can be added without clipping early.
struct Canvas {
  int w, h;
  bool wrap;
  std::vector<std::array<double, 3>> px;
  Canvas(int width, int height, bool wraps)
      : w(width), h(height), wrap(wraps), px(static_cast<std::size_t>(width) * height) {}
  std::array<double, 3>* at(int x, int y) {
    if (wrap) {
      x = ((x % w) + w) % w;
      y = ((y % h) + h) % h;
    } else if (x < 0 || y < 0 || x >= w || y >= h) {
      return nullptr;
    }
    return &px[static_cast<std::size_t>(y) * w + x];
  }
  void add(int x, int y, Rgb c, double k) {
    if (auto* p = at(x, y)) {
      (*p)[0] += c.r * k;
      (*p)[1] += c.g * k;
      (*p)[2] += c.b * k;
    }
  }
  void set(int x, int y, Rgb c) {
    if (auto* p = at(x, y)) *p = {double(c.r), double(c.g), double(c.b)};
  }
  void darken(int x, int y, double k) {
    if (auto* p = at(x, y))
      for (double& v : *p) v *= k;
  }
};

Rgb star_tint(Rng& rng) {
  const int kind = rng.between(0, 9);
  if (kind < 5) return {255, 255, 255};
  if (kind < 8) return {170, 200, 255};
  return {255, 222, 170};
}

bool in_box(const Box& b, int x, int y, int margin) {
  return b.on && x >= b.x - margin && x < b.x + b.w + margin && y >= b.y - margin &&
         y < b.y + b.h + margin;
}

// How much of a tile variant's own clouds shows at (x, y): none on the edges,
// where every variant has the tile's clouds and so joins any other, most in
// the middle.
double variant_share(int x, int y, int w, int h) {
  const double pi = 3.14159265358979323846;
  return std::sqrt(std::sin(pi * x / w) * std::sin(pi * y / h));
}

void draw_clouds(Canvas& cv, const Params& p, int variant) {
  for (std::size_t n = 0; n < p.clouds.size(); ++n) {
    const Cloud& c = p.clouds[n];
    const int period = p.tile ? p.w : 4096;
    for (int y = 0; y < cv.h; ++y)
      for (int x = 0; x < cv.w; ++x) {
        double v = tiled_noise(x, y, c.cell, period, p.seed * 977 + n);
        if (variant > 0) {
          const double own =
              tiled_noise(x, y, c.cell, period, p.seed * 977 + n + 104729u * variant);
          const double share = variant_share(x, y, cv.w, cv.h);
          v = (1.0 - share) * v + share * own;
        }
        v = std::max(0.0, v - 0.38) / 0.62;
        double k = v * v * c.strength;
        if (c.local) {
          const double warp = 0.35 * c.radius * (tiled_noise(x, y, c.cell * 2, period, n) - 0.5);
          const double d = std::hypot(x - c.x, y - c.y) + warp;
          const double f = std::max(0.0, 1.0 - d / c.radius);
          k *= f * f;
        }
        cv.add(x, y, c.colour, k);
      }
  }
}

void draw_stars(Canvas& cv, const Params& p, Rng& rng) {
  for (const StarLayer& layer : p.stars)
    for (int n = 0; n < layer.count; ++n) {
      const int x = rng.between(0, cv.w - 1), y = rng.between(0, cv.h - 1);
      const double b = rng.between(layer.lo, layer.hi) / 255.0;
      const Rgb tint = star_tint(rng);
      if (in_box(p.panel, x, y, 3)) continue;
      cv.add(x, y, tint, b);
      if (b > 0.75)
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
          cv.add(x + dx, y + dy, tint, b * 0.22);
    }
  for (int n = 0; n < p.flares; ++n) {
    const int x = rng.between(0, cv.w - 1), y = rng.between(0, cv.h - 1);
    const Rgb tint = star_tint(rng);
    if (in_box(p.panel, x, y, 6)) continue;
    cv.add(x, y, {255, 255, 255}, 1.0);
    const int arm = rng.between(2, 4);
    for (int d = 1; d <= arm; ++d) {
      const double k = 0.7 / (d * d * 0.8 + 0.2);
      for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
        cv.add(x + dx * d, y + dy * d, tint, k);
    }
    for (const auto& [dx, dy] : {std::pair{1, 1}, {-1, 1}, {1, -1}, {-1, -1}})
      cv.add(x + dx, y + dy, tint, 0.18);
  }
}

// 4 x 4 ordered dither thresholds, for the stepped shading of pixel art.
constexpr std::array<int, 16> BAYER{0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

void draw_planet(Canvas& cv, const Params& p) {
  const Planet& pl = p.planet;
  const auto& L = p.light;
  for (int y = 0; y < cv.h; ++y)
    for (int x = 0; x < cv.w; ++x) {
      const double nx = (x + 0.5 - pl.x) / pl.r, ny = (y + 0.5 - pl.y) / pl.r;
      const double r2 = nx * nx + ny * ny;
      if (r2 > 1.0) {
        // A thin haze on the lit limb.
        const double out = std::sqrt(r2) - 1.0;
        const double facing = -(nx * L[0] + ny * L[1]) / std::sqrt(r2);
        if (out < 0.07 && facing < 0)
          cv.add(x, y, pl.haze, (1 - out / 0.07) * std::min(1.0, -facing * 1.4) * 0.55);
        continue;
      }
      const double nz = std::sqrt(1.0 - r2);
      double lambert = std::max(0.0, -(nx * L[0] + ny * L[1]) + nz * L[2]);
      const double step = (BAYER[(y & 3) * 4 + (x & 3)] + 0.5) / 16.0;
      lambert = std::floor(lambert * (pl.levels - 1) + step) / (pl.levels - 1);
      const double swirl = tiled_noise(x * 1.6, y * 0.4, 16, 4096, p.seed + 5);
      const double band = 0.5 + 0.5 * std::sin(ny * pl.bands * 3.14159 + swirl * 4.0);
      Rgb surface = mix(pl.lit, mix(pl.lit, pl.dark, 0.55),
                        band > 0.6   ? 1.0
                        : band < 0.3 ? 0.0
                                     : 0.5);
      Rgb lit = mix(pl.dark, surface, std::min(1.0, lambert));
      cv.set(x, y, lit);
      if (r2 > 0.86) cv.add(x, y, pl.haze, 0.5 * std::min(1.0, lambert * 1.5));
    }
}

void draw_panel(Canvas& cv, const Box& b) {
  for (int y = b.y; y < b.y + b.h; ++y)
    for (int x = b.x; x < b.x + b.w; ++x) {
      const bool edge = x == b.x || y == b.y || x == b.x + b.w - 1 || y == b.y + b.h - 1;
      const bool corner = (x - b.x + y - b.y < 4) || (b.x + b.w - 1 - x + b.y + b.h - 1 - y < 4);
      const bool cut = (x - b.x + y - b.y < 3) || (b.x + b.w - 1 - x + b.y + b.h - 1 - y < 3);
      if (cut) continue;
      cv.darken(x, y, 0.28);
      if (edge || (corner && !cut)) cv.add(x, y, b.frame, 1.0);
    }
}

void draw_logo(Canvas& cv, const Logo& logo, const FontSheet& font) {
  const TextMask m = set_text(font, logo.text);
  // Find the rows that carry ink, so the colour ramp spans the letters alone.
  int top = m.h, bottom = 0;
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x)
      if (m.ink[y * m.w + x]) top = std::min(top, y), bottom = std::max(bottom, y);
  const int s = logo.scale;
  const int w = m.w * s, h = m.h * s, x0 = logo.x - w / 2, y0 = logo.y - top * s;
  auto ink = [&](int px, int py) {
    if (px < 0 || py < 0 || px >= w || py >= h) return false;
    return m.ink[(py / s) * m.w + px / s] != 0;
  };
  const double span = std::max(1, (bottom - top + 1) * s);
  for (int py = -4; py < h + 4; ++py)
    for (int px = -4; px < w + 4; ++px) {
      if (ink(px, py)) {
        const double t = (py - top * s) / span;
        // Brushed steel: a bright horizon line a third of the way down.
        Rgb c = mix(logo.top, logo.bottom, t);
        if (std::abs(t - 0.42) < 0.05) c = mix(c, {255, 255, 255}, 0.6);
        if (!ink(px, py - 1) || !ink(px - 1, py)) c = mix(c, {255, 255, 255}, 0.55);
        if (!ink(px, py + 1) || !ink(px + 1, py)) c = mix(c, {0, 0, 0}, 0.35);
        cv.set(x0 + px, y0 + py, c);
        continue;
      }
      bool near = false, shadow = ink(px - 3, py - 3);
      for (int dy = -2; dy <= 2 && !near; ++dy)
        for (int dx = -2; dx <= 2 && !near; ++dx) near = ink(px + dx, py + dy);
      if (near)
        cv.set(x0 + px, y0 + py, logo.outline);
      else if (shadow)
        cv.darken(x0 + px, y0 + py, 0.35);
    }
}

}  // namespace

std::optional<Image> make_picture(std::string_view text, const std::string& file,
                                  const FontSheet* font, std::string& error, int variant) {
  Params p;
  for (const SourceLine& line : split_source(text))
    if (!parse_picture_line(line, p)) {
      error = at_line(file, line.number, "cannot read '" + line.text + "'");
      return std::nullopt;
    }
  if (p.w == 0) {
    error = file + ": no size given";
    return std::nullopt;
  }
  for (const Cloud& c : p.clouds)
    if (p.tile && (p.w != p.h || p.w % c.cell != 0)) {
      error = file + ": a tile must be square and its cloud cells must divide its size";
      return std::nullopt;
    }
  if (p.logo.on && !font) {
    error = file + ": the logo needs a logo_font";
    return std::nullopt;
  }
  Canvas cv(p.w, p.h, p.tile);
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) cv.set(x, y, mix(p.sky_top, p.sky_bottom, double(y) / p.h));
  Rng rng(p.seed + 7919u * static_cast<std::uint64_t>(variant));
  draw_clouds(cv, p, variant);
  draw_stars(cv, p, rng);
  if (p.planet.on) draw_planet(cv, p);
  if (p.panel.on) draw_panel(cv, p.panel);
  for (const Dim& d : p.dims)
    for (int y = d.y0; y < std::min(d.y1, p.h); ++y)
      for (int x = 0; x < p.w; ++x) cv.darken(x, y, d.factor);
  if (p.logo.on) draw_logo(cv, p.logo, *font);
  Image img(p.w, p.h);
  for (int i = 0; i < p.w * p.h; ++i) {
    const auto& c = cv.px[i];
    img.px[i] = opaque({clamp_byte(c[0]), clamp_byte(c[1]), clamp_byte(c[2])});
  }
  return img;
}

}  // namespace artbuild
