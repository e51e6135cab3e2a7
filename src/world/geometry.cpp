// The box test made before every pixel test, the frame lookup and the
// effects' random numbers.
#include <allegro.h>

#include <cstdlib>

#include "world/world.h"

BITMAP* frame_bitmap(const DATAFILE* data, int frame) {
  if (data == nullptr || frame < 0) return nullptr;
  for (int i = 0; i < frame; ++i) {
    if (data[i].type == DAT_END) return nullptr;
  }
  if (data[frame].type != DAT_BITMAP) return nullptr;
  return static_cast<BITMAP*>(data[frame].dat);
}

int rects_overlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2) {
  if (x1 + w1 - 1 < x2) return 0;
  if (x2 + w2 - 1 < x1) return 0;
  if (y1 + h1 - 1 < y2) return 0;
  if (y2 + h2 - 1 < y1) return 0;
  return 1;
}

int random_between(int a, int b) {
  const int lo = a < b ? a : b;
  const int hi = a < b ? b : a;
  // The span is formed in 64 bits so even the widest range cannot overflow.
  const long long span = static_cast<long long>(hi) - lo + 1;
  return static_cast<int>(lo + std::rand() % span);
}
