// The key handling of the screens that end an arcade game, run without a
// window: the main menu with its "High scores" and "Replays" rows, the joystick read as
// keys, the game-over answer and the name entry.
#include <allegro.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/screens_local.h"

TEST(ArcadeMenu, SixRowsWrapAndHighScoresAndReplaysStandBeforeQuit) {
  const struct {
    int from, key, to;
  } steps[] = {{0, KEY_UP, 5}, {5, KEY_DOWN, 0}, {2, KEY_DOWN, 3}, {3, KEY_ESC, -1}};
  for (const auto& s : steps)
    EXPECT_EQ(menu_selection_after(s.from, s.key, SCORES_MENU_ITEM_COUNT), s.to) << s.from;
  const MenuChoice choices[] = {MENU_START,  MENU_RESUME,  MENU_OPTIONS,
                                MENU_SCORES, MENU_REPLAYS, MENU_QUIT};
  for (int row = 0; row < SCORES_MENU_ITEM_COUNT; ++row)
    EXPECT_EQ(menu_choice_for(row, true), choices[row]) << menu_items(true)[row];
  EXPECT_STREQ(menu_items(true)[3], "High scores");
  EXPECT_STREQ(menu_items(true)[4], "Replays");
  EXPECT_EQ(menu_items(false).size(), static_cast<std::size_t>(MENU_ITEM_COUNT));
}

TEST(PadKeys, OnlyNewPressesCountAndButtonsComeFirst) {
  const PadState none;
  const PadState b1{.button1 = true}, b2{.button2 = true}, up{.up = true}, right{.right = true};
  const PadState b1_up{.up = true, .button1 = true};
  const struct {
    PadState before, now;
    int key;
  } cases[] = {
      {none, b1, KEY_ENTER},    {none, b2, KEY_ESC}, {none, up, KEY_UP},  {none, right, KEY_RIGHT},
      {none, b1_up, KEY_ENTER}, {b1, b1, 0},         {b1, b1_up, KEY_UP}, {up, none, 0}};
  for (const auto& c : cases) EXPECT_EQ(pad_scancode(c.before, c.now), c.key);
}

TEST(GameOverKeys, EnterContinuesWhileAnyAreLeftEscapeDeclinesFireWaits) {
  const struct {
    int key, left;
    GameOverAnswer answer;
  } cases[] = {
      {KEY_ENTER, 3, GameOverAnswer::continue_game}, {KEY_ENTER, 1, GameOverAnswer::continue_game},
      {KEY_ENTER, 0, GameOverAnswer::decline},       {KEY_ESC, 3, GameOverAnswer::decline},
      {KEY_SPACE, 3, GameOverAnswer::waiting},       {KEY_LCONTROL, 3, GameOverAnswer::waiting},
      {KEY_ENTER_PAD, 3, GameOverAnswer::waiting}};
  for (const auto& c : cases) EXPECT_EQ(game_over_answer(c.key, c.left), c.answer) << c.key;
}

TEST(NameEntryKeys, TypedStickAndEditedNames) {
  struct Key {
    int scancode, ascii;
  };
  const struct {
    std::vector<Key> keys;
    std::string name;
  } cases[] = {
      {{{KEY_A, 'A'}, {KEY_C, 'c'}, {KEY_7, '7'}}, "Ac7"},  // case kept
      {{{KEY_A, 'a'}, {KEY_STOP, '.'}, {KEY_SPACE, ' '}, {KEY_MINUS, '-'}}, "a"},
      {{{KEY_A, 'a'}, {KEY_B, 'b'}, {KEY_BACKSPACE, 8}}, "a"},
      {{{KEY_BACKSPACE, 8}, {KEY_LEFT, 0}}, ""},                          // nothing to take
      {{{KEY_UP, 0}}, "A"},                                               // the stick starts one
      {{{KEY_UP, 0}, {KEY_UP, 0}, {KEY_RIGHT, 0}, {KEY_DOWN, 0}}, "B9"},  // and wraps
      {{{KEY_Z, 'z'}, {KEY_UP, 0}}, "0"},
      {{{KEY_9, '9'}, {KEY_UP, 0}}, "A"},
      {{{KEY_F1, 0}, {KEY_TAB, 9}}, ""},
      {std::vector<Key>(20, {KEY_X, 'x'}), std::string(MAX_SCORE_NAME, 'x')},
  };
  for (const auto& c : cases) {
    NameEntry entry;
    for (const Key& k : c.keys) name_entry_apply(entry, k.scancode, k.ascii);
    EXPECT_EQ(entry.name, c.name);
    EXPECT_FALSE(entry.done) << c.name;
    // Enter ends the entry, and so does Escape: the score is kept either way.
    NameEntry escaped = entry;
    name_entry_apply(entry, KEY_ENTER, 13);
    name_entry_apply(escaped, KEY_ESC, 27);
    EXPECT_TRUE(entry.done && escaped.done);
    EXPECT_EQ(entered_name(entry), c.name.empty() ? DEFAULT_SCORE_NAME : c.name);
    EXPECT_EQ(entered_name(escaped), entered_name(entry));
  }
}
