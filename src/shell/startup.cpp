// Start-up and shutdown: Allegro, the timers, the settings, the window and
// every resource that lives from one start-up to the next shutdown.
#include <alleggl.h>
#include <allegro.h>
#include <unistd.h>
#include <xalleg.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "content/content.h"
#include "mask/mask.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"
#include "shell/x11_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// 11931 ticks of the 1.193 MHz timer clock: 100 calls per second.
constexpr long TICK_PERIOD = 11931;
static_assert(TICK_PERIOD == BPS_TO_TIMER(TICKS_PER_SECOND));

// Allegro's own exit handler, which closes Allegro (and removes the sound).
void (*close_allegro)() = nullptr;

// Every exit() after the first start-up runs this, the fatal paths included
// (shut_down does not run there). Order matters: the music feeder still
// fills Allegro's streams, so it is stopped first; the message a fatal path
// printed is flushed next, so nothing Allegro does afterwards can lose it;
// then Allegro closes; static objects go only after all of this.
void leave_cleanly() {
  release_music();
  std::fflush(stdout);
  stop_watching_display();
  if (close_allegro != nullptr) close_allegro();
}

// Given to install_allegro instead of atexit: Allegro's handler is run by
// ours, never on its own. Allegro asks once per process, at its first start.
int run_at_exit(void (*handler)()) {
  const bool first = close_allegro == nullptr;
  close_allegro = handler;
  return first ? std::atexit(leave_cleanly) : 0;
}

// Ctrl+C in a terminal, the SIGHUP of a logout or a kill ends the game at
// once with status 0. Allegro's own handler closes Allegro inside the
// signal, under its X thread and the music feeder, and can hang there for
// ever; a flag for the main loop to read is no better when the main thread
// is itself stuck. Nothing of the player's is unsaved (every file is
// written whole), so leaving without any shutdown loses nothing.
void quit_on_signal(int) {
  _exit(0);
}

// After install_allegro, which puts Allegro's handlers in place each time.
// Ctrl+\ dumps core as usual, without Allegro's shutdown inside the signal.
// A write to a closed socket (the X server's) fails instead of killing the
// program, so a lost display ends through the lost-display path.
void quit_on_signals() {
  struct sigaction action {};
  action.sa_handler = quit_on_signal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGQUIT, SIG_DFL);
  std::signal(SIGPIPE, SIG_IGN);
}

void read_settings() {
  use_settings_file();
  settings = settings_from_config();
  renderer = settings.renderer != 0 ? Renderer::OpenGL : Renderer::Software;
  // From here on scale says what the window really is.
  settings.scale = window_doubled(settings.renderer, settings.scale);
  scale = settings.scale;
  screen_effects = settings.screen_effects;
  show_fps = settings.show_fps;
  set_sound_levels(settings.music_volume, settings.effects_volume);
}

void set_up_software_window() {
  if (settings.full_screen != 0 && set_up_full_screen_window(GFX_AUTODETECT_WINDOWED)) {
    clear_to_color(screen, makecol(0, 0, 0));  // the bars around the frame
    return;
  }
  const int w = scale == 1 ? 2 * PLAYFIELD_W : PLAYFIELD_W;
  const int h = scale == 1 ? 2 * PLAYFIELD_H : PLAYFIELD_H;
  if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, w, h, 0, 0) != 0)
    fatal_error("Error initializing graphics mode: %s\n", allegro_error);
}

}  // namespace

std::string allegro_failure_reason(const char* allegro_reason, const char* display) {
  if (allegro_reason != nullptr && allegro_reason[0] != '\0') return allegro_reason;
  if (display == nullptr || display[0] == '\0')
    return "no X display could be opened (DISPLAY is not set)";
  return std::string("no X display could be opened (DISPLAY is \"") + display + "\")";
}

// Brings up everything in a fixed order, or shows why it cannot and ends the
// process with status 1 (the program's own shutdown does not run then).
void start_up() {
  // The X window Allegro makes as it starts gets the class the desktop entry
  // names (StartupWMClass), so a desktop shows the game's icon for it.
  xwin_set_window_name("mirvo", "Mirvo");
  if (install_allegro(SYSTEM_AUTODETECT, &errno, run_at_exit) != 0)
    fatal_error("Error initializing Allegro: %s\n",
                allegro_failure_reason(allegro_error, std::getenv("DISPLAY")).c_str());
  close_requested = 0;
  quit_on_signals();
  watch_display();
  install_keyboard();
  install_timer();
  install_joystick(JOY_TYPE_AUTODETECT);
  install_int_ex(tick_timer, TICK_PERIOD);
  install_int(fps_timer, 1000);
  read_settings();
  if (settings.sound != 0) {
    start_sound("sound.dat");
    load_music();
  }
  seed_world_random(static_cast<std::uint32_t>(std::time(nullptr)));
  set_color_depth(desktop_color_depth());

  screen_fit = {};
  // Before the mode: the OpenGL driver names its own window when it makes it.
  set_window_title("Mirvo");
  if (renderer == Renderer::Software) {
    set_up_software_window();
    // Full screen, the frame is drawn as in the plain window and scaled on its way to the screen.
    back_buffer = screen_fit.factor > 0 ? create_bitmap(PLAYFIELD_W, PLAYFIELD_H)
                                        : create_bitmap(SCREEN_W, SCREEN_H);
    if (back_buffer == nullptr) {
      fatal_error("Error creating the frame buffer\n");
    }
  } else {
    set_up_opengl();
  }
  set_close_button_callback(close_button_pressed);
  // In the background the program runs on and is told of the switch; play
  // then holds still by itself.
  window_focused = 1;
  set_display_switch_mode(SWITCH_BACKGROUND);
  set_display_switch_callback(SWITCH_OUT, focus_lost);
  set_display_switch_callback(SWITCH_IN, focus_gained);
  set_window_icon();

  load_game_data();

  put_ship_at_start();
  in_menu = 1;
  game_running = 0;
  free_all_particles();
}

// The OpenGL window: a 32-bit colour buffer is suggested, not required.
void set_up_opengl() {
  install_allegro_gl();
  allegro_gl_set(AGL_COLOR_DEPTH, 32);
  allegro_gl_set(AGL_SUGGEST, AGL_COLOR_DEPTH);
  if (settings.full_screen == 0 || !set_up_full_screen_window(GFX_OPENGL_WINDOWED)) {
    const int w = scale == 0 ? PLAYFIELD_W : 2 * PLAYFIELD_W;
    const int h = scale == 0 ? PLAYFIELD_H : 2 * PLAYFIELD_H;
    if (set_gfx_mode(GFX_OPENGL_WINDOWED, w, h, 0, 0) != 0)
      fatal_error("Error initializing graphics mode: %s\n", allegro_error);
  }
  allegro_gl_set_texture_format(GL_RGB8);
  glEnable(GL_TEXTURE_2D);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  if (screen_fit.factor > 0) make_full_screen_texture();
}

// Releases every resource of the run and closes Allegro. Each pointer is set
// to null as it goes, so a later start-up, level load or shutdown never
// releases anything twice. Textures go with the OpenGL context.
void shut_down() {
  release_music();
  stop_sound();
  if (back_buffer != nullptr) destroy_bitmap(back_buffer);
  back_buffer = nullptr;
  if (game_data != nullptr) unload_datafile(game_data);
  game_data = nullptr;
  release_enemy_types();
  release_shot_types();
  destroy_mask(player.mask);
  player.mask = nullptr;
  for (Animation& picture : item_pictures) {
    destroy_mask(picture.mask);
    picture.mask = nullptr;
  }
  // While the context is still up: a texture name kept past it could later
  // delete a texture the next context gave the same name.
  release_level_graphics();
  remove_allegro_gl();
  stop_watching_display();
  allegro_exit();
}
