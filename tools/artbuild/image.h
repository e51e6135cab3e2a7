// Pictures as the art builder sees them: plain RGB pixels in memory, with
// magenta standing for "transparent" exactly as it does in the game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace artbuild {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb MAGENTA{255, 0, 255};

struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;  // row-major, top row first

  Image() = default;
  Image(int width, int height, Rgb fill = MAGENTA)
      : w(width), h(height), px(static_cast<std::size_t>(width) * height, fill) {}

  Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  bool clear(int x, int y) const { return at(x, y) == MAGENTA; }
};

// A 24-bit BMP written by Allegro's save_bitmap, for "dat" to grab as a bitmap.
bool write_bmp24(const Image& img, const std::string& path, std::string& error);

// An 8-bit paletted BMP whose pixels are palette indexes; used for the font
// grid, which Allegro reads as a one-colour font when it holds only indexes
// 0 (background), 255 (cell borders) and one ink index. Allegro keeps six bits
// of each palette channel, so a channel comes back as 0, 4, ..., 255.
struct IndexedImage {
  int w = 0, h = 0;
  std::vector<std::uint8_t> px;
  std::vector<Rgb> palette;  // up to 256 entries
};
bool write_bmp8(const IndexedImage& img, const std::string& path, std::string& error);

// The picture as the text of an XPM file holding `static const char* name[]`,
// for a program to compile in: one character a pixel (two past 93 colours),
// colours as "#RRGGBB", magenta as "None"; colours numbered in the order
// their first pixel comes, so the same picture always gives the same text.
std::string xpm_text(const Image& img, const std::string& name);

// A small deterministic generator (splitmix64): the same seed gives the same
// picture on every machine and compiler, unlike the standard distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in [lo, hi].
  int between(int lo, int hi) {
    return lo + static_cast<int>(next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // A real number in [0, 1).
  double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  std::uint64_t state_;
};

inline std::uint8_t clamp_byte(double v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5);
}

// Linear mix of two colours, t = 0 gives a, t = 1 gives b.
inline Rgb mix(Rgb a, Rgb b, double t) {
  return {clamp_byte(a.r + (b.r - a.r) * t), clamp_byte(a.g + (b.g - a.g) * t),
          clamp_byte(a.b + (b.b - a.b) * t)};
}

// Never lets an opaque pixel become the transparent colour by accident.
inline Rgb opaque(Rgb c) {
  if (c == MAGENTA) c.g = 1;
  return c;
}

}  // namespace artbuild
