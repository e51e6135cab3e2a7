// Drawing: the software and OpenGL frame renderers and the saturating additive
// blend the software renderer lights particles with. The on-screen messages
// they draw are the world's (world.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

struct BITMAP;
struct Particle;

// ---- What the frame renderers draw into and show ----

// After start-up, scale holds 1 exactly when the window is doubled.
extern int scale;            // 1: a 640 x 800 window showing the playfield doubled
extern BITMAP* back_buffer;  // software renderer: the frame, of the window's size
// Written once a second by the program's timer thread, read by both HUDs.
extern std::atomic<int> fps;  // frames drawn during the last whole second

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

// ---- Additive rectangle blend ----

// Adds colour scaled by factor (0..255) to every pixel of the rectangle,
// saturating each channel. Clips against the whole bitmap; 15, 16 and 32 bits
// per pixel only, other depths are left alone.
void blend_add_rect(BITMAP* bmp, int x, int y, int w, int h, int colour, int factor);

// A frame's particles in one pass: every live slot of the table, in slot
// order, as a 2 x 2 square at its truncated position with its colour and
// alpha. Leaves exactly the pixels that blend_add_rect per live particle
// leaves, through the same loop, with the loop and the depth chosen once.
void blend_particles(BITMAP* bmp, std::span<const Particle> table);

// The pixel loops, on an already clipped rectangle with the converted factor
// (1..32 at 15 and 16 bits, 2..256 at 32 bits).
using BlendLoop = void (*)(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect15(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
#if defined(__x86_64__) || defined(__i386__)
#define MIRVO_HAS_X86_BLEND 1
void blend_add_rect15_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32_mmx(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect15_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect16_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
void blend_add_rect32_sse(BITMAP* bmp, int x, int y, int w, int h, int colour, int f);
#endif

// The processor features the blend chooses from, as Allegro's CPU_MMX and
// CPU_SSE bits: Allegro's cpu_capabilities, completed by the processor's own
// report where Allegro says nothing.
int blend_capabilities();
// The loop for a colour depth and a capabilities word; null for other depths.
BlendLoop choose_blend_loop(int depth, int capabilities);

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
