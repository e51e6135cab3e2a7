// The shell's key handling, settings and timer callbacks, run without a window.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
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
  for (int key : keys) options_apply_key(state, key, last_option_row);
  return state;
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
  ASSERT_EQ(last_option_row, 7);
  OptionsState state;
  EXPECT_EQ(walk_options(state, {KEY_UP}).selection, 7);  // Renderer -> Cancel
  state.selection = 7;
  EXPECT_EQ(walk_options(state, {KEY_DOWN}).selection, 0);  // Cancel -> Renderer
  state.selection = 0;
  EXPECT_EQ(walk_options(state, {KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN}).selection, 4);
  EXPECT_EQ(walk_options(state, {KEY_UP, KEY_UP, KEY_UP}).selection, 5);  // Frame cap
  state.selection = 5;
  EXPECT_EQ(walk_options(state, {KEY_DOWN, KEY_DOWN, KEY_DOWN}).selection, 0);
}

TEST(OptionsKeys, LeftAndRightSwitchTwoValuedSettings) {
  OptionsState state;
  state.values = {1, 0, 0, 1};  // OpenGL, not stretched, sound on
  OptionsState after = walk_options(state, {KEY_RIGHT});
  EXPECT_EQ(after.values[0], 0);  // OpenGL -> Software
  state.selection = 1;
  after = walk_options(state, {KEY_LEFT});
  EXPECT_EQ(after.values[1], 1);  // No -> Yes
  EXPECT_EQ(after.values[0], 1);  // the other rows are untouched
  EXPECT_EQ(after.values[2], 0);
  state.selection = 2;
  EXPECT_EQ(walk_options(state, {KEY_RIGHT, KEY_RIGHT}).values[2], 0);
  EXPECT_EQ(walk_options(state, {KEY_LEFT, KEY_LEFT, KEY_LEFT}).values[2], 1);
  state.selection = 3;
  EXPECT_EQ(walk_options(state, {KEY_RIGHT}).values[3], 0);  // On -> Off
  EXPECT_EQ(walk_options(state, {KEY_LEFT, KEY_LEFT}).values[3], 1);
  // Full screen and the frame cap, each on its own row.
  for (int row : {4, 5}) {
    state.selection = row;
    after = walk_options(state, {KEY_RIGHT});
    EXPECT_EQ(after.values[row], 1) << "row " << row;  // No -> Yes
    EXPECT_EQ(after.values[9 - row], 0) << "the other row is untouched";
    EXPECT_EQ(walk_options(after, {KEY_LEFT}).values[row], 0);
    EXPECT_EQ(walk_options(state, {KEY_LEFT, KEY_LEFT, KEY_LEFT}).values[row], 1);
  }
}

TEST(OptionsKeys, LeftAndRightDoNothingOnAcceptAndCancel) {
  for (int row : {6, 7}) {
    OptionsState state;
    state.selection = row;
    state.values = {1, 0, 1, 0, 1, 0};
    const OptionsState after = walk_options(state, {KEY_LEFT, KEY_RIGHT, KEY_RIGHT});
    EXPECT_EQ(after.selection, row);
    EXPECT_EQ(after.values, state.values) << "row " << row;
  }
}

TEST(OptionsKeys, EscapeLeavesAndIsNeverAnAccept) {
  OptionsState state;
  state.selection = 3;
  const OptionsState after = walk_options(state, {KEY_ESC});
  EXPECT_EQ(after.selection, -1);
  EXPECT_EQ(options_accepted(after, last_option_row), 0);
}

TEST(OptionsKeys, OnlyTheAcceptRowStores) {
  // Change the renderer and press Enter on that same row: nothing is stored.
  OptionsState state = walk_options(OptionsState{}, {KEY_RIGHT});
  EXPECT_EQ(state.values[0], 1);
  EXPECT_EQ(options_accepted(state, last_option_row), 0);
  EXPECT_EQ(options_accepted(walk_options(state, {KEY_UP}), last_option_row), 0);  // Cancel
  // Stretch on, then down past the sound and full screen, the frame cap on, then Accept.
  state = walk_options(OptionsState{}, {KEY_DOWN, KEY_RIGHT, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_DOWN,
                                        KEY_LEFT, KEY_DOWN});
  EXPECT_EQ(state.selection, 6);
  EXPECT_EQ(state.values, (std::array<int, 6>{0, 1, 0, 0, 0, 1}));
  EXPECT_EQ(options_accepted(state, last_option_row), 1);
}

TEST(OptionsRows, LabelsAndValueTexts) {
  const std::array<int, 8> counts = {2, 2, 2, 2, 2, 2, 0, 0};
  for (int i = 0; i <= last_option_row; ++i)
    EXPECT_EQ(option_value_count(option_rows[i]), counts[i]) << "row " << i;
  EXPECT_STREQ(option_rows[0].texts[0], "Renderer:");
  EXPECT_STREQ(option_rows[0].texts[2], "OpenGL");
  EXPECT_STREQ(option_rows[1].texts[0], "Stretch:");
  EXPECT_STREQ(option_rows[2].texts[0], "Use joystick:");
  EXPECT_STREQ(option_rows[3].texts[0], "Sound:");
  EXPECT_STREQ(option_rows[3].texts[1], "Off");
  EXPECT_STREQ(option_rows[3].texts[2], "On");
  EXPECT_STREQ(option_rows[4].texts[0], "Full screen:");
  EXPECT_STREQ(option_rows[4].texts[1], "No");
  EXPECT_STREQ(option_rows[4].texts[2], "Yes");
  EXPECT_STREQ(option_rows[5].texts[0], "Frame cap:");
  EXPECT_STREQ(option_rows[5].texts[1], "No");
  EXPECT_STREQ(option_rows[5].texts[2], "Yes");
  EXPECT_STREQ(option_rows[6].texts[0], "Accept");
  EXPECT_STREQ(option_rows[7].texts[0], "Cancel");
}

TEST(OptionsRows, SteppingFollowsTheRowsLength) {
  const OptionRow single = {{"Only:", "One", nullptr, nullptr}};
  EXPECT_EQ(option_value_after(single, 0, KEY_RIGHT), 0);
  EXPECT_EQ(option_value_after(single, 0, KEY_LEFT), 0);
  const OptionRow full = {{"Three:", "A", "B", "C"}};  // no room left for the NULL
  EXPECT_EQ(option_value_count(full), 3);
  EXPECT_EQ(option_value_after(full, 1, KEY_RIGHT), 2);
  EXPECT_EQ(option_value_after(full, 2, KEY_RIGHT), 0);
  EXPECT_EQ(option_value_after(full, 0, KEY_LEFT), 2);
  // A value the row cannot show starts again from its first text.
  EXPECT_EQ(option_value_after(option_rows[0], 7, KEY_RIGHT), 1);
  EXPECT_EQ(option_value_after(option_rows[0], -3, KEY_LEFT), 1);
  EXPECT_EQ(option_value_after(option_rows[0], 1, KEY_UP), 1);
}

// ---- Settings ----

namespace {

std::array<int, 6> fields(const Settings& s) {
  return {s.renderer, s.scale, s.use_joystick, s.sound, s.full_screen, s.frame_cap};
}

}  // namespace

TEST(Settings, EverySettingButScaleBecomesZeroOrOne) {
  EXPECT_EQ(fields(normalise_settings(Settings{0, 0, 0, 0, 0, 0})),
            (std::array<int, 6>{0, 0, 0, 0, 0, 0}));
  for (int odd : {2, -1, 1000}) {
    const Settings s = normalise_settings(Settings{odd, odd, odd, odd, odd, odd});
    // Scale keeps its value until the window is made.
    EXPECT_EQ(fields(s), (std::array<int, 6>{1, odd, 1, 1, 1, 1})) << odd;
  }
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
  allegro_exit();
}

TEST(Settings, AcceptWritesEveryKeyInTheOrderStartUpReadsThem) {
  const Settings chosen{1, 1, 0, 0, 1, 1};
  const std::string text = settings_text("", setting_values(chosen));
  EXPECT_EQ(text,
            "renderer = 1\nscale = 1\nusejoystick = 0\nsound = 0\nfullscreen = 1\nframecap = 1\n");
  // And start-up reads back exactly what was accepted.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  for (const Settings s : {chosen, Settings{0, 0, 1, 1, 0, 0}, Settings{0, 1, 0, 1, 0, 1}}) {
    const std::string written = settings_text("# kept\nfullscreen=1\n", setting_values(s));
    set_config_data(written.data(), static_cast<int>(written.size()));
    EXPECT_EQ(fields(settings_from_config()), fields(s)) << written;
  }
  allegro_exit();
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

// ---- "data.dat" shape ----

TEST(GameData, NeedsBitmapsAtThreeToFiveAndAFontAtSix) {
  static int dummy[7];
  std::array<DATAFILE, 8> data{};
  for (int i = 0; i < 7; ++i) data[i] = DATAFILE{&dummy[i], DAT_DATA, 0, nullptr};
  for (int i = DATA_PLAYER_SHIP; i <= DATA_MENU_BACKGROUND; ++i) data[i].type = DAT_BITMAP;
  data[DATA_MENU_FONT].type = DAT_FONT;
  data[7].type = DAT_END;
  EXPECT_EQ(game_data_usable(data.data()), 1);
  EXPECT_EQ(game_data_usable(nullptr), 0);

  auto with = [&](int index, auto change) {
    std::array<DATAFILE, 8> copy = data;
    change(copy[index]);
    return game_data_usable(copy.data());
  };
  EXPECT_EQ(with(DATA_MENU_FONT, [](DATAFILE& d) { d.type = DAT_BITMAP; }), 0);
  EXPECT_EQ(with(DATA_SHOT, [](DATAFILE& d) { d.type = DAT_FONT; }), 0);
  EXPECT_EQ(with(DATA_PLAYER_SHIP, [](DATAFILE& d) { d.dat = nullptr; }), 0);
  // Archives that end before object 6 are never read past their end.
  EXPECT_EQ(with(DATA_MENU_FONT, [](DATAFILE& d) { d.type = DAT_END; }), 0);
  EXPECT_EQ(with(2, [](DATAFILE& d) { d.type = DAT_END; }), 0);
}

// ---- Timer callbacks ----

TEST(Timers, TicksAreCountedOnlyOutsideTheMenus) {
  tick_count = 5;
  in_menu = 1;
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 5);  // pending ticks survive, none are added
  in_menu = 0;
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 15);
  tick_count = 0;
}

TEST(Timers, NoTickIsCountedWhileAnotherWindowHasTheFocus) {
  tick_count = 2;
  in_menu = 0;
  const unsigned wakes = loop_wakes.load();
  focus_lost();
  EXPECT_EQ(window_focused.load(), 0);
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 2);  // dropped, never caught up later
  focus_gained();
  EXPECT_EQ(window_focused.load(), 1);
  tick_timer();
  EXPECT_EQ(tick_count.load(), 3);
  // Each change of focus and each tick wakes a capped loop; the dropped ticks do not.
  EXPECT_EQ(loop_wakes.load() - wakes, 3u);
  tick_count = 0;
  in_menu = 1;
}

TEST(Timers, FpsTakesTheFrameCount) {
  frame_count = 57;
  fps = 0;
  fps_timer();
  EXPECT_EQ(fps.load(), 57);
  EXPECT_EQ(frame_count.load(), 0);
  fps_timer();
  EXPECT_EQ(fps.load(), 0);
}

TEST(Timers, NoFrameIsLostWhileTheSampleIsTaken) {
  // The game thread counts frames while the timer samples: every frame ends
  // up in exactly one sample or in what is still counted.
  frame_count = 0;
  constexpr int FRAMES = 1000000;
  std::atomic<bool> done{false};
  std::thread drawer([&done] {
    for (int i = 0; i < FRAMES; ++i) frame_count.fetch_add(1);
    done = true;
  });
  long sampled = 0;
  while (!done.load()) {
    fps_timer();
    sampled += fps.load();
  }
  drawer.join();
  EXPECT_EQ(sampled + frame_count.load(), FRAMES);
  frame_count = 0;
}

TEST(Timers, TicksFromTheTimerThreadAllArrive) {
  // The play loop decrements while the timer adds: nothing is lost either way.
  tick_count = 0;
  in_menu = 0;
  constexpr int TICKS = 100000;
  std::thread timer([] {
    for (int i = 0; i < TICKS; ++i) tick_timer();
  });
  int run = 0;
  while (run < TICKS) {
    if (tick_count.load() > 0) {
      tick_count.fetch_sub(1);
      ++run;
    }
  }
  timer.join();
  EXPECT_EQ(tick_count.load(), 0);
  in_menu = 1;
}

// ---- Shutdown ----

namespace {

// What load_datafile returns for an archive of one picture: a malloc'd array
// ended by a DAT_END entry.
DATAFILE* archive_of_one_picture() {
  auto* data = static_cast<DATAFILE*>(std::calloc(2, sizeof(DATAFILE)));
  data[0] = DATAFILE{create_bitmap(3, 3), DAT_BITMAP, 0, nullptr};
  data[1].type = DAT_END;
  return data;
}

}  // namespace

TEST(ShutDown, ReleasesEveryResourceAndForgetsIt) {
  // The sanitizer build checks "exactly once": a resource left behind is a
  // leak, one released twice a double free.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  set_color_depth(32);
  renderer = 0;
  back_buffer = create_bitmap(64, 64);
  game_data = archive_of_one_picture();
  for (int t = 0; t < 2; ++t) shot_types[t].data = archive_of_one_picture();
  for (int step = 0; step < 3; ++step) shot_types[0].anims[step].mask = create_mask(3, 3);
  player.mask = create_mask(SHIP_SIZE, SHIP_SIZE);
  EnemyType& enemy = enemy_types[MAX_ENEMY_TYPES - 1];
  enemy.data = archive_of_one_picture();
  enemy.anims[MAX_ANIMATIONS - 1].shadow = create_bitmap(8, 8);
  enemy.anims[MAX_ANIMATIONS - 1].mask = create_mask(8, 8);
  tile_set = archive_of_one_picture();

  shut_down();

  EXPECT_EQ(back_buffer, nullptr);
  EXPECT_EQ(game_data, nullptr);
  EXPECT_EQ(tile_set, nullptr);
  EXPECT_EQ(player.mask, nullptr);
  for (const ShotType& type : shot_types) {
    EXPECT_EQ(type.data, nullptr);
    for (const Animation& anim : type.anims) EXPECT_EQ(anim.mask, nullptr);
  }
  EXPECT_EQ(enemy.data, nullptr);
  EXPECT_EQ(enemy.anims[MAX_ANIMATIONS - 1].shadow, nullptr);
  EXPECT_EQ(enemy.anims[MAX_ANIMATIONS - 1].mask, nullptr);

  // A later shutdown (after an accepted options screen) finds nothing left.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  shut_down();
  EXPECT_EQ(game_data, nullptr);
}

// ---- New game ----

TEST(NewGame, ResetsTheShipTheEnemiesAndTheirBulletsOnly) {
  player = Player{};
  player.x = 7;
  player.y = 9;
  player.energy = 0;
  player.score = 1234;
  player.fire_cooldown = 13;
  particles[17].x = 50.0f;
  particles[MAX_PARTICLES - 2].x = 0.0f;
  enemies[3].type = 2;
  enemies[3].wait = 40;
  enemy_bullets[63].type = 1;
  player_shots[5].type = 1;
  game_running = 1;

  new_game();

  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(player.y, 300);
  EXPECT_EQ(player.energy, 10);
  EXPECT_EQ(player.score, 0);
  EXPECT_EQ(game_running, 0);  // the next play_level loads the level again
  for (const Particle& p : particles) ASSERT_EQ(p.x, FREE_PARTICLE);
  for (const Enemy& e : enemies) ASSERT_EQ(e.type, 0);
  for (const Bullet& b : enemy_bullets) ASSERT_EQ(b.type, 0);
  // Left for the level's own start.
  EXPECT_EQ(player.fire_cooldown, 13);
  EXPECT_EQ(enemies[3].wait, 40);
  EXPECT_EQ(player_shots[5].type, 1);
  player_shots[5].type = 0;
}
