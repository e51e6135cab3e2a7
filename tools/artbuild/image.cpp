#include "image.h"

#include <allegro.h>

#include <cerrno>
#include <cstdlib>

namespace artbuild {
namespace {

// Allegro's file routines need the library, not a screen or a keyboard: the
// builder runs on machines without either.
bool allegro_started(std::string& error) {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, std::atexit) == 0;
  if (!started) error = "cannot start Allegro";
  return started;
}

// A memory bitmap to be saved as path; null, with the error set, when there is none.
BITMAP* new_bitmap(int depth, int w, int h, const std::string& path, std::string& error) {
  if (!allegro_started(error)) return nullptr;
  BITMAP* bmp = create_bitmap_ex(depth, w, h);
  if (!bmp) error = "no memory for " + path;
  return bmp;
}

// Saves and frees the bitmap; BMP because that is what "dat" grabs.
bool save_and_free(BITMAP* bmp, const RGB* palette, const std::string& path, std::string& error) {
  const bool saved = save_bitmap(path.c_str(), bmp, palette) == 0;
  destroy_bitmap(bmp);
  if (!saved) error = "cannot write " + path;
  return saved;
}

}  // namespace

bool write_bmp24(const Image& img, const std::string& path, std::string& error) {
  BITMAP* bmp = new_bitmap(24, img.w, img.h, path, error);
  if (!bmp) return false;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const Rgb c = img.at(x, y);
      putpixel(bmp, x, y, makecol24(c.r, c.g, c.b));
    }
  return save_and_free(bmp, nullptr, path, error);
}

bool write_bmp8(const IndexedImage& img, const std::string& path, std::string& error) {
  BITMAP* bmp = new_bitmap(8, img.w, img.h, path, error);
  if (!bmp) return false;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x)
      putpixel(bmp, x, y, img.px[static_cast<std::size_t>(y) * img.w + x]);
  // Allegro palettes hold six bits a channel; the BMP gets them back as eight.
  PALETTE palette{};
  for (std::size_t i = 0; i < img.palette.size() && i < PAL_SIZE; ++i)
    palette[i] = RGB{static_cast<unsigned char>(img.palette[i].r >> 2),
                     static_cast<unsigned char>(img.palette[i].g >> 2),
                     static_cast<unsigned char>(img.palette[i].b >> 2), 0};
  return save_and_free(bmp, palette, path, error);
}

}  // namespace artbuild
