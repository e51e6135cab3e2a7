#include "render/render.h"

int scale = 0;
BITMAP* back_buffer = nullptr;
std::atomic<int> fps{0};
