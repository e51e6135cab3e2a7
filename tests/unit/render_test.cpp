// The software renderer drawn headless: the back buffer and a stand-in for
// the screen are memory bitmaps, and the pictures come from a datafile built
// in memory. Each frame is checked against what a plain reading of the
// tables says must be on it. Also the arithmetic the OpenGL renderer uses.
// It is long because the frame's cases share one fixture, run at every colour
// depth doubled and not, that builds the datafile and the screen stand-in.
#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "content/content.h"
#include "render/blend_local.h"
#include "render/hud_local.h"
#include "render/render.h"
#include "world/world.h"

// ---- allocation counting ----
// Every malloc of the process goes through here; counting is switched on only
// around the frames under test. The sanitizers replace malloc themselves, so
// the count is left out under AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
#define MIRVO_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MIRVO_UNDER_ASAN 1
#endif
#endif

#ifndef MIRVO_UNDER_ASAN
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

void* malloc(std::size_t size) noexcept {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
  return __libc_realloc(p, size);
}
}
#endif

namespace {

void start_allegro() {
  static const bool installed = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(installed);
}

struct Rect {
  int x1, y1, x2, y2;  // inclusive
  bool contains(int x, int y) const { return x >= x1 && x <= x2 && y >= y1 && y <= y2; }
};

// The parameters: colour depth, and whether the window is doubled.
class SoftwareFrame : public ::testing::TestWithParam<std::tuple<int, bool>> {
 protected:
  int depth() const { return std::get<0>(GetParam()); }
  bool doubled() const { return std::get<1>(GetParam()); }

  void SetUp() override {
    start_allegro();
    set_color_depth(depth());
    canvas_ = makecol(255, 0, 128);
    white_ = makecol(255, 255, 255);
    red_ = makecol(255, 0, 0);
    blue_ = makecol(0, 0, 255);
    cyan_ = makecol(0, 255, 255);

    // Tile pixels are never white, yellow, red, blue or cyan, and each row
    // and column differs, so a misplaced tile shows.
    tile_ = make_bitmap(TILE_SIZE, TILE_SIZE);
    for (int y = 0; y < TILE_SIZE; ++y)
      for (int x = 0; x < TILE_SIZE; ++x) putpixel(tile_, x, y, makecol(0, 4 * y, 64 + 2 * x));
    ship_ = make_bitmap(SHIP_SIZE, SHIP_SIZE);
    clear_to_color(ship_, bitmap_mask_color(ship_));
    rectfill(ship_, 2, 2, 37, 37, makecol(255, 255, 0));
    shot_ = make_bitmap(3, 3);
    clear_to_color(shot_, cyan_);
    // Red above, blue below: a turn shows which way it went.
    enemy_frame_ = make_bitmap(16, 16);
    rectfill(enemy_frame_, 0, 0, 15, 7, red_);
    rectfill(enemy_frame_, 0, 8, 15, 15, blue_);
    BITMAP* unused = make_bitmap(1, 1);

    game_[0] = game_[1] = game_[2] = game_[5] = {unused, DAT_BITMAP, 0, nullptr};
    game_[DATA_PLAYER_SHIP] = {ship_, DAT_BITMAP, 0, nullptr};
    game_[DATA_SHOT] = {shot_, DAT_BITMAP, 0, nullptr};
    game_[DATA_MENU_FONT] = {font, DAT_FONT, 0, nullptr};
    game_[7] = {nullptr, DAT_END, 0, nullptr};
    tiles_[0] = {tile_, DAT_BITMAP, 0, nullptr};
    tiles_[1] = {nullptr, DAT_END, 0, nullptr};
    enemy_data_[0] = {enemy_frame_, DAT_BITMAP, 0, nullptr};
    enemy_data_[1] = {nullptr, DAT_END, 0, nullptr};

    game_data = game_;
    tile_set = tiles_;
    for (auto& column : tile_map) column.fill(0);
    scroll_row = 0;
    scroll_offset = 0.0f;
    enemy_types[0] = EnemyType{};
    enemy_types[0].data = enemy_data_;
    enemy_types[0].anims[0].offset_x = -5;
    enemy_types[0].anims[0].offset_y = 3;
    enemy_types[0].anims[1].frame = 0;  // no offsets
    shot_types[0] = ShotType{};
    shot_types[0].data = game_;
    shot_types[0].anims[0].frame = DATA_SHOT;

    for (Enemy& e : enemies) e = Enemy{};
    for (EnemyAnimState& s : enemy_anim_states) s = EnemyAnimState{};
    for (Bullet& b : player_shots) b = Bullet{};
    for (Bullet& b : enemy_bullets) b = Bullet{};
    for (Particle& p : particles) p = Particle{};
    for (Message& m : messages) m = Message{};
    player = Player{};
    player.x = 140;
    player.y = 300;
    player.energy = 10;
    fps = 0;

    renderer = Renderer::Software;
    scale = doubled() ? 1 : 0;
    const int w = doubled() ? 2 * PLAYFIELD_W : PLAYFIELD_W;
    const int h = doubled() ? 2 * PLAYFIELD_H : PLAYFIELD_H;
    back_buffer = make_bitmap(w, h);
    clear_to_color(back_buffer, canvas_);
    screen = make_bitmap(w, h);
    clear_to_color(screen, makecol(0, 0, 0));
  }

  void TearDown() override {
    screen = nullptr;
    back_buffer = nullptr;
    game_data = nullptr;
    tile_set = nullptr;
    enemy_types[0] = EnemyType{};
    shot_types[0] = ShotType{};
    for (BITMAP* b : bitmaps_) destroy_bitmap(b);
  }

  BITMAP* make_bitmap(int w, int h) {
    BITMAP* b = create_bitmap(w, h);
    bitmaps_.push_back(b);
    return b;
  }

  // The playfield corner of the back buffer, pixel by pixel.
  std::vector<int> playfield() const {
    std::vector<int> out;
    out.reserve(PLAYFIELD_W * PLAYFIELD_H);
    for (int y = 0; y < PLAYFIELD_H; ++y)
      for (int x = 0; x < PLAYFIELD_W; ++x) out.push_back(getpixel(back_buffer, x, y));
    return out;
  }

  BITMAP* copy_of_back_buffer() {
    BITMAP* copy = make_bitmap(back_buffer->w, back_buffer->h);
    blit(back_buffer, copy, 0, 0, 0, 0, back_buffer->w, back_buffer->h);
    return copy;
  }

  void expect_same_playfield(BITMAP* expected, const char* what) const {
    int differences = 0;
    for (int y = 0; y < PLAYFIELD_H; ++y)
      for (int x = 0; x < PLAYFIELD_W; ++x)
        if (getpixel(expected, x, y) != getpixel(back_buffer, x, y)) ++differences;
    EXPECT_EQ(differences, 0) << what;
  }

  // The tile row the background shows at height y: later rows are drawn over
  // earlier ones, each at its truncated position.
  int tile_row_at(int y) const {
    int row = -1;
    for (int i = 0; i < 8; ++i) {
      const int top = static_cast<int>(static_cast<float>(64 * i - 64) + scroll_offset);
      if (y >= top && y < top + TILE_SIZE) row = y - top;
    }
    return row;
  }

  int white_pixels_in(const Rect& r) const {
    int n = 0;
    for (int y = r.y1; y <= r.y2; ++y)
      for (int x = r.x1; x <= r.x2; ++x) n += getpixel(back_buffer, x, y) == white_;
    return n;
  }

  int white_pixels_of_text(const char* text) {
    BITMAP* scratch = make_bitmap(text_length(font, text), text_height(font));
    clear_to_color(scratch, makecol(0, 0, 0));
    textout_ex(scratch, font, text, 0, 0, white_, -1);
    int n = 0;
    for (int y = 0; y < scratch->h; ++y)
      for (int x = 0; x < scratch->w; ++x) n += getpixel(scratch, x, y) == white_;
    return n;
  }

  int canvas_ = 0, white_ = 0, red_ = 0, blue_ = 0, cyan_ = 0;
  BITMAP* tile_ = nullptr;
  BITMAP* ship_ = nullptr;
  BITMAP* shot_ = nullptr;
  BITMAP* enemy_frame_ = nullptr;
  DATAFILE game_[8]{};
  DATAFILE tiles_[2]{};
  DATAFILE enemy_data_[2]{};
  std::vector<BITMAP*> bitmaps_;
};

TEST_P(SoftwareFrame, BackgroundCoversThePlayfieldAtEveryScrollPosition) {
  const Rect hud_top{0, 0, PLAYFIELD_W - 1, 21};
  const Rect fps_line{0, 388, PLAYFIELD_W - 1, PLAYFIELD_H - 1};
  const Rect ship{140, 300, 179, 339};
  // Row 500 lies far beyond the map's 128 rows.
  for (int row : {0, 125, 500}) {
    for (float offset : {0.0f, 0.5f, 37.6f, 63.99f, 64.2f}) {
      scroll_row = row;
      scroll_offset = offset;
      clear_to_color(back_buffer, canvas_);
      render_frame_software();
      int wrong = 0;
      for (int y = 0; y < PLAYFIELD_H; ++y) {
        for (int x = 0; x < PLAYFIELD_W; ++x) {
          if (hud_top.contains(x, y) || fps_line.contains(x, y) || ship.contains(x, y)) {
            EXPECT_NE(getpixel(back_buffer, x, y), canvas_) << x << "," << y;
            continue;
          }
          const int tile_row = tile_row_at(y);
          ASSERT_GE(tile_row, 0) << "no tile row covers y " << y;
          wrong += getpixel(back_buffer, x, y) != getpixel(tile_, x % TILE_SIZE, tile_row);
        }
      }
      EXPECT_EQ(wrong, 0) << "scroll row " << row << ", offset " << offset;
    }
  }
}

// Detailed looks add the dust layer over the tiles and nothing else.
TEST_P(SoftwareFrame, OnlyDetailedLooksDrawTheDustLayer) {
  scroll_row = 3;
  scroll_offset = 17.5f;
  rules = PLAIN_RULES;
  render_frame_software();
  BITMAP* plain = copy_of_back_buffer();
  rules.detailed_looks = true;
  render_frame_software();
  rules = PLAIN_RULES;

  std::array<DustSpeck, MAX_DUST_SPECKS> specks;
  std::set<std::pair<int, int>> dust;
  for (int i = 0, count = dust_specks(specks); i < count; ++i)
    for (int k = 0; k < DUST_SHADES[specks[i].shade].length; ++k)
      dust.insert({specks[i].x, specks[i].y + k});
  int on_dust = 0, elsewhere = 0;
  for (int y = 0; y < PLAYFIELD_H; ++y)
    for (int x = 0; x < PLAYFIELD_W; ++x)
      if (getpixel(plain, x, y) != getpixel(back_buffer, x, y))
        ++(dust.contains({x, y}) ? on_dust : elsewhere);
  EXPECT_EQ(elsewhere, 0);
  EXPECT_GT(on_dust, 10);
}

TEST_P(SoftwareFrame, ShowsThePlayfieldOnTheScreenDoubledOrNot) {
  // Whatever lies outside the playfield corner of a doubled buffer is never seen.
  if (doubled()) rectfill(back_buffer, 330, 410, 639, 799, makecol(1, 2, 3));
  player.x = 0;
  player.y = 0;  // the ship's top-left corner marks the corner of the picture
  render_frame_software();
  int wrong = 0;
  if (doubled()) {
    for (int y = 0; y < 2 * PLAYFIELD_H; ++y)
      for (int x = 0; x < 2 * PLAYFIELD_W; ++x)
        wrong += getpixel(screen, x, y) != getpixel(back_buffer, x / 2, y / 2);
  } else {
    for (int y = 0; y < PLAYFIELD_H; ++y)
      for (int x = 0; x < PLAYFIELD_W; ++x)
        wrong += getpixel(screen, x, y) != getpixel(back_buffer, x, y);
  }
  EXPECT_EQ(wrong, 0);
}

TEST_P(SoftwareFrame, FullScreenShowsTheWindowsFrameScaledSharplyAndCentredOnBlack) {
  // Full screen draws into a playfield-sized buffer, whatever Stretch says.
  back_buffer = make_bitmap(PLAYFIELD_W, PLAYFIELD_H);
  player.x = 0;
  player.y = 0;
  const int black = makecol(0, 0, 0);
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{1366, 768}}) {
    screen = make_bitmap(w, h);
    clear_to_color(screen, black);
    screen_fit = fit_playfield(w, h);
    render_frame_software();
    const int k = screen_fit.factor;
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int fx = x - screen_fit.x, fy = y - screen_fit.y;
        const bool inside = fx >= 0 && fy >= 0 && fx < k * PLAYFIELD_W && fy < k * PLAYFIELD_H;
        wrong += getpixel(screen, x, y) != (inside ? getpixel(back_buffer, fx / k, fy / k) : black);
      }
    EXPECT_EQ(wrong, 0) << w << " x " << h;
  }
  screen_fit = {};
}

TEST_P(SoftwareFrame, DrawsEnemiesAtTheirStepOffsetButNeverTheDirectorOrAFinishedEnemy) {
  enemies[0].type = LEVEL_DIRECTOR;  // the timeline has no picture
  enemies[0].x = 100;
  enemies[0].y = 100;
  enemies[1].type = 1;  // animation over, slot not yet freed
  enemies[1].x = 200;
  enemies[1].y = 150;
  enemy_anim_states[1].anim = -1;
  enemies[2].type = 1;
  enemies[2].x = 50.7f;
  enemies[2].y = 60.2f;
  render_frame_software();
  BITMAP* with_hidden = copy_of_back_buffer();

  enemies[0].type = 0;
  enemies[1].type = 0;
  render_frame_software();
  expect_same_playfield(with_hidden, "the director and the finished enemy drew something");

  // Position plus offset (-5, 3), truncated: the frame's corner is at (45, 63).
  EXPECT_EQ(getpixel(back_buffer, 45, 63), red_);
  EXPECT_EQ(getpixel(back_buffer, 60, 70), red_);
  EXPECT_EQ(getpixel(back_buffer, 45, 78), blue_);
  EXPECT_NE(getpixel(back_buffer, 44, 63), red_);
  EXPECT_NE(getpixel(back_buffer, 61, 63), red_);
  EXPECT_NE(getpixel(back_buffer, 45, 62), red_);
  EXPECT_NE(getpixel(back_buffer, 45, 79), blue_);
}

TEST_P(SoftwareFrame, TurnsEnemiesByTheirAngle) {
  enemies[5].type = 1;
  enemies[5].x = 100;
  enemies[5].y = 100;
  enemy_anim_states[5].anim = 1;
  // Away from the frame's edges, where rounding may move a pixel.
  const auto count = [&](int x1, int y1, int x2, int y2, int colour) {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
      for (int x = x1; x <= x2; ++x) n += getpixel(back_buffer, x, y) == colour;
    return n;
  };
  render_frame_software();
  EXPECT_EQ(count(101, 101, 114, 106, red_), 14 * 6) << "unturned: red on top";
  EXPECT_EQ(count(101, 109, 114, 114, blue_), 14 * 6);

  enemies[5].angle = 64;  // a quarter turn clockwise: the top goes to the right
  render_frame_software();
  EXPECT_EQ(count(109, 101, 114, 114, red_), 6 * 14);
  EXPECT_EQ(count(101, 101, 106, 114, blue_), 6 * 14);
}

TEST_P(SoftwareFrame, DrawsProjectilesAtTheirCornerWithoutOffsets) {
  shot_types[0].anims[0].offset_x = 20;  // offsets are for enemies only
  player_shots[3] = Bullet{1, 20.9f, 30.2f, 0, 0, 0, 0, 0};
  enemy_bullets[63] = Bullet{1, 300.0f, 200.5f, 0, 0, 0, 0, 0};
  enemy_bullets[10] = Bullet{1, 250.0f, 250.0f, 0, 0, -1, 0, 0};  // finished
  render_frame_software();
  for (int dy = 0; dy < 3; ++dy)
    for (int dx = 0; dx < 3; ++dx) {
      EXPECT_EQ(getpixel(back_buffer, 20 + dx, 30 + dy), cyan_);
      EXPECT_EQ(getpixel(back_buffer, 300 + dx, 200 + dy), cyan_);
      EXPECT_NE(getpixel(back_buffer, 250 + dx, 250 + dy), cyan_);
    }
  EXPECT_NE(getpixel(back_buffer, 23, 30), cyan_);
  EXPECT_NE(getpixel(back_buffer, 40, 30), cyan_);
}

// A picture larger than the 3 x 3 box it hits with is centred on that box:
// a 5 x 5 bullet reaches one pixel out on every side of it.
TEST_P(SoftwareFrame, DrawsALargerBulletCentredOnTheBoxItHitsWith) {
  BITMAP* bullet = make_bitmap(5, 5);
  clear_to_color(bullet, red_);
  putpixel(bullet, 2, 2, white_);
  DATAFILE bullet_data[2] = {{bullet, DAT_BITMAP, 0, nullptr}, {nullptr, DAT_END, 0, nullptr}};
  shot_types[ENEMY_BULLET_SHOT - 1].data = bullet_data;
  enemy_bullets[0] = Bullet{ENEMY_BULLET_SHOT, 100.7f, 200.2f, 0, 0, 0, 0, 0};
  render_frame_software();
  shot_types[ENEMY_BULLET_SHOT - 1] = ShotType{};
  // The box is x 100..102, y 200..202: its centre pixel is the picture's.
  EXPECT_EQ(getpixel(back_buffer, 101, 201), white_);
  for (int y = 197; y <= 205; ++y)
    for (int x = 97; x <= 105; ++x) {
      const bool inside = x >= 99 && x <= 103 && y >= 199 && y <= 203;
      if (x == 101 && y == 201) continue;
      EXPECT_EQ(getpixel(back_buffer, x, y) == red_, inside) << x << ", " << y;
    }
}

TEST(BulletPicture, OffsetCentresOddFramesExactlyOnTheThreePixelBox) {
  EXPECT_EQ(bullet_picture_offset(3), 0);
  EXPECT_EQ(bullet_picture_offset(5), -1);
  EXPECT_EQ(bullet_picture_offset(7), -2);
  EXPECT_EQ(bullet_picture_offset(1), 1);
}

TEST_P(SoftwareFrame, ParticlesAreClippedAtTheEdgesOfTheBuffer) {
  render_frame_software();
  BITMAP* before = copy_of_back_buffer();
  const int w = back_buffer->w;
  const int h = back_buffer->h;
  const int white = makecol(255, 255, 255);
  // The world's colour, the same at every depth; the frame shows it as `white`.
  const int full = particle_colour(255, 255, 255);
  particles[0] = Particle{static_cast<float>(w) - 0.5f, 10.0f, 0, 0, full, 0, 0, 255, 0, 0, 0};
  particles[1] = Particle{-1.5f, static_cast<float>(h) - 0.3f, 0, 0, full, 0, 0, 255, 0, 0, 0};
  particles[2] = Particle{200.0f, 200.0f, 0, 0, full, 0, 0, 0, 0, 0, 0};  // faded out
  particles[3] = Particle{FREE_PARTICLE, 100.0f, 0, 0, full, 0, 0, 255, 0, 0, 0};
  particles[4] = Particle{-5000.0f, 7000.0f, 0, 0, full, 0, 0, 255, 0, 0, 0};
  render_frame_software();

  std::set<std::pair<int, int>> changed;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (getpixel(before, x, y) != getpixel(back_buffer, x, y)) changed.insert({x, y});
  // (w - 0.5, 10) covers only the last column; (-1.5, h - 0.3) only the corner.
  const std::set<std::pair<int, int>> expected = {{w - 1, 10}, {w - 1, 11}, {0, h - 1}};
  EXPECT_EQ(changed, expected);
  EXPECT_EQ(getpixel(back_buffer, w - 1, 10), white) << "alpha 255 adds the full colour";
}

TEST(EnergyBarColour, RunsFromGreenToRed) {
  struct Case {
    int energy, r, g;
  };
  for (Case c : {Case{10, 0, 250}, Case{5, 125, 125}, Case{1, 225, 25}, Case{0, 250, 0}}) {
    const EnergyBarColour colour = energy_bar_colour(c.energy);
    EXPECT_EQ(colour.r, c.r) << c.energy;
    EXPECT_EQ(colour.g, c.g) << c.energy;
  }
  // Outside 0..10 the bytes wrap rather than overflow.
  EXPECT_EQ(energy_bar_colour(11).r, 231);  // -25
  EXPECT_EQ(energy_bar_colour(11).g, 19);   // 275
}

TEST_P(SoftwareFrame, EnergyBarIsTheBlendedColourInsideAWhiteFrame) {
  player.energy = 0;
  render_frame_software();
  BITMAP* empty = copy_of_back_buffer();
  // Energy 0 leaves the frame around untouched background.
  int wrong = 0;
  for (int y = 11; y <= 19; ++y)
    for (int x = 11; x <= 109; ++x)
      wrong += getpixel(empty, x, y) != getpixel(tile_, x % TILE_SIZE, tile_row_at(y));
  EXPECT_EQ(wrong, 0);
  for (int x = 10; x <= 110; ++x) {
    EXPECT_EQ(getpixel(empty, x, 10), white_);
    EXPECT_EQ(getpixel(empty, x, 20), white_);
  }

  for (int energy : {1, 5, 10}) {
    player.energy = energy;
    render_frame_software();
    BITMAP* expected = copy_of_back_buffer();
    blit(empty, expected, 0, 0, 0, 0, 120, 30);
    blend_add_rect(expected, 10, 10, 10 * energy, 10, makecol(250 - 25 * energy, 25 * energy, 0),
                   192);
    rect(expected, 10, 10, 110, 20, white_);
    expect_same_playfield(expected, "energy bar");
    // The bar ends at x 9 + 10 * energy.
    EXPECT_NE(getpixel(back_buffer, 9 + 10 * energy, 15), getpixel(empty, 9 + 10 * energy, 15));
    if (energy < 10) {
      EXPECT_EQ(getpixel(back_buffer, 10 + 10 * energy, 15), getpixel(empty, 10 + 10 * energy, 15));
    }
  }
}

// A blow on screen: the hit enemy whiter, and with the screen effects on the
// playfield moved by the shake (the strips it uncovers black), then whitened
// by the flash; the head-up display stays put.
TEST_P(SoftwareFrame, ScreenFeedbackWhitensShakesAndFlashes) {
  enemies[2] = Enemy{.type = 1, .x = 50.7f, .y = 60.2f};
  render_frame_software();
  BITMAP* calm = copy_of_back_buffer();
  enemies[2].tint_left = ENEMY_TINT_TICKS;
  render_frame_software();
  EXPECT_EQ(getr(getpixel(back_buffer, 45, 63)), 255);
  EXPECT_GT(getg(getpixel(back_buffer, 45, 63)), 100) << "red mixed toward white";
  enemies[2].tint_left = 0;
  screen_feedback.shake_left = SHAKE_TICKS;  // its first tick: right and down
  for (int effects : {0, 1}) {
    screen_effects = effects;
    render_frame_software();
    const int d = effects * SHAKE_PIXELS;
    int wrong = 0;
    for (int y = 30; y <= 380; ++y)  // below the bar, above the frame rate
      for (int x = 0; x < PLAYFIELD_W; ++x)
        wrong += getpixel(back_buffer, x, y) != (x < d ? 0 : getpixel(calm, x - d, y - d));
    EXPECT_EQ(wrong, 0) << "screen effects " << effects;
  }
  screen_feedback = ScreenFeedback{.flash_left = 5};
  render_frame_software();
  EXPECT_GE(getg(getpixel(back_buffer, 200, 200)), 248) << "white";
  screen_feedback = ScreenFeedback{};
}

TEST(ScreenFeedback, ShakeFlashAndEnergyFlashFollowTheTicksLeft) {
  struct Case {
    ScreenFeedback f;
    int energy, effects;
    std::array<int, 5> drawn;  // the shift's x and y, the flash, the bar's lost part x and w
  };
  for (const Case& c : {
           Case{{12, 0, 0, 0}, 10, 1, {2, 2, 0, 0, 0}}, Case{{6, 0, 0, 0}, 10, 1, {1, -1, 0, 0, 0}},
           Case{{1, 2, 0, 0}, 10, 1, {-1, 1, 128, 0, 0}},
           Case{{12, 5, 64, 8}, 5, 0, {0, 0, 0, 50, 30}},  // the bar's flash is no screen effect
           Case{{0, 5, 60, 8}, 5, 1, {0, 0, 255, 0, 0}},   // a dark span of the bar's flash
           Case{{0, 0, 56, 3}, -2, 1, {0, 0, 0, 0, 30}},   // before the tick floors the energy
       }) {
    const PlayfieldShift shift = playfield_shift(c.f, c.effects);
    const EnergyFlash lost = energy_flash(c.f, c.energy);
    EXPECT_EQ((std::array{shift.x, shift.y, flash_strength(c.f, c.effects), lost.x, lost.w}),
              c.drawn)
        << c.f.shake_left << " " << c.f.flash_left << " " << c.f.energy_flash_left;
  }
}

TEST_P(SoftwareFrame, ScoreIsRightAlignedAndTheFrameRateLineAtTheBottom) {
  player.score = 12345;
  fps = 77;
  render_frame_software();
  // Everything white right of the energy frame on the score's rows is the
  // score, placed exactly where text with its right edge at 310 goes.
  BITMAP* reference = make_bitmap(PLAYFIELD_W, PLAYFIELD_H);
  clear_to_color(reference, makecol(0, 0, 0));
  textout_right_ex(reference, font, "12345", 310, 10, white_, -1);
  int wrong = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 111; x < PLAYFIELD_W; ++x)
      wrong += (getpixel(back_buffer, x, y) == white_) != (getpixel(reference, x, y) == white_);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(white_pixels_of_text("12345"), 0);
  const Rect fps_band{0, 390, PLAYFIELD_W - 1, 390 + text_height(font) - 1};
  EXPECT_EQ(white_pixels_in(fps_band), white_pixels_of_text("FPS: 77 | Software"));
}

TEST_P(SoftwareFrame, MessagesAreDrawnLiterallyAndOnlyWhileVisible) {
  render_frame_software();
  BITMAP* expected = copy_of_back_buffer();
  // Format directives must come out as plain text and never be interpreted.
  std::strcpy(messages[0].text.data(), "%s%n%s%n");
  messages[0].time_left = 500;
  std::strcpy(messages[1].text.data(), "HIDDEN");
  messages[1].time_left = 0;
  std::strcpy(messages[6].text.data(), "You fail it!!!1");
  messages[6].time_left = 1;
  render_frame_software();
  textout_centre_ex(expected, font, "%s%n%s%n", 160, 200, white_, -1);
  textout_centre_ex(expected, font, "You fail it!!!1", 160, 200, white_, -1);
  expect_same_playfield(expected, "messages");
}

TEST_P(SoftwareFrame, AWorldWithEveryTableFullRenders) {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    enemies[i].type = 1;
    enemies[i].x = static_cast<float>(i * 7 % 400 - 40);
    enemies[i].y = static_cast<float>(i * 13 % 480 - 40);
    enemies[i].angle = i * 9;
  }
  // Slots naming a type or step that does not exist are skipped, not followed.
  enemies[7].type = 9;
  enemy_anim_states[8].anim = MAX_ANIMATIONS;
  for (int i = 0; i < MAX_PLAYER_SHOTS; ++i)
    player_shots[i] = Bullet{1, static_cast<float>(i * 5 - 2), static_cast<float>(i * 6)};
  for (int i = 0; i < MAX_ENEMY_BULLETS; ++i)
    enemy_bullets[i] = Bullet{1, static_cast<float>(i * 5), static_cast<float>(400 - i * 6)};
  player_shots[9].type = MAX_SHOT_TYPES + 1;
  for (int i = 0; i < MAX_PARTICLES - 1; ++i) {
    particles[i] = Particle{static_cast<float>(i % 700 - 30),
                            static_cast<float>(i % 900 - 30),
                            0,
                            0,
                            makecol(i % 256, 255 - i % 256, 128),
                            0,
                            0,
                            i % 256};
  }
  for (Message& m : messages) {
    m.text.fill('W');  // 32 characters and no end mark
    m.time_left = 100;
  }
  player.energy = 10;
  player.score = 2147483647;
  fps = -2147483647 - 1;
  for (int frame = 0; frame < 3; ++frame) render_frame_software();
  int canvas_left = 0;
  for (int y = 0; y < PLAYFIELD_H; ++y)
    for (int x = 0; x < PLAYFIELD_W; ++x) canvas_left += getpixel(back_buffer, x, y) == canvas_;
  EXPECT_EQ(canvas_left, 0);
}

#ifndef MIRVO_UNDER_ASAN
TEST_P(SoftwareFrame, DrawingFramesAllocatesNothing) {
  // The counter itself must see an allocation, or a zero below proves nothing.
  counting = true;
  void* volatile probe = std::malloc(24);
  counting = false;
  std::free(probe);
  ASSERT_GT(allocations.load(), 0);

  enemies[2].type = 1;
  enemies[2].angle = 30;
  player_shots[0] = Bullet{1, 10.0f, 10.0f};
  particles[0] = Particle{50.0f, 50.0f, 0, 0, white_, 0, 0, 200};
  std::strcpy(messages[0].text.data(), "You are a winner!!!11");
  messages[0].time_left = 10;
  player.score = 990;
  fps = 120;
  render_frame_software();  // anything done once per run is done now

  allocations = 0;
  counting = true;
  for (int frame = 0; frame < 50; ++frame) render_frame_software();
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
}
#endif

INSTANTIATE_TEST_SUITE_P(DepthAndScale, SoftwareFrame,
                         ::testing::Combine(::testing::Values(16, 32), ::testing::Bool()),
                         [](const auto& info) {
                           return std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "_doubled" : "_single");
                         });

TEST(FullScreen, LargestWholeScaleThatFitsCentred) {
  struct Case {
    int width, height, factor, x, y;
  };
  for (const Case c :
       {Case{1920, 1080, 2, 640, 140}, Case{2560, 1440, 3, 800, 120}, Case{3840, 2160, 5, 1120, 80},
        Case{1366, 768, 1, 523, 184}, Case{1280, 1024, 2, 320, 112}, Case{320, 400, 1, 0, 0},
        Case{200, 300, 1, 0, 0}}) {
    const ScreenFit fit = fit_playfield(c.width, c.height);
    EXPECT_EQ(std::make_tuple(fit.factor, fit.x, fit.y), std::make_tuple(c.factor, c.x, c.y))
        << c.width << " x " << c.height;
  }
}

// ---- text of the head-up display ----

TEST(HudText, FormatsNumbersWithoutPrintf) {
  EXPECT_STREQ(format_score(0).data(), "0");
  EXPECT_STREQ(format_score(-42).data(), "-42");
  EXPECT_STREQ(format_score(2147483647).data(), "2147483647");
  EXPECT_STREQ(format_score(1200, 3).data(), "x3  1200");
  EXPECT_STREQ(format_score(-2147483647 - 1, 8).data(), "x8  -2147483648");
  EXPECT_STREQ(format_fps_line(60, "Software").data(), "FPS: 60 | Software");
  EXPECT_STREQ(format_fps_line(-2147483647 - 1, "OpenGL").data(), "FPS: -2147483648 | OpenGL");
  // A long name is cut inside the buffer, never written past it.
  const HudText cut = format_fps_line(1, "0123456789012345678901234567890123456789");
  EXPECT_EQ(std::strlen(cut.data()), static_cast<std::size_t>(HUD_TEXT_SIZE - 1));
}

// The plain rules draw the line along the bottom always; rules that show it on
// request draw it small in the top-left corner only when asked.
TEST(HudText, FrameRateLineFollowsTheRulesAndTheSetting) {
  const struct {
    const Rules& rules;
    int asked, doubled;
    const char* text;
    int x, y;
  } cases[] = {
      {PLAIN_RULES, 0, 0, "FPS: 60 | OpenGL", 0, 390},
      {PLAIN_RULES, 1, 1, "FPS: 60 | OpenGL", 0, 790},
      {ARCADE_RULES, 0, 0, "", 0, 0},
      {ARCADE_RULES, 1, 1, "60 fps", 1, 1},
  };
  for (const auto& c : cases) {
    const FpsLine line = fps_line(c.rules, c.asked, 60, "OpenGL", c.doubled);
    EXPECT_STREQ(line.text.data(), c.text);
    EXPECT_EQ(std::tie(line.x, line.y), std::make_tuple(c.x, c.y)) << c.text;
  }
}

TEST(HudText, MessageTextEndsInsideTheCopy) {
  Message m;
  m.text.fill('A');
  EXPECT_EQ(std::strlen(message_text(m).data()), static_cast<std::size_t>(MESSAGE_TEXT_SIZE));
  std::strcpy(m.text.data(), "%d");
  EXPECT_STREQ(message_text(m).data(), "%d");
}

// ---- OpenGL arithmetic ----

TEST(OpenGlGeometry, PlayfieldCornersMapOntoTheViewportEdges) {
  const DevicePoint top_left = to_device(0.0f, 0.0f);
  EXPECT_FLOAT_EQ(top_left.x, -1.0f);
  EXPECT_FLOAT_EQ(top_left.y, 1.0f);
  const DevicePoint bottom_right = to_device(320.0f, 400.0f);
  EXPECT_NEAR(bottom_right.x, 1.0f, 1e-6);
  EXPECT_NEAR(bottom_right.y, -1.0f, 1e-6);
  // Fractions are kept, computed in single precision.
  const DevicePoint p = to_device(140.25f, 37.6f);
  EXPECT_EQ(p.x, 140.25f * 0.00625f - 1.0f);
  EXPECT_EQ(p.y, 1.0f - 37.6f * 0.005f);
}

TEST(OpenGlGeometry, QuadCornersRunTopLeftBottomLeftBottomRightTopRight) {
  const auto c = quad_corners(10.0f, 20.0f, 40.0f, 20.0f, 0.625f, 0.3125f);
  const DevicePoint tl = to_device(10, 20), bl = to_device(10, 40), br = to_device(50, 40),
                    tr = to_device(50, 20);
  const DevicePoint want[4] = {tl, bl, br, tr};
  const float want_u[4] = {0.0f, 0.0f, 0.625f, 0.625f};
  // Texture row 0 is the bitmap's bottom row: the top edge takes v.
  const float want_v[4] = {0.3125f, 0.0f, 0.0f, 0.3125f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(c[i].at.x, want[i].x) << i;
    EXPECT_EQ(c[i].at.y, want[i].y) << i;
    EXPECT_EQ(c[i].u, want_u[i]) << i;
    EXPECT_EQ(c[i].v, want_v[i]) << i;
  }
}

TEST(OpenGlGeometry, HudMovesWithTheDoubledWindowButKeepsItsFont) {
  const GlHudLayout small = gl_hud_layout(0);
  EXPECT_EQ(small.score_right, 310);
  EXPECT_EQ(std::tie(small.frame_x1, small.frame_y1, small.frame_x2, small.frame_y2),
            std::make_tuple(10, 10, 110, 20));
  const GlHudLayout big = gl_hud_layout(1);
  EXPECT_EQ(big.score_right, 630);
  EXPECT_EQ(big.score_top, 10);
  EXPECT_EQ(std::tie(big.frame_x1, big.frame_y1, big.frame_x2, big.frame_y2),
            std::make_tuple(21, 21, 222, 40));
}

}  // namespace
