// What detailed looks show, measured on the built data: every enemy bullet
// kind stands out from the brightest pixel of every level's background, and
// a level's map mixes its tiles only when the rules ask for it.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "content/content.h"
#include "render/hud_local.h"
#include "world/world.h"

namespace {

void start_allegro() {
  static const bool installed = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(installed);
  set_color_depth(32);
  set_color_conversion(COLORCONV_TOTAL | COLORCONV_KEEP_TRANS);
}

std::string game_file(const char* name) {
  return std::string(MIRVO_GAME_DIR) + "/" + name;
}

// The relative luminance of an sRGB colour, 0 for black to 1 for white.
double luminance(int r, int g, int b) {
  const auto linear = [](int c) {
    const double s = c / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

double contrast(double a, double b) {
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

struct Range {
  double low = 1.0;
  double high = 0.0;
  void add(double l) {
    low = std::min(low, l);
    high = std::max(high, l);
  }
};

void add_opaque_pixels(Range& range, BITMAP* bmp) {
  for (int y = 0; y < bmp->h; ++y)
    for (int x = 0; x < bmp->w; ++x) {
      const int c = getpixel(bmp, x, y);
      if (c != bitmap_mask_color(bmp)) range.add(luminance(getr(c), getg(c), getb(c)));
    }
}

struct Loaded {
  DATAFILE* dat;
  ~Loaded() {
    if (dat != nullptr) unload_datafile(dat);
  }
};

// A bullet's darkest pixel (its rim) must stand 3:1 from the brightest pixel
// a level's background can show (its tiles' stars, the dust), and its
// brightest (its core) 3:1 from its rim, so it reads on the darkest sky too.
TEST(Looks, EveryBulletKindStandsOutFromEveryLevelsBrightestPixel) {
  start_allegro();
  const Loaded data{load_datafile(game_file("data.dat").c_str())};
  ASSERT_NE(data.dat, nullptr);
  const struct {
    const char* name;
    int object;
  } kinds[] = {{"ball", 7}, {"small", 13}, {"large", 15}};
  for (const char* tiles : {"tileset1.dat", "tileset2.dat", "tileset3.dat"}) {
    const Loaded set{load_datafile(game_file(tiles).c_str())};
    ASSERT_NE(set.dat, nullptr) << tiles;
    Range background;
    for (const DustShade& s : DUST_SHADES) background.add(luminance(s.r, s.g, s.b));
    for (int t = 0; t < MAX_TILES && frame_bitmap(set.dat, t) != nullptr; ++t)
      add_opaque_pixels(background, frame_bitmap(set.dat, t));
    for (const auto& kind : kinds)
      for (int frame = 0; frame < 2; ++frame) {
        BITMAP* picture = frame_bitmap(data.dat, kind.object + frame);
        ASSERT_NE(picture, nullptr) << kind.name;
        Range bullet;
        add_opaque_pixels(bullet, picture);
        const double rim = contrast(bullet.low, background.high);
        const double core = contrast(bullet.high, bullet.low);
        std::printf("%s (brightest %.3f): %s frame %d rim %.2f:1, core on rim %.2f:1\n", tiles,
                    background.high, kind.name, frame, rim, core);
        EXPECT_GE(rim, 3.0) << tiles << " " << kind.name << " frame " << frame;
        EXPECT_GE(core, 3.0) << tiles << " " << kind.name << " frame " << frame;
      }
  }
}

TEST(Looks, ALevelsMapMixesItsTilesOnlyUnderDetailedLooks) {
  start_allegro();
  renderer = Renderer::Software;
  const std::string tiles = game_file("tileset2.dat");
  rules = ARCADE_RULES;
  load_tile_set(tiles.c_str());
  ASSERT_EQ(tile_count, MAX_TILES);
  std::set<int> used;
  int like_the_row_below = 0;
  for (int column = 0; column < TILE_MAP_COLUMNS; ++column)
    for (int row = 0; row < TILE_MAP_ROWS; ++row) {
      used.insert(tile_at(column, row));
      like_the_row_below += row > 0 && tile_at(column, row) == tile_at(column, row - 1);
    }
  EXPECT_EQ(used.size(), static_cast<std::size_t>(MAX_TILES));
  // Chance alone puts a quarter of the cells on the tile below them.
  EXPECT_LT(like_the_row_below, TILE_MAP_COLUMNS * TILE_MAP_ROWS / 3);

  rules = PLAIN_RULES;
  load_tile_set(tiles.c_str());
  for (int column = 0; column < TILE_MAP_COLUMNS; ++column)
    for (int row = 0; row < TILE_MAP_ROWS; ++row) ASSERT_EQ(tile_at(column, row), 0);
  release_level_graphics();
}

}  // namespace
