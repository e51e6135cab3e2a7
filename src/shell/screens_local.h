// The screens around play under rules that end games (the campaign's arcade
// rules): the game-over screen with its continues, the ending, the name
// entry and the score table, and the pages every menu screen draws on. Their
// key handling is pure functions, checked without a window.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/content.h"
#include "shell/shell_local.h"
#include "world/world.h"

// ---- Pages: what the menu screens draw on and how they read keys ----

FONT* menu_font();
// A memory page the menu screens draw a 320 x 400 picture into.
BITMAP* make_page();
// Shows the page in the window as the renderer and the window's size want.
void show_page(BITMAP* page);
// The colour of a row: red when selected, else white.
int item_colour(int row, int selection);

// The screens that end a game: a heading in the menu font at y 40, then
// lines of the 8-pixel font centred across the screen, 16 pixels apart.
inline constexpr int SCREEN_HEADING_Y = 40;
constexpr int screen_line_y(int line) {
  return 90 + 16 * line;
}

// One key of a screen: Allegro's scancode and the character typed (0 for none).
struct ScreenKey {
  int scancode = 0;
  int ascii = 0;
};
// Waits up to timeout_ms (negative: for ever) for a key, or, with_pad, for
// the first joystick's press (see pad_scancode); {0, 0} when the time ran
// out. The window's close button gives Escape; F12 saves a screenshot and
// waits on.
ScreenKey wait_for_screen_key(int timeout_ms = -1, bool with_pad = true);

// The loop of the menus that choose a row: each key moves the highlight over
// `count` rows with its sound, until Enter (the row) or Escape (-1). `show`
// draws the page for a selection and gives how long to wait for the next
// key (negative: until one comes); `with_pad` lets the joystick answer too.
int choose_row(int selection, int count, bool with_pad, const std::function<int(int)>& show);

// What the first joystick shows, read for the screens.
struct PadState {
  bool up = false, down = false, left = false, right = false;
  bool button1 = false, button2 = false;
};
// The key a change of the pad means: button 1 newly pressed is Enter, button
// 2 Escape, the stick newly pushed an arrow; 0 for none. Buttons come first.
int pad_scancode(const PadState& before, const PadState& now);

// ---- The game-over screen ----

enum class GameOverAnswer { waiting, continue_game, decline };
// Enter continues while continues are left (else it declines), Escape
// declines; fire and every other key leave the screen waiting.
GameOverAnswer game_over_answer(int scancode, int continues_left);

// ---- Name entry ----

inline constexpr const char* DEFAULT_SCORE_NAME = "PILOT";
struct NameEntry {
  std::string name;
  bool done = false;
};
// One key: a letter or digit typed joins the name as typed, up to
// MAX_SCORE_NAME; Backspace and Left take the last off; Up and Down (the
// stick) turn the last character through A-Z, a-z, 0-9, starting one on an
// empty name, and Right starts a new one at 'A'; Enter ends, and so does
// Escape (the score is stored all the same). Other keys are ignored.
void name_entry_apply(NameEntry& entry, int scancode, int ascii);
// The name stored: the one typed, or DEFAULT_SCORE_NAME when it is empty.
std::string entered_name(const NameEntry& entry);

// ---- The stage-clear tally and the ending ----

// The tally's score counts from `from` up to `to` over its first 2 s.
inline constexpr int TALLY_COUNT_TICKS = 200;
int counted_score(int from, int to, int ticks);

// A few lines of text shown after the last level, read from the game folder.
inline constexpr const char* ENDING_FILE = "ending.txt";
inline constexpr std::size_t MAX_ENDING_BYTES = 4096;
inline constexpr std::size_t MAX_ENDING_LINES = 12;
inline constexpr std::size_t ENDING_LINE_WIDTH = 38;  // of the 8-pixel font across 320 pixels
// The text's first lines, each cut to the width, every byte outside printable
// ASCII shown as a space.
std::vector<std::string> ending_lines(std::string_view text);

// ---- A game's end ----

// The rules and name of the game folder's campaign, which the menus follow:
// read at start-up and whenever a game ends. A campaign that cannot be read
// gives the plain rules here; Start then shows why.
struct FolderCampaign {
  Rules rules = PLAIN_RULES;
  std::string name;
};
extern FolderCampaign folder_campaign;
void read_folder_campaign();

// An author's level (--level) or campaign (--campaign) from the command line,
// every path in it whole; error says why it cannot be read. Called before the
// game folder becomes the current one.
struct CommandCampaign {
  Campaign campaign;
  bool one_level = false;  // --level: it takes the game folder's rules at Start
  int start_tick = 0;      // --at, in ticks
  bool watch = false;      // --watch
  std::string error;
};
CommandCampaign read_command_campaign(const CommandLine& line);
// From now on Start plays `c` instead of the game folder's campaign, and its
// games are practice (one_level: by the folder's rules).
void use_command_campaign(const CommandCampaign& c);
// The campaign use_command_campaign chose, or null.
const CommandCampaign* command_line_campaign();

// ---- Reload on save (mirvo --watch) ----
// The files the levels of `played` read are watched from now on (their
// folders, for files written in place or renamed over); any earlier watch ends.
void watch_level_files(const Campaign& played);
// When a watched file was first saved, once nothing more came for a moment,
// so an editor's or a tool's several writes make one reload; nothing
// otherwise. Never blocks.
std::optional<std::chrono::steady_clock::time_point> level_files_saved();
// `played` with every level's files copied into a fresh private folder (the
// enemy file's archives beside it), for a reload to check and load copies no
// save can change meanwhile; why, when a file cannot be copied. The folder
// lives until drop_snapshot or the next snapshot.
Campaign snapshot_campaign(const Campaign& played, std::string& why);
// `text` with every copy's path replaced by its original's.
std::string in_original_names(std::string text);
void drop_snapshot();
// The error a failed reload shows over the playfield as the overlay's lines,
// wrapped to its width; "" shows nothing.
void show_reload_error(const std::string& why);

// How the game stands, for the game-over screen and the score table.
struct GameSummary {
  int score = 0;
  int level = 1;  // reached, from 1
  int continues_used = 0;
  int continues_left = 0;
  std::string campaign;
  int difficulty = DIFFICULTY_NORMAL;  // played at
};
GameSummary game_summary();
// A continue: the current level from its start with full energy and score 0,
// one continue more used. The next play_level resumes it.
void continue_game();

// The entries of one campaign at one difficulty, best first.
std::vector<ScoreEntry> campaign_scores(std::span<const ScoreEntry> entries,
                                        const std::string& campaign, int difficulty);

GameOverAnswer game_over_screen(const GameSummary& game);
void ending_screen(int score);
std::string name_entry_screen(int score);
// The campaign's table at one difficulty, opening on `difficulty`; Left and
// Right show the other difficulties' tables. Row `highlight` (-1: none) of
// the opening one stands out in red.
void score_table_screen(std::span<const ScoreEntry> entries, const std::string& campaign,
                        int difficulty, int highlight);
// The score table read and shown, from the main menu's "High scores".
void show_high_scores();
// What follows a stretch of play: nothing after Escape; after a lost game the
// game-over screen and its continues, after a won one the ending; then the
// name and the score table. Returns the row the main menu opens on.
int after_play(PlayEnd end);
