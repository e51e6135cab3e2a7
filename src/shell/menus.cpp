// The main menu and the options screen. Both draw a 320 x 400 picture into a
// memory page of the window's size and copy it to the screen once per key;
// with OpenGL they draw through AllegroGL's Allegro mode while they are up.
#include <alleggl.h>
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <span>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/screens_local.h"
#include "world/world.h"

namespace {

constexpr int MENU_ITEM_X = 225;
constexpr int NOTICE_Y = 200;  // on the picture, above the items
constexpr int OPTION_LABEL_X = 80;
constexpr int OPTION_VALUE_X = OPTION_LABEL_X + 130;
constexpr int TRANSPARENT = -1;  // text background

// The menu's picture with `items`, the help line at its foot and, when given,
// a notice across the middle.
void draw_main_menu(BITMAP* page, std::span<const char* const> items, int selection,
                    const char* notice, const char* help) {
  const int white = makecol(255, 255, 255);
  draw_sprite(page, static_cast<BITMAP*>(game_data[DATA_MENU_BACKGROUND].dat), 0, 0);
  textprintf_ex(page, font, 0, 0, white, TRANSPARENT, "Version %s", "2003-03-30");
  textprintf_right_ex(page, font, PLAYFIELD_W, 0, white, TRANSPARENT, "%s",
                      renderer == Renderer::OpenGL ? "OpenGL" : "Software");
  textprintf_centre_ex(page, font, PLAYFIELD_W / 2, 380, white, TRANSPARENT, "Mirvo");
  textprintf_centre_ex(page, font, PLAYFIELD_W / 2, 390, white, TRANSPARENT, "%s", help);
  const int count = static_cast<int>(items.size());
  for (int i = 0; i < count; ++i)
    textprintf_ex(page, menu_font(), MENU_ITEM_X, menu_item_y(i, count), item_colour(i, selection),
                  TRANSPARENT, "%s", items[static_cast<std::size_t>(i)]);
  if (notice == nullptr) return;
  // A black band across the picture keeps the notice readable on any background.
  const int h = text_height(menu_font());
  rectfill(page, 0, NOTICE_Y - 6, PLAYFIELD_W - 1, NOTICE_Y + h + 5, makecol(0, 0, 0));
  textprintf_centre_ex(page, menu_font(), PLAYFIELD_W / 2, NOTICE_Y, white, TRANSPARENT, "%s",
                       notice);
}

void draw_options(BITMAP* page, const OptionsState& state) {
  clear_to_color(page, makecol(0, 0, 0));
  for (int i = 0; i < OPTION_ROW_COUNT; ++i) {
    const int y = option_row_y(i);
    const int colour = item_colour(i, state.selection);
    textprintf_ex(page, menu_font(), OPTION_LABEL_X, y, colour, TRANSPARENT, "%s", option_label(i));
    if (i < OPTION_SETTING_COUNT) {
      const SettingRow& row = SETTING_ROWS[static_cast<std::size_t>(i)];
      textprintf_ex(page, menu_font(), OPTION_VALUE_X, y, colour, TRANSPARENT, "%s",
                    option_value_text(row, state.chosen.*row.field).data());
    }
  }
}

}  // namespace

// Shows the items until Enter or Escape and returns the choice; Escape (and
// the window's close button) mean Quit. The "High scores" row is there under
// rules that end games. Redraws once per key, and once more as a notice ends.
MenuChoice main_menu(int selection, const char* notice) {
  play_music(MUSIC_MENU);
  if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
  BITMAP* page = make_page();
  clear_keybuf();
  const bool scores_row = folder_campaign.rules.game_ends;
  const std::span<const char* const> items = menu_items(scores_row);
  const int count = static_cast<int>(items.size());
  const auto notice_until = std::chrono::steady_clock::now() + std::chrono::milliseconds(NOTICE_MS);
  selection = choose_row(selection, count, false, [&](int shown) {
    const int notice_left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 notice_until - std::chrono::steady_clock::now())
                                                 .count());
    if (notice_left <= 0) notice = nullptr;
    // Under the arcade rules Escape pauses: the menu opens on Resume. With
    // bombs the line names X and is shortened to fit the 40 columns.
    const Rules& r = folder_campaign.rules;
    draw_main_menu(page, items, shown, notice,
                   r.bombs             ? "Arrows, Space fire, X bomb, Esc pause"
                   : r.menus_in_window ? "Arrows move, Space/Ctrl fire, Esc pause"
                                       : "Arrows move, Space/Ctrl fire, Esc menu");
    show_page(page);
    return notice != nullptr ? notice_left : -1;
  });
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
  return menu_choice_for(selection, scores_row);
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
    last_key = wait_for_screen_key(-1, false).scancode;
  }
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
  if (!options_accepted(state)) return 0;
  settings = state.chosen;
  write_settings();
  return 1;
}

bool difficulty_menu() {
  const SettingRow& row = setting_row(&Settings::difficulty);
  const std::span<const char* const> items(row.choices.data(), DIFFICULTY_NAMES.size());
  const int count = static_cast<int>(items.size());
  if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
  BITMAP* page = make_page();
  clear_keybuf();
  const int selection =
      choose_row(std::clamp(settings.difficulty, 0, count - 1), count, true, [&](int shown) {
        draw_main_menu(page, items, shown, "Difficulty", "Enter play, Esc back");
        show_page(page);
        return -1;
      });
  if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
  destroy_bitmap(page);
  if (selection < 0) return false;
  settings.difficulty = selection;
  // Only its own line changes: the other settings stay as the file has them.
  const SettingValue chosen{row.key, selection};
  save_settings(std::span(&chosen, 1));
  return true;
}
