// Pictures of a run: frames drawn by the game's own software renderer into a
// 32-bit memory back buffer, written as PNG, and a contact sheet of them.
#include <allegro.h>
#include <loadpng.h>

#include <algorithm>
#include <vector>

#include "render/render.h"
#include "run/runner.h"
#include "world/world.h"

namespace {

struct KeptFrame {
  BITMAP* picture;
  int tick;
};

std::vector<KeptFrame> kept;

BITMAP* frame_buffer() {
  if (back_buffer == nullptr) back_buffer = create_bitmap_ex(32, PLAYFIELD_W, PLAYFIELD_H);
  return back_buffer;
}

// loadpng writes a 32-bit bitmap with its unused top byte as alpha, which is
// 0 everywhere: a 24-bit copy makes an opaque picture.
bool save_opaque_png(const std::string& path, BITMAP* picture) {
  BITMAP* opaque = create_bitmap_ex(24, picture->w, picture->h);
  if (opaque == nullptr) return false;
  blit(picture, opaque, 0, 0, 0, 0, picture->w, picture->h);
  const bool saved = save_png(path.c_str(), opaque, nullptr) == 0;
  destroy_bitmap(opaque);
  return saved;
}

}  // namespace

void draw_world_frame() {
  if (frame_buffer() != nullptr) draw_frame_software();
}

bool save_frame_png(const std::string& path) {
  return back_buffer != nullptr && save_opaque_png(path, back_buffer);
}

void keep_frame_for_sheet(int tick) {
  if (back_buffer == nullptr) return;
  BITMAP* copy = create_bitmap_ex(32, PLAYFIELD_W, PLAYFIELD_H);
  if (copy == nullptr) return;
  blit(back_buffer, copy, 0, 0, 0, 0, PLAYFIELD_W, PLAYFIELD_H);
  kept.push_back({copy, tick});
}

bool save_sheet_png(const std::string& path) {
  bool saved = false;
  const int count = static_cast<int>(kept.size());
  const int columns = std::min(count, SHEET_COLUMNS);
  const int rows = (count + SHEET_COLUMNS - 1) / SHEET_COLUMNS;
  constexpr int cell_h = PLAYFIELD_H + SHEET_LABEL_H;
  BITMAP* sheet =
      kept.empty() ? nullptr : create_bitmap_ex(32, columns * PLAYFIELD_W, rows * cell_h);
  if (sheet != nullptr) {
    clear_to_color(sheet, makecol32(0, 0, 0));
    const int white = makecol32(255, 255, 255);
    for (int i = 0; i < count; ++i) {
      const int x = i % SHEET_COLUMNS * PLAYFIELD_W;
      const int y = i / SHEET_COLUMNS * cell_h;
      blit(kept[i].picture, sheet, 0, 0, x, y, PLAYFIELD_W, PLAYFIELD_H);
      textout_centre_ex(sheet, font, game_time(kept[i].tick).c_str(), x + PLAYFIELD_W / 2,
                        y + PLAYFIELD_H + 4, white, -1);
    }
    saved = save_opaque_png(path, sheet);
    destroy_bitmap(sheet);
  }
  for (const KeptFrame& k : kept) destroy_bitmap(k.picture);
  kept.clear();
  return saved;
}
