// The art builder's pieces do what the sources promise: sprite sheets and
// their effects, the font grid Allegro reads, the 24-bit images and the
// pictures made from parameters.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
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

// The window's icon as the game compiles it in: colours in the order their
// first pixel comes, magenta clear, two characters a pixel past 93 colours.
TEST(Xpm, WritesThePictureTheShellReads) {
  artbuild::Image img(3, 2);
  img.at(0, 0) = Rgb{12, 16, 28};
  img.at(2, 1) = Rgb{255, 255, 254};
  EXPECT_EQ(artbuild::xpm_text(img, "icon"),
            "/* XPM */\nstatic const char* icon[] = {\n\"3 2 3 1\",\n\"  c #0C101C\",\n"
            "\"! c None\",\n\"# c #FFFFFE\",\n\" !!\",\n\"!!#\"\n};\n");
  artbuild::Image many(100, 1);
  for (int x = 0; x < 100; ++x) many.at(x, 0) = Rgb{0, 0, static_cast<std::uint8_t>(x)};
  EXPECT_NE(artbuild::xpm_text(many, "many").find("\"100 1 100 2\""), std::string::npos);
}
