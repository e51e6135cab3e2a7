// Pixel masks: one bit per pixel, set where a picture is visible, and the
// word-wise overlap test between two positioned masks.
//
// Layout: the mask is cut into vertical strips 32 pixels wide, stored strip by
// strip, each strip row by row. Pixel (x, y) is bit (x & 31) of word
// (x >> 5) * height + y; bit 0 is the strip's leftmost column. Bits beyond the
// width in the last strip are 0 once the mask is filled.
#pragma once

#include <cstdint>

struct BITMAP;

struct PixelMask {
  std::int16_t width = 0;
  std::int16_t height = 0;
  std::uint32_t* words = nullptr;  // owned; null for an empty mask
};

// Reads one pixel of a picture for load_mask_from_source.
using MaskPixelReader = int (*)(const void* source, int x, int y);

// Does nothing; start-up calls it once before making masks.
void install_masks();

// Sizes the words of a caller-owned record. Sizes outside 0..32767 and a failed
// allocation leave the mask empty (0 x 0, no words).
void init_mask(PixelMask* mask, int width, int height);
void deinit_mask(PixelMask* mask);

// Allocate the record and its words; null when either cannot be had.
PixelMask* create_mask(int width, int height);
void destroy_mask(PixelMask* mask);  // null is allowed

// No bounds checks: the caller keeps x and y inside the mask.
int mask_get_pixel(const PixelMask* mask, int x, int y);
void mask_set_pixel(PixelMask* mask, int x, int y, int value);

// Fills every word: a bit is set where reader(source, x, y) != transparent.
void load_mask_from_source(PixelMask* mask, const void* source, int transparent,
                           MaskPixelReader reader);
void load_mask_from_bitmap(PixelMask* mask, BITMAP* bitmap);
PixelMask* create_mask_from_bitmap(BITMAP* bitmap);

// 1 when the two masks, with their pixel (0, 0) at (ax, ay) and (bx, by), share
// a visible pixel; 0 otherwise. Symmetric. A null or empty mask overlaps nothing.
int masks_overlap(const PixelMask* a, const PixelMask* b, int ax, int ay, int bx, int by);
