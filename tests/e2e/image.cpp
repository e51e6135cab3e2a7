#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "image.h"

int count_differences(const Image& a, const Image& b, Box box, int tolerance) {
  if (a.width != b.width || a.height != b.height) return box.w * box.h;
  int n = 0;
  for (int y = std::max(box.y, 0); y < std::min(box.y + box.h, a.height); ++y)
    for (int x = std::max(box.x, 0); x < std::min(box.x + box.w, a.width); ++x) {
      const Rgb p = a.at(x, y), q = b.at(x, y);
      if (std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance ||
          std::abs(p.b - q.b) > tolerance)
        ++n;
    }
  return n;
}

Image shrink(const Image& img, int k) {
  Image out;
  out.width = img.width / k;
  out.height = img.height / k;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) out.pixels.push_back(img.at(x * k, y * k));
  return out;
}

bool save_ppm(const Image& img, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", img.width, img.height);
  for (const Rgb& c : img.pixels) {
    const unsigned char px[3] = {c.r, c.g, c.b};
    std::fwrite(px, 1, 3, f);
  }
  return std::fclose(f) == 0;
}
