// The game's enemy loader: datafiles, silhouettes, masks and its refusals.
// Datafiles are built on disk with Allegro's `dat` tool from bitmaps the test
// draws, or in memory where only the frame check is under test.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/content.h"
#include "mask/mask.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

void start_allegro() {
  static bool started = false;
  if (started) return;
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(32);
  started = true;
}

int magenta() {
  return makecol(255, 0, 255);
}

// Frame 0: 5 x 4 with a few visible pixels, one of them almost black and one
// almost magenta, so only the exact mask colour counts as empty.
BITMAP* draw_small_frame() {
  BITMAP* b = create_bitmap(5, 4);
  clear_to_color(b, magenta());
  putpixel(b, 0, 0, makecol(200, 30, 30));
  putpixel(b, 4, 3, makecol(0, 0, 1));
  putpixel(b, 2, 1, makecol(255, 0, 254));
  putpixel(b, 3, 2, makecol(0, 0, 0));
  return b;
}

// Frame 1: 40 x 3, wider than one 32-pixel mask strip, with a scattered pattern.
BITMAP* draw_wide_frame() {
  BITMAP* b = create_bitmap(40, 3);
  clear_to_color(b, magenta());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 40; ++x) {
      if ((x * 7 + y * 3) % 4 == 0) putpixel(b, x, y, makecol(x * 6, 100, 200 - y));
    }
  }
  return b;
}

EnemyStepRecord step(int next, int duration, int frame, int flags = 0, int ox = 0, int oy = 0) {
  EnemyStepRecord s;
  s.next = next;
  s.duration = duration;
  s.frame = frame;
  s.flags = flags;
  s.offset_x = static_cast<std::int16_t>(ox);
  s.offset_y = static_cast<std::int16_t>(oy);
  return s;
}

EnemyTypeRecord enemy(const char* datafile, int health, std::vector<EnemyStepRecord> steps,
                      int start = 0, int death = 0) {
  EnemyTypeRecord t;
  t.health = health;
  t.start_anim = start;
  t.death_anim = death;
  t.datafile = datafile;
  t.steps = std::move(steps);
  return t;
}

// The folder of the test under way. A death test's child process sets up its
// own and then ends in exit(), never reaching TearDown: removing the folder
// at exit as well leaves nothing behind in either process.
fs::path test_folder;

void remove_test_folder() {
  std::error_code ec;
  if (!test_folder.empty()) fs::remove_all(test_folder, ec);
  test_folder.clear();
}

// Each test works in its own folder, since datafile names are relative to the
// working directory, and starts from an empty table.
class EnemyLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    start_allegro();
    static const bool removed_at_exit = std::atexit(remove_test_folder) == 0;
    ASSERT_TRUE(removed_at_exit);
    old_dir_ = fs::current_path();
    dir_ = fs::temp_directory_path() /
           ("mirvo_enemy_loader_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    test_folder = dir_;
    fs::current_path(dir_);
    release_enemy_types();
    enemy_types = {};
    renderer = Renderer::Software;
  }
  void TearDown() override {
    release_enemy_types();
    fs::current_path(old_dir_);
    remove_test_folder();
  }

  // "<name>": object 0 the small frame, 1 the wide frame, 2 a block of text.
  static void make_datafile(const char* name) {
    BITMAP* small = draw_small_frame();
    BITMAP* wide = draw_wide_frame();
    ASSERT_EQ(save_bitmap("f0.bmp", small, nullptr), 0);
    ASSERT_EQ(save_bitmap("f1.bmp", wide, nullptr), 0);
    destroy_bitmap(small);
    destroy_bitmap(wide);
    std::ofstream("f2.txt") << "not a picture";
    // -s1 leaves out the grabber's own info object: the file holds our three objects.
    std::string add =
        std::string("dat -s1 -a -bpp 32 -t BMP ") + name + " f0.bmp f1.bmp >/dev/null";
    ASSERT_EQ(std::system(add.c_str()), 0);
    add = std::string("dat -s1 -a -t DATA ") + name + " f2.txt >/dev/null";
    ASSERT_EQ(std::system(add.c_str()), 0);
  }

  static void write_file(const char* path, const EnemyFile& file) {
    std::vector<std::uint8_t> bytes = serialize_enemy_file(file);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }

  static EnemyFile two_types(const char* second_datafile) {
    EnemyFile f;
    f.types.push_back(
        enemy("ship.dat", 10, {step(0, 9, 0), step(-1, 20, 1, ANIM_EXPLODE, -10, -10)}, 0, 1));
    f.types.push_back(enemy(second_datafile, 3, {step(1, 4, 1), step(0, 5, 0, 17, 7, -3)}, 1, 0));
    return f;
  }

  fs::path old_dir_, dir_;
};

// The silhouette must be black exactly where the frame is not magenta, and
// the mask must have a bit exactly there too.
void expect_pictures_match(const Animation& anim, BITMAP* frame) {
  ASSERT_NE(anim.shadow, nullptr);
  ASSERT_NE(anim.mask, nullptr);
  ASSERT_EQ(anim.shadow->w, frame->w);
  ASSERT_EQ(anim.shadow->h, frame->h);
  ASSERT_EQ(anim.mask->width, frame->w);
  ASSERT_EQ(anim.mask->height, frame->h);
  int visible = 0;
  for (int y = 0; y < frame->h; ++y) {
    for (int x = 0; x < frame->w; ++x) {
      const bool seen = getpixel(frame, x, y) != magenta();
      visible += seen;
      EXPECT_EQ(getpixel(anim.shadow, x, y), seen ? makecol(0, 0, 0) : magenta()) << x << "," << y;
      EXPECT_EQ(mask_get_pixel(anim.mask, x, y), seen ? 1 : 0) << x << "," << y;
    }
  }
  EXPECT_GT(visible, 0);
}

}  // namespace

TEST_F(EnemyLoader, FillsTheTableWithSilhouettesAndMasksButNoTextures) {
  make_datafile("ship.dat");
  make_datafile("dart.dat");
  write_file("enemy.eif", two_types("dart.dat"));
  enemy_types[0].score = 100;
  enemy_types[2].health = 42;  // beyond the file's two types: left alone
  load_enemy_types("enemy.eif");

  const EnemyType& ship = enemy_types[0];
  EXPECT_EQ(ship.health, 10);
  EXPECT_EQ(ship.score, 100);
  EXPECT_EQ(ship.start_anim, 0);
  EXPECT_EQ(ship.death_anim, 1);
  ASSERT_NE(ship.data, nullptr);
  EXPECT_EQ(ship.anims[1].next, -1);
  EXPECT_EQ(ship.anims[1].duration, 20);
  EXPECT_EQ(ship.anims[1].flags, ANIM_EXPLODE);
  EXPECT_EQ(ship.anims[1].offset_x, -10);
  EXPECT_EQ(ship.anims[1].offset_y, -10);
  const EnemyType& dart = enemy_types[1];
  EXPECT_EQ(dart.health, 3);
  EXPECT_EQ(dart.start_anim, 1);
  EXPECT_EQ(dart.anims[1].flags, ANIM_UNHITTABLE | ANIM_VICTORY);
  EXPECT_EQ(dart.anims[1].offset_x, 7);
  EXPECT_NE(dart.data, ship.data);
  EXPECT_EQ(enemy_types[2].health, 42);
  EXPECT_EQ(enemy_types[2].data, nullptr);

  for (int k = 0; k < 2; ++k) {
    for (int j = 0; j < 2; ++j) {
      SCOPED_TRACE(testing::Message() << "enemy " << k << " step " << j);
      const Animation& anim = enemy_types[k].anims[j];
      expect_pictures_match(anim, static_cast<BITMAP*>(enemy_types[k].data[anim.frame].dat));
      // The software renderer (renderer 0 here) gets no texture.
      EXPECT_EQ(anim.texture, 0u);
      EXPECT_EQ(anim.frame_w, 0);
      EXPECT_EQ(anim.tex_u, 0.0f);
    }
  }
  EXPECT_EQ(ship.anims[2].shadow, nullptr);  // steps past the file's two stay empty
}

TEST_F(EnemyLoader, MissingSecondDatafileIsReportedAsEnemyOne) {
  make_datafile("ship.dat");
  EXPECT_EQ(install_enemy_types(two_types("gone.dat")),
            "Error loading datafile \"gone.dat\" for enemy 1\n");
  // Refused before the table was touched.
  EXPECT_EQ(enemy_types[0].data, nullptr);
  EXPECT_EQ(enemy_types[0].health, 0);
  EXPECT_EQ(enemy_types[0].anims[0].mask, nullptr);
}

TEST_F(EnemyLoader, FrameThatIsNotABitmapIsRefused) {
  make_datafile("ship.dat");
  EnemyFile f = two_types("ship.dat");
  f.types[1].steps[1].frame = 2;  // the text object
  EXPECT_EQ(install_enemy_types(f),
            "Error: frame 2 of enemy 1 step 1 is not a bitmap in \"ship.dat\" (it holds 3 "
            "objects)\n");
  f.types[1].steps[1].frame = 3;  // the end marker
  EXPECT_NE(install_enemy_types(f).find("frame 3 of enemy 1 step 1"), std::string::npos);
  EXPECT_EQ(enemy_types[0].data, nullptr);
}

TEST_F(EnemyLoader, ReloadReplacesThePreviousPictures) {
  make_datafile("ship.dat");
  make_datafile("dart.dat");
  write_file("first.eif", two_types("dart.dat"));
  load_enemy_types("first.eif");
  ASSERT_NE(enemy_types[0].anims[1].shadow, nullptr);

  // One type with one step: entry 0 is released and refilled, its step 1 is
  // released with it, entry 1 keeps the first load.
  EnemyFile second;
  second.types.push_back(enemy("dart.dat", 7, {step(0, 1, 1)}));
  write_file("second.eif", second);
  DATAFILE* kept = enemy_types[1].data;
  load_enemy_types("second.eif");
  EXPECT_EQ(enemy_types[0].health, 7);
  expect_pictures_match(enemy_types[0].anims[0], static_cast<BITMAP*>(enemy_types[0].data[1].dat));
  EXPECT_EQ(enemy_types[0].anims[1].shadow, nullptr);
  EXPECT_EQ(enemy_types[0].anims[1].mask, nullptr);
  EXPECT_EQ(enemy_types[0].anims[1].duration, 20);  // the record itself is left as it was
  EXPECT_EQ(enemy_types[1].data, kept);
  // Leaks of the first load's datafile, silhouettes or masks fail the
  // sanitizer build when the process ends.
}

TEST_F(EnemyLoader, FileWithNoTypesLeavesTheTable) {
  make_datafile("ship.dat");
  write_file("first.eif", two_types("ship.dat"));
  load_enemy_types("first.eif");
  DATAFILE* data = enemy_types[0].data;
  PixelMask* mask = enemy_types[1].anims[1].mask;
  write_file("empty.eif", EnemyFile{});
  load_enemy_types("empty.eif");
  EXPECT_EQ(enemy_types[0].data, data);
  EXPECT_EQ(enemy_types[1].anims[1].mask, mask);
}

using EnemyLoaderDeath = EnemyLoader;

TEST_F(EnemyLoaderDeath, UnreadableOrBadFilesEndTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(load_enemy_types("nothing.eif"), testing::ExitedWithCode(1), "");
  std::ofstream("short.eif", std::ios::binary).write("\0\1\5", 3);
  EXPECT_EXIT(load_enemy_types("short.eif"), testing::ExitedWithCode(1), "");
}

// The frame check against datafiles built in memory.
class EnemyFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    start_allegro();
    bitmap_ = create_bitmap(8, 8);
    huge_ = create_bitmap(1025, 1);
    objects_[0] = {bitmap_, DAT_BITMAP, 0, nullptr};
    objects_[1] = {const_cast<char*>("text"), DAT_DATA, 4, nullptr};
    objects_[2] = {huge_, DAT_BITMAP, 0, nullptr};
    objects_[3] = {nullptr, DAT_END, 0, nullptr};
  }
  void TearDown() override {
    destroy_bitmap(bitmap_);
    destroy_bitmap(huge_);
  }

  std::string check_frame(int frame) {
    EnemyFile f;
    f.types.push_back(enemy("a.dat", 1, {step(0, 0, 0)}));
    f.types.push_back(enemy("b.dat", 1, {step(0, 0, 0), step(0, 0, frame)}));
    DATAFILE* files[] = {objects_.data(), objects_.data()};
    return check_enemy_frames(f, files);
  }

  BITMAP* bitmap_ = nullptr;
  BITMAP* huge_ = nullptr;
  std::array<DATAFILE, 4> objects_{};
};

TEST_F(EnemyFrames, AcceptsBitmapObjectsOnly) {
  EXPECT_EQ(check_frame(0), "");
  EXPECT_EQ(check_frame(1),
            "Error: frame 1 of enemy 1 step 1 is not a bitmap in \"b.dat\" (it holds 3 "
            "objects)\n");
  EXPECT_NE(check_frame(3).find("frame 3 of enemy 1 step 1 is not a bitmap"), std::string::npos);
  EXPECT_NE(check_frame(255).find("frame 255 of enemy 1 step 1 is not a bitmap"),
            std::string::npos);
  EXPECT_NE(check_frame(2).find("is 1025 x 1 pixels"), std::string::npos);
}

TEST_F(EnemyFrames, MissingDatafileNamesItsType) {
  EnemyFile f;
  f.types.push_back(enemy("a.dat", 1, {step(0, 0, 0)}));
  f.types.push_back(enemy("b.dat", 1, {step(0, 0, 0)}));
  DATAFILE* files[] = {objects_.data(), nullptr};
  EXPECT_EQ(check_enemy_frames(f, files), "Error loading datafile \"b.dat\" for enemy 1\n");
}
