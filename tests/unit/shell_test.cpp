// The shell's key handling and settings, run without a window. Its timer
// callbacks, shutdown and new game are in shell_life_test.cpp.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "content/content.h"
#include "mask/mask.h"
#include "render/render.h"
#include "shell/shell_local.h"
#include "world/world.h"

namespace {

int walk_main_menu(std::initializer_list<int> keys) {
  int selection = 0;
  for (int key : keys) selection = menu_selection_after(selection, key);
  return selection;
}

OptionsState walk_options(OptionsState state, std::initializer_list<int> keys) {
  for (int key : keys) options_apply_key(state, key);
  return state;
}

std::array<int, 6> fields(const Settings& s) {
  return {s.renderer, s.scale, s.use_joystick, s.sound, s.full_screen, s.frame_cap};
}

}  // namespace

// ---- Main menu ----

TEST(MainMenuKeys, UpAndDownWrapAroundTheFourItems) {
  EXPECT_EQ(menu_selection_after(0, KEY_UP), 3);    // Start -> Quit
  EXPECT_EQ(menu_selection_after(3, KEY_DOWN), 0);  // Quit -> Start
  EXPECT_EQ(walk_main_menu({KEY_DOWN, KEY_DOWN, KEY_DOWN}), 3);
  EXPECT_EQ(walk_main_menu({KEY_DOWN, KEY_DOWN, KEY_UP}), 1);
  EXPECT_EQ(walk_main_menu({KEY_UP, KEY_UP, KEY_UP, KEY_UP}), 0);  // a full turn
  EXPECT_EQ(walk_main_menu({KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN}), 1);
}

TEST(MainMenuKeys, EscapeLeavesFromEveryItem) {
  for (int selection = 0; selection < MENU_ITEM_COUNT; ++selection)
    EXPECT_EQ(menu_selection_after(selection, KEY_ESC), -1) << "from item " << selection;
}

TEST(MainMenuKeys, OtherKeysChangeNothing) {
  // Only the arrows move the highlight; the keypad's Enter is just another key.
  for (int key : std::initializer_list<int>{0, KEY_LEFT, KEY_RIGHT, KEY_A, KEY_SPACE, KEY_ENTER_PAD,
                                            KEY_8_PAD, KEY_2_PAD})
    for (int selection = 0; selection < MENU_ITEM_COUNT; ++selection)
      EXPECT_EQ(menu_selection_after(selection, key), selection) << "key " << key;
}

TEST(MainMenuChoice, ItemsMapToTheirCodes) {
  EXPECT_EQ(menu_choice_for(0), MENU_START);
  EXPECT_EQ(menu_choice_for(1), MENU_RESUME);
  EXPECT_EQ(menu_choice_for(2), MENU_OPTIONS);
  EXPECT_EQ(menu_choice_for(3), MENU_QUIT);
  EXPECT_EQ(menu_choice_for(-1), MENU_QUIT);  // Escape
  // The codes are part of the program's interface.
  EXPECT_EQ(static_cast<int>(MENU_RESUME), 3);
  EXPECT_EQ(static_cast<int>(MENU_OPTIONS), 2);
  EXPECT_EQ(static_cast<int>(MENU_QUIT), 0);
  EXPECT_STREQ(menu_item_texts[menu_selection_after(0, KEY_DOWN)], "Resume");
  EXPECT_STREQ(menu_item_texts[menu_selection_after(0, KEY_UP)], "Quit");
}

// ---- Options screen ----

TEST(OptionsKeys, UpAndDownWrapOverAllRows) {
  ASSERT_EQ(OPTION_CANCEL_ROW, 10);
  OptionsState state;
  EXPECT_EQ(walk_options(state, {KEY_UP}).selection, 10);  // Renderer -> Cancel
  state.selection = 10;
  EXPECT_EQ(walk_options(state, {KEY_DOWN}).selection, 0);  // Cancel -> Renderer
  state.selection = 0;
  EXPECT_EQ(walk_options(state, {KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN}).selection, 4);
  EXPECT_EQ(walk_options(state, {KEY_UP, KEY_UP, KEY_UP}).selection, 8);  // Screen effects
  state.selection = 8;
  EXPECT_EQ(walk_options(state, {KEY_DOWN, KEY_DOWN, KEY_DOWN}).selection, 0);
}

TEST(OptionsKeys, LeftAndRightSwitchTwoValuedSettings) {
  OptionsState state;
  state.chosen = Settings{1, 0, 0, 1};  // OpenGL, not stretched, sound on
  const auto value = [](const OptionsState& s, int row) { return fields(s.chosen)[row]; };
  OptionsState after = walk_options(state, {KEY_RIGHT});
  EXPECT_EQ(value(after, 0), 0);  // OpenGL -> Software
  state.selection = 1;
  after = walk_options(state, {KEY_LEFT});
  EXPECT_EQ(value(after, 1), 1);  // No -> Yes
  EXPECT_EQ(value(after, 0), 1);  // the other rows are untouched
  EXPECT_EQ(value(after, 2), 0);
  state.selection = 2;
  EXPECT_EQ(value(walk_options(state, {KEY_RIGHT, KEY_RIGHT}), 2), 0);
  EXPECT_EQ(value(walk_options(state, {KEY_LEFT, KEY_LEFT, KEY_LEFT}), 2), 1);
  state.selection = 3;
  EXPECT_EQ(value(walk_options(state, {KEY_RIGHT}), 3), 0);  // On -> Off
  EXPECT_EQ(value(walk_options(state, {KEY_LEFT, KEY_LEFT}), 3), 1);
  // Full screen and the frame cap (fields 4 and 5), each on its own row.
  for (const auto& [label, field] : {std::pair{"Full screen:", 4}, std::pair{"Frame cap:", 5}}) {
    state.selection = option_row(label);
    after = walk_options(state, {KEY_RIGHT});
    EXPECT_EQ(fields(after.chosen)[field], 1) << label;  // No -> Yes
    EXPECT_EQ(fields(after.chosen)[9 - field], 0) << "the other row is untouched";
    EXPECT_EQ(fields(walk_options(after, {KEY_LEFT}).chosen)[field], 0);
    EXPECT_EQ(fields(walk_options(state, {KEY_LEFT, KEY_LEFT, KEY_LEFT}).chosen)[field], 1);
  }
}

TEST(OptionsKeys, LeftAndRightDoNothingOnAcceptAndCancel) {
  for (int row : {OPTION_ACCEPT_ROW, OPTION_CANCEL_ROW}) {
    OptionsState state;
    state.selection = row;
    state.chosen = Settings{1, 0, 1, 0, 1, 0};
    const OptionsState after = walk_options(state, {KEY_LEFT, KEY_RIGHT, KEY_RIGHT});
    EXPECT_EQ(after.selection, row);
    EXPECT_EQ(fields(after.chosen), fields(state.chosen)) << "row " << row;
  }
}

TEST(OptionsKeys, EscapeLeavesAndIsNeverAnAccept) {
  OptionsState state;
  state.selection = 3;
  const OptionsState after = walk_options(state, {KEY_ESC});
  EXPECT_EQ(after.selection, -1);
  EXPECT_EQ(options_accepted(after), 0);
}

TEST(OptionsKeys, OnlyTheAcceptRowStores) {
  // Change the renderer and press Enter on that same row: nothing is stored.
  OptionsState state = walk_options(OptionsState{}, {KEY_RIGHT});
  EXPECT_EQ(state.chosen.renderer, 1);
  EXPECT_EQ(options_accepted(state), 0);
  EXPECT_EQ(options_accepted(walk_options(state, {KEY_UP})), 0);  // Cancel
  // Stretch on, then down past the sound, its volumes and full screen, the
  // frame cap on, then past the screen effects to Accept.
  state = walk_options(OptionsState{}, {KEY_DOWN, KEY_RIGHT, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN,
                                        KEY_DOWN, KEY_DOWN, KEY_LEFT, KEY_DOWN, KEY_DOWN});
  EXPECT_EQ(state.selection, OPTION_ACCEPT_ROW);
  EXPECT_EQ(fields(state.chosen), (std::array<int, 6>{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(options_accepted(state), 1);
}

TEST(OptionsRows, LabelsAndValueTexts) {
  const char* const labels[] = {
      "Renderer:",    "Stretch:",   "Use joystick:",   "Sound:", "Music volume:", "Effects volume:",
      "Full screen:", "Frame cap:", "Screen effects:", "Accept", "Cancel"};
  ASSERT_EQ(std::size(labels), static_cast<std::size_t>(OPTION_ROW_COUNT));
  for (int i = 0; i < OPTION_ROW_COUNT; ++i) {
    EXPECT_STREQ(option_label(i), labels[i]);
    EXPECT_EQ(option_row(labels[i]), i);
  }
  EXPECT_EQ(option_row("Volume:"), -1);
  // Two texts each, but the volumes: the numbers 0 to 10; and the difficulty's
  // three, which Start asks for and this screen does not show.
  for (const SettingRow& row : std::span(SETTING_ROWS).first(OPTION_SETTING_COUNT))
    EXPECT_EQ(option_value_count(row), row.highest > 0 ? SOUND_LEVELS + 1 : 2) << row.label;
  EXPECT_EQ(option_value_count(setting_row(&Settings::difficulty)), 3);
  EXPECT_EQ(option_row("Difficulty:"), -1);
  for (const auto& [row, value, text] :
       {std::tuple{0, 1, "OpenGL"}, {7, 1, "Yes"}, {7, 9, "No"}, {4, 10, "10"}, {5, 0, "0"}})
    EXPECT_STREQ(option_value_text(SETTING_ROWS[row], value).data(), text);
  // From y 60 down to 340, closer than 40 pixels now that there are eleven.
  EXPECT_EQ(option_row_y(OPTION_CANCEL_ROW), 340);
}

TEST(OptionsRows, SteppingFollowsTheRowsLength) {
  const SettingRow single = {"k", "Only:", {"One"}, 0, &Settings::renderer};
  EXPECT_EQ(option_value_after(single, 0, KEY_RIGHT), 0);
  EXPECT_EQ(option_value_after(single, 0, KEY_LEFT), 0);
  const SettingRow full = {"k", "Four:", {"A", "B", "C", "D"}, 0, &Settings::renderer};
  EXPECT_EQ(option_value_count(full), 4);  // no room left for a NULL
  EXPECT_EQ(option_value_after(full, 1, KEY_RIGHT), 2);
  EXPECT_EQ(option_value_after(full, 3, KEY_RIGHT), 0);
  EXPECT_EQ(option_value_after(full, 0, KEY_LEFT), 3);
  // A value the row cannot show starts again from its first text.
  EXPECT_EQ(option_value_after(SETTING_ROWS[0], 7, KEY_RIGHT), 1);
  EXPECT_EQ(option_value_after(SETTING_ROWS[0], -3, KEY_LEFT), 1);
  EXPECT_EQ(option_value_after(SETTING_ROWS[0], 1, KEY_UP), 1);
  // A row of numbers stops at its ends and takes a value outside from the nearer one.
  const SettingRow& volume = SETTING_ROWS[static_cast<std::size_t>(option_row("Music volume:"))];
  struct Step {
    int value, key, after;
  };
  for (const Step c : {Step{5, KEY_LEFT, 4}, Step{10, KEY_RIGHT, 10}, Step{0, KEY_LEFT, 0},
                       Step{42, KEY_LEFT, 9}, Step{-3, KEY_RIGHT, 1}})
    EXPECT_EQ(option_value_after(volume, c.value, c.key), c.after) << c.value << " key " << c.key;
}

// ---- Settings ----

TEST(Settings, EverySettingButScaleBecomesZeroOrOne) {
  EXPECT_EQ(fields(normalise_settings(Settings{0, 0, 0, 0, 0, 0})),
            (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  for (int odd : {2, -1, 1000}) {
    const Settings s = normalise_settings(Settings{odd, odd, odd, odd, odd, odd});
    // Scale keeps its value until the window is made.
    EXPECT_EQ(fields(s), (std::array<int, 6>{1, odd, 1, 1, 1, 1})) << odd;
  }
  // The volumes are held to 0..10.
  const Settings held = normalise_settings(Settings{.music_volume = -1, .effects_volume = 1000});
  EXPECT_EQ(std::make_pair(held.music_volume, held.effects_volume), std::make_pair(0, 10));
  // The difficulty keeps Easy, Normal or Hard; anything else reads as Normal.
  const std::pair<int, int> difficulties[] = {{0, 0}, {1, 1}, {2, 2}, {3, 1}, {-1, 1}};
  for (const auto& [read, kept] : difficulties)
    EXPECT_EQ(normalise_settings(Settings{.difficulty = read}).difficulty, kept) << read;
}

TEST(Settings, MissingKeysReadAsNoExceptTheSound) {
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  struct Case {
    const char* text;
    std::array<int, 6> read;  // renderer, scale, joystick, sound, full screen, frame cap
  };
  for (const Case c : {
           Case{"", {0, 0, 0, 1, 0, 0}},
           Case{"renderer = 1\nusejoystick = 1\n", {1, 0, 1, 1, 0, 0}},
           Case{"sound = 0\n", {0, 0, 0, 0, 0, 0}},
           Case{"sound = -3\n", {0, 0, 0, 1, 0, 0}},
           Case{"fullscreen = 1\n", {0, 0, 0, 1, 1, 0}},
           Case{"framecap = 7\nfullscreen = 0\n", {0, 0, 0, 1, 0, 1}},
           Case{"fullscreen = -1\nframecap = 1\nscale = 1\n", {0, 1, 0, 1, 1, 1}},
       }) {
    set_config_data(c.text, static_cast<int>(std::strlen(c.text)));
    EXPECT_EQ(fields(settings_from_config()), c.read) << c.text;
  }
  EXPECT_EQ(fields(default_settings()), (std::array<int, 6>{0, 0, 0, 1, 0, 0}));
  allegro_exit();
}

TEST(Settings, AcceptWritesEveryKeyInTheOrderStartUpReadsThem) {
  const Settings chosen{1, 1, 0, 0, 1, 1, 3, 10, 0, 0, 1};
  const std::string text = settings_text("", setting_values(chosen));
  EXPECT_EQ(text,
            "renderer = 1\nscale = 1\nusejoystick = 0\nsound = 0\nmusicvolume = 3\n"
            "effectsvolume = 10\nfullscreen = 1\nframecap = 1\nscreenfx = 0\ndifficulty = 0\n"
            "showfps = 1\n");
  // And start-up reads back exactly what was accepted, the volumes included.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  for (const Settings s :
       {chosen, Settings{0, 0, 1, 1, 0, 0, 0, 7, 1, 2}, Settings{0, 1, 0, 1, 0, 1, 10, 0, 1, 1}}) {
    const std::string written = settings_text("# kept\nfullscreen=1\n", setting_values(s));
    set_config_data(written.data(), static_cast<int>(written.size()));
    EXPECT_TRUE(settings_from_config() == s) << written;
  }
  allegro_exit();
}

// The README's table of "mirvo.cfg": a row per setting, in the table's order,
// with its key, its options row and its default.
TEST(Settings, TheReadmeTableFollowsTheSettings) {
  std::ifstream readme(MIRVO_SOURCE_DIR "/README.md");
  std::string line;
  while (std::getline(readme, line) && line != "| key | options row | meaning | default |") {
  }
  std::getline(readme, line);  // |---|...
  for (const SettingRow& row : SETTING_ROWS) {
    ASSERT_TRUE(std::getline(readme, line)) << "no row for " << row.key;
    EXPECT_EQ(line.rfind(std::string("| `") + row.key + "` | " + row.label + " | ", 0), 0u) << line;
    const std::string end = " | " + std::to_string(row.fallback) + " |";
    EXPECT_TRUE(line.ends_with(end)) << line;
  }
  EXPECT_FALSE(std::getline(readme, line) && line.starts_with("| `")) << "a row too many: " << line;
}

TEST(Settings, WhichWindowsAreDoubled) {
  struct Case {
    int renderer, scale, doubled;
  };
  for (const Case c : {Case{0, 0, 0}, Case{0, 1, 1}, Case{0, 2, 0}, Case{0, -1, 0}, Case{1, 0, 0},
                       Case{1, 1, 1}, Case{1, 2, 1}, Case{1, -1, 1}})
    EXPECT_EQ(window_doubled(c.renderer, c.scale), c.doubled)
        << "renderer " << c.renderer << " scale " << c.scale;
}
