// The overlap test of two positioned masks, 32 columns of one row per AND.
#include "mask/mask.h"

#include <cstdint>

namespace {

int strip_count(int width) {
  return ((width - 1) >> 5) + 1;
}

bool is_empty(const PixelMask* m) {
  return m == nullptr || m->words == nullptr || m->width <= 0 || m->height <= 0;
}

// One pair of windows, rows from the bottom up: whether a word of `shifted`,
// moved right by `shift`, meets the word of `plain` in the same row. At most
// one mask's window is shifted and AND does not care which comes first, so
// each row costs one shift instead of two (a shift by a variable count is
// several micro-operations on x86).
bool windows_meet(const std::uint32_t* shifted, const std::uint32_t* plain, int shift, int rows) {
  for (int r = rows - 1; r >= 0; --r) {
    if ((shifted[r] >> shift) & plain[r]) return true;
  }
  return false;
}

}  // namespace

// Walks the strips of both masks from the left edge of their common box. At
// most one of the two windows is shifted; when it is, its word still holds
// columns that face the other mask's next strip, so the masks take turns in
// moving on. Rows are scanned from the bottom of the overlap upwards.
int masks_overlap(const PixelMask* a, const PixelMask* b, int ax, int ay, int bx, int by) {
  if (is_empty(a) || is_empty(b)) return 0;
  if (ax >= bx + b->width || bx >= ax + a->width || ay >= by + b->height || by >= ay + a->height) {
    return 0;
  }
  const int a_dx = ax > bx ? 0 : bx - ax;
  const int b_dx = ax > bx ? ax - bx : 0;
  const int a_dy = ay > by ? 0 : by - ay;
  const int b_dy = ay > by ? ay - by : 0;
  int a_shift = a_dx & 31;
  int b_shift = b_dx & 31;
  const int a_rows = a->height - a_dy;
  const int b_rows = b->height - b_dy;
  const int rows = a_rows < b_rows ? a_rows : b_rows;

  int ia = (a_dx >> 5) * a->height + a_dy;
  int ib = (b_dx >> 5) * b->height + b_dy;
  const int a_end = strip_count(a->width) * a->height;
  const int b_end = strip_count(b->width) * b->height;

  while (ia < a_end && ib < b_end) {
    const std::uint32_t* wa = a->words + ia;
    const std::uint32_t* wb = b->words + ib;
    if (a_shift != 0 ? windows_meet(wa, wb, a_shift, rows) : windows_meet(wb, wa, b_shift, rows)) {
      return 1;
    }
    if (a_shift == 0 && b_shift == 0) {
      ia += a->height;
      ib += b->height;
    } else if (a_shift == 0) {
      ib += b->height;
      a_shift = 32 - b_shift;
      b_shift = 0;
    } else {
      ia += a->height;
      b_shift = 32 - a_shift;
      a_shift = 0;
    }
  }
  return 0;
}
