#define ALLEGRO_NO_MAGIC_MAIN
#include "reference.h"

#include <allegro.h>
#include <loadpng.h>

#include <cerrno>
#include <cstdlib>

namespace {

// Allegro without a system driver: memory bitmaps and archives only.
void ensure_allegro() {
  static const bool ready = [] {
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    set_color_conversion(COLORCONV_TOTAL);
    return true;
  }();
  (void)ready;
}

}  // namespace

Picture load_picture(const std::string& path, int index) {
  ensure_allegro();
  Picture pic;
  DATAFILE* data = load_datafile(path.c_str());
  if (!data) return pic;
  int count = 0;
  while (data[count].type != DAT_END) ++count;
  if (index < count && data[index].type == DAT_BITMAP) {
    BITMAP* bmp = static_cast<BITMAP*>(data[index].dat);
    pic.width = bmp->w;
    pic.height = bmp->h;
    const int mask = bitmap_mask_color(bmp);
    for (int y = 0; y < bmp->h; ++y)
      for (int x = 0; x < bmp->w; ++x) {
        const int c = getpixel(bmp, x, y);
        const int d = bitmap_color_depth(bmp);
        pic.pixels.push_back(Rgb{static_cast<std::uint8_t>(getr_depth(d, c)),
                                 static_cast<std::uint8_t>(getg_depth(d, c)),
                                 static_cast<std::uint8_t>(getb_depth(d, c))});
        pic.opaque.push_back(c != mask);
      }
  }
  unload_datafile(data);
  return pic;
}

Image load_png_image(const std::string& path) {
  ensure_allegro();
  Image img;
  BITMAP* bmp = load_png(path.c_str(), nullptr);
  if (!bmp) return img;
  img.width = bmp->w;
  img.height = bmp->h;
  const int d = bitmap_color_depth(bmp);
  for (int y = 0; y < bmp->h; ++y)
    for (int x = 0; x < bmp->w; ++x) {
      const int c = getpixel(bmp, x, y);
      img.pixels.push_back(Rgb{static_cast<std::uint8_t>(getr_depth(d, c)),
                               static_cast<std::uint8_t>(getg_depth(d, c)),
                               static_cast<std::uint8_t>(getb_depth(d, c))});
    }
  destroy_bitmap(bmp);
  return img;
}

std::vector<std::pair<int, int>> text_pixels(const std::string& text, int right_edge) {
  ensure_allegro();
  const int w = text_length(font, text.c_str());
  const int h = text_height(font);
  BITMAP* bmp = create_bitmap_ex(32, w, h);
  clear_to_color(bmp, makecol32(0, 0, 0));
  textout_ex(bmp, font, text.c_str(), 0, 0, makecol32(255, 255, 255), -1);
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (getpixel(bmp, x, y) != makecol32(0, 0, 0)) out.emplace_back(right_edge - w + x, y);
  destroy_bitmap(bmp);
  return out;
}
