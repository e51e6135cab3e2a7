// The key handling of the main menu and the options screen, and the meaning
// of the settings, kept free of drawing so it can be checked without a window.
#include <allegro.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "shell/shell_local.h"

const std::array<const char*, MENU_ITEM_COUNT> menu_item_texts = {"Start", "Resume", "Options",
                                                                  "Quit"};
const std::array<const char*, SCORES_MENU_ITEM_COUNT> scores_menu_item_texts = {
    "Start", "Resume", "Options", "High scores", "Replays", "Quit"};

std::span<const char* const> menu_items(bool scores_row) {
  if (scores_row) return scores_menu_item_texts;
  return menu_item_texts;
}

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

int menu_selection_after(int selection, int scancode, int count) {
  switch (scancode) {
    case KEY_UP:
      return selection == 0 ? count - 1 : selection - 1;
    case KEY_DOWN:
      return selection == count - 1 ? 0 : selection + 1;
    case KEY_ESC:
      return -1;
    default:
      return selection;
  }
}

MenuChoice menu_choice_for(int selection, bool scores_row) {
  if (scores_row && selection == 3) return MENU_SCORES;
  if (scores_row && selection == 4) return MENU_REPLAYS;
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

int option_value_count(const SettingRow& row) {
  if (row.highest > 0) return row.highest + 1;
  int count = 0;
  while (count < MAX_SETTING_CHOICES && row.choices[static_cast<std::size_t>(count)] != nullptr)
    ++count;
  return count;
}

int option_value_after(const SettingRow& row, int value, int scancode) {
  if (row.highest > 0) {
    value = std::clamp(value, 0, row.highest);
    if (scancode == KEY_RIGHT) return std::min(value + 1, row.highest);
    if (scancode == KEY_LEFT) return std::max(value - 1, 0);
    return value;
  }
  const int count = option_value_count(row);
  if (count == 0) return value;
  if (value < 0 || value >= count) value = 0;
  if (scancode == KEY_RIGHT) return value + 1 < count ? value + 1 : 0;
  if (scancode == KEY_LEFT) return value > 0 ? value - 1 : count - 1;
  return value;
}

OptionText option_value_text(const SettingRow& row, int value) {
  OptionText text{};
  if (row.highest > 0) {
    std::to_chars(text.data(), text.data() + text.size() - 1, value);
    return text;
  }
  if (value < 0 || value >= option_value_count(row)) value = 0;
  const char* chosen = row.choices[static_cast<std::size_t>(value)];
  if (chosen != nullptr) std::strncpy(text.data(), chosen, text.size() - 1);
  return text;
}

void options_apply_key(OptionsState& state, int scancode) {
  switch (scancode) {
    case KEY_UP:
      state.selection = state.selection == 0 ? OPTION_CANCEL_ROW : state.selection - 1;
      break;
    case KEY_DOWN:
      state.selection = state.selection == OPTION_CANCEL_ROW ? 0 : state.selection + 1;
      break;
    case KEY_LEFT:
    case KEY_RIGHT:
      if (state.selection >= 0 && state.selection < OPTION_SETTING_COUNT) {
        const SettingRow& row = SETTING_ROWS[static_cast<std::size_t>(state.selection)];
        int& value = state.chosen.*row.field;
        value = option_value_after(row, value, scancode);
      }
      break;
    case KEY_ESC:
      state.selection = -1;
      break;
    default:
      break;
  }
}

int options_accepted(const OptionsState& state) {
  return state.selection == OPTION_ACCEPT_ROW ? 1 : 0;
}

Settings default_settings() {
  Settings values;
  for (const SettingRow& row : SETTING_ROWS) values.*row.field = row.fallback;
  return values;
}

Settings normalise_settings(const Settings& read) {
  Settings values = read;
  for (const SettingRow& row : SETTING_ROWS) {
    const int value = read.*row.field;
    if (row.highest > 0)
      values.*row.field = std::clamp(value, 0, row.highest);
    else if (option_value_count(row) > 2)
      values.*row.field = value >= 0 && value < option_value_count(row) ? value : row.fallback;
    else if (!row.keeps_read_value)
      values.*row.field = value != 0 ? 1 : 0;
  }
  return values;
}

Settings settings_from_config() {
  Settings read;
  for (const SettingRow& row : SETTING_ROWS)
    read.*row.field = get_config_int(nullptr, row.key, row.fallback);
  return normalise_settings(read);
}

std::array<SettingValue, SETTING_COUNT> setting_values(const Settings& values) {
  std::array<SettingValue, SETTING_COUNT> keyed{};
  for (std::size_t i = 0; i < keyed.size(); ++i)
    keyed[i] = {SETTING_ROWS[i].key, values.*SETTING_ROWS[i].field};
  return keyed;
}

int window_doubled(int renderer, int scale) {
  if (renderer != 0) return scale != 0 ? 1 : 0;
  return scale == 1 ? 1 : 0;
}
