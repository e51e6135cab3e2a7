// Smooth value noise that tiles: a hashed lattice per octave, blended with a
// smoothstep, repeating every period pixels. The clouds are drawn with it.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image.h"
#include "picture.h"

namespace artbuild {
namespace {

std::uint64_t hash3(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  Rng r(a * 0x100000001B3ull ^ (b << 21) ^ (c << 42) ^ b * 31 ^ c);
  r.next();
  return r.next();
}

double lattice(int ix, int iy, int period, std::uint64_t seed) {
  ix = ((ix % period) + period) % period;
  iy = ((iy % period) + period) % period;
  return static_cast<double>(
             hash3(seed, static_cast<std::uint64_t>(ix), static_cast<std::uint64_t>(iy)) >> 11) /
         9007199254740992.0;
}

double smooth(double t) {
  return t * t * (3 - 2 * t);
}

double value_noise(double x, double y, int cell, int period, std::uint64_t seed) {
  const int lattice_period = std::max(1, period / cell);
  const double fx = x / cell, fy = y / cell;
  const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
  const double tx = smooth(fx - ix), ty = smooth(fy - iy);
  const double a = lattice(ix, iy, lattice_period, seed);
  const double b = lattice(ix + 1, iy, lattice_period, seed);
  const double c = lattice(ix, iy + 1, lattice_period, seed);
  const double d = lattice(ix + 1, iy + 1, lattice_period, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

}  // namespace

double tiled_noise(double x, double y, int cell, int period, std::uint64_t seed) {
  double sum = 0, weight = 0, amp = 1;
  for (int c = cell, octave = 0; c >= 4; c /= 2, amp *= 0.5, ++octave) {
    sum += amp * value_noise(x, y, c, period, seed * 131 + octave);
    weight += amp;
  }
  return weight > 0 ? sum / weight : 0.5;
}

}  // namespace artbuild
