// Texture preparation the files of src/content share; tests call some of it
// without a GL context.
#pragma once

#include <array>
#include <string>

struct BITMAP;
struct DATAFILE;

// The square texture edges allowed, smallest first.
inline constexpr std::array<int, 10> TEXTURE_SIZES = {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024};

// The plain white texture untextured quads are drawn with, and the ship's.
void make_white_texture();
void make_player_texture();
// The texture of item picture `kind_index` (kind - 1), its frame filled already.
void make_item_texture(int kind_index);
void make_long_shot_texture();

// Why frame `frame` of `owner` (e.g. "enemy type 2") cannot become a texture,
// or an empty text when it can. A frame must be a picture no larger than
// 1024 x 1024, the largest allowed texture edge.
std::string frame_texture_error(int frame, const char* owner, int w, int h);

// True when a GL context is up, so texture calls may be made. The software
// renderer has none: its texture steps only fill the plain numbers.
bool gl_context_ready();

// Unloads the tile set and deletes the tile's texture (while a GL context is up).
void release_tile_set();
