// The background tile set and the map of tiles that scrolls behind the level.
#include <allegro.h>

#include <cstdio>
#include <string>

#include "content/content.h"
#include "content/content_local.h"
#include "content/textures_local.h"
#include "script/script.h"
#include "world/world.h"

#include <alleggl.h>

DATAFILE* tile_set = nullptr;
std::array<std::array<int, TILE_MAP_ROWS>, TILE_MAP_COLUMNS> tile_map{};
std::array<unsigned int, MAX_TILES> tile_texture{};
int tile_count = 0;

int tile_at(int column, int row) {
  // scroll_row never wraps, so after about four minutes the renderers ask for
  // rows past the map's end: the map starts again from its first row.
  if (column < 0 || column >= TILE_MAP_COLUMNS || row < 0) return 0;
  return tile_map[column][row % TILE_MAP_ROWS];
}

int background_row(int slot) {
  return scroll_row + BACKGROUND_SLOTS - 1 - slot;
}

// Wang's integer hash over the cell and the salt: fixed, cheap, and spread
// well enough that neighbouring cells look unrelated.
std::uint32_t background_hash(int column, int row, std::uint32_t salt) {
  std::uint32_t h = static_cast<std::uint32_t>(column) * 0x9e3779b1u ^
                    static_cast<std::uint32_t>(row) * 0x85ebca6bu ^ salt;
  h = (h ^ 61u) ^ (h >> 16);
  h *= 9u;
  h ^= h >> 4;
  h *= 0x27d4eb2du;
  return h ^ (h >> 15);
}

static void delete_tile_textures() {
  for (unsigned int& texture : tile_texture) {
    if (texture != 0 && gl_context_ready()) glDeleteTextures(1, &texture);
    texture = 0;
  }
}

void release_tile_set() {
  delete_tile_textures();
  tile_count = 0;
  if (tile_set != nullptr) unload_datafile(tile_set);
  tile_set = nullptr;
}

namespace {

std::string tile_set_message(const char* format, const char* name) {
  char text[600];
  std::snprintf(text, sizeof text, format, name);
  return text;
}

// The loaded tile set, or null with the loader's message in *error.
DATAFILE* open_tile_set(const char* name, std::string* error) {
  DATAFILE* data = load_checked_datafile(name);
  if (data == nullptr) {
    *error = tile_set_message("Error loading %s", name);
    return nullptr;
  }
  if (frame_bitmap(data, 0) == nullptr) {
    *error = tile_set_message("Error: object 0 of %s is not a picture\n", name);
    unload_datafile(data);
    return nullptr;
  }
  return data;
}

constexpr std::uint32_t TILE_SALT = 0x74696c65;  // "tile"

// The pictures at the start of the tile set, up to MAX_TILES: object 0 always.
int tiles_in(const DATAFILE* data) {
  int count = 1;
  while (count < MAX_TILES && frame_bitmap(data, count) != nullptr) ++count;
  return count;
}

// Under detailed looks each cell takes one of the set's tiles by its hash, so
// no square repeats in a grid; otherwise every cell is tile 0, as always.
void fill_tile_map() {
  for (int column = 0; column < TILE_MAP_COLUMNS; ++column)
    for (int row = 0; row < TILE_MAP_ROWS; ++row)
      tile_map[column][row] = rules.detailed_looks
                                  ? static_cast<int>(background_hash(column, row, TILE_SALT) %
                                                     static_cast<std::uint32_t>(tile_count))
                                  : 0;
}

}  // namespace

std::string tile_set_problem(const char* name) {
  std::string error;
  if (DATAFILE* data = open_tile_set(name, &error)) unload_datafile(data);
  return error;
}

// Loads the tile set, makes its tiles' textures with OpenGL (then drops the
// datafile, which only the software renderer draws from), fills the map by
// the level's rules and rewinds the scroll. The tile set and texture of an earlier level are
// released first, so starting many levels costs no more memory than one. Fatal on a missing file or
// one whose object 0 is not a picture.
void load_tile_set(const char* name) {
  release_tile_set();
  std::string error;
  tile_set = open_tile_set(name, &error);
  if (tile_set == nullptr) {
    fatal_error("%s", error.c_str());
  }
  tile_count = tiles_in(tile_set);
  for (int t = 0; t < tile_count && gl_context_ready(); ++t) {
    tile_texture[t] = allegro_gl_make_texture(frame_bitmap(tile_set, t));
    glBindTexture(GL_TEXTURE_2D, tile_texture[t]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  }
  if (renderer == Renderer::OpenGL) {
    unload_datafile(tile_set);
    tile_set = nullptr;
  }
  fill_tile_map();
  scroll_offset = 0.0f;
  scroll_row = 0;
}
