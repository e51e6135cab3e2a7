// The program shell: start-up and shutdown, the program-wide settings and
// resources, the menus and the play loop.
#pragma once

#include <atomic>

struct BITMAP;
struct DATAFILE;

// Objects of "data.dat" the program uses (0 to 2 are not read).
inline constexpr int DATA_PLAYER_SHIP = 3;      // 40 x 40 bitmap
inline constexpr int DATA_SHOT = 4;             // 3 x 3 bitmap
inline constexpr int DATA_MENU_BACKGROUND = 5;  // 320 x 400 bitmap
inline constexpr int DATA_MENU_FONT = 6;        // font

enum MenuChoice : int { MENU_QUIT = 0, MENU_START = 1, MENU_OPTIONS = 2, MENU_RESUME = 3 };

// Settings from "mirvo.cfg". Any non-zero renderer means OpenGL everywhere;
// after start-up, scale holds 1 exactly when the window is doubled.
extern int renderer;      // 0 software, 1 OpenGL
extern int scale;         // 1: a 640 x 800 window showing the playfield doubled
extern int use_joystick;  // stored and shown only

extern BITMAP* back_buffer;  // software renderer: the frame, of the window's size
extern DATAFILE* game_data;  // "data.dat"
extern int game_running;     // 1 while a started game can be resumed

// Shared with the timer callbacks, which run on Allegro's timer thread.
extern std::atomic<int> tick_count;   // logic ticks waiting to be run
extern std::atomic<int> frame_count;  // frames drawn since the last sample
extern std::atomic<int> fps;          // frames drawn during the last whole second
extern std::atomic<int> in_menu;      // 1 while a menu is up: no ticks are counted

void start_up();
void set_up_opengl();
void shut_down();
void tick_timer();
void fps_timer();

MenuChoice main_menu();

// A label followed by its value texts and a NULL: four text slots in all.
struct OptionRow {
  const char* texts[4];
};
extern int last_option_row;  // 4: rows below last-1 are settings, then Accept, then Cancel
int options_menu();          // 1 when the player accepted (settings stored)

void new_game();
int play_level(const char* level_name);
