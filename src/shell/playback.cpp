// Watching a recording in the game window, with the normal renderers and
// sounds, and the Replays screen that lists the recordings to watch.
#include <alleggl.h>
#include <allegro.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "content/content.h"
#include "render/render.h"
#include "shell/replays_local.h"
#include "shell/screens_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr int TRANSPARENT = -1;  // text background
// The list shows this many recordings at once, scrolled to keep the selection in view.
constexpr int LIST_ROWS = 14;

// One pass's keys: Escape held or tapped, and the taps of the buffer.
PlaybackKeys read_playback_keys() {
  PlaybackKeys keys;
  keys.escape = key[KEY_ESC] != 0;
  keys.right_held = key[KEY_RIGHT] != 0;
  while (keypressed()) {
    const int scancode = readkey() >> 8;
    keys.escape = keys.escape || scancode == KEY_ESC;
    keys.enter = keys.enter || scancode == KEY_ENTER;
    keys.space = keys.space != (scancode == KEY_SPACE);  // two taps in a pass cancel
    keys.down = keys.down || scancode == KEY_DOWN;
    if (scancode == KEY_F12) save_screenshot();
  }
  return keys;
}

void put_line(int row, const char* format, int value = 0) {
  std::snprintf(overlay.text[static_cast<std::size_t>(row)].data(), OVERLAY_TEXT_SIZE, format,
                value);
}

// Past the last tick the recording's end stays on screen until the player leaves or takes over.
void show_end(const Recording& r) {
  put_line(0, "Replay over");
  put_line(1, "Score %d", player.score);
  put_line(2, "Level %d", r.level);
  put_line(3, "Esc: leave, Enter: play on");
  overlay.lines = 4;
}

// Lines of at most `width` characters, broken at spaces where possible.
std::vector<std::string> wrapped(const std::string& text, std::size_t width) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = std::min(text.size(), at + width);
    if (end < text.size())
      if (const std::size_t space = text.rfind(' ', end); space != std::string::npos && space > at)
        end = space;
    lines.push_back(text.substr(at, end - at));
    at = end;
    while (at < text.size() && text[at] == ' ') ++at;
  }
  return lines;
}

void draw_list(BITMAP* page, const std::vector<ReplayListing>& list, int selection,
               const std::string& notice) {
  clear_to_color(page, makecol(0, 0, 0));
  const int white = makecol(255, 255, 255);
  textout_centre_ex(page, menu_font(), "Replays", PLAYFIELD_W / 2, SCREEN_HEADING_Y, white,
                    TRANSPARENT);
  int line = 0;
  const auto say = [&](const std::string& text, int colour) {
    textout_centre_ex(page, font, text.c_str(), PLAYFIELD_W / 2, screen_line_y(line++), colour,
                      TRANSPARENT);
  };
  say(list.empty() ? "No recordings yet" : REPLAY_LIST_HEADING, white);
  const int first = std::clamp(selection - LIST_ROWS / 2, 0,
                               std::max(0, static_cast<int>(list.size()) - LIST_ROWS));
  for (int i = first; i < static_cast<int>(list.size()) && i < first + LIST_ROWS; ++i)
    say(replay_line(list[static_cast<std::size_t>(i)]), item_colour(i, selection));
  ++line;
  for (const std::string& text : wrapped(notice, ENDING_LINE_WIDTH))
    say(text, makecol(255, 255, 0));
  textout_centre_ex(page, font, "Up/Down, Enter: watch, Esc: back", PLAYFIELD_W / 2, 380, white,
                    TRANSPARENT);
}

}  // namespace

PlaybackEnd play_replay(const LoadedReplay& replay) {
  start_watching(replay);
  std::snprintf(overlay.mark.data(), overlay.mark.size(), "REPLAY");
  clear_keybuf();
  in_menu = 0;
  follow_level_music();
  RecordingCursor cursor;
  bool paused = false, ended = false;
  PlaybackEnd end = PlaybackEnd::left;
  for (;;) {
    const PlaybackKeys keys = read_playback_keys();
    if (keys.escape || close_requested.load() != 0) break;
    if (keys.enter) {
      // The next tick run is the player's: no tick falls between.
      take_over(replay.recording, cursor);
      end = PlaybackEnd::taken_over;
      break;
    }
    const PlaybackStep step = playback_step(paused, keys, tick_count.exchange(0));
    paused = step.paused;
    for (int i = 0; i < step.ticks && !ended; ++i) {
      const int bits = next_input(replay.recording, cursor);
      ended = bits < 0;
      if (!ended) watch_tick(bits);
    }
    play_world_events();
    follow_level_music();
    show_tally();
    if (ended) show_end(replay.recording);
    draw_play_frame();
    if (step.ticks == 0) rest(5);  // paused, or no tick due yet
  }
  overlay.mark[0] = '\0';
  overlay.lines = 0;
  stop_effects();
  if (end == PlaybackEnd::left) play_menu_key(KEY_ESC, false);
  in_menu = 1;
  return end;
}

bool replays_screen() {
  std::vector<ReplayListing> list = list_replays();
  int selection = 0;
  std::string notice;
  for (;;) {
    play_music(MUSIC_MENU);
    if (renderer == Renderer::OpenGL) allegro_gl_set_allegro_mode();
    BITMAP* page = make_page();
    clear_keybuf();
    const int count = std::max(1, static_cast<int>(list.size()));
    selection = choose_row(selection, count, true, [&](int shown) {
      draw_list(page, list, shown, notice);
      show_page(page);
      return -1;
    });
    if (renderer == Renderer::OpenGL) allegro_gl_unset_allegro_mode();
    destroy_bitmap(page);
    if (selection < 0) return false;
    if (list.empty()) continue;  // Enter on an empty list chooses nothing
    const ReplayListing& chosen = list[static_cast<std::size_t>(selection)];
    const LoadedReplay replay =
        load_replay((std::filesystem::path(replays_folder()) / chosen.name).string());
    notice = replay.error;
    if (!notice.empty()) continue;
    if (play_replay(replay) == PlaybackEnd::taken_over) return true;
    if (close_requested.load() != 0) return false;
  }
}
