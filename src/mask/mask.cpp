// Making, filling and releasing pixel masks.
#include "mask/mask.h"

#include <allegro.h>

#include <cstdlib>

namespace {

constexpr int MAX_MASK_SIDE = 32767;

int strip_count(int width) {
  return ((width - 1) >> 5) + 1;
}

int read_bitmap_pixel(const void* source, int x, int y) {
  return getpixel(static_cast<BITMAP*>(const_cast<void*>(source)), x, y);
}

}  // namespace

void install_masks() {}

void init_mask(PixelMask* mask, int width, int height) {
  mask->width = 0;
  mask->height = 0;
  mask->words = nullptr;
  if (width < 0 || height < 0 || width > MAX_MASK_SIDE || height > MAX_MASK_SIDE) return;
  const int strips = width > 0 ? strip_count(width) : 0;
  const std::size_t count = static_cast<std::size_t>(strips) * static_cast<std::size_t>(height);
  // malloc(0) may answer null; a 0-sized mask is still a valid, empty mask.
  auto* words =
      static_cast<std::uint32_t*>(std::malloc(count > 0 ? count * sizeof(std::uint32_t) : 1));
  if (words == nullptr) return;
  mask->words = words;
  mask->width = static_cast<std::int16_t>(width);
  mask->height = static_cast<std::int16_t>(height);
  // The last strip's unused columns must read as 0 even before the mask is filled.
  for (std::size_t i = count - (count > 0 ? height : 0); i < count; ++i) words[i] = 0;
}

void deinit_mask(PixelMask* mask) {
  if (mask == nullptr) return;
  std::free(mask->words);
  mask->words = nullptr;
  mask->width = 0;
  mask->height = 0;
}

PixelMask* create_mask(int width, int height) {
  auto* mask = static_cast<PixelMask*>(std::malloc(sizeof(PixelMask)));
  if (mask == nullptr) return nullptr;
  init_mask(mask, width, height);
  if (mask->words == nullptr) {
    std::free(mask);
    return nullptr;
  }
  return mask;
}

void destroy_mask(PixelMask* mask) {
  if (mask == nullptr) return;
  deinit_mask(mask);
  std::free(mask);
}

int mask_get_pixel(const PixelMask* mask, int x, int y) {
  return (mask->words[(x >> 5) * mask->height + y] >> (x & 31)) & 1u;
}

void mask_set_pixel(PixelMask* mask, int x, int y, int value) {
  std::uint32_t& word = mask->words[(x >> 5) * mask->height + y];
  const std::uint32_t bit = 1u << (x & 31);
  word = value ? (word | bit) : (word & ~bit);
}

// Builds each word from its 32 columns, rightmost first, so column 32*s + n ends
// in bit n; columns past the width stay 0.
void load_mask_from_source(PixelMask* mask, const void* source, int transparent,
                           MaskPixelReader reader) {
  if (mask == nullptr || mask->words == nullptr) return;
  const int strips = strip_count(mask->width);
  for (int s = 0; s < strips; ++s) {
    for (int y = 0; y < mask->height; ++y) {
      std::uint32_t word = 0;
      for (int n = 31; n >= 0; --n) {
        word <<= 1;
        const int x = 32 * s + n;
        if (x < mask->width && reader(source, x, y) != transparent) word |= 1u;
      }
      mask->words[s * mask->height + y] = word;
    }
  }
}

void load_mask_from_bitmap(PixelMask* mask, BITMAP* bitmap) {
  load_mask_from_source(mask, bitmap, bitmap_mask_color(bitmap), read_bitmap_pixel);
}

PixelMask* create_mask_from_bitmap(BITMAP* bitmap) {
  if (bitmap == nullptr) return nullptr;
  PixelMask* mask = create_mask(bitmap->w, bitmap->h);
  if (mask != nullptr) load_mask_from_bitmap(mask, bitmap);
  return mask;
}
