// The key handling of the main menu and the options screen, and the meaning
// of the settings, kept free of drawing so it can be checked without a window.
#include <allegro.h>

#include "shell/shell_local.h"

const std::array<const char*, MENU_ITEM_COUNT> menu_item_texts = {"Start", "Resume", "Options",
                                                                  "Quit"};

const std::array<OptionRow, OPTION_SETTING_COUNT + 2> option_rows = {{
    {{"Renderer:", "Software", "OpenGL", nullptr}},
    {{"Stretch:", "No", "Yes", nullptr}},
    {{"Use joystick:", "No", "Yes", nullptr}},
    {{"Sound:", "Off", "On", nullptr}},
    {{"Full screen:", "No", "Yes", nullptr}},
    {{"Frame cap:", "No", "Yes", nullptr}},
    {{"Accept", nullptr, nullptr, nullptr}},
    {{"Cancel", nullptr, nullptr, nullptr}},
}};

int last_option_row = 7;

std::atomic<int> close_requested{0};

void close_button_pressed() {
  close_requested = 1;
  wake_play_loop();
}

// Allegro calls these on its own X thread: they only set the flag the play
// loop reads and wake it.
void focus_lost() {
  window_focused = 0;
  wake_play_loop();
}

void focus_gained() {
  window_focused = 1;
  wake_play_loop();
}

int menu_selection_after(int selection, int scancode) {
  switch (scancode) {
    case KEY_UP:
      return selection == 0 ? MENU_ITEM_COUNT - 1 : selection - 1;
    case KEY_DOWN:
      return selection == MENU_ITEM_COUNT - 1 ? 0 : selection + 1;
    case KEY_ESC:
      return -1;
    default:
      return selection;
  }
}

MenuChoice menu_choice_for(int selection) {
  switch (selection) {
    case 0:
      return MENU_START;
    case 1:
      return MENU_RESUME;
    case 2:
      return MENU_OPTIONS;
    default:
      return MENU_QUIT;
  }
}

int option_value_count(const OptionRow& row) {
  int count = 0;
  while (count + 1 < static_cast<int>(std::size(row.texts)) && row.texts[count + 1] != nullptr)
    ++count;
  return count;
}

int option_value_after(const OptionRow& row, int value, int scancode) {
  const int count = option_value_count(row);
  if (count == 0) return value;
  if (value < 0 || value >= count) value = 0;
  if (scancode == KEY_RIGHT) return value + 1 < count ? value + 1 : 0;
  if (scancode == KEY_LEFT) return value > 0 ? value - 1 : count - 1;
  return value;
}

void options_apply_key(OptionsState& state, int scancode, int last_row) {
  switch (scancode) {
    case KEY_UP:
      state.selection = state.selection == 0 ? last_row : state.selection - 1;
      break;
    case KEY_DOWN:
      state.selection = state.selection == last_row ? 0 : state.selection + 1;
      break;
    case KEY_LEFT:
    case KEY_RIGHT:
      if (state.selection >= 0 && state.selection < last_row - 1 &&
          state.selection < OPTION_SETTING_COUNT) {
        int& value = state.values[state.selection];
        value = option_value_after(option_rows[state.selection], value, scancode);
      }
      break;
    case KEY_ESC:
      state.selection = -1;
      break;
    default:
      break;
  }
}

int options_accepted(const OptionsState& state, int last_row) {
  return state.selection == last_row - 1 ? 1 : 0;
}

Settings normalise_settings(const Settings& read) {
  const auto yes = [](int value) { return value != 0 ? 1 : 0; };
  return Settings{yes(read.renderer),     read.scale,
                  yes(read.use_joystick), yes(read.sound),
                  yes(read.full_screen),  yes(read.frame_cap)};
}

Settings settings_from_config() {
  Settings read;
  read.renderer = get_config_int(nullptr, "renderer", 0);
  read.scale = get_config_int(nullptr, "scale", 0);
  read.use_joystick = get_config_int(nullptr, "usejoystick", 0);
  read.sound = get_config_int(nullptr, "sound", 1);
  read.full_screen = get_config_int(nullptr, "fullscreen", 0);
  read.frame_cap = get_config_int(nullptr, "framecap", 0);
  return normalise_settings(read);
}

// The one place that lists what "mirvo.cfg" stores, in the order start-up reads it.
std::array<SettingValue, 6> setting_values(const Settings& settings) {
  return {{
      {"renderer", settings.renderer},
      {"scale", settings.scale},
      {"usejoystick", settings.use_joystick},
      {"sound", settings.sound},
      {"fullscreen", settings.full_screen},
      {"framecap", settings.frame_cap},
  }};
}

int window_doubled(int renderer, int scale) {
  if (renderer != 0) return scale != 0 ? 1 : 0;
  return scale == 1 ? 1 : 0;
}
