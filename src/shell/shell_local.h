// What the shell's own files share: the key handling of the two menus as pure
// functions (no window needed to run them), the settings and where the files
// are, and the close-button flag.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/shell.h"
#include "sound/sound.h"

struct Campaign;
struct CampaignProgress;

// ---- Menus, settings and the play loop's wake-ups ----

enum MenuChoice : int { MENU_QUIT = 0, MENU_START = 1, MENU_OPTIONS = 2, MENU_RESUME = 3 };
MenuChoice main_menu();
int options_menu();  // 1 when the player accepted (settings stored)

extern int sound_on;  // 0: nothing is played (the sound system is not even installed)

// Bumps loop_wakes and wakes a play loop waiting in wait_for_wake.
void wake_play_loop();

// The OpenGL window start_up opens when the renderer setting asks for it.
void set_up_opengl();

// ---- Command line ----

// What the arguments ask for: the game (no arguments), a help or version
// text, or nothing at all because an argument is not understood.
struct CommandLine {
  enum Action { PLAY, HELP, VERSION, REFUSED } action = PLAY;
  const char* unexpected = nullptr;  // the argument refused
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

// The highlight after one key: Up and Down wrap around the four items, Escape
// gives -1 (leave without choosing), every other key changes nothing.
int menu_selection_after(int selection, int scancode);
// What a selection means: 0 Start, 1 Resume, 2 Options, anything else Quit.
MenuChoice menu_choice_for(int selection);

// ---- Options screen ----

// renderer, scale, joystick, sound, full screen, frame cap
inline constexpr int OPTION_SETTING_COUNT = 6;
extern const std::array<OptionRow, OPTION_SETTING_COUNT + 2> option_rows;

// The options screen's working state: the row selected (-1 after Escape) and
// the value index of each setting row.
struct OptionsState {
  int selection = 0;
  std::array<int, OPTION_SETTING_COUNT> values{};
};

// The number of value texts of a row (0 for Accept and Cancel).
int option_value_count(const OptionRow& row);
// Right and Left step a value through the row's texts, wrapping at both ends;
// other keys leave it. A value outside the row's texts starts again from 0.
int option_value_after(const OptionRow& row, int value, int scancode);
// One key of the options screen: Up/Down move and wrap over rows 0 to
// last_row, Left/Right change the value on setting rows only (rows below
// last_row - 1), Escape sets the selection to -1.
void options_apply_key(OptionsState& state, int scancode, int last_row);
// 1 when the screen ended on Accept (row last_row - 1).
int options_accepted(const OptionsState& state, int last_row);

// ---- Settings ----

// One key of "mirvo.cfg" and the value it holds.
struct SettingValue {
  const char* key;
  int value;
};

struct Settings {
  int renderer = 0;
  int scale = 0;
  int use_joystick = 0;
  int sound = 1;
  int full_screen = 0;
  int frame_cap = 0;
};

// The values read from "mirvo.cfg", given one meaning: any non-zero renderer
// is OpenGL and any other non-zero setting is Yes or On (each becomes 1);
// scale stays as read until the window is made (see window_doubled).
Settings normalise_settings(const Settings& read);
// The settings in Allegro's current configuration, normalised; a missing key
// reads as 0, except "sound", which reads as 1 (On).
Settings settings_from_config();
// The keys of "mirvo.cfg" with their values, in the order Accept writes them.
std::array<SettingValue, 6> setting_values(const Settings& settings);
// Whether the window is 640 x 800: the software mode doubles only for a scale
// of exactly 1, the OpenGL mode for any non-zero scale.
int window_doubled(int renderer, int scale);

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

// HOME, or the password database's home folder when HOME is unset.
const char* home_dir();
// ---- The settings file ----

// Makes the settings file the configuration Allegro reads from (after a
// failed save: the text that could not be stored).
void use_settings_file();
// Makes text Allegro's configuration, as the settings file's text is read.
void use_settings_text(std::string_view text);
// Stores the current settings (the globals) in the settings file; see save_settings.
void write_settings();
// Replaces the settings file with one holding values, keeping every other line
// of the old file. The folder is made if missing. A failure is reported in
// one line on standard error and the values still hold for the next start-up.
void save_settings(std::span<const SettingValue> values);
// old_text with each key of values set as Allegro will read it: the line
// Allegro reads for the key (the first line of the unnamed section whose name
// equals it regardless of case) is replaced in place, a missing key is added
// at the end of the unnamed section; every other byte stays as it was.
std::string settings_text(std::string_view old_text, std::span<const SettingValue> values);
// Writes text to a temporary file beside path and renames it over path, so
// readers see the old file or the new one, never a part. Through a symbolic
// link the file it names is replaced and the link stays; the file keeps its
// permission bits (0644 when new). Empty on success, otherwise the reason;
// the old file is left as it was.
std::string replace_file(const std::string& path, const std::string& text);

// ---- Play ----

// The play loop's catch-up: every logic tick that has fallen due, run_tick
// and the campaign's step after each, with the next level's music when one
// starts. tick_count is re-read before every tick, so ticks arriving during a
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
