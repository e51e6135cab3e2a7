// What detailed looks change in the playfield, the same in both renderers:
// where the dust layer's specks are, and which picture a projectile shows.
#include "content/content.h"
#include "render/hud_local.h"
#include "world/world.h"

// The layer lies nearer than the tiles, so it moves DUST_SPEED times as far;
// a speck belongs to a DUST_CELL square of the layer and is put there by the
// square's hash alone, never by the world's random numbers, so a replay draws
// the same dust and the dust changes nothing a replay checks.
int dust_specks(std::array<DustSpeck, MAX_DUST_SPECKS>& out) {
  const double scrolled = DUST_SPEED * (static_cast<double>(scroll_row) * TILE_SIZE +
                                        static_cast<double>(scroll_offset));
  const auto base = static_cast<std::int64_t>(scrolled / DUST_CELL);
  const int shift = static_cast<int>(scrolled - static_cast<double>(base) * DUST_CELL);
  int count = 0;
  for (int i = 0; i < DUST_ROWS; ++i) {
    // Rows count up the layer, as the tile rows do: the top slot shows the newest.
    const auto row = static_cast<int>((base + DUST_ROWS - 1 - i) & 0x7fffffff);
    const int top = DUST_CELL * (i - 1) + shift;
    for (int column = 0; column < DUST_COLUMNS; ++column) {
      const std::uint32_t h = background_hash(column, row, DUST_SALT);
      if (h % DUST_ONE_IN != 0) continue;
      const int y = top + static_cast<int>((h >> 12) % DUST_CELL);
      if (y < 0 || y >= PLAYFIELD_H) continue;
      out[count++] = {DUST_CELL * column + static_cast<int>((h >> 4) % DUST_CELL), y,
                      static_cast<int>((h >> 20) & 1)};
    }
  }
  return count;
}

int drawn_shot_type(const Rules& r, int type) {
  if (!r.detailed_looks && (type == SMALL_BULLET_SHOT || type == LARGE_BULLET_SHOT))
    return ENEMY_BULLET_SHOT;
  return type;
}

bool drawn_long(const Rules& r, int type) {
  return r.detailed_looks && type == 1 && long_shot_picture.frame != 0;
}
