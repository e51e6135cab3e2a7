// Textures for the OpenGL renderer: frames go into the lower-left corner of a
// magenta square whose edge is a power of two, so a masked texture shows the
// frame alone and (tex_u, tex_v) is the frame's far corner.
#include <allegro.h>

#include <cstdio>

#include "content/content.h"
#include "content/textures_local.h"
#include "script/script.h"
#include "world/world.h"

#include <alleggl.h>

unsigned int white_texture = 0;

int texture_size_for(int w, int h) {
  for (int n : TEXTURE_SIZES) {
    if (n >= w && n >= h) return n;
  }
  return 0;
}

std::string frame_texture_error(int frame, const char* owner, int w, int h) {
  if (texture_size_for(w, h) != 0) return {};
  char text[160];
  std::snprintf(text, sizeof text, "Error: frame %d of %s is %dx%d, larger than %d\n", frame, owner,
                w, h, TEXTURE_SIZES.back());
  return text;
}

bool gl_context_ready() {
  if (renderer != Renderer::OpenGL || gfx_driver == nullptr) return false;
  const int id = gfx_driver->id;
  return id == GFX_OPENGL || id == GFX_OPENGL_WINDOWED || id == GFX_OPENGL_FULLSCREEN;
}

// A masked texture in an internal format with alpha. The format chosen at GL
// set-up (GL_RGB8) has no alpha channel, and AllegroGL's masked call would
// then turn the mask colour into opaque black boxes around every sprite.
static GLuint make_masked_texture(BITMAP* bmp) {
  const GLint previous = allegro_gl_set_texture_format(GL_RGBA8);
  const GLuint name = allegro_gl_make_masked_texture(bmp);
  allegro_gl_set_texture_format(previous);
  return name;
}

// Turns the bitmap into a texture (masked: magenta becomes transparent) with
// the given filter on both ends, and returns its name.
static unsigned int make_texture(BITMAP* bmp, bool masked, GLint filter) {
  GLuint name = masked ? make_masked_texture(bmp) : allegro_gl_make_texture(bmp);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  return name;
}

static void delete_texture(unsigned int& name) {
  if (name != 0 && gl_context_ready()) glDeleteTextures(1, &name);
  name = 0;
}

// Fills the size, texture coordinates and (with a GL context) the texture of
// one animation step from frame `anim.frame` of `data`. A frame that is not a
// picture, or is too large for a texture, ends the program with a message.
static void make_frame_texture(const DATAFILE* data, Animation& anim, const char* owner) {
  BITMAP* frame = frame_bitmap(data, anim.frame);
  if (frame == nullptr) {
    fatal_error("Error: frame %d of %s is not a picture\n", anim.frame, owner);
  }
  const std::string error = frame_texture_error(anim.frame, owner, frame->w, frame->h);
  if (!error.empty()) {
    fatal_error("%s", error.c_str());
  }
  const int n = texture_size_for(frame->w, frame->h);
  anim.frame_w = frame->w;
  anim.frame_h = frame->h;
  anim.tex_u = static_cast<float>(frame->w) / static_cast<float>(n);
  anim.tex_v = static_cast<float>(frame->h) / static_cast<float>(n);
  if (!gl_context_ready()) return;

  BITMAP* square = create_bitmap(n, n);
  clear_to_color(square, makecol(255, 0, 255));
  draw_sprite(square, frame, 0, n - frame->h);
  anim.texture = make_texture(square, true, GL_LINEAR);
  destroy_bitmap(square);
}

void make_shot_texture(int type_index, int step) {
  ShotType& type = shot_types[type_index];
  char owner[32];
  std::snprintf(owner, sizeof owner, "shot type %d", type_index + 1);
  make_frame_texture(type.data, type.anims[step], owner);
}

void make_enemy_texture(int type_index, int step) {
  EnemyType& type = enemy_types[type_index];
  char owner[32];
  std::snprintf(owner, sizeof owner, "enemy type %d", type_index + 1);
  make_frame_texture(type.data, type.anims[step], owner);
}

void make_item_texture(int kind_index) {
  char owner[32];
  std::snprintf(owner, sizeof owner, "item %d", kind_index + 1);
  make_frame_texture(game_data, item_pictures[kind_index], owner);
}

void make_long_shot_texture() {
  make_frame_texture(game_data, long_shot_picture, "the long shot");
}

void make_white_texture() {
  if (!gl_context_ready()) return;
  delete_texture(white_texture);
  BITMAP* white = create_bitmap(2, 2);
  clear_to_color(white, makecol(255, 255, 255));
  white_texture = make_texture(white, false, GL_LINEAR);
  destroy_bitmap(white);
}

// The 40 x 40 ship sits at row 24 of a 64 x 64 square, so its 40 rows end at
// the bottom edge and the renderer's far coordinate is 40 / 64.
void make_player_texture() {
  if (!gl_context_ready()) return;
  delete_texture(player.texture);
  BITMAP* square = create_bitmap(64, 64);
  clear_to_color(square, makecol(255, 0, 255));
  draw_sprite(square, static_cast<BITMAP*>(game_data[DATA_PLAYER_SHIP].dat), 0, 24);
  player.texture = make_texture(square, true, GL_LINEAR);
  destroy_bitmap(square);
}

void release_level_graphics() {
  release_tile_set();
  delete_texture(white_texture);
  delete_texture(player.texture);
}
