// The software renderer: composes the frame in back_buffer with Allegro's
// drawing functions and the additive blend, then shows it on the screen.
#include <allegro.h>

#include "content/content.h"
#include "render/blend_local.h"
#include "render/hud_local.h"
#include "render/render.h"
#include "world/world.h"

namespace {

BITMAP* bitmap_object(const DATAFILE* data, int index) {
  return static_cast<BITMAP*>(data[index].dat);
}

// Eight rows of five tiles; the top row starts one tile above the playfield
// and everything moves down by scroll_offset, so the 400 rows stay covered.
void draw_background() {
  for (int i = 0; i < BACKGROUND_SLOTS; ++i) {
    const int y = static_cast<int>(static_cast<float>(TILE_SIZE * i - TILE_SIZE) + scroll_offset);
    for (int j = 0; j < TILE_MAP_COLUMNS; ++j) {
      draw_sprite(back_buffer, bitmap_object(tile_set, tile_at(j, background_row(i))),
                  TILE_SIZE * j, y);
    }
  }
}

// The dust layer over the tiles, under detailed looks only.
void draw_dust() {
  if (!rules.detailed_looks) return;
  std::array<DustSpeck, MAX_DUST_SPECKS> specks;
  const int count = dust_specks(specks);
  for (int i = 0; i < count; ++i) {
    const DustShade& shade = DUST_SHADES[specks[i].shade];
    vline(back_buffer, specks[i].x, specks[i].y, specks[i].y + shade.length - 1,
          makecol(shade.r, shade.g, shade.b));
  }
}

// The animation step an object of a 1-based type shows, or null when the slot
// is free, finished or names a type or step that does not exist.
template <typename Type, std::size_t N>
const Animation* current_step(const std::array<Type, N>& types, int type, int anim) {
  if (type < 1 || type > static_cast<int>(N) || anim < 0 || anim >= MAX_ANIMATIONS) return nullptr;
  if (types[type - 1].data == nullptr) return nullptr;
  return &types[type - 1].anims[anim];
}

void draw_enemies() {
  for (int i = 0; i < MAX_ENEMIES; ++i) {
    const Enemy& e = enemies[i];
    if (e.type == LEVEL_DIRECTOR) continue;  // the level's timeline has no picture
    const Animation* a = current_step(enemy_types, e.type, enemy_anim_states[i].anim);
    if (a == nullptr) continue;
    const int x = static_cast<int>(static_cast<float>(a->offset_x) + e.x);
    const int y = static_cast<int>(static_cast<float>(a->offset_y) + e.y);
    BITMAP* frame = bitmap_object(enemy_types[e.type - 1].data, a->frame);
    if (e.tint_left > 0) {
      // A lit sprite mixes its pixels toward the blender's colour, here white.
      set_trans_blender(255, 255, 255, 0);
      rotate_sprite_lit(back_buffer, frame, x, y, itofix(e.angle), ENEMY_TINT_STRENGTH);
    } else {
      rotate_sprite(back_buffer, frame, x, y, itofix(e.angle));
    }
  }
}

// Projectiles are drawn centred on the 3 x 3 box at their position (a 3 x 3
// frame at its corner); the step offsets are for enemies.
template <std::size_t N>
void draw_projectiles(const std::array<Bullet, N>& table) {
  for (const Bullet& b : table) {
    const int type = drawn_shot_type(rules, b.type);
    const Animation* a = current_step(shot_types, type, b.anim);
    if (a == nullptr) continue;
    BITMAP* frame = drawn_long(rules, type) ? bitmap_object(game_data, long_shot_picture.frame)
                                            : bitmap_object(shot_types[type - 1].data, a->frame);
    draw_sprite(back_buffer, frame, static_cast<int>(b.x) + bullet_picture_offset(frame->w),
                static_cast<int>(b.y) + bullet_picture_offset(frame->h));
  }
}

// Each particle is a 2 x 2 square added onto the picture at its alpha; the
// blend clips squares that stick out of the frame. One call for the whole
// table: per square, a call's clipping and dispatch would cost more than its pixels.
void draw_items() {
  for (const Item& item : items) {
    if (item.kind == 0 || !item_shown(item)) continue;
    draw_sprite(back_buffer, bitmap_object(game_data, item_pictures[item.kind - 1].frame),
                static_cast<int>(item.x), static_cast<int>(item.y));
  }
}

// The world keeps particle colours apart from the screen's pixel format: a
// copy of the table in this bitmap's colours is what the blend adds. Static,
// so a frame allocates nothing.
void draw_particles() {
  static std::array<Particle, MAX_PARTICLES> shown;
  shown = particles;
  for (Particle& p : shown)
    if (p.x != FREE_PARTICLE)
      p.colour = makecol_depth(bitmap_color_depth(back_buffer), particle_red(p.colour),
                               particle_green(p.colour), particle_blue(p.colour));
  blend_particles(back_buffer, shown);
}

// The shaken playfield: the picture moved within the back buffer (Allegro's
// blit copies overlapping areas of one bitmap correctly), the strips it
// uncovers black.
void shift_playfield(PlayfieldShift shift) {
  if (shift.x == 0 && shift.y == 0) return;
  blit(back_buffer, back_buffer, 0, 0, shift.x, shift.y, PLAYFIELD_W, PLAYFIELD_H);
  const int black = makecol(0, 0, 0);
  if (shift.x > 0) rectfill(back_buffer, 0, 0, shift.x - 1, PLAYFIELD_H - 1, black);
  if (shift.x < 0)
    rectfill(back_buffer, PLAYFIELD_W + shift.x, 0, PLAYFIELD_W - 1, PLAYFIELD_H - 1, black);
  if (shift.y > 0) rectfill(back_buffer, 0, 0, PLAYFIELD_W - 1, shift.y - 1, black);
  if (shift.y < 0)
    rectfill(back_buffer, 0, PLAYFIELD_H + shift.y, PLAYFIELD_W - 1, PLAYFIELD_H - 1, black);
}

void draw_boss_bar(int white) {
  const BossBar bar = boss_bar();
  if (!bar.shown) return;
  textout_ex(back_buffer, font, bar.name, BOSS_BAR_X, BOSS_NAME_Y, white, -1);
  const int bottom = BOSS_BAR_Y + BOSS_BAR_H - 1;
  rectfill(back_buffer, BOSS_BAR_X, BOSS_BAR_Y, BOSS_BAR_X + BOSS_BAR_W - 1, bottom,
           makecol(BOSS_BAR_EMPTY.r, BOSS_BAR_EMPTY.g, BOSS_BAR_EMPTY.b));
  if (bar.filled > 0)
    rectfill(back_buffer, BOSS_BAR_X, BOSS_BAR_Y, BOSS_BAR_X + bar.filled - 1, bottom,
             makecol(BOSS_BAR_FULL.r, BOSS_BAR_FULL.g, BOSS_BAR_FULL.b));
  for (int i = 0; i < bar.mark_count; ++i)
    vline(back_buffer, BOSS_BAR_X + bar.marks[i], BOSS_BAR_Y - 2, bottom + 2, white);
}

// The weapon level, when the rules give the weapon levels.
void draw_power(int white) {
  textout_ex(back_buffer, font, format_power(player.power).data(), POWER_TEXT_X, POWER_TEXT_Y,
             white, -1);
}

void draw_hud() {
  const int white = makecol(255, 255, 255);
  const FpsLine fps_at = fps_line(rules, show_fps, fps.load(), "Software", 0);
  textout_ex(back_buffer, font, fps_at.text.data(), fps_at.x, fps_at.y, white, -1);

  const EnergyBarColour bar = energy_bar_colour(player.energy);
  blend_add_rect(back_buffer, 10, 10, ENERGY_BAR_STEP * player.energy, 10, makecol(bar.r, bar.g, 0),
                 192);
  const EnergyFlash lost = energy_flash(screen_feedback, player.energy);
  blend_add_rect(back_buffer, 10 + lost.x, 10, lost.w, 10, white, 192);
  rect(back_buffer, 10, 10, 110, 20, white);

  draw_power(white);
  textout_right_ex(back_buffer, font, format_score(player.score, score_multiplier()).data(), 310,
                   10, white, -1);
  draw_boss_bar(white);
  const HudPoint bombs_at = bombs_place(0);
  textout_right_ex(back_buffer, font, format_bombs(rules, player.bombs).data(), bombs_at.x,
                   bombs_at.y, white, -1);

  FONT* menu_font = static_cast<FONT*>(game_data[DATA_MENU_FONT].dat);
  for (const Message& m : messages) {
    if (m.time_left <= 0) continue;
    textout_centre_ex(back_buffer, menu_font, message_text(m).data(), PLAYFIELD_W / 2, 200, white,
                      -1);
  }
}

// The playfield sits in the top-left corner of the back buffer; doubled, that
// corner is stretched over the 640 x 800 window. Full screen stretches it by a
// whole number, pixel for pixel, onto the black the window was cleared to.
void show_frame() {
  if (screen_fit.factor > 0) {
    stretch_blit(back_buffer, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, screen_fit.x, screen_fit.y,
                 screen_fit.factor * PLAYFIELD_W, screen_fit.factor * PLAYFIELD_H);
  } else if (scale == 1) {
    stretch_blit(back_buffer, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, 0, 0, 2 * PLAYFIELD_W,
                 2 * PLAYFIELD_H);
  } else {
    // The screen bitmap is the window: its size is SCREEN_W x SCREEN_H.
    blit(back_buffer, screen, 0, 0, 0, 0, screen->w, screen->h);
  }
}

}  // namespace

// Reads the tables only and allocates nothing; the back buffer is not cleared
// because the tiles cover the playfield.
void draw_frame_software() {
  draw_background();
  draw_dust();
  draw_enemies();
  if (ship_shown())
    draw_sprite(back_buffer, bitmap_object(game_data, DATA_PLAYER_SHIP), player.x, player.y);
  draw_projectiles(player_shots);
  draw_projectiles(enemy_bullets);
  draw_items();
  draw_particles();
  shift_playfield(playfield_shift(screen_feedback, screen_effects));
  blend_add_rect(back_buffer, 0, 0, PLAYFIELD_W, PLAYFIELD_H, makecol(255, 255, 255),
                 flash_strength(screen_feedback, screen_effects));
  draw_hud();
  draw_overlay(back_buffer, PLAYFIELD_W, PLAYFIELD_H, 1);
}

void render_frame_software() {
  draw_frame_software();
  show_frame();
}
