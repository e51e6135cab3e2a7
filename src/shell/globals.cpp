#include "shell/shell.h"

int renderer = 0;
int scale = 0;
int use_joystick = 0;
BITMAP* back_buffer = nullptr;
DATAFILE* game_data = nullptr;
int game_running = 0;

std::atomic<int> tick_count{0};
std::atomic<int> frame_count{0};
std::atomic<int> fps{0};
std::atomic<int> in_menu{0};
