// Screenshots as plain RGB arrays and the few measures the scenarios need.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

// A rectangle in pixels: left, top, width, height.
struct Box {
  int x = 0, y = 0, w = 0, h = 0;
  // The same box in a window that shows the playfield doubled.
  Box times(int k) const { return Box{x * k, y * k, w * k, h * k}; }
};

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row-major

  bool empty() const { return pixels.empty(); }
  Rgb at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  Box whole() const { return Box{0, 0, width, height}; }
};

// Pure menu red (255, 0, 0), allowing for a 16-bit visual's rounding.
inline bool is_red(Rgb c) {
  return c.r >= 240 && c.g <= 16 && c.b <= 16;
}
inline bool is_white(Rgb c) {
  return c.r >= 240 && c.g >= 240 && c.b >= 240;
}
inline bool is_black(Rgb c) {
  return c.r <= 8 && c.g <= 8 && c.b <= 8;
}

// Number of pixels inside box (clipped to the image) for which pred holds.
template <class Pred>
int count_pixels(const Image& img, Box box, Pred pred) {
  int n = 0;
  for (int y = std::max(box.y, 0); y < std::min(box.y + box.h, img.height); ++y)
    for (int x = std::max(box.x, 0); x < std::min(box.x + box.w, img.width); ++x)
      if (pred(img.at(x, y))) ++n;
  return n;
}

// Pixels inside box whose channels differ by more than tolerance in any channel.
// Both images must have the same size.
int count_differences(const Image& a, const Image& b, Box box, int tolerance);

// Every k-th pixel of every k-th row: a doubled window back at playfield size.
Image shrink(const Image& img, int k);

// Writes the image as a binary PPM (for looking at a failed scenario).
bool save_ppm(const Image& img, const std::string& path);
