// Full screen on an X11 desktop: a window of the desktop's size that asks the
// window manager, through the extended window-manager hints, to show it over
// its monitor without decoration. Allegro's own full-screen drivers need the
// video-mode extension, which today's desktops and Xvfb lack, and grab the
// keyboard.
#include <allegro.h>
// After Allegro: Xlib's macros would otherwise clash with its names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "render/render.h"
#include "shell/shell_local.h"
#include "shell/x11_local.h"

namespace {

// The window manager answers within a few frames; a desktop that has not
// placed the window by then is not going to.
constexpr int PLACEMENT_WAIT_MS = 3000;
constexpr int PLACEMENT_POLL_MS = 20;
constexpr int NET_WM_STATE_ADD = 1;
constexpr int SOURCE_APPLICATION = 1;

Atom atom(Display* display, const char* name) {
  return XInternAtom(display, name, False);
}

// Whether the atom-list property of window holds wanted.
bool property_holds(Display* display, Window window, const char* property, const char* wanted) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, atom(display, property), 0, 1024, False, XA_ATOM, &type,
                         &format, &count, &after, &data) != Success)
    return false;
  bool found = false;
  if (data != nullptr && format == 32) {
    const Atom want = atom(display, wanted);
    const Atom* atoms = reinterpret_cast<const Atom*>(data);  // Xlib hands 32-bit items as longs
    found = std::find(atoms, atoms + count, want) != atoms + count;
  }
  if (data != nullptr) XFree(data);
  return found;
}

// Empty when a window manager that offers full-screen windows is running,
// otherwise why full screen cannot be had. The desktop's size comes with it:
// the root window's (Allegro's own figure is not that under every server).
std::string full_screen_refusal(int& width, int& height) {
  const XWindowLock x;
  if (x.display == nullptr) return "the game is not running on an X11 display";
  if (!property_holds(x.display, x.root, "_NET_SUPPORTED", "_NET_WM_STATE_FULLSCREEN"))
    return "no window manager that offers full-screen windows is running";
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(x.display, x.root, &attributes) == 0)
    return "the desktop's size is unknown";
  width = attributes.width;
  height = attributes.height;
  return "";
}

// Lifts the fixed size Allegro gives its window (a window manager may refuse
// to resize such a window) and asks for full screen the way a pager would.
void request_full_screen() {
  const XWindowLock x;
  if (x.display == nullptr || x.window == 0) return;
  XSizeHints* hints = XAllocSizeHints();
  if (hints != nullptr) {
    hints->flags = 0;
    XSetWMNormalHints(x.display, x.window, hints);
    XFree(hints);
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = x.window;
  event.xclient.message_type = atom(x.display, "_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = NET_WM_STATE_ADD;
  event.xclient.data.l[1] = static_cast<long>(atom(x.display, "_NET_WM_STATE_FULLSCREEN"));
  event.xclient.data.l[3] = SOURCE_APPLICATION;
  XSendEvent(x.display, x.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(x.display);
}

struct WindowSize {
  int width = 0, height = 0;  // 0 x 0: not full screen (yet)
  bool operator==(const WindowSize&) const = default;
};

// The window's size while the window manager shows it full screen.
WindowSize full_screen_size() {
  const XWindowLock x;
  if (x.display == nullptr || x.window == 0) return {};
  if (!property_holds(x.display, x.window, "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN")) return {};
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(x.display, x.window, &attributes) == 0) return {};
  return {attributes.width, attributes.height};
}

// Waits until the window manager has made the window full screen and its
// size has held for a few polls (it may say so before it resizes). The lock
// is let go between polls, so Allegro's X thread handles the events meanwhile.
std::optional<WindowSize> wait_for_placement() {
  WindowSize last;
  int steady = 0;
  for (int waited = 0; waited < PLACEMENT_WAIT_MS; waited += PLACEMENT_POLL_MS) {
    rest(PLACEMENT_POLL_MS);
    const WindowSize now = full_screen_size();
    steady = now.width > 0 && now == last ? steady + 1 : 0;
    last = now;
    if (steady == 3) return now;
  }
  return std::nullopt;
}

bool refuse(const std::string& why) {
  std::fprintf(stderr, "Mirvo: no full screen: %s; the game runs in a window\n", why.c_str());
  return false;
}

}  // namespace

bool set_up_full_screen_window(int card) {
  screen_fit = {};
  int width = 0, height = 0;
  const std::string refusal = full_screen_refusal(width, height);
  if (!refusal.empty()) return refuse(refusal);
  if (set_gfx_mode(card, width, height, 0, 0) != 0) return refuse(allegro_error);
  request_full_screen();
  const std::optional<WindowSize> size = wait_for_placement();
  if (!size) {
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    return refuse("the window manager did not make the window full screen");
  }
  // On a desktop of several monitors the window covers one of them, which
  // may be smaller than the desktop Allegro's screen was made for.
  screen_fit = fit_playfield(std::min(size->width, SCREEN_W), std::min(size->height, SCREEN_H));
  return true;
}
