// Reaching the game's X window through Allegro's X11 port.
#include <allegro.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xalleg.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <thread>

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

namespace {

// Written in full at start-up: the leaving paths below take no lock and
// allocate nothing, since the thread they run on may hold Xlib's lock or
// Allegro's.
char lost_line[160];
int lost_length = 0;

// Xlib's handler and the watcher may both see the loss: the first writes
// the line and ends the process; the other waits for that end, since
// leaving at once could cut the line short and returning would run exit().
std::atomic<bool> leaving{false};
static_assert(std::atomic<bool>::is_always_lock_free);

[[noreturn]] void leave_for_lost_display() {
  if (leaving.exchange(true))
    for (;;) pause();
  // Nothing of the player's is left unsaved: every file is written whole.
  [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, lost_line, lost_length);
  _exit(1);
}

int lost_display(Display*) {
  leave_for_lost_display();
}

// Mesa's direct-rendering paths talk to the server through XCB on their
// own, and may meet a lost connection without Xlib's handler ever running;
// a hang-up of the socket itself is seen here whatever the game is doing.
std::thread watcher;
int watched_fd = -1;  // a duplicate of the connection's socket
int wake_fd = -1;     // an eventfd that asks the watcher to return

void watch(int socket, int wake) {
  pollfd fds[2] = {{socket, POLLRDHUP, 0}, {wake, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0) leave_for_lost_display();
  }
}

}  // namespace

void watch_display() {
  if (_xwin.display == nullptr) return;
  const int n = std::snprintf(lost_line, sizeof lost_line, "Mirvo: lost the X display \"%s\"\n",
                              DisplayString(_xwin.display));
  lost_length = n < 0 ? 0 : n < static_cast<int>(sizeof lost_line) ? n : sizeof lost_line - 1;
  XSetIOErrorHandler(lost_display);
  stop_watching_display();
  watched_fd = fcntl(ConnectionNumber(_xwin.display), F_DUPFD_CLOEXEC, 0);
  wake_fd = eventfd(0, EFD_CLOEXEC);
  if (watched_fd >= 0 && wake_fd >= 0) watcher = std::thread(watch, watched_fd, wake_fd);
}

void stop_watching_display() {
  if (watcher.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wake_fd, &one, sizeof one);
    watcher.join();
  }
  // The duplicate would keep the connection open past Allegro's close.
  for (int* fd : {&watched_fd, &wake_fd}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
}
