// The program shell: start-up and shutdown, the program-wide settings and
// resources, the menus and the play loop.
#pragma once

#include <atomic>

// The settings and resources the shell sets up but the libraries below it read
// live in their headers: game_data, the DATA_ indices and renderer in
// content/content.h; scale, back_buffer and fps in render/render.h.

// The settings the shell alone reads (full screen, the frame cap, the sound,
// the joystick) are shell_local.h's `settings`.

extern int game_running;  // 1 while a started game can be resumed

// Shared with the timer callbacks, which run on Allegro's timer thread.
extern std::atomic<int> tick_count;   // logic ticks waiting to be run
extern std::atomic<int> frame_count;  // frames drawn since the last sample
extern std::atomic<int> in_menu;      // 1 while a menu is up: no ticks are counted
// 0 while another window has the focus (set by Allegro's display-switch
// callbacks): no ticks are counted and play holds still.
extern std::atomic<int> window_focused;
// Counts what the play loop may sleep until: a tick, a change of focus, the
// window's close button. Each bump wakes a loop waiting in wait_for_wake.
extern std::atomic<unsigned> loop_wakes;

void start_up();
void shut_down();
void tick_timer();
void fps_timer();

void new_game();
// Why play_level returned: Escape (or the close button), or, under rules that
// end games, a game lost 3 s ago or won after its last tally.
enum PlayEnd : int { PLAY_LEFT = 0, PLAY_LOST = 1, PLAY_WON = 2 };
PlayEnd play_level(const char* level_name);
