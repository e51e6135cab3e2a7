// The panel a screen over the playfield is drawn on, shared by both
// renderers: the software one draws it into its frame, the OpenGL one onto
// the window in AllegroGL's Allegro mode.
#include <allegro.h>

#include "content/content.h"
#include "render/hud_local.h"

Overlay overlay;

namespace {

constexpr int PANEL_W = 260;
constexpr int HEADING_STEP = 24;  // below the 13-pixel menu font
constexpr int LINE_STEP = 14;     // below the 8-pixel font
constexpr int MARGIN = 10;

}  // namespace

void draw_overlay(BITMAP* target, int frame_w, int frame_h, int k) {
  // Above the frame rate's line at the bottom.
  if (overlay.mark[0] != '\0')
    textout_ex(target, font, overlay.mark.data(), k * MARGIN / 2, frame_h - k * 3 * MARGIN,
               makecol(255, 255, 0), makecol(0, 0, 0));
  if (overlay.lines <= 0) return;
  const int lines = overlay.lines < OVERLAY_LINES ? overlay.lines : OVERLAY_LINES;
  const int h = k * (2 * MARGIN + HEADING_STEP + LINE_STEP * (lines - 1));
  const int x = (frame_w - k * PANEL_W) / 2;
  const int y = (frame_h - h) / 2;
  const int white = makecol(255, 255, 255);
  rectfill(target, x, y, x + k * PANEL_W - 1, y + h - 1, makecol(0, 0, 48));
  rect(target, x, y, x + k * PANEL_W - 1, y + h - 1, white);
  FONT* heading = static_cast<FONT*>(game_data[DATA_MENU_FONT].dat);
  int at = y + k * MARGIN;
  textout_centre_ex(target, heading, overlay.text[0].data(), frame_w / 2, at, white, -1);
  at += k * HEADING_STEP;
  for (int i = 1; i < lines; ++i, at += k * LINE_STEP)
    textout_centre_ex(target, font, overlay.text[static_cast<std::size_t>(i)].data(), frame_w / 2,
                      at, white, -1);
}
