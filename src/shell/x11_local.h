// The X window Allegro's X11 port shows the game in (the plain window or the
// OpenGL one), for the window-manager requests neither library makes.
#pragma once

struct _XDisplay;  // Xlib's Display

// Holds Allegro's X lock while it lives, so Allegro's own X thread never talks
// to the server in the middle of our requests. display is null (and nothing
// is locked) when Allegro has no X connection (another system driver);
// window is 0 until a graphics mode has made the window.
//
// window is the top-level window the window manager sees: the plain driver
// draws into a child of its managed window, AllegroGL into its own top-level
// window.
class XWindowLock {
 public:
  XWindowLock();
  ~XWindowLock();
  XWindowLock(const XWindowLock&) = delete;
  XWindowLock& operator=(const XWindowLock&) = delete;

  _XDisplay* display = nullptr;
  unsigned long window = 0;  // an X Window id
  unsigned long root = 0;    // the root window of the window's screen
};

// A lost X connection (the server ended, a session logged out, an ssh link
// dropped) ends the program at once: one line on standard error naming the
// display, status 1. Xlib's own handler would run exit(), whose handlers
// close Allegro under locks its X thread holds, and hang. Call after every
// install_allegro; stop_watching_display before Allegro closes the connection.
void watch_display();
void stop_watching_display();
