// A stretch of play: the new-game reset and the fixed-rate loop that runs
// logic ticks as they fall due and draws as fast as it can, or, with the frame
// cap, once after each catch-up.
#include <allegro.h>

#include <cstdlib>
#include <string>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/shell_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// The game's levels and how far this game has come; Start reads the campaign
// anew, so an edited campaign.toml plays at the next Start.
Campaign campaign;
CampaignProgress progress;

// Every file of every level is checked before the first one starts, so a
// broken campaign never ends a game midway. The first level's script file is
// the one Start names ("level1.wif", which a campaign's first level always is).
void check_campaign(const char* first_script) {
  campaign = load_campaign();
  campaign.levels.front().script = first_script;
  if (const std::string why = campaign_problem(campaign); !why.empty()) {
    fatal_error("%s", why.c_str());
  }
}

// The first entry of a new game: the campaign read and checked, a fresh
// timeline and the first level's content with its music. Ticks that pass
// while loading are run at once before the first frame.
void start_level(const char* level_name) {
  check_campaign(level_name);
  tick_count = 0;
  choose_play_music(campaign.levels.front().music);
  load_campaign_level(campaign, 0);
}

}  // namespace

void new_game() {
  reset_world_for_new_game();
  progress = CampaignProgress{};
  rewind_music(MUSIC_PLAY);
  game_running = 0;  // the next play_level loads the level again
}

// The keys of one pass: Escape held down now or tapped since the last pass (a
// tap shorter than one frame leaves key[] up again by the time it is read, but
// not the key buffer), and F12 tapped. The menus clear the buffer on entry,
// so draining it here loses nothing.
struct PassKeys {
  bool escape = false;
  bool screenshot = false;
};

static PassKeys read_pass_keys() {
  PassKeys keys{key[KEY_ESC] != 0};
  while (keypressed()) {
    const int scancode = readkey() >> 8;
    keys.escape = keys.escape || scancode == KEY_ESC;
    keys.screenshot = keys.screenshot || scancode == KEY_F12;
  }
  return keys;
}

static void draw_frame() {
  frame_count.fetch_add(1);
  if (renderer == Renderer::Software)
    render_frame_software();
  else
    render_frame_opengl();
}

// Sleeps until a tick falls due, the focus changes or the window's close
// button is pressed; returns at once when one of them happened since the
// caller looked. The timer counts the ticks, so there is nothing to spin on.
static void wait_for_wake() {
  const unsigned seen = loop_wakes.load();
  if (tick_count.load() > 0 || window_focused.load() == 0 || close_requested.load() != 0) return;
  loop_wakes.wait(seen);
}

// The window has lost the focus: the world, the effects and the music hold
// still until it comes back (no ticks are counted meanwhile, see tick_timer).
// The unchanged frame is drawn again every 100 ms, so a window uncovered
// meanwhile shows it.
static void hold_while_unfocused() {
  pause_effects();
  play_music(MUSIC_NONE);
  for (int pass = 1; window_focused.load() == 0 && close_requested.load() == 0; ++pass) {
    rest(10);
    if (pass % 10 == 0) draw_frame();
  }
  resume_effects();
  play_music(MUSIC_PLAY);
}

int run_due_ticks(const Campaign& campaign, CampaignProgress& progress) {
  int ran = 0;
  // Re-read before every tick: ticks arriving during a catch-up join it.
  while (tick_count.load() > 0) {
    run_tick();
    if (advance_campaign(campaign, progress))
      choose_play_music(campaign.levels[progress.level].music);
    tick_count.fetch_sub(1);
    ++ran;
  }
  return ran;
}

// Runs until Escape (or the window's close button) and returns 0. The world
// is left as it is, so a later call with game_running 1 resumes it; ticks
// still pending at Escape stay counted for that call.
int play_level(const char* level_name) {
  if (game_running == 0) start_level(level_name);
  game_running = 1;
  play_music(MUSIC_PLAY);  // from where it was left, unless new_game rewound it
  for (;;) {
    const PassKeys keys = read_pass_keys();
    if (keys.escape || close_requested.load() != 0) {
      // The menus are silent but for their own sounds, Escape the first of them.
      stop_effects();
      play_menu_key(KEY_ESC, false);
      return 0;
    }
    if (window_focused.load() == 0) {
      hold_while_unfocused();
      continue;
    }
    const int ran = run_due_ticks(campaign, progress);
    play_world_events();
    // Capped, a frame shows the newest state of the world once, never twice.
    if (settings.frame_cap != 0 && ran == 0) {
      if (keys.screenshot) save_screenshot();  // the frame on screen is the newest
      wait_for_wake();
      continue;
    }
    draw_frame();
    if (keys.screenshot) save_screenshot();  // the frame this pass has just shown
  }
}
