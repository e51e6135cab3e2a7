// What the shell's own files share: the key handling of the two menus as pure
// functions (no window needed to run them), the settings and where the files
// are, and the close-button flag. One header for the shell's own files, so it
// runs a little past 400 lines; the score table (scores_local.h, included
// here) and the end screens have their own.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/scores_local.h"
#include "shell/shell.h"
#include "sound/sound.h"
#include "world/world.h"

struct BITMAP;
struct Campaign;
struct CampaignProgress;
struct FONT;

// ---- Menus, settings and the play loop's wake-ups ----

enum MenuChoice : int {
  MENU_QUIT = 0,
  MENU_START = 1,
  MENU_OPTIONS = 2,
  MENU_RESUME = 3,
  MENU_SCORES = 4,
  MENU_REPLAYS = 5
};
// Opens with row `selection` highlighted; a notice, when given, is drawn over
// the menu for NOTICE_MS while the menu answers keys as ever.
MenuChoice main_menu(int selection = 0, const char* notice = nullptr);
inline constexpr int NOTICE_MS = 2000;
int options_menu();  // 1 when the player accepted (settings stored)
// Start's question under rules that choose a difficulty: Easy, Normal or Hard,
// opening on the last choice. Enter (or the joystick's first button) stores
// the choice in `settings` and in the settings file and returns true; Escape
// returns false and changes nothing.
bool difficulty_menu();

// Bumps loop_wakes and wakes a play loop waiting in wait_for_wake.
void wake_play_loop();

// The OpenGL window start_up opens when the renderer setting asks for it.
void set_up_opengl();

// ---- Command line ----

// What the arguments ask for: the game (no arguments), a help or version
// text, a recording to watch, or nothing at all because an argument is not understood.
struct CommandLine {
  enum Action { PLAY, HELP, VERSION, REFUSED, REPLAY } action = PLAY;
  const char* unexpected = nullptr;  // the argument refused
  const char* replay = nullptr;      // REPLAY's file
  // An author's level or campaign for Start, as given (relative to where the
  // player stands); null: the game folder's own.
  const char* level = nullptr;
  const char* enemies = nullptr;
  const char* tiles = nullptr;
  const char* music = nullptr;
  const char* campaign = nullptr;
  const char* reason = nullptr;  // a refusal's own words, instead of "unexpected argument"
  // --at: the practice game starts this many ticks into its first level.
  int start_tick = 0;
  bool watch = false;  // --watch: reload the level when one of its files is saved
};
CommandLine read_command_line(int argc, const char* const* argv);
// Prints what a HELP, VERSION or REFUSED line asks for (help and version on
// standard output, a refusal with the usage line on standard error) and
// returns the exit status: 0, or 2 for a refusal.
int answer_command_line(const CommandLine& line);

// The reason shown after "Error initializing Allegro: ": Allegro's own, or,
// when it gives none (no system driver started), that the X display named by
// `display` (null when DISPLAY is unset) could not be opened.
std::string allegro_failure_reason(const char* allegro_reason, const char* display);

// ---- Main menu ----

inline constexpr int MENU_ITEM_COUNT = 4;
extern const std::array<const char*, MENU_ITEM_COUNT> menu_item_texts;
// Under rules that end games in a score table, "High scores" and "Replays"
// stand before Quit.
inline constexpr int SCORES_MENU_ITEM_COUNT = 6;
extern const std::array<const char*, SCORES_MENU_ITEM_COUNT> scores_menu_item_texts;
std::span<const char* const> menu_items(bool scores_row);

// The highlight after one key: Up and Down wrap around the `count` items,
// Escape gives -1 (leave without choosing), every other key changes nothing.
int menu_selection_after(int selection, int scancode, int count = MENU_ITEM_COUNT);
// What a selection means: 0 Start, 1 Resume, 2 Options, then High scores and
// Replays when the menu has those rows, anything else Quit.
MenuChoice menu_choice_for(int selection, bool scores_row = false);
// Row `row` of a main menu of `count` items: 30 pixels apart from y 250; more
// stand 20 apart (the 13-pixel font's least) from y 242, inside the panel the
// menu's picture draws for them (y 240 to 362).
constexpr int menu_item_y(int row, int count) {
  return count > MENU_ITEM_COUNT ? 242 + 20 * row : 250 + 30 * row;
}
static_assert(menu_item_y(SCORES_MENU_ITEM_COUNT - 1, SCORES_MENU_ITEM_COUNT) + 13 < 362);

// ---- Settings ----

// The settings of "mirvo.cfg" as values: one field per row of SETTING_ROWS.
struct Settings {
  int renderer = 0;  // 0 software, 1 OpenGL (a Renderer's value)
  int scale = 0;     // the doubled window; see window_doubled
  int use_joystick = 0;
  int sound = 0;
  int full_screen = 0;
  int frame_cap = 0;
  int music_volume = 0;    // 0 (silent) to SOUND_LEVELS
  int effects_volume = 0;  // 0 (silent) to SOUND_LEVELS
  int screen_effects = 0;  // 0: no shake and no full-screen flash
  int difficulty = 0;      // a Difficulty: what Start plays the arcade rules at
  int show_fps = 0;        // under the arcade rules: 1 shows the frame rate in a corner
  bool operator==(const Settings&) const = default;
};

// The most value texts a setting offers.
inline constexpr int MAX_SETTING_CHOICES = 4;

// One setting: its key in "mirvo.cfg", its row on the options screen, the
// value a missing key reads as, and the field of Settings it fills. A row of
// texts shows value v as choices[v]; for a row of two texts the reader turns
// any non-zero value into 1 unless the setting keeps what it read, and a
// longer row reads a value it does not have as its fallback. A row of numbers
// (highest above 0, no texts) takes any whole number from 0 to highest, shown
// in digits; the reader holds a value outside that range at its nearer end.
// A row off the options screen (asked at Start, or set only in the file)
// stands after every options row.
struct SettingRow {
  const char* key;
  const char* label;
  std::array<const char*, MAX_SETTING_CHOICES> choices;  // null after the last
  int fallback;
  int Settings::*field;
  bool keeps_read_value = false;
  int highest = 0;
  bool off_options_screen = false;
};

// The difficulties by name, Easy first, as the menus and the score table say them.
inline constexpr std::array<const char*, 3> DIFFICULTY_NAMES = {"Easy", "Normal", "Hard"};
static_assert(DIFFICULTY_NAMES.size() == DIFFICULTY_HARD + 1);
// The name of a difficulty; Normal for a value that is none.
const char* difficulty_name(int difficulty);
// A row of the numbers 0 to highest.
constexpr SettingRow number_row(const char* key, const char* label, int highest, int fallback,
                                int Settings::*field) {
  return {key, label, {}, fallback, field, false, highest};
}

// Every setting, in the order the options screen shows them and Accept writes
// them. A row here is the whole setting: the reader, the writer, the options
// screen and the README's table follow it.
inline constexpr auto SETTING_ROWS = std::to_array<SettingRow>({
    {"renderer", "Renderer:", {"Software", "OpenGL"}, 0, &Settings::renderer},
    // Kept as read: the renderers double for different values (window_doubled).
    {"scale", "Stretch:", {"No", "Yes"}, 0, &Settings::scale, true},
    {"usejoystick", "Use joystick:", {"No", "Yes"}, 0, &Settings::use_joystick},
    {"sound", "Sound:", {"Off", "On"}, 1, &Settings::sound},
    number_row("musicvolume", "Music volume:", SOUND_LEVELS, SOUND_LEVELS, &Settings::music_volume),
    number_row("effectsvolume", "Effects volume:", SOUND_LEVELS, SOUND_LEVELS,
               &Settings::effects_volume),
    {"fullscreen", "Full screen:", {"No", "Yes"}, 0, &Settings::full_screen},
    {"framecap", "Frame cap:", {"No", "Yes"}, 0, &Settings::frame_cap},
    // For players who need calm pictures.
    {"screenfx", "Screen effects:", {"Off", "On"}, 1, &Settings::screen_effects},
    // Asked at Start, so changing it never restarts the game as Accept does.
    {"difficulty",
     "Difficulty:",
     {DIFFICULTY_NAMES[0], DIFFICULTY_NAMES[1], DIFFICULTY_NAMES[2]},
     DIFFICULTY_NORMAL,
     &Settings::difficulty,
     false,
     0,
     true},
    // Only in the file: a player who wants the frame rate knows where to ask.
    {"showfps", "Show FPS:", {"No", "Yes"}, 0, &Settings::show_fps, false, 0, true},
});
inline constexpr int SETTING_COUNT = static_cast<int>(SETTING_ROWS.size());
// The rows the options screen shows: those before the first off it,
// which all stand last.
inline constexpr int OPTION_SETTING_COUNT = [] {
  int shown = 0;
  while (shown < SETTING_COUNT && !SETTING_ROWS[static_cast<std::size_t>(shown)].off_options_screen)
    ++shown;
  for (int i = shown; i < SETTING_COUNT; ++i)
    if (!SETTING_ROWS[static_cast<std::size_t>(i)].off_options_screen) return -1;
  return shown;
}();
static_assert(OPTION_SETTING_COUNT >= 0,
              "a row off the options screen stands before an options row");
// The row of the setting kept in `field`.
constexpr const SettingRow& setting_row(int Settings::*field) {
  for (const SettingRow& row : SETTING_ROWS)
    if (row.field == field) return row;
  return SETTING_ROWS.front();
}

// The settings in use: as read at start-up (scale as the window is: 1 when
// doubled), or as the player accepted them.
extern Settings settings;

// Every setting at the value a missing key gives.
Settings default_settings();
// The values read from "mirvo.cfg", given one meaning: any non-zero renderer
// is OpenGL and any other non-zero setting is Yes or On (each becomes 1);
// scale stays as read until the window is made (see window_doubled).
Settings normalise_settings(const Settings& read);
// The settings in Allegro's current configuration, normalised; a missing key
// reads as its row's fallback.
Settings settings_from_config();

// One key of "mirvo.cfg" and the value it holds.
struct SettingValue {
  const char* key;
  int value;
};
// The keys of "mirvo.cfg" with their values, in the order Accept writes them.
std::array<SettingValue, SETTING_COUNT> setting_values(const Settings& values);
// Whether the window is 640 x 800: the software mode doubles only for a scale
// of exactly 1, the OpenGL mode for any non-zero scale.
int window_doubled(int renderer, int scale);

// ---- Options screen ----

// A row per setting on the options screen, then Accept and Cancel.
inline constexpr int OPTION_ACCEPT_ROW = OPTION_SETTING_COUNT;
inline constexpr int OPTION_CANCEL_ROW = OPTION_SETTING_COUNT + 1;
inline constexpr int OPTION_ROW_COUNT = OPTION_SETTING_COUNT + 2;

// The rows stand from y 60 down to at most y 340 of the 320 x 400 screen,
// 40 pixels apart while they fit and closer when there are more; the
// 13-pixel menu font needs at least 20, which 12 settings still get (21).
inline constexpr int OPTION_FIRST_Y = 60;
inline constexpr int OPTION_LAST_Y = 340;
inline constexpr int OPTION_ROW_STEP =
    std::min(40, (OPTION_LAST_Y - OPTION_FIRST_Y) / (OPTION_ROW_COUNT - 1));
static_assert(OPTION_SETTING_COUNT <= 12 && OPTION_ROW_STEP >= 20,
              "more settings than the options screen can show");
constexpr int option_row_y(int row) {
  return OPTION_FIRST_Y + OPTION_ROW_STEP * row;
}

// What row `row` of the options screen says: a setting's label, "Accept" or "Cancel".
constexpr const char* option_label(int row) {
  if (row == OPTION_ACCEPT_ROW) return "Accept";
  if (row == OPTION_CANCEL_ROW) return "Cancel";
  return SETTING_ROWS[static_cast<std::size_t>(row)].label;
}
// The row whose label is `label`, or -1.
constexpr int option_row(std::string_view label) {
  for (int row = 0; row < OPTION_ROW_COUNT; ++row)
    if (label == option_label(row)) return row;
  return -1;
}

// The options screen's working state: the row selected (-1 after Escape) and
// the settings as chosen so far.
struct OptionsState {
  int selection = 0;
  Settings chosen;
};

// The number of values of a setting: its texts, or highest + 1 numbers.
int option_value_count(const SettingRow& row);
// Right and Left step a value through the row's texts, wrapping at both ends;
// other keys leave it. A value outside the row's texts starts again from 0.
// A row of numbers stops at 0 and at its highest instead of wrapping (a
// volume that jumped from full to silent would startle), and a value outside
// its range starts from the nearer end.
int option_value_after(const SettingRow& row, int value, int scancode);
// What the options screen shows for a value: its text (the first for a value
// the row does not have), or its digits.
using OptionText = std::array<char, 12>;
OptionText option_value_text(const SettingRow& row, int value);
// One key of the options screen: Up/Down move and wrap over every row,
// Left/Right change the value on setting rows only, Escape sets the
// selection to -1.
void options_apply_key(OptionsState& state, int scancode);
// 1 when the screen ended on Accept.
int options_accepted(const OptionsState& state);

// ---- Where the files are ----

// The settings file start-up reads and Accept writes: "mirvo.cfg" beside the
// data in a writable game folder, else the player's own (set by find_game_files).
extern std::string settings_path;

// Chooses the data folder and the settings file, once, before the first
// start-up: the current directory when it holds "data.dat", else the
// installed data folder of this executable, which becomes the current one.
void find_game_files();
// The data folder of an executable installed as P/games/mirvo: P/share/games/mirvo.
std::string installed_data_dir(const std::string& executable);
// $XDG_CONFIG_HOME, or $HOME/.config when that variable is unset or not
// absolute; empty when neither gives a folder.
std::string config_home(const char* xdg_config_home, const char* home);
// mirvo/mirvo.cfg in that folder; empty when there is none.
std::string user_settings_path(const char* xdg_config_home, const char* home);

// $XDG_DATA_HOME, or $HOME/.local/share when that variable is unset or not
// absolute; empty when neither gives a folder.
std::string data_home(const char* xdg_data_home, const char* home);

// HOME, or the password database's home folder when HOME is unset.
const char* home_dir();
// Makes dir and its missing parents, private to the player as a new folder of
// theirs should be. Empty on success, else why not.
std::string make_folders(const std::filesystem::path& dir);
// ---- The settings file ----

// Makes the settings file the configuration Allegro reads from (after a
// failed save: the text that could not be stored).
void use_settings_file();
// Makes text Allegro's configuration, as the settings file's text is read.
void use_settings_text(std::string_view text);
// Stores `settings` in the settings file; see save_settings.
void write_settings();
// Replaces the settings file with one holding values, keeping every other line
// of the old file. The folder is made if missing. A failure is reported in
// one line on standard error and the values still hold for the next start-up.
void save_settings(std::span<const SettingValue> values);
// old_text with each key of values set as Allegro will read it: the line
// Allegro reads for the key (the first line of the unnamed section whose name
// equals it regardless of case) is replaced in place up to its trailing
// comment (from the blanks before a '#' after the '='), which stays; a missing
// key is added at the end of the unnamed section; every other byte stays as it was.
std::string settings_text(std::string_view old_text, std::span<const SettingValue> values);
// Writes text to a temporary file beside path and renames it over path, so
// readers see the old file or the new one, never a part. Through a symbolic
// link the file it names is replaced and the link stays; the file keeps its
// permission bits (0644 when new). Empty on success, otherwise the reason;
// the old file is left as it was.
std::string replace_file(const std::string& path, const std::string& text);

// ---- The score table: scores_local.h ----

// ---- Play ----

// The ship's input for one tick, read from the keyboard and the first
// joystick (polled here): the arrows or the stick, Space, Ctrl or button 1 to
// fire, X or button 2 for a bomb. No joystick reads as released.
TickInput read_tick_input();
// Sleeps until a tick falls due, the focus changes or the window's close
// button is pressed; returns at once when one of them happened since the
// caller looked. The timer counts the ticks, so there is nothing to spin on.
void wait_for_wake();
// The window has lost the focus: the world, the effects and the music hold
// still until it comes back (no ticks are counted meanwhile, see tick_timer).
// The unchanged frame is drawn again every 100 ms, so a window uncovered
// meanwhile shows it.
void hold_while_unfocused();

// The play loop's catch-up: every logic tick that has fallen due, the
// campaign's tick with the input read for it, with the next level's music
// when one starts. tick_count is re-read before every tick, so ticks arriving during a
// catch-up join it. Returns how many ran; the events are left for the caller.
int run_due_ticks(const Campaign& campaign, CampaignProgress& progress);

// ---- Sounds ----

// The sounds of one catch-up pass: one effect for each kind of event that
// happened, panned by the mean x of its events; then the list is emptied.
void play_world_events();
// The sound of a menu key: Enter chooses and Escape goes back; any other key
// is heard only when it `changed` the selection or a setting. SOUND_EFFECT_COUNT
// means silence.
SoundEffect menu_key_sound(int scancode, bool changed);
void play_menu_key(int scancode, bool changed);

// ---- Screenshots ----

// The pictures folder of the XDG user directories: XDG_PICTURES_DIR as the
// text of user-dirs.dirs sets it, else as the environment does (the file
// wins, as with xdg-user-dir). A value is an absolute path or one that starts
// with "$HOME/" (read under home). Empty when neither names a folder, or when
// it names the home folder itself (the way a player turns a folder off).
std::string xdg_pictures_dir(const std::string& user_dirs, const char* pictures_env,
                             const char* home);
// Where screenshots go: "Mirvo" in the pictures folder when there is one
// (pictures not empty), else $XDG_DATA_HOME/mirvo/screenshots, or
// $HOME/.local/share/mirvo/screenshots when that variable is unset or not
// absolute; empty when nothing gives a folder.
std::string screenshot_folder(const std::string& pictures, const char* xdg_data_home,
                              const char* home);
// The file name of a screenshot taken at local time `when`:
// "mirvo-2026-12-08-09-28-05.png"; the n-th (n > 1) in the same second adds
// "-n"; a picture at the shown size when the display is scaled adds its size,
// as in "mirvo-2026-12-08-09-28-05-640x800.png". width 0 leaves it out.
std::string screenshot_name(const std::tm& when, int n, int width = 0, int height = 0);
// A picture (0xRRGGBB, rows from the top) scaled up by a whole factor, back at
// its own size: each pixel is the mean of its factor x factor block, which is
// exact for a picture enlarged by repeating pixels.
std::vector<std::uint32_t> shrink_picture(std::span<const std::uint32_t> pixels, int width,
                                          int height, int factor);
// F12: saves what the screen shows at the playfield's size and, when the
// display is scaled, at the shown size too, and says where in one line on
// standard error. A failure is one line there as well; nothing else changes.
void save_screenshot();

// ---- The window's icon ----

// The edges of the icons the window offers the desktop, each Mirvo's icon
// enlarged by whole pixels like the installed ones.
inline constexpr std::array<int, 4> WINDOW_ICON_SIZES = {16, 32, 48, 64};

// An XPM picture (its strings in order) as the value of _NET_WM_ICON: for
// each size its width and height, then one ARGB value per pixel, rows from
// the top, transparent pixels 0; the picture is enlarged by taking the
// nearest pixel. Empty when the picture cannot be read; colours are read as
// "#RRGGBB" or "None" only.
std::vector<unsigned long> net_wm_icon(std::span<const char* const> xpm,
                                       std::span<const int> sizes);
// Mirvo's icon as the XPM picture the build made from data/sprites/icon.txt.
std::span<const char* const> window_icon_picture();
// Gives the window Mirvo's icon as _NET_WM_ICON; after every graphics mode.
// (The icon in the window's WM hints Allegro takes from the same picture as
// it makes the window.)
void set_window_icon();

// ---- Window close button ----

// Set by Allegro's close-button callback; the menus and the play loop watch
// it and leave as if Escape had been pressed, so the program ends through the
// main menu's Quit and its one shut_down.
extern std::atomic<int> close_requested;
void close_button_pressed();

// ---- Full screen ----

// Sets a graphics mode of the given card (a windowed driver) for a window
// that covers the monitor, and the scale and place of the frame in it
// (screen_fit). When full screen cannot be had: false, one line on standard
// error, no graphics mode set and screen_fit windowed.
bool set_up_full_screen_window(int card);

// ---- Window focus ----

// Allegro's display-switch callbacks: they set window_focused (shell.h).
void focus_lost();
void focus_gained();
