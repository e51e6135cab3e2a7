// What each of the game's screens looks like, as predicates over screenshots.
// Positions are in playfield pixels (320 x 400); k is 2 in a doubled window.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <optional>
#include <regex>
#include <string>

#include "harness.h"
#include "reference.h"
#include "shell/screens_local.h"

// Main menu: item i at x 225, y 250 + 30 i (with the
// "High scores" and "Replays" rows of the arcade rules, 20 apart from y 242);
// the renderer's name at the top right.
inline Box menu_item_box(int item) {
  return Box{225, menu_item_y(item, MENU_ITEM_COUNT), 95, 30};
}
inline Box scores_menu_item_box(int item) {
  return Box{225, menu_item_y(item, SCORES_MENU_ITEM_COUNT), 95, 20};
}
inline constexpr int MENU_ITEMS = 4;
// Options screen: the game's own rows and layout (shell_local.h), a row per
// setting and then Accept and Cancel, label at x 80, value at x 210.
inline Box option_row_box(int row) {
  return Box{80, option_row_y(row), 240, OPTION_ROW_STEP};
}
inline Box option_value_box(int row) {
  return Box{210, option_row_y(row), 110, OPTION_ROW_STEP};
}

inline constexpr int RED_ENOUGH = 20;  // pixels of red text that make an item "selected"

// Doubling factor of a window: 1 for 320 x 400, 2 for 640 x 800.
inline int window_factor(const Image& img) {
  return img.width >= 640 ? 2 : 1;
}

// The item drawn in red is `selected`, and no other item carries as much red.
inline bool highlighted(const Image& img, Box (*row_box)(int), int rows, int selected) {
  const int k = window_factor(img);
  const int red = count_pixels(img, row_box(selected).times(k), is_red);
  if (red < RED_ENOUGH * k * k) return false;
  for (int i = 0; i < rows; ++i)
    if (i != selected && count_pixels(img, row_box(i).times(k), is_red) * 2 > red) return false;
  return true;
}

// The options screen is drawn on black: its lower part holds nothing.
inline bool options_background(const Image& img) {
  const int k = window_factor(img);
  const Box below_rows = Box{0, 360, 320, 40}.times(k);
  return count_pixels(img, below_rows, is_black) >= below_rows.w * below_rows.h * 99 / 100;
}

// The main menu's picture is not black, and the selected item is red.
inline bool menu_shows(const Image& img, int selected, bool scores_row = false) {
  const int k = window_factor(img);
  const Box picture = Box{0, 20, 320, 220}.times(k);
  return !options_background(img) &&
         count_pixels(img, picture, is_black) < picture.w * picture.h * 9 / 10 &&
         (scores_row ? highlighted(img, scores_menu_item_box, SCORES_MENU_ITEM_COUNT, selected)
                     : highlighted(img, menu_item_box, MENU_ITEMS, selected));
}

inline bool options_show(const Image& img, int selected) {
  return options_background(img) && highlighted(img, option_row_box, OPTION_ROW_COUNT, selected);
}

// The renderer's name at the top right of the menu, in Allegro's built-in font:
// at least 95 % of the glyph pixels of `name` are white in the window.
inline bool text_reads(const Image& img, const std::string& text, int right_edge, int top,
                       bool (*colour)(Rgb) = is_white) {
  const int k = window_factor(img);
  int shown = 0, total = 0;
  for (auto [x, y] : text_pixels(text, right_edge))
    for (int dy = 0; dy < k; ++dy)
      for (int dx = 0; dx < k; ++dx) {
        ++total;
        if (colour(img.at(x * k + dx, (y + top) * k + dy))) ++shown;
      }
  return total > 0 && shown * 100 >= total * 95;
}
inline bool label_reads(const Image& img, const std::string& name) {
  return text_reads(img, name, 320, 0);
}
// Line `line` of the screens that end a game (screens_local.h): centred
// across the 320 pixels, eight pixels a character.
inline bool line_reads(const Image& img, int line, const std::string& text,
                       bool (*colour)(Rgb) = is_white) {
  const int half = 4 * static_cast<int>(text.size());
  return text_reads(img, text, 160 + half, screen_line_y(line), colour);
}

// Start's question under the arcade rules: the menu's picture, the three
// difficulties where the main menu's items stand, and its own help line.
inline Box difficulty_item_box(int item) {
  return Box{225, menu_item_y(item, static_cast<int>(DIFFICULTY_NAMES.size())), 95, 30};
}
inline bool difficulty_menu_shows(const Image& img, int selected) {
  const std::string help = "Enter play, Esc back";
  return !options_background(img) &&
         highlighted(img, difficulty_item_box, static_cast<int>(DIFFICULTY_NAMES.size()),
                     selected) &&
         text_reads(img, help, 160 + 4 * static_cast<int>(help.size()), 390, is_white);
}

// Play: the white outline of the energy bar runs along y 10 from x 10 to 110
// (in a doubled window the OpenGL renderer draws it one pixel lower).
inline bool play_shows(const Image& img) {
  const int k = window_factor(img);
  return count_pixels(img, Box{10 * k, 10 * k, 100 * k, k}, is_white) >= 95 * k;
}

// A message box as Allegro prints it when it cannot open one (no xmessage on
// PATH): the text on standard output, with a line feed added if it has none.
inline std::string printed(const std::string& message) {
  return !message.empty() && message.back() == '\n' ? message : message + "\n";
}

// Base of every scenario: owns the session and, when a scenario fails, shows
// what the game printed and keeps its last screenshot.
class Scenario : public ::testing::Test {
 protected:
  std::unique_ptr<Session> s;

  void start(int depth = 24) {
    s = std::make_unique<Session>(depth);
    s->start_game();
  }

  // Waits for the window and the main menu with `selected` in red.
  std::optional<Image> menu(int selected, Millis timeout = 15000ms) {
    if (!s->wait_window(timeout)) return std::nullopt;
    return s->wait_for_screen([&](const Image& i) { return menu_shows(i, selected); }, timeout);
  }

  std::optional<Image> options(int selected, Millis timeout = 10000ms) {
    return s->wait_for_screen([&](const Image& i) { return options_show(i, selected); }, timeout);
  }

  std::optional<Image> play(Millis timeout = 15000ms) {
    return s->wait_for_screen(play_shows, timeout);
  }

  // From the main menu on Start, under the arcade rules: Start, then Enter on
  // the difficulty it asks for (Normal, in a folder without a setting). The
  // question clears the keys on entry, so the second Enter waits for it.
  bool start_arcade_game() {
    s->keys({"Return"});
    if (!s->wait_for_screen([](const Image& i) { return difficulty_menu_shows(i, 1); }, 5000ms))
      return false;
    s->keys({"Return"});
    return true;
  }

  // Escape in play is looked at once per frame, not queued: hold it until the
  // menu is back (the X server does not repeat held keys, see XConnection).
  std::optional<Image> leave_play() {
    s->key_down("Escape");
    const std::optional<Image> shot = s->wait_for_screen(
        [](const Image& i) { return menu_shows(i, 0) && !play_shows(i); }, 5000ms);
    s->key_up("Escape");
    return shot;
  }

  std::string name() const {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string n = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : n)
      if (c == '/') c = '_';
    return n;
  }

  void TearDown() override {
    if (!s) return;
    if (HasFailure()) {
      std::cerr << "--- game stdout ---\n"
                << s->game_stdout() << "\n--- game stderr ---\n"
                << s->game_stderr() << "\n";
      s->keep_shot(s->shot(), name() + "-last");
    }
    s.reset();
  }
};

// The integer value of key in an Allegro configuration text, if present.
inline std::optional<int> config_value(const std::string& text, const std::string& key) {
  const std::regex line("(^|\\n)[ \\t]*" + key + "[ \\t]*=[ \\t]*(-?[0-9]+)");
  std::smatch m;
  if (!std::regex_search(text, m, line)) return std::nullopt;
  return std::stoi(m[2].str());
}

// Scenarios that walk the options screen.
class OptionsScenario : public Scenario {
 protected:
  // From the fresh menu to the options screen with "Renderer:" selected.
  std::optional<Image> open_options() {
    if (!menu(0)) return std::nullopt;
    s->keys({"Down", "Down"});
    if (!s->wait_for_screen([](const Image& i) { return menu_shows(i, 2); }, 5000ms))
      return std::nullopt;
    s->keys({"Return"});
    return options(0);
  }

  // Moves the highlight down from the row labelled `from` to the one labelled
  // `to`, seeing each step; the screen with `to` selected.
  std::optional<Image> move_to(const std::string& from, const std::string& to) {
    const int first = option_row(from), last = option_row(to);
    EXPECT_TRUE(first >= 0 && last >= first) << "no way down from " << from << " to " << to;
    std::optional<Image> shot = first >= 0 && last >= first ? options(first) : std::nullopt;
    for (int row = first + 1; shot && row <= last; ++row) {
      s->keys({"Down"});
      shot = options(row);
    }
    return shot;
  }

  // Presses key and waits until the value shown on the row labelled `label` has changed.
  bool change_value(const std::string& label, const Image& before, const std::string& key) {
    s->keys({key});
    const Box value = option_value_box(option_row(label)).times(window_factor(before));
    return s
        ->wait_for_screen(
            [&](const Image& i) { return count_differences(i, before, value, 16) > 20; }, 5000ms)
        .has_value();
  }

  // Moves to "Accept" from the row labelled `from` and presses Enter there.
  bool accept_from(const std::string& from) {
    if (!move_to(from, "Accept")) return false;
    s->keys({"Return"});
    return true;
  }

  // Waits for the restarted program: one more window mapped since `mapped`.
  std::optional<GameWindow> restarted(int mapped) {
    std::optional<GameWindow> w;
    wait_until(
        [&] {
          w = s->windows_mapped() > mapped ? s->window() : std::nullopt;
          return w.has_value() || !s->game().running();
        },
        15000ms);
    return w;
  }

  // From the fresh menu: Stretch set to Yes and accepted; the restarted
  // program must show its menu in a doubled window. That window, if it restarted.
  std::optional<GameWindow> accept_stretch() {
    if (!open_options()) return std::nullopt;
    const int mapped = s->windows_mapped();
    const std::optional<Image> stretch = move_to("Renderer:", "Stretch:");
    const std::optional<GameWindow> w =
        stretch && change_value("Stretch:", *stretch, "Right") && accept_from("Stretch:")
            ? restarted(mapped)
            : std::nullopt;
    EXPECT_TRUE(w) << "Stretch was not accepted, or the game did not restart";
    if (!w) return w;
    EXPECT_EQ(std::make_pair(w->width, w->height), std::make_pair(640, 800))
        << "the accepted setting was lost";
    EXPECT_TRUE(menu(0));
    return w;
  }
};
