// The built datafiles hold what the game reads, at the indexes it reads them
// from, in every colour depth it may run in. The art builder's own pieces are
// tested in artbuild_test.cpp.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "render/hud_local.h"

namespace {

void start_allegro_once() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(started);
}

std::string game_file(const char* name) {
  return std::string(MIRVO_GAME_DIR) + "/" + name;
}

// A loaded datafile, unloaded when the test ends.
struct Datafile {
  DATAFILE* dat = nullptr;
  explicit Datafile(const char* name) { dat = load_datafile(game_file(name).c_str()); }
  ~Datafile() {
    if (dat) unload_datafile(dat);
  }
  int count() const {
    int n = 0;
    while (dat[n].type != DAT_END) ++n;
    return n;
  }
  BITMAP* bitmap(int i) const { return static_cast<BITMAP*>(dat[i].dat); }
};

bool is_magenta(BITMAP* bmp, int x, int y) {
  return getpixel(bmp, x, y) == makecol_depth(bitmap_color_depth(bmp), 255, 0, 255);
}

int opaque_pixels(BITMAP* bmp) {
  int n = 0;
  for (int y = 0; y < bmp->h; ++y)
    for (int x = 0; x < bmp->w; ++x) n += !is_magenta(bmp, x, y);
  return n;
}

bool corners_clear(BITMAP* bmp) {
  return is_magenta(bmp, 0, 0) && is_magenta(bmp, bmp->w - 1, 0) &&
         is_magenta(bmp, 0, bmp->h - 1) && is_magenta(bmp, bmp->w - 1, bmp->h - 1);
}

bool same_pixels(BITMAP* a, BITMAP* b) {
  for (int y = 0; y < a->h; ++y)
    for (int x = 0; x < a->w; ++x)
      if (getpixel(a, x, y) != getpixel(b, x, y)) return false;
  return true;
}

// The files are checked in each depth the desktop may have: loading converts
// the 32-bit pictures, and magenta must stay exactly magenta.
class BuiltData : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    start_allegro_once();
    set_color_depth(GetParam());
    set_color_conversion(COLORCONV_TOTAL | COLORCONV_KEEP_TRANS);
  }
};

TEST_P(BuiltData, DataDatHasTheObjectsTheGameReadsAtTheirIndexes) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr) << game_file("data.dat");
  ASSERT_EQ(data.count(), 17);
  const struct {
    int index, w, h;
  } bitmaps[] = {{3, 40, 40}, {4, 3, 3},    {5, 320, 400}, {7, 5, 5},  {8, 5, 5},
                 {9, 16, 16}, {10, 16, 16}, {11, 16, 16},  {12, 3, 8}, {13, 5, 5},
                 {14, 5, 5},  {15, 9, 9},   {16, 9, 9}};
  for (const auto& b : bitmaps) {
    ASSERT_EQ(data.dat[b.index].type, DAT_BITMAP) << "object " << b.index;
    EXPECT_EQ(data.bitmap(b.index)->w, b.w) << "object " << b.index;
    EXPECT_EQ(data.bitmap(b.index)->h, b.h) << "object " << b.index;
    EXPECT_EQ(bitmap_color_depth(data.bitmap(b.index)), GetParam());
  }
  EXPECT_EQ(data.dat[6].type, DAT_FONT);
}

TEST_P(BuiltData, ShipIsVisibleInsideAClearBorderWithGunAndEnginesWhereTheGameExpects) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr);
  BITMAP* ship = data.bitmap(3);
  EXPECT_GT(opaque_pixels(ship), 40 * 40 / 3);
  EXPECT_TRUE(corners_clear(ship));
  // The shots leave from columns 18..20 of the top edge: the gun is there,
  // and nothing else of the ship reaches the top row.
  for (int x = 0; x < 40; ++x)
    if (x < 17 || x > 21) {
      EXPECT_TRUE(is_magenta(ship, x, 0)) << "top row, x " << x;
    }
  EXPECT_FALSE(is_magenta(ship, 18, 0) && is_magenta(ship, 19, 0) && is_magenta(ship, 20, 0));
  // The exhaust comes out at columns 11..15 and 22..26 of the bottom edge.
  int left = 0, right = 0;
  for (int x = 0; x < 40; ++x) {
    if (is_magenta(ship, x, 39)) continue;
    EXPECT_TRUE((x >= 11 && x <= 15) || (x >= 22 && x <= 26)) << "bottom row, x " << x;
    (x < 20 ? left : right)++;
  }
  EXPECT_GT(left, 0);
  EXPECT_GT(right, 0);
}

TEST_P(BuiltData, ShotIsSolidAndBright) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr);
  BITMAP* shot = data.bitmap(4);
  EXPECT_EQ(opaque_pixels(shot), 9);
  const int c = getpixel(shot, 1, 1);
  EXPECT_GT(getr(c) + getg(c) + getb(c), 3 * 200);
}

// The enemy bullet (objects 7 and 8) in every depth a desktop may have: a
// round 5 x 5 ball whose 3 x 3 core is solid, ringed by a rim much darker than
// the core, warm all over and nothing like the ship's cyan shot.
class BulletArt : public BuiltData {};

struct MeanColour {
  int r = 0, g = 0, b = 0;
};

MeanColour mean_of_opaque(BITMAP* bmp) {
  long r = 0, g = 0, b = 0, n = 0;
  for (int y = 0; y < bmp->h; ++y)
    for (int x = 0; x < bmp->w; ++x) {
      if (is_magenta(bmp, x, y)) continue;
      const int c = getpixel(bmp, x, y);
      r += getr(c);
      g += getg(c);
      b += getb(c);
      ++n;
    }
  if (n == 0) return {};
  return {static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n)};
}

int lightness(int c) {
  return getr(c) + getg(c) + getb(c);
}

TEST_P(BulletArt, EnemyBulletIsARoundWarmBallInADarkRim) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr);
  ASSERT_EQ(data.count(), 17);
  const MeanColour shot = mean_of_opaque(data.bitmap(4));
  for (int index : {7, 8}) {
    BITMAP* b = data.bitmap(index);
    ASSERT_EQ(bitmap_color_depth(b), GetParam());
    EXPECT_TRUE(corners_clear(b)) << "object " << index << " is not round";
    EXPECT_EQ(opaque_pixels(b), 25 - 4) << "object " << index;
    int core_light = 0;
    for (int y = 1; y <= 3; ++y)
      for (int x = 1; x <= 3; ++x) {
        ASSERT_FALSE(is_magenta(b, x, y)) << "object " << index << " core " << x << "," << y;
        core_light += lightness(getpixel(b, x, y));
      }
    for (int i = 1; i <= 3; ++i)
      for (const auto& [x, y] :
           {std::pair{i, 0}, std::pair{i, 4}, std::pair{0, i}, std::pair{4, i}})
        EXPECT_LT(3 * 9 * lightness(getpixel(b, x, y)), core_light)
            << "object " << index << " rim at " << x << "," << y << " is not dark";
    const MeanColour m = mean_of_opaque(b);
    EXPECT_GT(m.r, 2 * m.b) << "object " << index << " is not warm";
    EXPECT_GT(m.r, m.g) << "object " << index << " is not warm";
    EXPECT_LT(m.b + 150, shot.b) << "object " << index << " looks like the shot";
  }
  EXPECT_FALSE(same_pixels(data.bitmap(7), data.bitmap(8))) << "the bullet does not pulse";
}

// The relative luminance of a pixel, 0 for black to 1 for white.
double luminance(int r, int g, int b) {
  const auto linear = [](int c) {
    const double s = c / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}
std::pair<double, double> darkest_and_brightest(BITMAP* b) {
  std::pair<double, double> range{1.0, 0.0};
  for (int y = 0; y < b->h; ++y)
    for (int x = 0; x < b->w; ++x) {
      const int c = getpixel(b, x, y);
      const double l = luminance(getr(c), getg(c), getb(c));
      if (!is_magenta(b, x, y)) range = {std::min(range.first, l), std::max(range.second, l)};
    }
  return range;
}

// Each enemy bullet kind's rim stands 3:1 from the brightest pixel a level's
// background shows (its tiles' stars, the dust), and its core 3:1 from its rim.
TEST_P(BulletArt, EveryKindStandsOutFromEveryLevelsBrightestPixel) {
  Datafile data("data.dat");
  for (const char* name : {"tileset1.dat", "tileset2.dat", "tileset3.dat"}) {
    Datafile tiles(name);
    double brightest = 0.0;
    for (const DustShade& s : DUST_SHADES)
      brightest = std::max(brightest, luminance(s.r, s.g, s.b));
    for (int t = 0; t < tiles.count(); ++t)
      brightest = std::max(brightest, darkest_and_brightest(tiles.bitmap(t)).second);
    for (int object : {7, 8, 13, 14, 15, 16}) {
      const auto [rim, core] = darkest_and_brightest(data.bitmap(object));
      EXPECT_GE((brightest + 0.05) / (rim + 0.05), 3.0) << name << ", object " << object;
      EXPECT_GE((core + 0.05) / (rim + 0.05), 3.0) << "object " << object;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ColourDepths, BulletArt, ::testing::Values(15, 16, 32));

TEST_P(BuiltData, MenuBackgroundHasNoHolesAndADarkPlaceForTheItems) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr);
  BITMAP* bg = data.bitmap(5);
  EXPECT_EQ(opaque_pixels(bg), 320 * 400);
  // The items are drawn from x 225, y 250 to the last item's bottom; white and
  // red text needs a dark, quiet ground there.
  double sum = 0;
  int brightest = 0, n = 0;
  for (int y = 250; y < 353; ++y)
    for (int x = 225; x < 310; ++x, ++n) {
      const int c = getpixel(bg, x, y);
      const int lum = (getr(c) * 3 + getg(c) * 6 + getb(c)) / 10;
      sum += lum;
      brightest = std::max(brightest, lum);
    }
  EXPECT_LT(sum / n, 40.0);
  EXPECT_LT(brightest, 110);
}

TEST_P(BuiltData, MenuFontDrawsOnlyInTheColourAskedFor) {
  Datafile data("data.dat");
  ASSERT_NE(data.dat, nullptr);
  FONT* f = static_cast<FONT*>(data.dat[6].dat);
  BITMAP* bmp = create_bitmap(320, 40);
  ASSERT_NE(bmp, nullptr);
  const int black = makecol(0, 0, 0), red = makecol(255, 0, 0), white = makecol(255, 255, 255);
  for (const int colour : {red, white}) {
    clear_to_color(bmp, black);
    textprintf_ex(bmp, f, 4, 4, colour, -1, "%s", "Options");
    int ink = 0, other = 0;
    for (int y = 0; y < bmp->h; ++y)
      for (int x = 0; x < bmp->w; ++x) {
        const int c = getpixel(bmp, x, y);
        ink += c == colour;
        other += c != colour && c != black;
      }
    EXPECT_GT(ink, 60);
    EXPECT_EQ(other, 0);
  }
  destroy_bitmap(bmp);
  // Legible on the menu, and every message fits the 320-pixel playfield.
  EXPECT_GE(text_height(f), 10);
  EXPECT_LE(text_height(f), 14);
  for (const char* s : {"You are a winner!!!11", "You fail it!!!1", "There is no game running",
                        "Use joystick:", "Renderer:", "Software", "OpenGL"})
    EXPECT_LT(text_length(f, s), 300) << s;
  // Glyphs are real: different letters differ in width or ink.
  EXPECT_GT(text_length(f, "W"), text_length(f, "i"));
}

// Mean colour difference between column x and column x+1 (wrapping) of a tile.
double column_step(BITMAP* t, int x) {
  double sum = 0;
  for (int y = 0; y < t->h; ++y) {
    const int a = getpixel(t, x, y), b = getpixel(t, (x + 1) % t->w, y);
    sum += std::abs(getr(a) - getr(b)) + std::abs(getg(a) - getg(b)) + std::abs(getb(a) - getb(b));
  }
  return sum / t->h;
}

void check_tile_is_seamless(const char* name);

// Each level's background tile.
TEST_P(BuiltData, TilesAreSeamlessBothWays) {
  for (const char* name : {"tileset1.dat", "tileset2.dat", "tileset3.dat"}) {
    SCOPED_TRACE(name);
    check_tile_is_seamless(name);
  }
}

void check_tile_is_seamless(const char* name) {
  Datafile tiles(name);
  ASSERT_NE(tiles.dat, nullptr);
  ASSERT_GE(tiles.count(), 1);
  ASSERT_EQ(tiles.dat[0].type, DAT_BITMAP);
  BITMAP* tile = tiles.bitmap(0);
  ASSERT_EQ(tile->w, 64);
  ASSERT_EQ(tile->h, 64);
  EXPECT_EQ(opaque_pixels(tile), 64 * 64);
  // Across the wrap edge the picture changes no more than between two
  // neighbouring columns (or rows) inside it.
  for (const bool rows : {false, true}) {
    BITMAP* t = tile;
    BITMAP* turned = nullptr;
    if (rows) {
      turned = create_bitmap(64, 64);
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) putpixel(turned, y, x, getpixel(tile, x, y));
      t = turned;
    }
    double interior = 0;
    for (int x = 0; x < 63; ++x) interior += column_step(t, x);
    interior /= 63;
    EXPECT_LE(column_step(t, 63), 2.0 * interior + 2.0) << (rows ? "rows" : "columns");
    if (turned) destroy_bitmap(turned);
  }
}

struct EnemyFile {
  const char* name;
  int frames, w, h;
};
constexpr EnemyFile ENEMY_FILES[] = {
    {"director.dat", 1, 2, 2},    {"dart.dat", 3, 24, 24},       {"drone.dat", 4, 32, 32},
    {"gunship.dat", 3, 48, 40},   {"pod.dat", 3, 20, 20},        {"carrier.dat", 3, 40, 40},
    {"boss.dat", 4, 96, 72},      {"alert.dat", 2, 100, 26},     {"stinger.dat", 4, 28, 28},
    {"splitter.dat", 3, 36, 30},  {"warden.dat", 5, 88, 60},     {"lancer.dat", 4, 24, 36},
    {"mine.dat", 4, 30, 30},      {"tyrant.dat", 5, 104, 68},    {"eel.dat", 4, 20, 34},
    {"ray.dat", 4, 40, 26},       {"jelly.dat", 4, 26, 30},      {"urchin.dat", 4, 30, 30},
    {"leviathan.dat", 4, 96, 64}, {"ember.dat", 4, 22, 26},      {"slag.dat", 4, 40, 34},
    {"wisp.dat", 4, 24, 26},      {"forgeheart.dat", 4, 76, 56}, {"brand.dat", 3, 16, 16}};

TEST_P(BuiltData, EnemyFilesHoldTheirFramesAtTheirSizes) {
  for (const EnemyFile& e : ENEMY_FILES) {
    Datafile file(e.name);
    ASSERT_NE(file.dat, nullptr) << e.name;
    ASSERT_EQ(file.count(), e.frames) << e.name;
    for (int i = 0; i < e.frames; ++i) {
      ASSERT_EQ(file.dat[i].type, DAT_BITMAP) << e.name << " frame " << i;
      EXPECT_EQ(file.bitmap(i)->w, e.w) << e.name << " frame " << i;
      EXPECT_EQ(file.bitmap(i)->h, e.h) << e.name << " frame " << i;
    }
  }
}

TEST_P(BuiltData, EnemyFramesAreVisibleAndDifferFromEachOther) {
  for (const EnemyFile& e : ENEMY_FILES) {
    if (e.frames < 2) continue;
    Datafile file(e.name);
    ASSERT_NE(file.dat, nullptr) << e.name;
    ASSERT_EQ(file.count(), e.frames) << e.name;
    for (int i = 0; i < e.frames; ++i) {
      EXPECT_GT(opaque_pixels(file.bitmap(i)), e.w * e.h / 4) << e.name << " frame " << i;
      EXPECT_TRUE(corners_clear(file.bitmap(i))) << e.name << " frame " << i;
      // Every frame after the first is an animation step of its own.
      if (i > 0) {
        EXPECT_FALSE(same_pixels(file.bitmap(0), file.bitmap(i))) << e.name << " " << i;
      }
    }
  }
}

TEST_P(BuiltData, DirectorFrameIsWhollyTransparent) {
  Datafile file("director.dat");
  ASSERT_NE(file.dat, nullptr);
  EXPECT_EQ(opaque_pixels(file.bitmap(0)), 0);
}

INSTANTIATE_TEST_SUITE_P(ColourDepths, BuiltData, ::testing::Values(16, 24, 32));

}  // namespace
