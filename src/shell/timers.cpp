// The two timer callbacks. They run on Allegro's timer thread and touch only
// the atomics shared with the game thread: no drawing, no allocation.
#include "render/render.h"
#include "shell/shell.h"

// A pending tick only while play is on: time spent in a menu is never caught
// up afterwards.
void tick_timer() {
  if (in_menu.load() == 0) tick_count.fetch_add(1);
}

// One exchange, so a frame counted between the read and the reset is never lost.
void fps_timer() {
  fps = frame_count.exchange(0);
}
