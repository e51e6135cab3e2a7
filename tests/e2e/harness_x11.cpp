// The end-to-end harness's X side: a private Xvfb that reports its display
// number, and the Xlib connection that finds the game's window, presses its
// close button and reads screenshots back.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

#include "harness.h"

// ---- X server ----------------------------------------------------------------

XServer::XServer(int depth, const std::string& log_path, int width, int height) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  // The write end must survive the exec so Xvfb can report its display number.
  fcntl(fds[1], F_SETFD, 0);
  const std::string screen =
      std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
  try {
    process_.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                    "-nolisten", "tcp", "+extension", "GLX", "-noreset"},
                   current_environment(), "", "", log_path);
  } catch (...) {
    close(fds[0]);
    close(fds[1]);
    throw;
  }
  close(fds[1]);

  std::string number;
  const auto end = std::chrono::steady_clock::now() + 15s;
  while (number.empty() || number.back() != '\n') {
    const auto left =
        std::chrono::duration_cast<Millis>(end - std::chrono::steady_clock::now()).count();
    pollfd p{fds[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  if (number.empty() || number.back() != '\n')
    throw std::runtime_error("Xvfb did not report a display number (see " + log_path + ")");
  number.pop_back();
  display_ = ":" + number;
}

// ---- X connection ----------------------------------------------------------

namespace {

// Errors such as BadWindow for a window that has just gone are expected while
// the game restarts or exits; the caller sees an empty result instead.
int ignore_x_error(Display*, XErrorEvent*) {
  return 0;
}

Display* dpy(void* d) {
  return static_cast<Display*>(d);
}

std::uint8_t channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const unsigned long max = mask >> shift;
  return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

XConnection::XConnection(const std::string& display) {
  XSetErrorHandler(ignore_x_error);
  wait_until(
      [&] {
        display_ = XOpenDisplay(display.c_str());
        return display_ != nullptr;
      },
      10000ms);
  if (!display_) throw std::runtime_error("cannot connect to the X server " + display);
  Display* d = dpy(display_);
  // A held key must not repeat: Escape is held until play has given way to
  // the menu, and a repeat would reach the menu as a second Escape.
  XKeyboardControl no_repeat;
  no_repeat.auto_repeat_mode = AutoRepeatModeOff;
  XChangeKeyboardControl(d, KBAutoRepeatMode, &no_repeat);
  XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
  XSync(d, False);
}

void XConnection::press_close_button(const GameWindow& w) {
  Display* d = dpy(display_);
  // What a window manager sends when the title bar's close button is pressed.
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w.id;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, w.id, False, NoEventMask, &e);
  XSync(d, False);
}

int XConnection::windows_mapped() {
  Display* d = dpy(display_);
  XSync(d, False);
  while (XPending(d) > 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == MapNotify && e.xmap.event == DefaultRootWindow(d)) ++mapped_;
  }
  return mapped_;
}

XConnection::~XConnection() {
  if (display_) XCloseDisplay(dpy(display_));
}

namespace {

// The first viewable window with a title among parent's children, looking
// one level further into untitled ones (a window manager's frames).
std::optional<GameWindow> titled_child(Display* d, Window parent_window, int levels) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, parent_window, &root, &parent, &children, &count)) return std::nullopt;
  std::optional<GameWindow> found;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(d, children[i], &attrs) || attrs.map_state != IsViewable) continue;
    char* name = nullptr;
    if (!XFetchName(d, children[i], &name) || !name) {
      if (levels > 1) found = titled_child(d, children[i], levels - 1);
      continue;
    }
    found = GameWindow{children[i], name, attrs.width, attrs.height, attrs.depth, ""};
    XClassHint hint{};
    if (XGetClassHint(d, children[i], &hint)) {
      if (hint.res_class) found->class_name = hint.res_class;
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    XFree(name);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

std::optional<GameWindow> XConnection::find_window() {
  Display* d = dpy(display_);
  return titled_child(d, DefaultRootWindow(d), 2);
}

std::pair<int, int> XConnection::position(const GameWindow& w) {
  Display* d = dpy(display_);
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, w.id, DefaultRootWindow(d), 0, 0, &x, &y, &child);
  return {x, y};
}

unsigned long XConnection::open_other_window(int x, int y, int width, int height) {
  Display* d = dpy(display_);
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0,
                                       BlackPixel(d, 0), WhitePixel(d, 0));
  XMapWindow(d, w);
  XSync(d, False);
  return w;
}

Image XConnection::grab(const GameWindow& w) {
  Display* d = dpy(display_);
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(d, w.id, &attrs) || attrs.map_state != IsViewable) return {};
  XImage* xi = XGetImage(d, w.id, 0, 0, static_cast<unsigned>(attrs.width),
                         static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
  if (!xi) return {};
  Image img;
  img.width = attrs.width;
  img.height = attrs.height;
  img.pixels.resize(static_cast<std::size_t>(img.width) * img.height);
  const unsigned long rm = attrs.visual->red_mask, gm = attrs.visual->green_mask,
                      bm = attrs.visual->blue_mask;
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const unsigned long p = XGetPixel(xi, x, y);
      img.pixels[static_cast<std::size_t>(y) * img.width + x] =
          Rgb{channel(p, rm), channel(p, gm), channel(p, bm)};
    }
  XDestroyImage(xi);
  return img;
}
