// The box test made before every pixel test, the frame lookup and the
// world's random numbers.
#include <allegro.h>

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

namespace {
constexpr int RANDOM_WORDS = 31;
constexpr int RANDOM_LAG = 3;        // the partner word is this many behind the front
constexpr int RANDOM_WARM_UP = 310;  // draws thrown away after seeding

int draw(WorldRandom& g) {
  const int behind = (g.front + RANDOM_WORDS - RANDOM_LAG) % RANDOM_WORDS;
  g.words[g.front] += g.words[behind];  // modulo 2^32
  const auto drawn = static_cast<int>(g.words[g.front] >> 1);
  g.front = (g.front + 1) % RANDOM_WORDS;
  return drawn;
}

// The words as glibc's srandom fills them: 16807 * word mod (2^31 - 1) by
// Schrage's method, in signed 32 bits with 64-bit intermediates, so a seed
// of 2^31 or more (a negative word) gives what the C library gives.
WorldRandom seeded(std::uint32_t seed) {
  WorldRandom g;
  auto word = static_cast<std::int32_t>(seed == 0 ? 1 : seed);
  g.words[0] = static_cast<std::uint32_t>(word);
  for (int i = 1; i < RANDOM_WORDS; ++i) {
    const std::int64_t hi = word / 127773;
    const std::int64_t lo = word % 127773;
    word = static_cast<std::int32_t>(16807 * lo - 2836 * hi);
    if (word < 0) word += 2147483647;
    g.words[i] = static_cast<std::uint32_t>(word);
  }
  g.front = RANDOM_LAG;
  for (int i = 0; i < RANDOM_WARM_UP; ++i) draw(g);
  return g;
}
}  // namespace

// Never seeded, it draws what rand() draws before any srand: seed 1's numbers.
WorldRandom world_random = seeded(1);

void seed_world_random(std::uint32_t seed) {
  world_random = seeded(seed);
}

int world_rand() {
  return draw(world_random);
}

int random_between(int a, int b) {
  const int lo = a < b ? a : b;
  const int hi = a < b ? b : a;
  // The span is formed in 64 bits so even the widest range cannot overflow.
  const long long span = static_cast<long long>(hi) - lo + 1;
  return static_cast<int>(lo + world_rand() % span);
}
