// The built datafiles hold what the game reads, at the indexes it reads them
// from, in every colour depth it may run in; and the art builder's pieces do
// what the sources promise.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "artbuild/font.h"
#include "artbuild/image.h"
#include "artbuild/picture.h"
#include "artbuild/sprite.h"

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
  ASSERT_EQ(data.count(), 9);
  const struct {
    int index, w, h;
  } bitmaps[] = {{3, 40, 40}, {4, 3, 3}, {5, 320, 400}, {7, 5, 5}, {8, 5, 5}};
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
  ASSERT_EQ(data.count(), 9);
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
    {"director.dat", 1, 2, 2},   {"dart.dat", 3, 24, 24},   {"drone.dat", 4, 32, 32},
    {"gunship.dat", 3, 48, 40},  {"pod.dat", 3, 20, 20},    {"carrier.dat", 3, 40, 40},
    {"boss.dat", 4, 96, 72},     {"alert.dat", 2, 100, 26}, {"stinger.dat", 4, 28, 28},
    {"splitter.dat", 3, 36, 30}, {"warden.dat", 5, 88, 60}, {"lancer.dat", 4, 24, 36},
    {"mine.dat", 4, 30, 30},     {"tyrant.dat", 5, 104, 68}};

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

// ---- The art builder ----

using artbuild::Rgb;

constexpr const char* TWO_FRAMES = R"(
size 3 2
colour . transparent
colour a 10 20 30    ; a comment after a colour
colour b 200 100 50
frame one
a.b
bba
frame two from one
  recolor a b
)";

TEST(ArtSprites, ParsesGridsAndDerivedFrames) {
  std::string error;
  const auto sheet = artbuild::parse_sprite_sheet(TWO_FRAMES, "t.txt", error);
  ASSERT_TRUE(sheet) << error;
  ASSERT_EQ(sheet->frames.size(), 2u);
  const auto& one = sheet->frames[0];
  EXPECT_EQ(one.at(0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(one.at(1, 0), artbuild::MAGENTA);
  EXPECT_EQ(one.at(2, 1), (Rgb{10, 20, 30}));
  const auto& two = sheet->frames[1];
  EXPECT_EQ(two.at(0, 0), (Rgb{200, 100, 50}));
  EXPECT_EQ(two.at(1, 0), artbuild::MAGENTA);
}

TEST(ArtSprites, RejectsMalformedSheetsNamingTheLine) {
  const struct {
    const char* text;
    const char* where;
  } bad[] = {
      {"size 2 1\ncolour a 1 2 3\nframe f\naaa\n", "t.txt:4:"},            // row too long
      {"size 2 1\ncolour a 1 2 3\nframe f\nax\n", "t.txt:4:"},             // not in legend
      {"size 2 2\ncolour a 1 2 3\nframe f\naa\n", "t.txt:4:"},             // missing row
      {"size 1 1\ncolour a 1 2 3\nframe f from g\n", "t.txt:3:"},          // unknown base
      {"size 1 1\ncolour a 1 2 300\n", "t.txt:2:"},                        // colour range
      {"colour a 1 2 3\nframe f\na\n", "t.txt:2:"},                        // no size yet
      {"size 1 1\ncolour a 1 2 3\nframe f\na\nframe f\na\n", "t.txt:5:"},  // duplicate
      {"size 1 1\ncolour a 1 2 3\nframe f\na\nframe g from f\n  blur 3\n", "t.txt:6:"},
  };
  for (const auto& b : bad) {
    std::string error;
    EXPECT_FALSE(artbuild::parse_sprite_sheet(b.text, "t.txt", error)) << b.text;
    EXPECT_EQ(error.rfind(b.where, 0), 0u) << error;
  }
  std::string error;
  EXPECT_FALSE(artbuild::parse_sprite_sheet("size 1 1\n", "t.txt", error));  // no frames
}

artbuild::Image test_hull() {
  artbuild::Image img(24, 24);
  for (int y = 4; y < 20; ++y)
    for (int x = 6; x < 18; ++x) img.at(x, y) = Rgb{120, 100, 90};
  return img;
}

TEST(ArtSprites, EffectsAreRepeatableAndStayNearTheHull) {
  for (auto effect : {&artbuild::break_up, &artbuild::shimmer}) {
    artbuild::Image a = test_hull(), b = test_hull(), c = test_hull();
    effect(a, 11);
    effect(b, 11);
    effect(c, 12);
    EXPECT_EQ(a.px, b.px);  // same seed, same picture: builds are reproducible
    EXPECT_NE(a.px, c.px);
    EXPECT_NE(a.px, test_hull().px);
    ASSERT_EQ(a.w, 24);
    // Nothing appears more than a few pixels away from the hull.
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x)
        if (x < 2 || x > 21 || y < 1 || y > 22) {
          EXPECT_TRUE(a.clear(x, y)) << x << "," << y;
        }
  }
  artbuild::Image empty(4, 4);
  artbuild::shimmer(empty, 3);
  artbuild::break_up(empty, 3);
  EXPECT_EQ(empty.px, artbuild::Image(4, 4).px);
}

TEST(ArtSprites, SwapExchangesTwoColoursOnly) {
  artbuild::Image img(3, 1);
  img.at(0, 0) = {1, 1, 1};
  img.at(1, 0) = {2, 2, 2};
  img.at(2, 0) = {3, 3, 3};
  artbuild::swap_colours(img, {1, 1, 1}, {2, 2, 2});
  EXPECT_EQ(img.at(0, 0), (Rgb{2, 2, 2}));
  EXPECT_EQ(img.at(1, 0), (Rgb{1, 1, 1}));
  EXPECT_EQ(img.at(2, 0), (Rgb{3, 3, 3}));
}

// A font source with every character from '!' to '~' as a solid 2 x 3 block,
// except 'A', a 3-wide pattern. Blocks of three characters keep ';' from
// starting a "chars" word, where it would begin a comment.
std::string tiny_font(bool drop_tilde) {
  std::string s = "height 3\nspacing 1\nspace 2\n";
  const int last = drop_tilde ? 125 : 126;
  for (int first = 33; first <= last; first += 3) {
    std::string chars, rows[3];
    for (int c = first; c < first + 3 && c <= last; ++c) {
      chars += static_cast<char>(c);
      const char* glyph[3] = {"##", "##", "##"};
      if (c == 'A') glyph[0] = ".#.", glyph[1] = "#.#", glyph[2] = "###";
      for (int y = 0; y < 3; ++y) rows[y] += std::string(glyph[y]) + " ";
    }
    s += "chars " + chars + "\n" + rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n";
  }
  return s;
}

TEST(ArtFont, GridFollowsAllegrosLayout) {
  std::string error;
  const auto font = artbuild::parse_font(tiny_font(false), "f.txt", error);
  ASSERT_TRUE(font) << error;
  EXPECT_EQ(font->glyphs[0].w, 3);         // the space: its width and the gap
  EXPECT_EQ(font->glyphs['A' - 32].w, 4);  // three columns and the gap
  const artbuild::IndexedImage grid = artbuild::font_grid(*font);
  auto px = [&](int x, int y) { return grid.px[static_cast<std::size_t>(y) * grid.w + x]; };
  // Border lines of 255 around every cell; the first cell holds the space.
  EXPECT_EQ(grid.h, 1 + 6 * 4);
  EXPECT_EQ(px(0, 0), 255);
  EXPECT_EQ(px(1, 1), 0);
  EXPECT_EQ(px(4, 1), 255);
  // 'A' is character 65: row 2 of the grid, second cell, after '@' (two
  // columns and its gap).
  const int ax = 1 + 3 + 1, ay = 1 + 2 * 4;
  EXPECT_EQ(px(ax - 1, ay), 255);
  EXPECT_EQ(px(ax, ay), 0);
  EXPECT_EQ(px(ax + 1, ay), 1);
  EXPECT_EQ(px(ax, ay + 2), 1);
  EXPECT_EQ(px(ax + 3, ay), 0);  // the gap belongs to the glyph
  EXPECT_EQ(px(ax + 4, ay), 255);

  EXPECT_FALSE(artbuild::parse_font(tiny_font(true), "f.txt", error));
  EXPECT_NE(error.find("'~'"), std::string::npos) << error;
  EXPECT_FALSE(artbuild::parse_font("height 3\nchars AB\n## ##\n## #\n## ##\n", "f.txt", error));
  EXPECT_EQ(error.rfind("f.txt:4:", 0), 0u) << error;
}

TEST(ArtFont, BuiltGridLoadsAsAOneColourAllegroFont) {
  start_allegro_once();
  set_color_depth(32);
  std::string error;
  const auto font = artbuild::parse_font(tiny_font(false), "f.txt", error);
  ASSERT_TRUE(font) << error;
  const std::string path = std::string(MIRVO_GAME_DIR) + "/../data_test_font.bmp";
  ASSERT_TRUE(artbuild::write_bmp8(artbuild::font_grid(*font), path, error)) << error;
  FONT* f = load_bitmap_font(path.c_str(), nullptr, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(is_mono_font(f));
  EXPECT_EQ(text_height(f), 3);
  EXPECT_EQ(text_length(f, "A A"), 4 + 3 + 4);
  destroy_font(f);
  std::remove(path.c_str());
}

TEST(ArtImages, Bmp24ReadsBackThroughAllegro) {
  start_allegro_once();
  set_color_depth(32);
  set_color_conversion(COLORCONV_TOTAL);
  // Odd width, so each row needs padding to four bytes.
  artbuild::Image img(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      img.at(x, y) = Rgb{static_cast<std::uint8_t>(x * 50), static_cast<std::uint8_t>(y * 100),
                         static_cast<std::uint8_t>(7 + x + y)};
  const std::string path = std::string(MIRVO_GAME_DIR) + "/../data_test_image.bmp";
  std::string error;
  ASSERT_TRUE(artbuild::write_bmp24(img, path, error)) << error;
  BITMAP* bmp = load_bitmap(path.c_str(), nullptr);
  ASSERT_NE(bmp, nullptr);
  ASSERT_EQ(bmp->w, 5);
  ASSERT_EQ(bmp->h, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const int c = getpixel(bmp, x, y);
      EXPECT_EQ((Rgb{static_cast<std::uint8_t>(getr(c)), static_cast<std::uint8_t>(getg(c)),
                     static_cast<std::uint8_t>(getb(c))}),
                img.at(x, y))
          << x << "," << y;
    }
  destroy_bitmap(bmp);
  std::remove(path.c_str());
}

TEST(ArtPictures, NoiseRepeatsOverItsPeriod) {
  for (const int cell : {8, 16, 32})
    for (double x = 0.5; x < 64; x += 7.3)
      for (double y = 0.25; y < 64; y += 5.9) {
        const double v = artbuild::tiled_noise(x, y, cell, 64, 9);
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, 1.0);
        EXPECT_NEAR(v, artbuild::tiled_noise(x + 64, y, cell, 64, 9), 1e-9);
        EXPECT_NEAR(v, artbuild::tiled_noise(x, y + 64, cell, 64, 9), 1e-9);
      }
}

TEST(ArtPictures, RejectsBadParameters) {
  std::string error;
  EXPECT_FALSE(artbuild::make_picture("kind tile\nsize 64 64\ncloud 1 2 3 50 24\n", "p.txt",
                                      nullptr, error));  // 24 does not divide 64
  EXPECT_FALSE(artbuild::make_picture("kind menu\nsize 8 8\nstars 10 200 100\n", "p.txt", nullptr,
                                      error));  // brightest below dimmest
  EXPECT_EQ(error.rfind("p.txt:3:", 0), 0u) << error;
  EXPECT_FALSE(artbuild::make_picture("kind menu\nsize 8 8\nlogo AB 4 0 1 1 1 1 2 2 2 3 3 3\n",
                                      "p.txt", nullptr, error));  // no font for the logo
  EXPECT_FALSE(artbuild::make_picture("kind menu\nsize 8 8\nsparkle 3\n", "p.txt", nullptr, error));
  const auto ok =
      artbuild::make_picture("kind tile\nsize 16 16\nsky 1 2 3 1 2 3\n", "p.txt", nullptr, error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ok->at(5, 5), (Rgb{1, 2, 3}));
}

}  // namespace
