// What the play loop waits for and reads between ticks: a tick falling due,
// the focus coming back, the keys and joystick of one tick, and one frame drawn.
#include <allegro.h>

#include "render/render.h"
#include "shell/replays_local.h"
#include "shell/shell_local.h"

void draw_play_frame() {
  frame_count.fetch_add(1);
  if (renderer == Renderer::Software)
    render_frame_software();
  else
    render_frame_opengl();
}

void wait_for_wake() {
  const unsigned seen = loop_wakes.load();
  if (tick_count.load() > 0 || window_focused.load() == 0 || close_requested.load() != 0) return;
  loop_wakes.wait(seen);
}

void hold_while_unfocused() {
  pause_effects();
  play_music(MUSIC_NONE);
  for (int pass = 1; window_focused.load() == 0 && close_requested.load() == 0; ++pass) {
    rest(10);
    if (pass % 10 == 0) draw_play_frame();
  }
  resume_effects();
  follow_level_music();
}

TickInput read_tick_input() {
  poll_joystick();
  TickInput in;
  in.left = key[KEY_LEFT] != 0;
  in.right = key[KEY_RIGHT] != 0;
  in.up = key[KEY_UP] != 0;
  in.down = key[KEY_DOWN] != 0;
  in.fire = key[KEY_SPACE] != 0 || (key_shifts & KB_CTRL_FLAG) != 0;
  in.bomb = key[KEY_X] != 0;
  if (num_joysticks > 0) {
    const JOYSTICK_INFO& j = joy[0];
    in.left = in.left || j.stick[0].axis[0].d1 != 0;
    in.right = in.right || j.stick[0].axis[0].d2 != 0;
    in.up = in.up || j.stick[0].axis[1].d1 != 0;
    in.down = in.down || j.stick[0].axis[1].d2 != 0;
    in.fire = in.fire || j.button[0].b != 0;
    in.bomb = in.bomb || (j.num_buttons > 1 && j.button[1].b != 0);
  }
  return in;
}
