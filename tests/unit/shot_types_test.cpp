// The shot types start-up builds from the built "data.dat": the ship's shot,
// the beam and the enemy bullet, and what an archive made before the enemy
// bullet had pictures of its own still gives.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "content/content.h"
#include "world_fixture.h"

namespace {

namespace fs = std::filesystem;

struct ExpectedStep {
  int next, frame, flags;
};

struct ExpectedType {
  float damage;
  int width, height;
  bool masks;
  std::vector<ExpectedStep> steps;
};

// Loads the shot types in `folder` (where "data.dat" is read from) and returns
// what the load wrote on standard error.
std::string load_shot_types_in(const fs::path& folder) {
  const fs::path back = fs::current_path();
  fs::current_path(folder);
  release_shot_types();
  testing::internal::CaptureStderr();
  load_builtin_shot_types();
  const std::string said = testing::internal::GetCapturedStderr();
  fs::current_path(back);
  return said;
}

void expect_types(const std::vector<ExpectedType>& expected) {
  for (std::size_t k = 0; k < expected.size(); ++k) {
    const ExpectedType& e = expected[k];
    const ShotType& st = shot_types[k];
    SCOPED_TRACE("shot type " + std::to_string(k + 1));
    EXPECT_EQ(st.damage, e.damage);
    EXPECT_EQ(st.width, e.width);
    EXPECT_EQ(st.height, e.height);
    EXPECT_EQ(st.start_anim, 0);
    EXPECT_EQ(st.hit_anim, 1);
    ASSERT_NE(st.data, nullptr);
    for (std::size_t s = 0; s < e.steps.size(); ++s) {
      const Animation& a = st.anims[s];
      SCOPED_TRACE("step " + std::to_string(s));
      EXPECT_EQ(a.next, e.steps[s].next);
      EXPECT_EQ(a.frame, e.steps[s].frame);
      EXPECT_EQ(a.flags, e.steps[s].flags);
      EXPECT_EQ(a.mask != nullptr, e.masks);
      const BITMAP* frame = static_cast<const BITMAP*>(st.data[a.frame].dat);
      EXPECT_EQ(a.frame_w, frame->w);
      EXPECT_EQ(a.frame_h, frame->h);
    }
    // Steps past the table stay empty.
    EXPECT_EQ(st.anims[e.steps.size()].mask, nullptr);
  }
}

// Every enemy bullet hits with a solid 3 x 3 core.
void expect_core_masks(const ShotType& st, int steps) {
  for (int s = 0; s < steps; ++s) {
    const PixelMask* m = st.anims[s].mask;
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->width, BULLET_BOX);
    EXPECT_EQ(m->height, BULLET_BOX);
    for (int y = 0; y < BULLET_BOX; ++y)
      for (int x = 0; x < BULLET_BOX; ++x) EXPECT_EQ(mask_get_pixel(m, x, y), 1);
  }
}

const ExpectedType SHIP_SHOT{0.5f, 3, 3, true, {{2, 4, 0}, {-1, 4, 3}, {2, 4, 0}}};
const ExpectedType BEAM{100.0f, 3, 400, false, {{2, 4, 8}, {-1, 4, 8}, {-1, 4, 0}}};

class ShotTypes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fixture::start_allegro_headless();
    set_color_conversion(COLORCONV_TOTAL | COLORCONV_KEEP_TRANS);
  }
  void SetUp() override {
    ship_mask_ = content_.mask_of(content_.solid_bitmap(SHIP_SIZE, SHIP_SIZE));
    player.mask = ship_mask_;
    fixture::reset_world();
  }
  void TearDown() override {
    release_shot_types();
    player.mask = nullptr;
  }

  // An enemy at (0, 0) fires one bullet of `type` at (x, y); the tick moves it
  // by nothing and tests it against the ship at (140, 300).
  int energy_after_bullet_at(int type, float x, float y) {
    fixture::reset_world();
    enemies[0].type = 1;
    spawn_bullet(0, type, x, y, 0.0f, 0.0f, 0, 0);
    enemies[0] = Enemy{};
    update_world();
    return player.energy;
  }

  fixture::Content content_;
  PixelMask* ship_mask_ = nullptr;
};

TEST_F(ShotTypes, StartUpBuildsTheEnemyBulletBesideTheShipsShotAndBeam) {
  EXPECT_EQ(load_shot_types_in(MIRVO_GAME_DIR), "");
  const ExpectedType bullet{0.5f, 3, 3, true, {{2, 7, 0}, {-1, 7, 3}, {3, 8, 0}, {2, 7, 0}}};
  const ExpectedType small{0.5f, 3, 3, true, {{2, 13, 0}, {-1, 13, 3}, {3, 14, 0}, {2, 13, 0}}};
  const ExpectedType large{0.5f, 3, 3, true, {{2, 15, 0}, {-1, 15, 3}, {3, 16, 0}, {2, 15, 0}}};
  expect_types({SHIP_SHOT, BEAM, bullet, small, large});
  for (int type : {ENEMY_BULLET_SHOT, SMALL_BULLET_SHOT, LARGE_BULLET_SHOT})
    expect_core_masks(shot_types[type - 1], 4);
  EXPECT_EQ(shot_types[ENEMY_BULLET_SHOT - 1].anims[0].frame_w, 5);
  EXPECT_EQ(shot_types[LARGE_BULLET_SHOT - 1].anims[0].frame_w, 9);
  EXPECT_EQ(shot_types[5].data, nullptr) << "a sixth type was filled";
}

// The 5 x 5 picture reaches a pixel past the core on each side; only the core
// hurts. The ship's box is x 140..179, y 300..339: a core at 137..139 misses it.
TEST_F(ShotTypes, EnemyBulletHurtsAsTheShipsShotDoesWithItsCoreOnly) {
  ASSERT_EQ(load_shot_types_in(MIRVO_GAME_DIR), "");
  const struct {
    float x, y;
    int energy;
  } cases[] = {{137.0f, 320.0f, 10}, {138.0f, 320.0f, 9},  {179.0f, 298.0f, 9},
               {180.0f, 320.0f, 10}, {150.0f, 297.0f, 10}, {150.0f, 339.0f, 9}};
  for (const auto& c : cases) {
    EXPECT_EQ(energy_after_bullet_at(ENEMY_BULLET_SHOT, c.x, c.y), c.energy)
        << "type 3 at " << c.x << ", " << c.y;
    EXPECT_EQ(energy_after_bullet_at(1, c.x, c.y), c.energy) << "type 1 at " << c.x << ", " << c.y;
  }
}

// An archive of the seven objects the game first had: type 3 borrows the ship
// shot's frames, says so once, and its bullets still fly and hit.
TEST_F(ShotTypes, AnArchiveWithoutTheBulletsFramesStillPlaysWithTheShotsPicture) {
  const fs::path folder = fs::temp_directory_path() / ("mirvo_shots_" + std::to_string(getpid()));
  fs::create_directories(folder);
  fs::copy_file(fs::path(MIRVO_GAME_DIR) / "data.dat", folder / "data.dat",
                fs::copy_options::overwrite_existing);
  const std::string strip =
      std::string(MIRVO_DAT) + " " + (folder / "data.dat").string() +
      " -d O7_BULLET00_BMP O7_BULLET01_BMP O9_ITEM00_BMP O9_ITEM01_BMP O9_ITEM02_BMP OC_LONG00_BMP"
      " OD_SMALL00_BMP OD_SMALL01_BMP OE_LARGE00_BMP OE_LARGE01_BMP > /dev/null";
  ASSERT_EQ(std::system(strip.c_str()), 0) << strip;

  const std::string said = load_shot_types_in(folder);
  fs::remove_all(folder);
  EXPECT_EQ(said,
            "data.dat has no enemy bullet pictures (objects 7 and 8): enemy bullets are drawn as "
            "the ship's shots\n"
            "data.dat has no pictures for shot type 4 (objects 13 and 14): its bullets are drawn "
            "as the ship's shots\n"
            "data.dat has no pictures for shot type 5 (objects 15 and 16): its bullets are drawn "
            "as the ship's shots\n");
  const ExpectedType borrowed{0.5f, 3, 3, true, {{2, 4, 0}, {-1, 4, 3}, {3, 4, 0}, {2, 4, 0}}};
  expect_types({SHIP_SHOT, BEAM, borrowed, borrowed, borrowed});
  expect_core_masks(shot_types[ENEMY_BULLET_SHOT - 1], 4);
  EXPECT_EQ(energy_after_bullet_at(ENEMY_BULLET_SHOT, 150.0f, 320.0f), 9);
  EXPECT_EQ(enemy_bullets[0].type, ENEMY_BULLET_SHOT) << "the bullet was dropped";
}

}  // namespace
