// Reads every byte Allegro made from a loaded archive: each picture's pixels,
// each sample's frames, each font's glyphs drawn. Under the sanitizers an
// object whose sizes do not match its memory is reported here.
#pragma once

#include <allegro.h>

#include <cstdint>

inline std::uint64_t touch_archive(const DATAFILE* data) {
  std::uint64_t sum = 0;
  for (int i = 0; data[i].type != DAT_END; ++i) {
    if (data[i].type == DAT_FILE) sum += touch_archive(static_cast<const DATAFILE*>(data[i].dat));
    if (data[i].type == DAT_BITMAP) {
      BITMAP* b = static_cast<BITMAP*>(data[i].dat);
      for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) sum += static_cast<std::uint32_t>(getpixel(b, x, y));
    }
    if (data[i].type == DAT_SAMPLE) {
      const SAMPLE* s = static_cast<const SAMPLE*>(data[i].dat);
      const unsigned long bytes = s->len * (s->stereo ? 2 : 1) * (s->bits / 8);
      for (unsigned long k = 0; k < bytes; ++k) sum += static_cast<const std::uint8_t*>(s->data)[k];
    }
    if (data[i].type == DAT_FONT) {
      FONT* f = static_cast<FONT*>(data[i].dat);
      BITMAP* page = create_bitmap_ex(8, 64, 32);
      if (page != nullptr) {
        textout_ex(page, f, " Az~", 0, 0, 1, 0);
        sum += static_cast<std::uint32_t>(text_length(f, "Mirvo") + text_height(f));
        destroy_bitmap(page);
      }
    }
  }
  return sum;
}
