// The tile map lookup, texture sizes and the tile-set loader, all headless:
// with the software renderer no GL call may be made, so texture preparation
// must still fill the plain numbers without a context.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "content/content.h"
#include "content/textures_local.h"
#include "world/world.h"

namespace {

void start_allegro(int depth) {
  static const bool installed = [] { return install_allegro(SYSTEM_NONE, &errno, atexit) == 0; }();
  ASSERT_TRUE(installed);
  set_color_depth(depth);
}

// ---- texture sizes ----

struct SizeCase {
  int w, h, edge;
};

class TextureSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(TextureSize, IsTheSmallestAllowedEdgeHoldingTheFrame) {
  const SizeCase c = GetParam();
  EXPECT_EQ(texture_size_for(c.w, c.h), c.edge) << c.w << "x" << c.h;
}

INSTANTIATE_TEST_SUITE_P(Edges, TextureSize,
                         ::testing::Values(SizeCase{1, 1, 2}, SizeCase{2, 2, 2}, SizeCase{3, 3, 4},
                                           SizeCase{40, 40, 64}, SizeCase{40, 20, 64},
                                           SizeCase{64, 64, 64}, SizeCase{65, 10, 128},
                                           SizeCase{10, 65, 128}, SizeCase{1024, 1024, 1024},
                                           SizeCase{1025, 1, 0}, SizeCase{1, 1025, 0}));

TEST(FrameTextureError, RefusesOnlyFramesBeyondTheLargestTexture) {
  EXPECT_EQ(frame_texture_error(2, "enemy type 1", 1024, 1024), "");
  EXPECT_EQ(frame_texture_error(2, "enemy type 1", 1, 1), "");
  EXPECT_EQ(frame_texture_error(7, "enemy type 3", 1025, 40),
            "Error: frame 7 of enemy type 3 is 1025x40, larger than 1024\n");
  EXPECT_NE(frame_texture_error(0, "shot type 1", 3, 2000), "");
}

// ---- the tile map ----

TEST(TileAt, StartsTheMapAgainPastItsEndAndAnswersTileZeroBesideIt) {
  tile_map[2][5] = 7;
  tile_map[4][127] = 3;
  tile_map[0][0] = 9;
  EXPECT_EQ(tile_at(2, 5), 7);
  EXPECT_EQ(tile_at(4, 127), 3);
  EXPECT_EQ(tile_at(0, 0), 9);
  // Rows the renderers ask for after about four minutes of scrolling.
  for (int row : {128, 1 << 30}) EXPECT_EQ(tile_at(0, row), 9) << row;
  for (int row : {-1, 129, 200}) EXPECT_EQ(tile_at(0, row), 0) << row;
  for (int column : {-1, 5, 6}) EXPECT_EQ(tile_at(column, 0), 0) << column;
  for (auto& column : tile_map) column.fill(0);
}

// Under detailed looks a level's map uses all its set's tiles; under plain
// looks every cell is tile 0.
TEST(TileMap, MixesTheSetsTilesOnlyUnderDetailedLooks) {
  start_allegro(32);
  renderer = Renderer::Software;
  for (const Rules& r : {ARCADE_RULES, PLAIN_RULES}) {
    rules = r;
    load_tile_set((std::string(MIRVO_GAME_DIR) + "/tileset2.dat").c_str());
    std::set<int> used;
    for (const auto& column : tile_map) used.insert(column.begin(), column.end());
    EXPECT_EQ(used, (r.detailed_looks ? std::set<int>{0, 1, 2, 3} : std::set<int>{0}));
  }
  release_level_graphics();
}

// ---- frame textures without a GL context ----

struct FrameCase {
  int w, h;
  float u, v;
};

class FrameTexture : public ::testing::TestWithParam<FrameCase> {
 protected:
  void SetUp() override {
    start_allegro(32);
    renderer = Renderer::Software;
    frame_ = create_bitmap(GetParam().w, GetParam().h);
    other_ = create_bitmap(1, 1);
    // The frame is object 4, as the built-in shot types use it.
    for (int i = 0; i < 4; ++i) data_[i] = {other_, DAT_BITMAP, 0, nullptr};
    data_[4] = {frame_, DAT_BITMAP, 0, nullptr};
    data_[5] = {nullptr, DAT_END, 0, nullptr};
  }
  void TearDown() override {
    shot_types[1] = ShotType{};
    enemy_types[2] = EnemyType{};
    destroy_bitmap(frame_);
    destroy_bitmap(other_);
  }
  BITMAP* frame_ = nullptr;
  BITMAP* other_ = nullptr;
  DATAFILE data_[6]{};
};

TEST_P(FrameTexture, FillsSizeAndFarCornerWithoutTouchingGl) {
  const FrameCase c = GetParam();
  shot_types[1].data = data_;
  shot_types[1].anims[2].frame = 4;
  make_shot_texture(1, 2);
  const Animation& a = shot_types[1].anims[2];
  EXPECT_EQ(a.frame_w, c.w);
  EXPECT_EQ(a.frame_h, c.h);
  EXPECT_FLOAT_EQ(a.tex_u, c.u);
  EXPECT_FLOAT_EQ(a.tex_v, c.v);
  EXPECT_EQ(a.texture, 0u) << "no texture can exist without a GL context";

  enemy_types[2].data = data_;
  enemy_types[2].anims[31].frame = 4;
  make_enemy_texture(2, 31);
  EXPECT_EQ(enemy_types[2].anims[31].frame_w, c.w);
  EXPECT_FLOAT_EQ(enemy_types[2].anims[31].tex_v, c.v);
  // Neighbouring steps are left alone.
  EXPECT_EQ(enemy_types[2].anims[30].frame_w, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FrameTexture,
                         ::testing::Values(FrameCase{64, 64, 1.0f, 1.0f},
                                           FrameCase{3, 3, 0.75f, 0.75f},
                                           FrameCase{40, 20, 0.625f, 0.3125f},
                                           FrameCase{1, 1, 0.5f, 0.5f},
                                           FrameCase{65, 10, 65.0f / 128, 10.0f / 128}));

TEST(FrameBitmap, FindsOnlyPictureObjectsInsideTheDatafile) {
  start_allegro(32);
  BITMAP* bmp = create_bitmap(2, 2);
  DATAFILE data[3] = {
      {bmp, DAT_BITMAP, 0, nullptr}, {font, DAT_FONT, 0, nullptr}, {nullptr, DAT_END, 0, nullptr}};
  EXPECT_EQ(frame_bitmap(data, 0), bmp);
  EXPECT_EQ(frame_bitmap(data, 1), nullptr) << "a font is no frame";
  EXPECT_EQ(frame_bitmap(data, 2), nullptr) << "the end marker";
  EXPECT_EQ(frame_bitmap(data, 9), nullptr) << "past the end";
  EXPECT_EQ(frame_bitmap(data, -1), nullptr);
  EXPECT_EQ(frame_bitmap(nullptr, 0), nullptr);
  destroy_bitmap(bmp);
}

TEST(FrameTextureDeathTest, AnOversizedFrameEndsTheProgramWithAMessage) {
  start_allegro(32);
  BITMAP* big = create_bitmap(1025, 4);
  DATAFILE data[2] = {{big, DAT_BITMAP, 0, nullptr}, {nullptr, DAT_END, 0, nullptr}};
  enemy_types[5].data = data;
  enemy_types[5].anims[0].frame = 0;
  // allegro_message writes to standard output without a window.
  EXPECT_EXIT(
      {
        dup2(2, 1);
        make_enemy_texture(5, 0);
      },
      ::testing::ExitedWithCode(1), "frame 0 of enemy type 6 is 1025x4, larger than 1024");
  enemy_types[5] = EnemyType{};
  destroy_bitmap(big);
}

TEST(GlContext, IsNeverAssumedWithoutAnOpenGlDriver) {
  start_allegro(32);
  renderer = Renderer::Software;
  EXPECT_FALSE(gl_context_ready());
  renderer = Renderer::OpenGL;  // configured, but no graphics mode is set
  EXPECT_FALSE(gl_context_ready());
  renderer = Renderer::Software;
}

// ---- the tile-set loader ----

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
void put_be16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

// An uncompressed Allegro datafile holding one 24-bit w x h bitmap of one colour.
void write_tile_datafile(const std::string& path, int w, int h, int r, int g, int b) {
  std::vector<std::uint8_t> bytes;
  put_be32(bytes, F_NOPACK_MAGIC);
  put_be32(bytes, DAT_MAGIC);
  put_be32(bytes, 1);
  put_be32(bytes, DAT_BITMAP);
  const std::uint32_t size = 6 + 3u * w * h;
  put_be32(bytes, size);
  put_be32(bytes, size);
  put_be16(bytes, 24);
  put_be16(bytes, static_cast<std::uint16_t>(w));
  put_be16(bytes, static_cast<std::uint16_t>(h));
  for (int i = 0; i < w * h; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(r));
    bytes.push_back(static_cast<std::uint8_t>(g));
    bytes.push_back(static_cast<std::uint8_t>(b));
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Runs each test in a directory of its own, as the game runs in its folder.
class TileSetLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    start_allegro(32);
    old_dir_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("mirvo_tiles_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    release_level_graphics();
    renderer = Renderer::Software;
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path old_dir_, dir_;
};

TEST_F(TileSetLoader, RewindsTheScrollAndKeepsTheTileForTheSoftwareRenderer) {
  write_tile_datafile("tileset1.dat", 64, 64, 10, 200, 30);
  renderer = Renderer::Software;
  scroll_row = 250;
  scroll_offset = 33.5f;
  tile_map[3][100] = 5;
  load_tile_set();
  ASSERT_NE(tile_set, nullptr);
  BITMAP* tile = frame_bitmap(tile_set, 0);
  ASSERT_NE(tile, nullptr);
  EXPECT_EQ(tile->w, TILE_SIZE);
  EXPECT_EQ(tile->h, TILE_SIZE);
  EXPECT_EQ(getg(getpixel(tile, 5, 60)), 200);
  EXPECT_EQ(scroll_row, 0);
  EXPECT_EQ(scroll_offset, 0.0f);
  for (int column = 0; column < TILE_MAP_COLUMNS; ++column)
    for (int row = 0; row < TILE_MAP_ROWS; ++row) ASSERT_EQ(tile_map[column][row], 0);
  EXPECT_EQ(tile_texture[0], 0u);
}

TEST_F(TileSetLoader, ANewGameReplacesTheEarlierTileSet) {
  // Under the leak checker a tile set dropped without unloading fails here.
  write_tile_datafile("tileset1.dat", 64, 64, 10, 20, 30);
  renderer = Renderer::Software;
  load_tile_set();
  write_tile_datafile("tileset1.dat", 64, 64, 90, 20, 30);
  for (int game = 0; game < 20; ++game) load_tile_set();
  ASSERT_NE(tile_set, nullptr);
  EXPECT_EQ(getr(getpixel(frame_bitmap(tile_set, 0), 0, 0)), 90) << "the new file's tile";
}

TEST_F(TileSetLoader, TheOpenGlRendererDropsTheDatafileAfterLoading) {
  write_tile_datafile("tileset1.dat", 64, 64, 10, 20, 30);
  renderer = Renderer::OpenGL;
  load_tile_set();
  EXPECT_EQ(tile_set, nullptr);
}

TEST_F(TileSetLoader, AMissingFileEndsTheProgram) {
  EXPECT_EXIT(
      {
        dup2(2, 1);
        load_tile_set();
      },
      ::testing::ExitedWithCode(1), "^Error loading tileset1\\.dat$");
}

}  // namespace
