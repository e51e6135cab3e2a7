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

int tile_at(int column, int row) {
  // scroll_row never wraps, so after about four minutes the renderers ask for
  // rows past the map's end; every cell is tile 0, so answering 0 looks the same.
  if (column < 0 || column >= TILE_MAP_COLUMNS || row < 0 || row >= TILE_MAP_ROWS) return 0;
  return tile_map[column][row];
}

static void delete_tile_texture() {
  if (tile_texture[0] != 0 && gl_context_ready()) glDeleteTextures(1, &tile_texture[0]);
  tile_texture[0] = 0;
}

void release_tile_set() {
  delete_tile_texture();
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

}  // namespace

std::string tile_set_problem(const char* name) {
  std::string error;
  if (DATAFILE* data = open_tile_set(name, &error)) unload_datafile(data);
  return error;
}

// Loads the tile set, makes its tile's texture with OpenGL (then drops the
// datafile, which only the software renderer draws from) and rewinds the
// scroll. The tile set and texture of an earlier level are released first,
// so starting many levels costs no more memory than one. Fatal on a missing
// file or one whose object 0 is not a picture.
void load_tile_set(const char* name) {
  release_tile_set();
  std::string error;
  tile_set = open_tile_set(name, &error);
  if (tile_set == nullptr) {
    fatal_error("%s", error.c_str());
  }
  BITMAP* tile = frame_bitmap(tile_set, 0);
  if (gl_context_ready()) {
    tile_texture[0] = allegro_gl_make_texture(tile);
    glBindTexture(GL_TEXTURE_2D, tile_texture[0]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  }
  if (renderer == Renderer::OpenGL) {
    unload_datafile(tile_set);
    tile_set = nullptr;
  }
  for (auto& column : tile_map) column.fill(0);
  scroll_offset = 0.0f;
  scroll_row = 0;
}
