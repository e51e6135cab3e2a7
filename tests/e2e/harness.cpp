#include "harness.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

bool wait_until(const std::function<bool()>& pred, Millis timeout, Millis every) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(every);
  }
}

// ---- processes -------------------------------------------------------------

namespace {

std::vector<char*> c_strings(const std::vector<std::string>& v) {
  std::vector<char*> out;
  for (const std::string& s : v) out.push_back(const_cast<char*>(s.c_str()));
  out.push_back(nullptr);
  return out;
}

int status_code(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

void ChildProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& cwd, const std::string& out_path,
                         const std::string& err_path) {
  stop();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const int out_flags = O_WRONLY | O_CREAT | O_TRUNC;
  posix_spawn_file_actions_addopen(&actions, 1, out_path.empty() ? "/dev/null" : out_path.c_str(),
                                   out_flags, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.empty() ? "/dev/null" : err_path.c_str(),
                                   out_flags, 0644);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

  // The child starts with default signal handling and nothing blocked,
  // whatever the test runner has set up for itself.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGTERM, SIGINT, SIGPIPE, SIGCHLD, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> args = c_strings(argv);
  std::vector<char*> envp = c_strings(env);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
  pid_ = pid;
  status_.reset();
}

bool ChildProcess::running() {
  return pid_ > 0 && !wait_exit(0ms).has_value();
}

std::optional<int> ChildProcess::wait_exit(Millis timeout) {
  if (status_) return status_;
  if (pid_ <= 0) return std::nullopt;
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      status_ = status_code(status);
      return status_;
    }
    if (r < 0) {  // not our child any more: nothing to wait for
      status_ = -1;
      return status_;
    }
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(20ms);
  }
}

void ChildProcess::stop() {
  if (pid_ <= 0) return;
  if (!status_) {
    kill(pid_, SIGTERM);
    if (!wait_exit(1000ms)) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  pid_ = -1;
  status_.reset();
}

std::vector<std::string> current_environment() {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  return env;
}

std::vector<std::string> environment_with_display(const std::string& display) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
  env.push_back("DISPLAY=" + display);
  return env;
}

int run_command(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  ChildProcess p;
  p.start(argv, env, "", "", "");
  const std::optional<int> status = p.wait_exit(10000ms);
  if (!status) throw std::runtime_error(argv[0] + " did not finish within 10 s");
  return *status;
}

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

// ---- game folder -------------------------------------------------------------

fs::path game_dir() {
  if (const char* env = std::getenv("MIRVO_GAME_DIR")) return env;
  return MIRVO_GAME_DIR;
}

GameFolder::GameFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mirvo-e2e-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  root_ = pattern;
  path_ = root_ / "game";
  fs::create_directory(path_);
  const fs::path source = game_dir();
  if (!fs::exists(source / "mirvo"))
    throw std::runtime_error("the game is not built: " + (source / "mirvo").string() +
                             " is missing");
  for (const fs::directory_entry& e : fs::directory_iterator(source)) {
    // A configuration left by someone playing in the build folder must not leak in.
    if (!e.is_regular_file() || e.path().filename() == "mirvo.cfg") continue;
    fs::copy_file(e.path(), path_ / e.path().filename());
  }
}

GameFolder::~GameFolder() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

void GameFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream(path_ / name, std::ios::binary | std::ios::trunc) << bytes;
}

std::string GameFolder::read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void GameFolder::remove(const std::string& name) const {
  fs::remove(path_ / name);
}

// ---- session -------------------------------------------------------------------

std::string alsa_file_device(const std::string& out) {
  return "pcm.!default { type file; slave.pcm \"null\"; file \"" + out + "\"; format \"raw\" }\n";
}

std::string alsa_missing_device() {
  return "pcm.!default { type hw; card 99 }\n";
}

Session::Session(int depth, int width, int height) {
  server_.emplace(depth, (folder.root() / "xvfb.log").string(), width, height);
  display_ = server_->display();
  x_.emplace(display_);
}

Session::~Session() {
  game_.stop();
  window_manager_.stop();
  x_.reset();
  server_.reset();
}

void Session::start_window_manager() {
  // Its own HOME, so no desktop's openbox settings leak in.
  std::vector<std::string> env = environment_with_display(display_);
  env.push_back("HOME=" + folder.root().string());
  window_manager_.start({"openbox"}, env, "", "", (folder.root() / "openbox.log").string());
  Display* d = static_cast<Display*>(x_->raw());
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  const bool up = wait_until(
      [&] {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const bool found =
            XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, AnyPropertyType, &type,
                               &format, &count, &after, &data) == Success &&
            count == 1;
        if (data) XFree(data);
        return found || !window_manager_.running();
      },
      10000ms);
  if (!up || !window_manager_.running())
    throw std::runtime_error("openbox did not start (see openbox.log)");
}

void Session::start_game(const std::vector<std::string>& extra_env) {
  start_program({(folder.path() / "mirvo").string()}, folder.path().string(),
                folder.root().string(), extra_env);
}

void Session::start_program(const std::vector<std::string>& argv, const std::string& cwd,
                            const std::string& home, const std::vector<std::string>& extra_env) {
  // Without a configuration of the scenario's own, the game has a working
  // sound device, as on a player's machine, so the music's feeder thread runs:
  // ALSA's file plugin, writing to /dev/null. A desktop's card stays quiet.
  // That device takes samples as fast as they come, not at a clock's pace.
  const fs::path asoundrc = fs::path(home) / ".asoundrc";
  if (!fs::exists(asoundrc)) std::ofstream(asoundrc) << alsa_file_device("/dev/null");
  std::vector<std::string> env = {"DISPLAY=" + display_, "PATH=/nonexistent", "HOME=" + home};
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  game_.start(argv, env, cwd, (folder.root() / "stdout.txt").string(),
              (folder.root() / "stderr.txt").string());
}

std::optional<GameWindow> Session::wait_window(Millis timeout) {
  std::optional<GameWindow> w;
  wait_until(
      [&] {
        w = x_->find_window();
        return w.has_value() || !game_.running();
      },
      timeout);
  if (w) run_command({"xdotool", "mousemove", "160", "200"}, environment_with_display(display_));
  return w;
}

Image Session::shot() {
  const std::optional<GameWindow> w = x_->find_window();
  return w ? x_->grab(*w) : Image{};
}

std::optional<Image> Session::wait_for_screen(const std::function<bool(const Image&)>& pred,
                                              Millis timeout, Millis every) {
  Image last;
  const bool ok = wait_until(
      [&] {
        last = shot();
        return !last.empty() && pred(last);
      },
      timeout, every);
  keep_shot(last, (ok ? "screen-" : "timeout-") + std::to_string(++shots_));
  if (ok) return last;
  return std::nullopt;
}

void Session::keys(const std::vector<std::string>& names) {
  std::vector<std::string> argv = {"xdotool", "key", "--delay", "60"};
  argv.insert(argv.end(), names.begin(), names.end());
  run_command(argv, environment_with_display(display_));
}

void Session::key_down(const std::string& name) {
  run_command({"xdotool", "keydown", name}, environment_with_display(display_));
}

void Session::key_up(const std::string& name) {
  run_command({"xdotool", "keyup", name}, environment_with_display(display_));
}

namespace {
std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

std::string Session::game_stdout() const {
  return slurp(folder.root() / "stdout.txt");
}
std::string Session::game_stderr() const {
  return slurp(folder.root() / "stderr.txt");
}

void Session::keep_shot(const Image& img, const std::string& name) const {
  const char* dir = std::getenv("MIRVO_E2E_SHOTS");
  if (!dir || !*dir || img.empty()) return;
  save_ppm(img, (fs::path(dir) / (name + ".ppm")).string());
}
