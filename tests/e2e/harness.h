// The end-to-end harness: a private X server, a private copy of the game
// folder, the game started in it, keys sent with xdotool and screenshots read
// back through Xlib. Every process started here is ended by its own pid when
// its owner goes out of scope, whether the scenario passed, failed or threw.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image.h"

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// Polls pred every `every` until it holds or timeout passes; returns its last answer.
bool wait_until(const std::function<bool()>& pred, Millis timeout, Millis every = Millis(40));

// A child process owned by this object: the destructor sends SIGTERM, then
// SIGKILL if it has not ended within a second, and reaps it.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(); }

  // Starts argv[0] (searched in the test's PATH) with the given environment;
  // cwd empty keeps the test's. Output files empty mean /dev/null. A file
  // descriptor without close-on-exec stays open in the child.
  void start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& cwd, const std::string& out_path, const std::string& err_path);

  pid_t pid() const { return pid_; }
  bool running();
  // The exit status once the process has ended by itself within timeout
  // (a signal death gives 128 + signal); nothing if it is still running.
  std::optional<int> wait_exit(Millis timeout);
  void stop();

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

std::vector<std::string> current_environment();
// The test's own environment with DISPLAY replaced.
std::vector<std::string> environment_with_display(const std::string& display);

// Runs a short helper command (xdotool) to its end; returns its exit status.
int run_command(const std::vector<std::string>& argv, const std::vector<std::string>& env);

// An Xvfb server on a display number it picks itself (-displayfd), so
// parallel scenarios never race for one. GLX is switched on for the
// OpenGL renderer.
class XServer {
 public:
  XServer(int depth, const std::string& log_path, int width = 1280, int height = 1024);
  const std::string& display() const { return display_; }

 private:
  ChildProcess process_;
  std::string display_;
};

struct GameWindow {
  unsigned long id = 0;
  std::string title;
  int width = 0, height = 0;
  int depth = 0;           // bits per pixel of the window's visual
  std::string class_name;  // the class half of WM_CLASS, which desktops match entries by
};

// One Xlib connection to the scenario's server, for finding the game's window
// and reading its pixels. X errors are recorded, never fatal: the window may
// vanish between two calls while the game restarts or exits.
class XConnection {
 public:
  explicit XConnection(const std::string& display);
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;
  ~XConnection();

  // The mapped top-level window with a title (the game makes exactly one);
  // under a window manager, the titled window inside its frame.
  std::optional<GameWindow> find_window();
  // Where the window's top-left corner is on the screen.
  std::pair<int, int> position(const GameWindow& w);
  // Makes and shows an untitled window of the scenario's own (find_window
  // never takes it for the game's), to hand the focus to; returns its id.
  unsigned long open_other_window(int x, int y, int width, int height);
  // The window's pixels as RGB, empty when the window is gone.
  Image grab(const GameWindow& w);
  // How many times a top-level window has been mapped since this connection
  // opened: a restart of the game shows up as one more.
  int windows_mapped();
  // Asks the window to close, as the close button of its title bar does.
  void press_close_button(const GameWindow& w);
  void* raw() { return display_; }  // the Display*, for a scenario's own requests

 private:
  void* display_ = nullptr;
  int mapped_ = 0;  // Display*, kept opaque so Xlib's macros stay out of the tests
};

// A fresh copy of the assembled game folder in a temporary directory, without
// the shipped campaign.toml (the first level alone, by the plain rules);
// removed again at the end of the scenario.
class GameFolder {
 public:
  GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;
  ~GameFolder();

  const std::filesystem::path& path() const { return path_; }
  // The temporary directory around the copy; logs go here, outside the game's folder.
  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path file(const std::string& name) const { return path_ / name; }
  void write(const std::string& name, const std::string& bytes) const;
  // Writes a level's script source as `name` and assembles it into
  // level1.wif against the folder's enemy.eif, as the build does; returns the
  // assembler's exit status.
  int write_first_level(const std::string& name, const std::string& source) const;
  std::string read(const std::string& name) const;
  void remove(const std::string& name) const;

 private:
  std::filesystem::path root_;
  std::filesystem::path path_;
};

// Everything one scenario runs against: its folder, its X server, its X
// connection and the game. Members are declared so that the game is ended
// first, then the connection, then the server, then the folder is removed.
class Session {
 public:
  explicit Session(int depth = 24, int width = 1280, int height = 1024);
  ~Session();

  // Starts a window manager (openbox) on the scenario's server and waits
  // until it frames windows mapped on it.
  void start_window_manager();
  XConnection& x() { return *x_; }
  const std::string& display() const { return display_; }
  // Ends the X server under the game, closing the scenario's own connection
  // first; from here on shots are empty and windows absent.
  void end_server();

  GameFolder folder;

  // Starts the game in the folder, with DISPLAY set and no xmessage on PATH,
  // so that Allegro's messages go to the output files instead of a box. HOME
  // is the folder's root; ALSA reads its ".asoundrc" (a working device that
  // plays into /dev/null unless the scenario wrote its own, see
  // alsa_file_device). extra_env adds NAME=value pairs.
  void start_game(const std::vector<std::string>& extra_env = {});
  // Starts argv (an absolute path first) in cwd with HOME set to home, and
  // DISPLAY, PATH and ".asoundrc" as start_game gives them.
  void start_program(const std::vector<std::string>& argv, const std::string& cwd,
                     const std::string& home, const std::vector<std::string>& extra_env = {});
  ChildProcess& game() { return game_; }
  std::optional<int> wait_exit(Millis timeout) { return game_.wait_exit(timeout); }

  // Waits for the game window (and moves the pointer into it, which gives it
  // the keyboard focus: no window manager runs).
  std::optional<GameWindow> wait_window(Millis timeout);
  std::optional<GameWindow> window() { return x_ ? x_->find_window() : std::nullopt; }
  int windows_mapped() { return x_->windows_mapped(); }
  void press_close_button(const GameWindow& w) { x_->press_close_button(w); }
  // Screenshot of the game window; empty when there is none.
  Image shot();
  // Polls screenshots until pred holds for one and returns it; nothing on a
  // timeout. Each result is kept (see keep_shot) as screen-N or timeout-N.
  std::optional<Image> wait_for_screen(const std::function<bool(const Image&)>& pred,
                                       Millis timeout, Millis every = Millis(40));

  // Key presses through xdotool, named as xdotool names them ("Up", "Return").
  void keys(const std::vector<std::string>& names);
  void key_down(const std::string& name);
  void key_up(const std::string& name);

  std::string game_stdout() const;
  std::string game_stderr() const;
  // Keeps a screenshot as <name>.ppm when MIRVO_E2E_SHOTS names a folder.
  void keep_shot(const Image& img, const std::string& name) const;

 private:
  std::optional<XServer> server_;
  std::optional<XConnection> x_;
  ChildProcess window_manager_;
  ChildProcess game_;
  std::string display_;
  int shots_ = 0;
};

// ALSA configurations for a scenario's ".asoundrc": a device that works and
// writes everything played to `out` (raw, as Allegro's mixer gives it), or a
// default device on a card that does not exist.
std::string alsa_file_device(const std::string& out);
std::string alsa_missing_device();

// The whole of a file, empty when it cannot be read.
std::string file_text(const std::filesystem::path& p);

// Where the assembled game lives (the build's game folder).
std::filesystem::path game_dir();
