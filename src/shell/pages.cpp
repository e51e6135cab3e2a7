// The pages the menu screens draw on and show, and the wait for a key that
// every one of them shares. Each screen draws a 320 x 400 picture into a
// memory page of the window's size and copies it to the screen once per key;
// with OpenGL they draw through AllegroGL's Allegro mode while they are up.
#include <alleggl.h>
#include <allegro.h>

#include <chrono>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/screens_local.h"
#include "world/world.h"

namespace {

BITMAP* make_bitmap(int width, int height) {
  BITMAP* page = create_bitmap(width, height);
  if (page == nullptr) {
    fatal_error("Error creating the frame buffer\n");
  }
  return page;
}

// Full screen: the page at the whole-number scale, centred on black. OpenGL
// redraws the whole window every time, so the picture is put together in
// memory first; the software window keeps the black bars it was cleared to.
void show_full_screen_page(BITMAP* page) {
  const ScreenFit& fit = screen_fit;
  if (renderer == Renderer::Software) {
    stretch_blit(page, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, fit.x, fit.y,
                 fit.factor * PLAYFIELD_W, fit.factor * PLAYFIELD_H);
    return;
  }
  BITMAP* whole = make_bitmap(SCREEN_W, SCREEN_H);
  clear_to_color(whole, makecol(0, 0, 0));
  stretch_blit(page, whole, 0, 0, PLAYFIELD_W, PLAYFIELD_H, fit.x, fit.y, fit.factor * PLAYFIELD_W,
               fit.factor * PLAYFIELD_H);
  blit(whole, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
  destroy_bitmap(whole);
}

// The OpenGL window is doubled by hand: each pixel of the playfield-sized
// corner becomes a 2 x 2 block.
void double_to_screen(BITMAP* page) {
  for (int x = 0; x < PLAYFIELD_W; ++x) {
    for (int y = 0; y < PLAYFIELD_H; ++y) {
      const int c = getpixel(page, x, y);
      putpixel(screen, 2 * x, 2 * y, c);
      putpixel(screen, 2 * x + 1, 2 * y, c);
      putpixel(screen, 2 * x + 1, 2 * y + 1, c);
      putpixel(screen, 2 * x, 2 * y + 1, c);
    }
  }
}

}  // namespace

FONT* menu_font() {
  return static_cast<FONT*>(game_data[DATA_MENU_FONT].dat);
}

int item_colour(int row, int selection) {
  return row == selection ? makecol(255, 0, 0) : makecol(255, 255, 255);
}

// Full screen draws the page as the plain window does and scales it on the way.
BITMAP* make_page() {
  return screen_fit.factor > 0 ? make_bitmap(PLAYFIELD_W, PLAYFIELD_H)
                               : make_bitmap(SCREEN_W, SCREEN_H);
}

void show_page(BITMAP* page) {
  if (screen_fit.factor > 0)
    show_full_screen_page(page);
  else if (scale != 1)
    blit(page, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
  else if (renderer == Renderer::Software)
    stretch_blit(page, screen, 0, 0, PLAYFIELD_W, PLAYFIELD_H, 0, 0, SCREEN_W, SCREEN_H);
  else
    double_to_screen(page);
  if (renderer == Renderer::OpenGL) allegro_gl_flip();
}

namespace {

PadState read_pad() {
  PadState pad;
  if (num_joysticks == 0) return pad;
  poll_joystick();
  const JOYSTICK_INFO& j = joy[0];
  pad.left = j.stick[0].axis[0].d1 != 0;
  pad.right = j.stick[0].axis[0].d2 != 0;
  pad.up = j.stick[0].axis[1].d1 != 0;
  pad.down = j.stick[0].axis[1].d2 != 0;
  pad.button1 = j.num_buttons > 0 && j.button[0].b != 0;
  pad.button2 = j.num_buttons > 1 && j.button[1].b != 0;
  return pad;
}

}  // namespace

// Polls every millisecond: the keyboard's buffer, the joystick (only its
// changes count, so a button still held from play presses nothing) and the
// close button.
ScreenKey wait_for_screen_key(int timeout_ms, bool with_pad) {
  PadState pad = with_pad ? read_pad() : PadState{};
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (timeout_ms < 0 || std::chrono::steady_clock::now() < until) {
    if (close_requested.load() != 0) return {KEY_ESC, 27};
    if (keypressed()) {
      const int key = readkey();
      if (key >> 8 != KEY_F12) return {key >> 8, key & 0xFF};
      save_screenshot();
      continue;
    }
    if (with_pad) {
      const PadState now = read_pad();
      const int scancode = pad_scancode(pad, now);
      pad = now;
      if (scancode != 0) return {scancode, 0};
    }
    rest(1);
  }
  return {};
}

int choose_row(int selection, int count, bool with_pad, const std::function<int(int)>& show) {
  int last_key = 0;
  for (;;) {
    const int before = selection;
    selection = menu_selection_after(selection, last_key, count);
    play_menu_key(last_key, selection != before);
    if (selection < 0 || last_key == KEY_ENTER) return selection;
    last_key = wait_for_screen_key(show(selection), with_pad).scancode;
  }
}
