// The arithmetic of both frame renderers, kept apart from drawing so tests can
// check it without a window or a GL context.
#pragma once

#include <array>
#include <cstdint>

#include "render/render.h"
#include "world/world.h"

// The text buffers of the head-up display live on the stack: Allegro's
// printf-style text calls allocate, and a frame allocates nothing.
inline constexpr int HUD_TEXT_SIZE = 40;
using HudText = std::array<char, HUD_TEXT_SIZE>;

// "%d" of value; a chain's multiplier above 1 stands before it ("x3  1200").
HudText format_score(int value, int multiplier = 1);
// "PWR <level>" under rules with power-ups; an empty text (drawn as
// nothing) when the level is 0.
HudText format_power(int power);
// Where the weapon level stands: right of the energy bar, in playfield pixels.
inline constexpr int POWER_TEXT_X = 118;
inline constexpr int POWER_TEXT_Y = 11;
// "FPS: <fps> | <renderer_name>".
HudText format_fps_line(int fps, const char* renderer_name);
// The frame-rate line as a renderer draws it, in window pixels (doubled is 1
// for the 640 x 800 window): "FPS: <fps> | <renderer_name>" along the bottom
// edge; under rules that show it on request, "<fps> fps" in the top-left
// corner, above the energy bar, only when asked for; an empty text otherwise.
struct FpsLine {
  HudText text{};
  int x = 0;
  int y = 0;
};
FpsLine fps_line(const Rules& r, int asked, int fps, const char* renderer_name, int doubled);

// Red and green of the energy bar as bytes: (250 - 25e, 25e) wrapped to 0..255,
// so 10 gives (0, 250), 5 (125, 125), 1 (225, 25).
struct EnergyBarColour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
};
EnergyBarColour energy_bar_colour(int energy);

// ---- What the screen shows of a blow ----
// Read from screen_feedback and the tick's state only, never from a random
// draw: every frame of a tick looks the same, and drawing leaves the world's
// random sequence alone.

// How far the playfield is drawn from its place: a fixed pattern over the
// ticks left, at most SHAKE_PIXELS either way and smaller as it ends; (0, 0)
// when it does not shake or the player turned the effects off.
struct PlayfieldShift {
  int x = 0;
  int y = 0;
};
PlayfieldShift playfield_shift(const ScreenFeedback& f, int effects_on);
// How much white is added over the whole frame, 0 (none) to 255 (white):
// full while the flash lasts, fading over its last three ticks.
int flash_strength(const ScreenFeedback& f, int effects_on);
// The energy bar's part lost in the latest blow while it flashes, in bar
// pixels from the bar's left end (10 per point of energy); w is 0 on the
// flash's dark spans and when nothing flashes.
struct EnergyFlash {
  int x = 0;
  int w = 0;
};
EnergyFlash energy_flash(const ScreenFeedback& f, int energy);
// An enemy hit in the last few ticks is drawn this much whiter (of 255).
inline constexpr int ENEMY_TINT_STRENGTH = 160;
// Pixels of the energy bar per point of energy.
inline constexpr int ENERGY_BAR_STEP = 10;

// Playfield pixels (320 x 400, y down) to OpenGL device coordinates (-1..1,
// y up), in single precision: X = x * 0.00625 - 1, Y = 1 - y * 0.005.
struct DevicePoint {
  float x = 0.0f;
  float y = 0.0f;
};
inline constexpr float DEVICE_X_PER_PIXEL = 0.00625f;  // 2 / 320
inline constexpr float DEVICE_Y_PER_PIXEL = 0.005f;    // 2 / 400
DevicePoint to_device(float x, float y);

// One corner of a textured quad: texture coordinate, then device position.
struct QuadCorner {
  float u = 0.0f;
  float v = 0.0f;
  DevicePoint at;
};
// The corners of the quad with top-left (x, y), size w x h and texture extent
// (u, v), in drawing order: top-left, bottom-left, bottom-right, top-right.
// Texture row 0 is the bitmap's bottom row, so the top edge takes v.
std::array<QuadCorner, 4> quad_corners(float x, float y, float w, float h, float u, float v);

// Where the OpenGL renderer's text and energy frame go, in window pixels;
// doubled is 1 for the 640 x 800 window. The font is not enlarged.
struct GlHudLayout {
  int score_right = 0;
  int score_top = 0;
  int frame_x1 = 0;
  int frame_y1 = 0;
  int frame_x2 = 0;
  int frame_y2 = 0;
};
GlHudLayout gl_hud_layout(int doubled);

// The boss's health bar, in playfield pixels under the score line: the name
// above a bar across the playfield that empties as the boss is hit, with a
// mark where each of its phases begins (the health a wait_health of its
// script waits for).
inline constexpr int BOSS_NAME_Y = 26;
inline constexpr int BOSS_BAR_X = 10;
inline constexpr int BOSS_BAR_Y = 36;
inline constexpr int BOSS_BAR_W = 300;
inline constexpr int BOSS_BAR_H = 5;
inline constexpr int MAX_BOSS_MARKS = 8;  // more phase changes than this show the first ones
struct BarColour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};
inline constexpr BarColour BOSS_BAR_FULL{220, 40, 40};  // the health left
inline constexpr BarColour BOSS_BAR_EMPTY{60, 20, 20};  // the health lost
struct BossBar {
  bool shown = false;
  int filled = 0;  // pixels from BOSS_BAR_X, 0..BOSS_BAR_W
  int mark_count = 0;
  std::array<int, MAX_BOSS_MARKS> marks{};  // pixels from BOSS_BAR_X, inside the bar
  const char* name = "";
};
// The bar of the first boss that lives, from the world's tables; not shown
// while none does.
BossBar boss_bar();

// ---- The bombs left ----
// "BOMB x3" under rules with bombs, empty (nothing drawn) otherwise; drawn
// right-aligned on the bottom text line, across from the frame rate.
HudText format_bombs(const Rules& r, int bombs);
struct HudPoint {
  int x = 0;
  int y = 0;
};
// The text's right end and top: playfield pixels for the software renderer
// (doubled 0), window pixels for OpenGL (doubled 1 in the 640 x 800 window).
HudPoint bombs_place(int doubled);

// A message slot's text, ending inside the copy even if the slot has no NUL.
using MessageText = std::array<char, MESSAGE_TEXT_SIZE + 1>;
MessageText message_text(const Message& m);

// Draws `overlay` centred on a frame_w x frame_h picture in target, its
// distances k times the playfield's (the font is not enlarged).
void draw_overlay(BITMAP* target, int frame_w, int frame_h, int k);

// ---- What detailed looks add to the playfield ----

// The dust layer: at most one speck in each DUST_CELL square of a layer that
// moves DUST_SPEED times as fast as the tiles, in one square of DUST_ONE_IN.
inline constexpr double DUST_SPEED = 2.0;
inline constexpr int DUST_CELL = 40;
inline constexpr int DUST_COLUMNS = PLAYFIELD_W / DUST_CELL;   // 8
inline constexpr int DUST_ROWS = PLAYFIELD_H / DUST_CELL + 1;  // 11: a part row at each edge
inline constexpr int MAX_DUST_SPECKS = DUST_COLUMNS * DUST_ROWS;
inline constexpr std::uint32_t DUST_ONE_IN = 3;
inline constexpr std::uint32_t DUST_SALT = 0x64757374;  // "dust"
// Two greys, dimmer than the tiles' stars and the bullets' rims: a dim point
// and a brighter streak two pixels long.
struct DustShade {
  std::uint8_t r, g, b;
  int length;
};
inline constexpr std::array<DustShade, 2> DUST_SHADES = {{{64, 72, 90, 1}, {108, 116, 138, 2}}};
struct DustSpeck {
  int x = 0;  // playfield pixels; the streak runs down from here
  int y = 0;
  int shade = 0;  // index into DUST_SHADES
};
// Fills `out` with the specks at the present scroll (scroll_row and
// scroll_offset) and returns how many there are; reads nothing else.
int dust_specks(std::array<DustSpeck, MAX_DUST_SPECKS>& out);

// The shot type whose pictures a projectile of `type` shows: under plain
// looks the small and large enemy bullets show type 3's ball, as every enemy
// bullet always looked.
int drawn_shot_type(const Rules& r, int type);
// Whether a projectile of the drawn `type` shows the ship's long shot.
bool drawn_long(const Rules& r, int type);
