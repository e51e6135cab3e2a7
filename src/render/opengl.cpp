// The OpenGL renderer: one immediate-mode textured quad per tile, sprite and
// particle, then the head-up display's text through AllegroGL's Allegro mode.
#include <allegro.h>

#include "content/content.h"
#include "render/hud_local.h"
#include "render/render.h"
#include "world/world.h"

#include <alleggl.h>

namespace {

void draw_quad(float x, float y, float w, float h, float u, float v) {
  glBegin(GL_QUADS);
  for (const QuadCorner& c : quad_corners(x, y, w, h, u, v)) {
    glTexCoord2f(c.u, c.v);
    glVertex2f(c.at.x, c.at.y);
  }
  glEnd();
}

// Blending is switched on around each quad and off after it.
void draw_blended_quad(GLenum dest_factor, float x, float y, float w, float h, float u, float v) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, dest_factor);
  draw_quad(x, y, w, h, u, v);
  glDisable(GL_BLEND);
}

void draw_sprite_quad(unsigned int texture, float x, float y, const Animation& a) {
  glBindTexture(GL_TEXTURE_2D, texture);
  draw_blended_quad(GL_ONE_MINUS_SRC_ALPHA, x, y, static_cast<float>(a.frame_w),
                    static_cast<float>(a.frame_h), a.tex_u, a.tex_v);
}

// Unlike the software renderer, the vertical position keeps the fraction of
// scroll_offset.
void draw_background() {
  glColor3f(1.0f, 1.0f, 1.0f);
  for (int i = 0; i < BACKGROUND_SLOTS; ++i) {
    const float y = static_cast<float>(TILE_SIZE * i - TILE_SIZE) + scroll_offset;
    for (int j = 0; j < TILE_MAP_COLUMNS; ++j) {
      const int tile = tile_at(j, background_row(i));
      glBindTexture(GL_TEXTURE_2D, tile >= 0 && tile < MAX_TILES ? tile_texture[tile] : 0);
      draw_quad(static_cast<float>(TILE_SIZE * j), y, TILE_SIZE, TILE_SIZE, 1.0f, 1.0f);
    }
  }
}

// The dust layer over the tiles, under detailed looks only; unlike the tiles
// its specks sit on whole pixels, as in software.
void draw_dust() {
  if (!rules.detailed_looks) return;
  std::array<DustSpeck, MAX_DUST_SPECKS> specks;
  const int count = dust_specks(specks);
  glBindTexture(GL_TEXTURE_2D, white_texture);
  for (int i = 0; i < count; ++i) {
    const DustShade& shade = DUST_SHADES[specks[i].shade];
    glColor3ub(shade.r, shade.g, shade.b);
    draw_quad(static_cast<float>(specks[i].x), static_cast<float>(specks[i].y), 1.0f,
              static_cast<float>(shade.length), 1.0f, 1.0f);
  }
  glColor3f(1.0f, 1.0f, 1.0f);
}

// The ship fills the lower-left 40 x 40 of its 64 x 64 texture.
void draw_ship() {
  if (!ship_shown()) return;
  constexpr float extent = static_cast<float>(SHIP_SIZE) / 64.0f;
  glBindTexture(GL_TEXTURE_2D, player.texture);
  draw_blended_quad(GL_ONE_MINUS_SRC_ALPHA, static_cast<float>(player.x),
                    static_cast<float>(player.y), SHIP_SIZE, SHIP_SIZE, extent, extent);
}

template <typename Type, std::size_t N>
const Animation* current_step(const std::array<Type, N>& types, int type, int anim) {
  if (type < 1 || type > static_cast<int>(N) || anim < 0 || anim >= MAX_ANIMATIONS) return nullptr;
  return &types[type - 1].anims[anim];
}

// Enemies are drawn unrotated here: this renderer ignores Enemy.angle.
void draw_enemies() {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (e.type == LEVEL_DIRECTOR) continue;
    const Animation* a = current_step(enemy_types, e.type, enemy_anim_states[i].anim);
    if (a == nullptr) continue;
    draw_sprite_quad(a->texture, e.x + a->offset_x, e.y + a->offset_y, *a);
    if (e.tint_left > 0) {
      // Once more over itself in white: the added colour saturates, the
      // texture's alpha keeps the shape, the colour's alpha the strength.
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
      glColor4ub(255, 255, 255, ENEMY_TINT_STRENGTH);
      draw_sprite_quad(a->texture, e.x + a->offset_x, e.y + a->offset_y, *a);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      glColor3f(1.0f, 1.0f, 1.0f);
    }
  }
}

// Centred on the 3 x 3 box at the projectile's position, as in software.
template <std::size_t N>
void draw_projectiles(const std::array<Bullet, N>& table) {
  for (const Bullet& b : table) {
    const int type = drawn_shot_type(rules, b.type);
    const Animation* a = current_step(shot_types, type, b.anim);
    if (a == nullptr) continue;
    const Animation& picture = drawn_long(rules, type) ? long_shot_picture : *a;
    draw_sprite_quad(picture.texture,
                     b.x + static_cast<float>(bullet_picture_offset(picture.frame_w)),
                     b.y + static_cast<float>(bullet_picture_offset(picture.frame_h)), picture);
  }
}

void draw_items() {
  for (const Item& item : items) {
    if (item.kind == 0 || !item_shown(item)) continue;
    const Animation& picture = item_pictures[item.kind - 1];
    draw_sprite_quad(picture.texture, item.x, item.y, picture);
  }
}

// Added onto the picture, weighted by alpha / 255.
void draw_particles() {
  for (const Particle& p : particles) {
    if (p.x == FREE_PARTICLE) continue;
    glBindTexture(GL_TEXTURE_2D, white_texture);
    glColor4ub(static_cast<GLubyte>(particle_red(p.colour)),
               static_cast<GLubyte>(particle_green(p.colour)),
               static_cast<GLubyte>(particle_blue(p.colour)), static_cast<GLubyte>(p.alpha & 0xFF));
    draw_blended_quad(GL_ONE, p.x, p.y, 2.0f, 2.0f, 1.0f, 1.0f);
  }
}

// A plain rectangle added onto the picture, weighted by alpha / 255.
void add_rect(float x, float y, float w, float h, GLubyte r, GLubyte g, GLubyte b, GLubyte alpha) {
  glBindTexture(GL_TEXTURE_2D, white_texture);
  glColor4ub(r, g, b, alpha);
  draw_blended_quad(GL_ONE, x, y, w, h, 1.0f, 1.0f);
}

void draw_energy_bar() {
  const EnergyBarColour bar = energy_bar_colour(player.energy);
  add_rect(11.0f, 11.0f, static_cast<float>(ENERGY_BAR_STEP * player.energy), 9.0f, bar.r, bar.g, 0,
           255);
  const EnergyFlash lost = energy_flash(screen_feedback, player.energy);
  if (lost.w > 0)
    add_rect(static_cast<float>(11 + lost.x), 11.0f, static_cast<float>(lost.w), 9.0f, 255, 255,
             255, 192);
}

// The playfield's shake as a move of every quad drawn until end_shake; the
// strips it uncovers are cleared first.
void begin_shake(PlayfieldShift shift) {
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  if (shift.x == 0 && shift.y == 0) return;
  glClear(GL_COLOR_BUFFER_BIT);
  glTranslatef(static_cast<float>(shift.x) * DEVICE_X_PER_PIXEL,
               -static_cast<float>(shift.y) * DEVICE_Y_PER_PIXEL, 0.0f);
}

void end_shake() {
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
}

void draw_bar_quad(BarColour colour, int x, int y, int w, int h) {
  glColor3ub(colour.r, colour.g, colour.b);
  draw_quad(static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
            static_cast<float>(h), 1.0f, 1.0f);
}

// The boss's bar in playfield pixels, as the software renderer draws it; its
// name goes with the text.
void draw_boss_bar(const BossBar& bar) {
  if (!bar.shown) return;
  glBindTexture(GL_TEXTURE_2D, white_texture);
  draw_bar_quad(BOSS_BAR_EMPTY, BOSS_BAR_X, BOSS_BAR_Y, BOSS_BAR_W, BOSS_BAR_H);
  draw_bar_quad(BOSS_BAR_FULL, BOSS_BAR_X, BOSS_BAR_Y, bar.filled, BOSS_BAR_H);
  for (int i = 0; i < bar.mark_count; ++i)
    draw_bar_quad({255, 255, 255}, BOSS_BAR_X + bar.marks[i], BOSS_BAR_Y - 2, 1, BOSS_BAR_H + 4);
}

// The weapon level at its playfield place, enlarged `factor` times with the
// window, as the boss's name.
void draw_power(int factor, int white) {
  textout_ex(screen, font, format_power(player.power).data(), POWER_TEXT_X * factor,
             POWER_TEXT_Y * factor, white, -1);
}

// Text and the energy frame go straight onto the screen in window pixels.
// Full screen draws them as the plain 320 x 400 window does, in its corner.
void draw_hud_text() {
  const bool full = screen_fit.factor > 0;
  const int frame_w = full ? PLAYFIELD_W : SCREEN_W;
  const int frame_h = full ? PLAYFIELD_H : SCREEN_H;
  const GlHudLayout at = gl_hud_layout(full ? 0 : scale);
  const int white = makecol(255, 255, 255);
  textout_right_ex(screen, font, format_score(player.score, score_multiplier()).data(),
                   at.score_right, at.score_top, white, -1);
  const FpsLine fps_at = fps_line(rules, show_fps, fps.load(), "OpenGL", full ? 0 : scale);
  textout_ex(screen, font, fps_at.text.data(), fps_at.x, fps_at.y, white, -1);
  rect(screen, at.frame_x1, at.frame_y1, at.frame_x2, at.frame_y2, white);
  draw_power(full ? 1 : scale + 1, white);
  const HudPoint bombs_at = bombs_place(full ? 0 : scale);
  textout_right_ex(screen, font, format_bombs(rules, player.bombs).data(), bombs_at.x, bombs_at.y,
                   white, -1);
  // The boss's name at its playfield place, enlarged with the window.
  if (const BossBar bar = boss_bar(); bar.shown) {
    const int factor = full ? 1 : scale + 1;
    textout_ex(screen, font, bar.name, BOSS_BAR_X * factor, BOSS_NAME_Y * factor, white, -1);
  }

  FONT* menu_font = static_cast<FONT*>(game_data[DATA_MENU_FONT].dat);
  for (const Message& m : messages) {
    if (m.time_left <= 0) continue;
    textout_centre_ex(screen, menu_font, message_text(m).data(), frame_w / 2, frame_h / 2, white,
                      -1);
  }
  draw_overlay(screen, frame_w, frame_h, full || scale == 0 ? 1 : 2);
}

// The full-screen texture: a power of two that holds the 320 x 400 frame.
constexpr int FULL_SCREEN_TEXTURE_SIZE = 512;
GLuint full_screen_texture = 0;

// Full screen: the frame is drawn into the window's top-left 320 x 400 (where
// AllegroGL's Allegro mode puts the text of that corner), as the plain window
// draws it.
void use_frame_viewport() {
  glViewport(0, SCREEN_H - PLAYFIELD_H, PLAYFIELD_W, PLAYFIELD_H);
}

// Copies the finished frame into the texture, clears the whole window to
// black and draws the frame there scaled by a whole number. Nearest texels at
// a whole-number scale give every frame pixel an exact square of screen pixels.
void show_full_screen_frame() {
  glBindTexture(GL_TEXTURE_2D, full_screen_texture);
  glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, SCREEN_H - PLAYFIELD_H, PLAYFIELD_W, PLAYFIELD_H);
  glViewport(0, 0, SCREEN_W, SCREEN_H);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor3f(1.0f, 1.0f, 1.0f);
  const auto device_x = [](int x) { return 2.0f * static_cast<float>(x) / SCREEN_W - 1.0f; };
  const auto device_y = [](int y) { return 1.0f - 2.0f * static_cast<float>(y) / SCREEN_H; };
  const float left = device_x(screen_fit.x);
  const float right = device_x(screen_fit.x + screen_fit.factor * PLAYFIELD_W);
  const float top = device_y(screen_fit.y);
  const float bottom = device_y(screen_fit.y + screen_fit.factor * PLAYFIELD_H);
  // Texture rows count from the frame's bottom line, as the window's rows do.
  constexpr float u = static_cast<float>(PLAYFIELD_W) / FULL_SCREEN_TEXTURE_SIZE;
  constexpr float v = static_cast<float>(PLAYFIELD_H) / FULL_SCREEN_TEXTURE_SIZE;
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, v);
  glVertex2f(left, top);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(left, bottom);
  glTexCoord2f(u, 0.0f);
  glVertex2f(right, bottom);
  glTexCoord2f(u, v);
  glVertex2f(right, top);
  glEnd();
}

}  // namespace

void make_full_screen_texture() {
  glGenTextures(1, &full_screen_texture);
  glBindTexture(GL_TEXTURE_2D, full_screen_texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, FULL_SCREEN_TEXTURE_SIZE, FULL_SCREEN_TEXTURE_SIZE, 0,
               GL_RGB, GL_UNSIGNED_BYTE, nullptr);
}

// Draws one frame with quads and flips. The ship goes under the enemies. The
// frame ends with the depth test on; the next one turns it off first, so it
// never affects the drawing.
void render_frame_opengl() {
  const bool full = screen_fit.factor > 0;
  glDisable(GL_DEPTH_TEST);
  if (full) use_frame_viewport();
  begin_shake(playfield_shift(screen_feedback, screen_effects));
  draw_background();
  draw_dust();
  glColor3f(1.0f, 1.0f, 1.0f);
  draw_ship();
  draw_enemies();
  draw_projectiles(player_shots);
  draw_projectiles(enemy_bullets);
  draw_items();
  draw_particles();
  end_shake();
  if (const int flash = flash_strength(screen_feedback, screen_effects); flash > 0)
    add_rect(0.0f, 0.0f, PLAYFIELD_W, PLAYFIELD_H, 255, 255, 255, static_cast<GLubyte>(flash));
  draw_energy_bar();
  draw_boss_bar(boss_bar());

  if (full) glViewport(0, 0, SCREEN_W, SCREEN_H);  // Allegro mode works in window pixels
  allegro_gl_set_allegro_mode();
  draw_hud_text();
  allegro_gl_unset_allegro_mode();
  if (full) show_full_screen_frame();

  glEnable(GL_DEPTH_TEST);
  glFlush();
  allegro_gl_flip();
}
