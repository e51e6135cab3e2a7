#include "shell/shell_local.h"

int use_joystick = 0;
int sound_on = 1;
int full_screen = 0;
int frame_cap = 0;
int game_running = 0;

std::atomic<int> tick_count{0};
std::atomic<int> frame_count{0};
std::atomic<int> in_menu{0};
std::atomic<int> window_focused{1};
std::atomic<unsigned> loop_wakes{0};
