#include "shell/shell_local.h"

Settings settings = default_settings();
int game_running = 0;

std::atomic<int> tick_count{0};
std::atomic<int> frame_count{0};
std::atomic<int> in_menu{0};
std::atomic<int> window_focused{1};
std::atomic<unsigned> loop_wakes{0};
