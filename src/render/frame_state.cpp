#include <algorithm>

#include "render/render.h"
#include "world/world.h"

int scale = 0;
BITMAP* back_buffer = nullptr;
std::atomic<int> fps{0};
ScreenFit screen_fit;
int screen_effects = 1;
int show_fps = 0;

ScreenFit fit_playfield(int width, int height) {
  const int factor = std::max(1, std::min(width / PLAYFIELD_W, height / PLAYFIELD_H));
  return {factor, std::max(0, (width - factor * PLAYFIELD_W) / 2),
          std::max(0, (height - factor * PLAYFIELD_H) / 2)};
}
