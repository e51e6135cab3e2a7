// Reaching the game's X window through Allegro's X11 port.
#include <allegro.h>
#include <xalleg.h>

#include "shell/x11_local.h"

XWindowLock::XWindowLock() {
  if (_xwin.display == nullptr) return;
  XLOCK();
  display = _xwin.display;
  window = _xwin.window;
  root = RootWindow(_xwin.display, _xwin.screen);
}

XWindowLock::~XWindowLock() {
  if (display != nullptr) XUNLOCK();
}
