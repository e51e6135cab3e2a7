// Playing: the scrolling background, the ship under the arrow keys, Escape to
// the menu and Resume back into the same world, enemies of level 1 in both
// renderers. The expected pictures come from the game's own archives: the
// background is tile 0 of "tileset1.dat" repeated, the ship object 3 of "data.dat".
#include <algorithm>
#include <thread>

#include "screens.h"

namespace {

constexpr int COLOUR_TOLERANCE = 24;

bool close_to(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// Where the repeated tile sits in a shot: the vertical shift (0..63) that
// makes most of the playfield's middle equal to the tile, and how much of it.
struct BackgroundFit {
  int shift = 0;
  double fraction = 0.0;
};

// The playfield area that holds neither the head-up display nor the ship's start.
constexpr Box FIELD{0, 30, 320, 260};

Rgb tile_at(const Picture& tile, int x, int y, int shift) {
  return tile.at(x % tile.width, ((y - shift) % tile.height + tile.height) % tile.height);
}

BackgroundFit fit_background(const Image& img, const Picture& tile) {
  BackgroundFit best;
  for (int shift = 0; shift < tile.height; ++shift) {
    int match = 0, total = 0;
    for (int y = FIELD.y; y < FIELD.y + FIELD.h; y += 2)
      for (int x = FIELD.x; x < FIELD.x + FIELD.w; x += 2, ++total)
        if (close_to(img.at(x, y), tile_at(tile, x, y, shift), COLOUR_TOLERANCE)) ++match;
    const double f = static_cast<double>(match) / total;
    if (f > best.fraction) best = {shift, f};
  }
  return best;
}

// Pixels of the field (every second column), the ship's neighbourhood aside,
// that are not background. A screenshot can catch the window half-way through an update, so each
// band of 8 rows is compared with the tile at the shift that suits that band best.
int foreign_pixels(const Image& img, const Picture& tile, Box ship) {
  int n = 0;
  for (int top = FIELD.y; top < 384; top += 8) {
    int fewest = 8 * 320;
    for (int shift = 0; shift < tile.height && fewest > 0; ++shift) {
      int differ = 0;
      for (int y = top; y < top + 8; ++y)
        for (int x = 0; x < 320; x += 2) {
          const bool in_ship = x >= ship.x - 4 && x < ship.x + ship.w + 4 && y >= ship.y - 4;
          if (!in_ship && !close_to(img.at(x, y), tile_at(tile, x, y, shift), 48)) ++differ;
        }
      fewest = std::min(fewest, differ);
    }
    n += fewest;
  }
  return n;
}

// The ship's position: the place near row 300 where most of its opaque pixels match.
struct ShipFit {
  int x = -1, y = -1;
  double fraction = 0.0;
};

ShipFit find_ship(const Image& img, const Picture& ship) {
  ShipFit best;
  int opaque = 0;
  for (bool o : ship.opaque) opaque += o;
  for (int y = 295; y <= 305; ++y)
    for (int x = 0; x + ship.width <= img.width; ++x) {
      int match = 0;
      for (int sy = 0; sy < ship.height; ++sy)
        for (int sx = 0; sx < ship.width; ++sx)
          if (ship.solid(sx, sy) &&
              close_to(img.at(x + sx, y + sy), ship.at(sx, sy), COLOUR_TOLERANCE))
            ++match;
      const double f = static_cast<double>(match) / opaque;
      if (f > best.fraction) best = {x, y, f};
    }
  return best;
}

// Share of the ship picture's transparent pixels that show the background
// there: a sprite drawn without its mask shows a box around the ship instead.
double see_through(const Image& img, const Picture& ship, ShipFit pos, const Picture& tile,
                   int shift) {
  int clear = 0, total = 0;
  for (int sy = 0; sy < ship.height; ++sy)
    for (int sx = 0; sx < ship.width; ++sx) {
      if (ship.solid(sx, sy)) continue;
      ++total;
      const int x = pos.x + sx, y = pos.y + sy;
      if (close_to(img.at(x, y), tile_at(tile, x, y, shift), COLOUR_TOLERANCE)) ++clear;
    }
  return total > 0 ? static_cast<double>(clear) / total : 0.0;
}

}  // namespace

class Play : public Scenario {
 protected:
  Picture tile, ship;

  void load_references() {
    tile = load_picture(s->folder.file("tileset1.dat").string(), 0);
    ship = load_picture(s->folder.file("data.dat").string(), 3);
    ASSERT_EQ(tile.width, 64) << "tileset1.dat has no 64 x 64 bitmap as object 0";
    ASSERT_GT(ship.width, 0) << "data.dat has no bitmap as object 3";
  }
};

class PlayAtDepth : public Play, public ::testing::WithParamInterface<int> {};

INSTANTIATE_TEST_SUITE_P(Depth, PlayAtDepth, ::testing::Values(24, 16),
                         [](const auto& info) { return "bits" + std::to_string(info.param); });

TEST_P(PlayAtDepth, BackgroundScrollsAndResumeContinuesTheSameWorld) {
  start(GetParam());
  const std::optional<Image> first_menu = menu(0);
  ASSERT_TRUE(first_menu);
  load_references();
  s->keys({"Return"});
  const std::optional<Image> a = play();
  ASSERT_TRUE(a) << "the play screen was not shown after Start";
  const ShipFit start_pos = find_ship(*a, ship);
  EXPECT_GE(start_pos.fraction, 0.8);
  EXPECT_EQ(start_pos.x, 140);
  EXPECT_EQ(start_pos.y, 300);

  // The background is the tile, and it moves down: a later shot shows it shifted.
  const BackgroundFit fit_a = fit_background(*a, tile);
  EXPECT_GE(fit_a.fraction, 0.6);
  BackgroundFit fit_b;
  const std::optional<Image> b = s->wait_for_screen(
      [&](const Image& i) {
        fit_b = fit_background(i, tile);
        return fit_b.fraction >= 0.6 && fit_b.shift != fit_a.shift;
      },
      5000ms, 100ms);
  EXPECT_TRUE(b) << "the background did not scroll; shift stays " << fit_a.shift;
  if (b) {
    EXPECT_GT(count_differences(*a, *b, FIELD, 16), 0);
  }

  // Left moves the ship while it is held (a tick reads the key when it runs,
  // so hold it until the ship is seen moving), and the ship stops when released.
  s->key_down("Left");
  const bool went_left = s->wait_for_screen(
                              [&](const Image& i) {
                                const ShipFit f = find_ship(i, ship);
                                return f.fraction >= 0.8 && f.x < 130;
                              },
                              5000ms)
                             .has_value();
  s->key_up("Left");
  ASSERT_TRUE(went_left) << "the ship did not move left";
  ShipFit left_pos;
  EXPECT_TRUE(wait_until(
      [&] {
        const ShipFit before = find_ship(s->shot(), ship);
        std::this_thread::sleep_for(100ms);
        left_pos = find_ship(s->shot(), ship);
        return before.x == left_pos.x && left_pos.fraction >= 0.8;
      },
      5000ms))
      << "the ship did not stop after Left was released";
  EXPECT_LT(left_pos.x, 130);
  EXPECT_EQ(left_pos.y, 300);

  // Escape brings the menu picture back.
  const std::optional<Image> again = leave_play();
  ASSERT_TRUE(again) << "Escape did not return to the menu";
  const Box picture = Box{0, 20, 320, 360};
  EXPECT_LT(count_differences(*first_menu, *again, picture, 8), picture.w * picture.h / 100);

  // Resume: the same world, the ship where it was left.
  s->keys({"Down"});
  ASSERT_TRUE(s->wait_for_screen([](const Image& i) { return menu_shows(i, 1); }, 5000ms));
  s->keys({"Return"});
  const std::optional<Image> resumed = play();
  ASSERT_TRUE(resumed) << "Resume did not go back to play";
  const ShipFit resumed_pos = find_ship(*resumed, ship);
  EXPECT_GE(resumed_pos.fraction, 0.8);
  EXPECT_EQ(resumed_pos.x, left_pos.x);
  EXPECT_EQ(resumed_pos.y, left_pos.y);

  ASSERT_TRUE(leave_play()) << "Escape did not return to the menu";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

class LevelOne : public Play, public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Renderer, LevelOne, ::testing::Values("", "renderer = 1\n"),
                         [](const auto& info) {
                           return std::string(*info.param ? "OpenGL" : "Software");
                         });

TEST_P(LevelOne, EnemiesAppearOverTheBackground) {
  s = std::make_unique<Session>();
  if (*GetParam()) s->folder.write("mirvo.cfg", GetParam());
  s->start_game();
  ASSERT_TRUE(menu(0));
  load_references();
  s->keys({"Return"});
  const std::optional<Image> first = play();
  ASSERT_TRUE(first) << "the play screen was not shown after Start";
  const ShipFit pos = find_ship(*first, ship);
  EXPECT_GE(pos.fraction, 0.8);
  EXPECT_EQ(pos.x, 140);
  EXPECT_EQ(pos.y, 300);
  const BackgroundFit under = fit_background(*first, tile);
  EXPECT_GE(under.fraction, 0.6);
  EXPECT_GE(see_through(*first, ship, pos, tile, under.shift), 0.8)
      << "the ship's transparent pixels do not show the background";

  // Enemies (or their bullets) cover part of the field that is otherwise the tile.
  int foreign = 0;
  BackgroundFit fit;
  const std::optional<Image> with_enemies = s->wait_for_screen(
      [&](const Image& i) {
        fit = fit_background(i, tile);
        foreign = foreign_pixels(i, tile, Box{pos.x, pos.y, 40, 40});
        return fit.fraction >= 0.6 && foreign >= 80;
      },
      15000ms, 200ms);
  EXPECT_TRUE(with_enemies) << "no enemy seen; last fit " << fit.fraction << ", " << foreign
                            << " foreign pixels";
  if (with_enemies) s->keep_shot(*with_enemies, name() + "-enemies");
  EXPECT_TRUE(s->game().running());
  ASSERT_TRUE(leave_play()) << "Escape did not return to the menu";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}

// The doubled window: the same frame at twice the size in either renderer.
// OpenGL filters the ship's texture linearly when it is enlarged, so its
// pixels match the picture less closely there.
struct DoubledCase {
  const char* name;
  const char* cfg;
  double ship_match;
};

class DoubledPlay : public Play, public ::testing::WithParamInterface<DoubledCase> {};

INSTANTIATE_TEST_SUITE_P(Renderer, DoubledPlay,
                         ::testing::Values(DoubledCase{"Software", "scale = 1\n", 0.8},
                                           DoubledCase{"OpenGL", "renderer = 1\nscale = 1\n", 0.6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(DoubledPlay, ShowsTheFieldAtTwiceItsSize) {
  s = std::make_unique<Session>();
  s->folder.write("mirvo.cfg", GetParam().cfg);
  s->start_game();
  ASSERT_TRUE(menu(0));
  load_references();
  s->keys({"Return"});
  const std::optional<Image> big = play();
  ASSERT_TRUE(big) << "the play screen was not shown after Start";
  ASSERT_EQ(big->width, 640);
  ASSERT_EQ(big->height, 800);
  const Image field = shrink(*big, 2);
  EXPECT_GE(fit_background(field, tile).fraction, 0.6);
  const ShipFit pos = find_ship(field, ship);
  EXPECT_GE(pos.fraction, GetParam().ship_match);
  EXPECT_EQ(pos.x, 140);
  EXPECT_EQ(pos.y, 300);
  ASSERT_TRUE(leave_play()) << "Escape did not return to the menu";
  s->keys({"Escape"});
  EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
}
