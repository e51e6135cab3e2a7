// Reaching the game's X window through Allegro's X11 port.
#include <allegro.h>
#include <xalleg.h>

#include "shell/x11_local.h"

XWindowLock::XWindowLock() {
  if (_xwin.display == nullptr) return;
  XLOCK();
  display = _xwin.display;
  root = RootWindow(_xwin.display, _xwin.screen);
  window = _xwin.window;
  if (window == None || _xwin.wm_window == None) return;
  Window tree_root = None, parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &tree_root, &parent, &children, &count) != 0 &&
      parent == _xwin.wm_window)
    window = _xwin.wm_window;
  if (children != nullptr) XFree(children);
}

XWindowLock::~XWindowLock() {
  if (display != nullptr) XUNLOCK();
}
