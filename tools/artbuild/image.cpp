#include "image.h"

#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>

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

std::string xpm_text(const Image& img, const std::string& name) {
  // Every printable character but the two a C string would need escaped.
  std::string codes;
  for (char c = ' '; c <= '~'; ++c)
    if (c != '"' && c != '\\') codes += c;
  const auto key = [](Rgb c) { return std::make_tuple(c.r, c.g, c.b); };
  std::map<std::tuple<int, int, int>, std::size_t> index;
  std::vector<Rgb> colours;
  for (const Rgb& c : img.px)
    if (index.emplace(key(c), colours.size()).second) colours.push_back(c);
  const int per_pixel = colours.size() <= codes.size() ? 1 : 2;
  const auto code = [&](std::size_t i) {
    return per_pixel == 1 ? std::string(1, codes[i])
                          : std::string{codes[i / codes.size()], codes[i % codes.size()]};
  };
  std::string text = "/* XPM */\nstatic const char* " + name + "[] = {\n";
  char line[64];
  std::snprintf(line, sizeof line, "\"%d %d %zu %d\",\n", img.w, img.h, colours.size(), per_pixel);
  text += line;
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const Rgb c = colours[i];
    if (c == MAGENTA)
      std::snprintf(line, sizeof line, " c None");
    else
      std::snprintf(line, sizeof line, " c #%02X%02X%02X", c.r, c.g, c.b);
    text += "\"" + code(i) + line + "\",\n";
  }
  for (int y = 0; y < img.h; ++y) {
    text += '"';
    for (int x = 0; x < img.w; ++x) text += code(index[key(img.at(x, y))]);
    text += y + 1 < img.h ? "\",\n" : "\"\n";
  }
  return text + "};\n";
}

}  // namespace artbuild
