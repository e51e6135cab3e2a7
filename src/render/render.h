// Drawing: the software and OpenGL frame renderers. The on-screen messages
// they draw are the world's (world.h); the additive blend the software
// renderer lights particles with is render's own (blend_local.h).
#pragma once

#include <array>
#include <atomic>

struct BITMAP;

// ---- What the frame renderers draw into and show ----

// After start-up, scale holds 1 exactly when the window is doubled.
extern int scale;            // 1: a 640 x 800 window showing the playfield doubled
extern BITMAP* back_buffer;  // software renderer: the frame, of the window's size
// Written once a second by the program's timer thread, read by both HUDs.
extern std::atomic<int> fps;  // frames drawn during the last whole second

// The player's "Screen effects" setting, which the shell sets: 0 leaves out
// the playfield's shake and every full-screen flash.
extern int screen_effects;
// The player's "showfps" setting, which the shell sets: under rules that show
// the frame rate on request, 1 asks for it.
extern int show_fps;

// Full screen: the window covers a monitor, and the frame, drawn exactly as in
// the plain 320 x 400 window, is shown `factor` times its size with sharp
// square pixels, its top-left corner at (x, y) of the window, on black.
struct ScreenFit {
  int factor = 0;  // 0: a plain window (scale says whether it is doubled)
  int x = 0;
  int y = 0;
};
extern ScreenFit screen_fit;
// The largest whole-number scale of the playfield that fits a width x height
// area (at least 1), centred in it.
ScreenFit fit_playfield(int width, int height);

// ---- Frame renderers ----

// Draws one frame of the running level into back_buffer and shows it.
void render_frame_software();
// Only the drawing: the playfield in the top-left 320 x 400 of back_buffer,
// which may be a memory bitmap; the screen is not touched.
void draw_frame_software();
// Draws one frame with OpenGL quads and flips.
void render_frame_opengl();
// Full screen with OpenGL: the texture the finished frame is copied into
// before it is drawn scaled. Made once the context is up; it goes with it.
void make_full_screen_texture();

// ---- A screen drawn over the playfield ----

// Lines of text on a dark panel over the middle of the playfield (the
// stage-clear tally), the first in the menu font as its heading. The shell
// fills them; both renderers draw them last. Fixed buffers: a frame
// allocates nothing.
inline constexpr int OVERLAY_LINES = 8;
inline constexpr int OVERLAY_TEXT_SIZE = 40;
struct Overlay {
  int lines = 0;  // 0: nothing is drawn
  std::array<std::array<char, OVERLAY_TEXT_SIZE>, OVERLAY_LINES> text{};
  // A short word at the playfield's bottom left, drawn whenever it is not
  // empty: "REPLAY" while a recording plays, so it is never taken for a game.
  std::array<char, 16> mark{};
};
extern Overlay overlay;
