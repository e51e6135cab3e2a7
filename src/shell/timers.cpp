// The two timer callbacks. They run on Allegro's timer thread and touch only
// the atomics shared with the game thread: no drawing, no allocation.
#include "render/render.h"
#include "shell/shell_local.h"

// A pending tick only while play is on and the window has the focus: time
// spent in a menu or in another window is never caught up afterwards.
void tick_timer() {
  if (in_menu.load() != 0 || window_focused.load() == 0) return;
  tick_count.fetch_add(1);
  wake_play_loop();
}

// A futex wake-up, and only when the play loop sleeps: cheap enough for the
// timer thread.
void wake_play_loop() {
  loop_wakes.fetch_add(1);
  loop_wakes.notify_all();
}

// One exchange, so a frame counted between the read and the reset is never lost.
void fps_timer() {
  fps = frame_count.exchange(0);
}
