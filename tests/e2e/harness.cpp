// The end-to-end harness's processes, game folder and session; the X server
// and the Xlib connection are in harness_x11.cpp.
#include "harness.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // A configuration left by someone playing in the build folder must not leak
    // in; the shipped campaign neither: a scenario plays the first level alone
    // unless it writes a campaign of its own.
    const fs::path name = e.path().filename();
    if (!e.is_regular_file() || name == "mirvo.cfg" || name == "campaign.toml") continue;
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

int GameFolder::write_first_level(const std::string& name, const std::string& source) const {
  write(name, source);
  return run_command({MIRVO_ASM, "--enemies", file("enemy.eif").string(), "-o",
                      file("level1.wif").string(), file(name).string()},
                     current_environment());
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

void Session::end_server() {
  x_.reset();
  server_.reset();
}

namespace {

bool has_frame(Display* d, Window w) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(d, w, &root, &parent, &children, &count) == 0) return false;
  if (children) XFree(children);
  return parent != root;
}

// openbox announces itself on the root window before its event loop runs and
// may take events off the connection in that gap, then sleep on them: a game
// mapped then waits, unseen, for the next event to reach the manager. So a
// probe window is mapped and the manager nudged with root property changes
// until it frames the probe; from then on it answers every map request.
bool wait_until_managing(Display* d, ChildProcess& manager) {
  const Window root = DefaultRootWindow(d);
  const Window probe = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
  XMapWindow(d, probe);
  const Atom nudge = XInternAtom(d, "_MIRVO_E2E_NUDGE", False);
  const unsigned char byte = 0;
  const bool framed = wait_until(
      [&] {
        XChangeProperty(d, root, nudge, XA_STRING, 8, PropModeReplace, &byte, 1);
        XSync(d, False);
        return has_frame(d, probe) || !manager.running();
      },
      10000ms, 50ms);
  XDestroyWindow(d, probe);
  XDeleteProperty(d, root, nudge);
  XSync(d, False);
  return framed && manager.running();
}

}  // namespace

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
  if (!up || !window_manager_.running() || !wait_until_managing(d, window_manager_))
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
  const std::optional<GameWindow> w = window();
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

std::string file_text(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Session::game_stdout() const {
  return file_text(folder.root() / "stdout.txt");
}
std::string Session::game_stderr() const {
  return file_text(folder.root() / "stderr.txt");
}

void Session::keep_shot(const Image& img, const std::string& name) const {
  const char* dir = std::getenv("MIRVO_E2E_SHOTS");
  if (!dir || !*dir || img.empty()) return;
  save_ppm(img, (fs::path(dir) / (name + ".ppm")).string());
}
