// The main menu and the options screen. Both draw a 320 x 400 picture into a
// memory page of the window's size and copy it to the screen once per key;
// with OpenGL they draw through AllegroGL's Allegro mode while they are up.
#include <alleggl.h>
#include <allegro.h>

#include <cstdlib>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"
#include "world/world.h"

namespace {

constexpr int MENU_ITEM_X = 225;
constexpr int MENU_ITEM_Y = 250;
constexpr int MENU_ITEM_STEP = 30;
constexpr int OPTION_LABEL_X = 80;
constexpr int OPTION_VALUE_X = OPTION_LABEL_X + 130;
constexpr int TRANSPARENT = -1;  // text background

FONT* menu_font() {
  return static_cast<FONT*>(game_data[DATA_MENU_FONT].dat);
}

int item_colour(int row, int selection) {
  return row == selection ? makecol(255, 0, 0) : makecol(255, 255, 255);
}

BITMAP* make_bitmap(int width, int height) {
  BITMAP* page = create_bitmap(width, height);
  if (page == nullptr) {
    fatal_error("Error creating the frame buffer\n");
  }
  return page;
}

// Full screen draws the page as the plain window does and scales it on the way.
BITMAP* make_page() {
  return screen_fit.factor > 0 ? make_bitmap(PLAYFIELD_W, PLAYFIELD_H)
                               : make_bitmap(SCREEN_W, SCREEN_H);
}

// Full screen: the page at the whole-number scale, centred on black. OpenGL
// redraws the whole window every time, so the picture is put together in
// memory first; the software window keeps the black bars it was cleared to.
void show_full_screen_page(BITMAP* page) {
  const ScreenFit& fit = screen_fit;
  if (renderer == Renderer::Software) {
    stretch_blit(page, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, fit.x, fit.y,
                 fit.factor * PLAYFIELD_W, fit.factor * PLAYFIELD_H);
    return;
  }
  BITMAP* whole = make_bitmap(SCREEN_W, SCREEN_H);
  clear_to_color(whole, makecol(0, 0, 0));
  stretch_blit(page, whole, 0, 0, PLAYFIELD_W, PLAYFIELD_H, fit.x, fit.y, fit.factor * PLAYFIELD_W,
               fit.factor * PLAYFIELD_H);
  blit(whole, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
  destroy_bitmap(whole);
}

// The OpenGL window is doubled by hand: each pixel of the playfield-sized
// corner becomes a 2 x 2 block.
void double_to_screen(BITMAP* page) {
  for (int x = 0; x < PLAYFIELD_W; ++x) {
    for (int y = 0; y < PLAYFIELD_H; ++y) {
      const int c = getpixel(page, x, y);
      putpixel(screen, 2 * x, 2 * y, c);
      putpixel(screen, 2 * x + 1, 2 * y, c);
      putpixel(screen, 2 * x + 1, 2 * y + 1, c);
      putpixel(screen, 2 * x, 2 * y + 1, c);
    }
  }
}

void show_page(BITMAP* page) {
  if (screen_fit.factor > 0)
    show_full_screen_page(page);
  else if (scale != 1)
    blit(page, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
  else if (renderer == Renderer::Software)
    stretch_blit(page, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, 0, 0, SCREEN_W, SCREEN_H);
  else
    double_to_screen(page);
  if (renderer == Renderer::OpenGL) allegro_gl_flip();
}

// Blocks until a key is pressed and returns its scancode. The window's close
// button counts as Escape, which leaves either screen. F12 saves a
// screenshot of the screen as it is and is not passed on.
int wait_for_scancode() {
  for (;;) {
    while (!keypressed()) {
      if (close_requested.load() != 0) return KEY_ESC;
      rest(1);
    }
    const int scancode = readkey() >> 8;
    if (scancode != KEY_F12) return scancode;
    save_screenshot();
  }
}

void draw_main_menu(BITMAP* page, int selection) {
  const int white = makecol(255, 255, 255);
  draw_sprite(page, static_cast<BITMAP*>(game_data[DATA_MENU_BACKGROUND].dat), 0, 0);
  textprintf_ex(page, font, 0, 0, white, TRANSPARENT, "Version %s", "2003-03-30");
  textprintf_right_ex(page, font, PLAYFIELD_W, 0, white, TRANSPARENT, "%s",
                      renderer == Renderer::OpenGL ? "OpenGL" : "Software");
  textprintf_centre_ex(page, font, PLAYFIELD_W / 2, 380, white, TRANSPARENT, "Mirvo");
  textprintf_centre_ex(page, font, PLAYFIELD_W / 2, 390, white, TRANSPARENT,
                       "Arrows move, Space/Ctrl fire, Esc menu");
  for (int i = 0; i < MENU_ITEM_COUNT; ++i)
    textprintf_ex(page, menu_font(), MENU_ITEM_X, MENU_ITEM_Y + MENU_ITEM_STEP * i,
                  item_colour(i, selection), TRANSPARENT, "%s", menu_item_texts[i]);
}

void draw_options(BITMAP* page, const OptionsState& state) {
  clear_to_color(page, makecol(0, 0, 0));
  for (int i = 0; i < OPTION_ROW_COUNT; ++i) {
    const int y = option_row_y(i);
    const int colour = item_colour(i, state.selection);
    textprintf_ex(page, menu_font(), OPTION_LABEL_X, y, colour, TRANSPARENT, "%s", option_label(i));
    if (i < SETTING_COUNT) {
      const SettingRow& row = SETTING_ROWS[static_cast<std::size_t>(i)];
      textprintf_ex(page, menu_font(), OPTION_VALUE_X, y, colour, TRANSPARENT, "%s",
                    option_value_text(row, state.chosen.*row.field).data());
    }
  }
}

}  // namespace

// Shows the four items until Enter or Escape and returns the choice; Escape
// (and the window's close button) mean Quit. Redraws once per key.
MenuChoice main_menu() {
  play_music(MUSIC_MENU);
  if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
  BITMAP* page = make_page();
  clear_keybuf();
  int selection = 0;
  int last_key = 0;
  for (;;) {
    const int before = selection;
    selection = menu_selection_after(selection, last_key);
    play_menu_key(last_key, selection != before);
    if (selection < 0 || last_key == KEY_ENTER) break;
    draw_main_menu(page, selection);
    show_page(page);
    last_key = wait_for_scancode();
  }
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
  return menu_choice_for(selection);
}

// Edits a copy of the settings; only Enter on Accept stores them (in
// `settings` and in the settings file) and returns 1, after which main restarts.
int options_menu() {
  play_music(MUSIC_MENU);
  OptionsState state;
  state.chosen = settings;
  if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
  BITMAP* page = make_page();
  if (renderer == Renderer::OpenGL) allegro_gl_flip();
  clear_keybuf();
  int last_key = 0;
  for (;;) {
    const OptionsState before = state;
    options_apply_key(state, last_key);
    play_menu_key(last_key, state.selection != before.selection || state.chosen != before.chosen);
    if (state.selection < 0 || last_key == KEY_ENTER) break;
    draw_options(page, state);
    show_page(page);
    last_key = wait_for_scancode();
  }
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
  if (!options_accepted(state)) return 0;
  settings = state.chosen;
  write_settings();
  return 1;
}
