// A stretch of play: the new-game reset and the fixed-rate loop that runs
// logic ticks as they fall due and draws as fast as it can, or, with the frame
// cap, once after each catch-up.
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "content/content.h"
#include "render/render.h"
#include "script/script.h"
#include "shell/replays_local.h"
#include "shell/screens_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

// The game's levels and how far this game has come; Start reads the campaign
// anew, so an edited campaign.toml plays at the next Start.
Campaign campaign;
CampaignProgress progress;
// An author's level or campaign from the command line, played instead.
std::optional<CommandCampaign> command_campaign;

// What the screens around play count, under rules that end games: ticks
// since the game was lost, ticks the shown tally has run, and the continues
// this game has used.
int lost_ticks = 0;
int tally_ticks = 0;
int continues_used = 0;

// Whether this level's boss warning has come: its boss track plays from then
// on. The track play heard last, so a newly due boss track or jingle starts
// from its beginning.
bool boss_warned = false;
MusicTrack play_heard = MUSIC_NONE;

// The game's recording, under rules that end games: made while recording_on,
// from the first tick of a new game or of a take-over. A continue marks the
// tick after it, on which playback takes the continue again.
Recording recording;
bool recording_on = false;
bool continue_pending = false;

// Why the last reload on save failed; "" after a good one.
std::string reload_problem;

// The lost game's message shows this long (3 s) before the game-over screen.
constexpr int GAME_OVER_DELAY_TICKS = 300;

// The level's tracks, from its start: every way into a level comes here.
// The campaign is the one being played, which need not be the menus' own.
void choose_level_music(const Campaign& played, int level) {
  const CampaignLevel& l = played.levels[static_cast<std::size_t>(level)];
  // The jingles and the ending exist only under rules that end games.
  const bool ends = played.rules.game_ends;
  for (MusicTrack t : {MUSIC_PLAY, MUSIC_BOSS, MUSIC_CLEAR, MUSIC_GAME_OVER, MUSIC_ENDING})
    choose_music(t, t == MUSIC_PLAY || t == MUSIC_BOSS || ends ? level_track_file(t, l) : "");
  rewind_music(MUSIC_PLAY);
  boss_warned = false;
  play_heard = MUSIC_NONE;
}

}  // namespace

// A boss track or jingle newly called for starts from its beginning; the
// level's own track goes on where it was.
void follow_level_music() {
  const MusicTrack now =
      level_track(campaign.rules, campaign.levels[static_cast<std::size_t>(progress.level)],
                  progress.cleared, boss_warned);
  if (now != play_heard && now != MUSIC_PLAY) rewind_music(now);
  play_heard = now;
  play_music(now);
}

namespace {

// Every file of every level is checked before the first one starts, so a
// broken campaign never ends a game midway. Without a campaign file the
// campaign is the one level Start names, "level1.wif".
void check_campaign() {
  if (!command_campaign) {
    campaign = load_campaign();
  } else {
    campaign = command_campaign->campaign;
    if (command_campaign->one_level) campaign.rules = load_campaign().rules;
  }
  // The difficulty Start asked for, under rules that choose one; the plain rules stay as they are.
  campaign.rules = rules_at_difficulty(campaign.rules, settings.difficulty);
  if (const std::string why = campaign_problem(campaign); !why.empty()) {
    fatal_error("%s", why.c_str());
  }
}

// Seconds since `began`, for the author's lines on standard error.
double seconds_since(std::chrono::steady_clock::time_point began) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

// The first entry of a new game: the campaign read and checked, a fresh
// timeline and the first level's content with its music. Ticks that pass
// while loading are run at once before the first frame.
void start_level() {
  check_campaign();
  tick_count = 0;
  choose_level_music(campaign, 0);
  const bool practice = command_campaign.has_value();
  if (!campaign.rules.game_ends && !practice) {
    load_campaign_level(campaign, 0);
    return;
  }
  // A seed of its own for every game, so no two play alike and each can be
  // played again from its recording (or, with --watch, up to where it stands).
  const auto now = std::chrono::system_clock::now().time_since_epoch().count();
  const auto seed = static_cast<std::uint32_t>(now ^ (now >> 32));
  const int start_tick = practice ? command_campaign->start_tick : 0;
  const auto began = std::chrono::steady_clock::now();
  start_game(campaign, progress, seed != 0 ? seed : 1, start_tick);
  if (start_tick > 0)
    std::fprintf(stderr, "mirvo: started %.2f s into the level in %.2f s\n",
                 static_cast<double>(start_tick) / TICKS_PER_SECOND, seconds_since(began));
  recording = begin_recording(campaign, seed != 0 ? seed : 1, "player", MIRVO_VERSION);
  recording.practice = practice;
  recording.start_tick = start_tick;
  recording_on = true;
  continue_pending = false;
  reload_problem.clear();
  if (practice && command_campaign->watch) watch_level_files(campaign);
}

}  // namespace

void use_command_campaign(const CommandCampaign& c) {
  command_campaign = c;
  read_folder_campaign();
}

const CommandCampaign* command_line_campaign() {
  return command_campaign ? &*command_campaign : nullptr;
}

void new_game() {
  leave_game();  // a paused game Start replaces
  reset_world_for_new_game();
  progress = CampaignProgress{};
  lost_ticks = 0;
  tally_ticks = 0;
  continues_used = 0;
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

int run_due_ticks(const Campaign& campaign, CampaignProgress& progress) {
  int ran = 0;
  // Re-read before every tick: ticks arriving during a catch-up join it.
  while (tick_count.load() > 0) {
    const TickInput input = read_tick_input();
    if (campaign_tick(campaign, progress, input)) choose_level_music(campaign, progress.level);
    if (recording_on) {
      record_tick(recording, input_bits(input) | (continue_pending ? INPUT_CONTINUE : 0));
      continue_pending = false;
    }
    tick_count.fetch_sub(1);
    ++ran;
  }
  return ran;
}

static void put_line(int row, const char* format, int a = 0, int b = 0) {
  std::snprintf(overlay.text[static_cast<std::size_t>(row)].data(), OVERLAY_TEXT_SIZE, format, a,
                b);
}

// The stage-clear tally over the playfield while a won level waits, its score
// counting up to the one with the bonus; nothing otherwise. Formats into the
// overlay's own buffers, so a frame allocates nothing.
void show_tally() {
  if (!progress.cleared) {
    overlay.lines = 0;
    return;
  }
  const LevelTally& t = progress.tally;
  put_line(0, "Stage clear");
  put_line(1, "Destroyed %d of %d", t.destroyed, t.appeared);
  put_line(2, "Hits taken %d", t.hits);
  put_line(3, "Longest chain x%d", t.max_chain);
  put_line(4, "No-hit bonus %d", progress.bonus);
  put_line(5, "Score %d", counted_score(player.score - progress.bonus, player.score, tally_ticks));
  put_line(6, "Fire to go on");
  overlay.lines = 7;
}

// The count of a tally (fire skips it inside the tick) and of a lost game's
// last seconds after `ran` ticks.
static void count_end_ticks(int ran) {
  tally_ticks = progress.cleared ? tally_ticks + ran : 0;
  if (game_outcome() == GameOutcome::lost) lost_ticks += ran;
}

// Under rules that end games: the counts of count_end_ticks, and whether the
// game has now ended.
static PlayEnd watch_game_end(int ran) {
  count_end_ticks(ran);
  if (!campaign.rules.game_ends) return PLAY_LEFT;
  if (lost_ticks >= GAME_OVER_DELAY_TICKS) return PLAY_LOST;
  const bool last = progress.level + 1 >= static_cast<int>(campaign.levels.size());
  if (last && progress.cleared && (tally_ticks >= TALLY_TICKS || progress.skip_wait))
    return PLAY_WON;
  return PLAY_LEFT;
}

GameSummary game_summary() {
  GameSummary game;
  game.score = player.score;
  game.level = progress.level + 1;
  game.continues_used = continues_used;
  game.continues_left = std::max(0, campaign.rules.continues - continues_used);
  game.campaign = campaign.name;
  game.difficulty = campaign.rules.difficulty;
  return game;
}

// The shell's side of a continue, in a game and in playback alike.
static void count_continue() {
  ++continues_used;
  lost_ticks = 0;
  tally_ticks = 0;
  choose_level_music(campaign, progress.level);
}

void continue_game() {
  count_continue();
  tick_count = 0;
  // Full energy, score 0, the outcome undecided, the level from its start.
  continue_game(campaign, progress);
  continue_pending = recording_on;
}

std::string end_game_recording(GameEnd end) {
  if (!recording_on) return "";
  recording_on = false;
  // An author's game by rules that keep no scores was recorded only for --watch.
  if (!campaign.rules.game_ends) return "";
  finish_recording(recording, end, progress);
  return save_replay(recording);
}

bool recording_is_practice() {
  return recording.practice;
}

void start_watching(const LoadedReplay& replay) {
  leave_game();
  campaign = replay.campaign;
  start_game(campaign, progress, replay.recording.seed, replay.recording.start_tick);
  lost_ticks = 0;
  tally_ticks = 0;
  continues_used = 0;
  tick_count = 0;
  choose_level_music(campaign, 0);
  game_running = 0;  // nothing to resume unless the player takes over
}

void watch_tick(int bits) {
  if ((bits & INPUT_CONTINUE) != 0) count_continue();
  if (replay_tick(campaign, progress, bits)) choose_level_music(campaign, progress.level);
  count_end_ticks(1);
}

void take_over(const Recording& watched, const RecordingCursor& at) {
  // The watched game's header and its input so far, then the player's.
  recording = begin_recording(campaign, watched.seed, "player", MIRVO_VERSION);
  recording.practice = true;
  keep_first_ticks(watched, at.tick, recording);
  recording_on = true;
  continue_pending = false;
  game_running = 1;
}

// --watch: a file the levels read was saved. The levels' files are copied
// and the copies checked as Start checks them; a broken file shows why and
// play goes on with what is loaded. Otherwise the game starts again with its seed and plays the
// input so far at full speed, so the author is back at the same tick with the
// new content (where the new content makes the same input play out otherwise,
// so be it: the new content is what the author came to see).
static void reload_level(std::chrono::steady_clock::time_point saved) {
  reload_problem.clear();
  const Campaign copies = snapshot_campaign(campaign, reload_problem);
  if (reload_problem.empty()) reload_problem = in_original_names(campaign_problem(copies));
  if (!reload_problem.empty()) {
    drop_snapshot();
    std::fprintf(stderr, "mirvo: cannot reload: %s\n", reload_problem.c_str());
    return;
  }
  const Recording played = std::move(recording);
  recording = begin_recording(campaign, played.seed, "player", MIRVO_VERSION);
  recording.practice = true;
  recording.start_tick = played.start_tick;
  const int level_before = progress.level;
  start_game(copies, progress, played.seed, played.start_tick);
  continues_used = lost_ticks = tally_ticks = 0;
  RecordingCursor cursor;
  for (int bits = next_input(played, cursor); bits >= 0; bits = next_input(played, cursor)) {
    if ((bits & INPUT_CONTINUE) != 0) {
      ++continues_used;
      lost_ticks = tally_ticks = 0;
    }
    replay_tick(copies, progress, bits);
    count_end_ticks(1);
    clear_world_events();  // the sounds of ticks already heard
    record_tick(recording, bits);
  }
  drop_snapshot();  // what play needs of the copies is loaded now
  tick_count = 0;   // the ticks the reload took are not played twice
  if (progress.level != level_before) choose_level_music(campaign, progress.level);
  watch_level_files(campaign);  // the enemy file may name other archives now
  // From the save to play going on, as the author waits for it.
  std::fprintf(stderr, "mirvo: reloaded at tick %d in %.2f s\n", played.start_tick + cursor.tick,
               seconds_since(saved));
}

// Runs until Escape (or the window's close button), or until a game under
// rules that end games is over. After Escape the world is left as it is, so
// a later call with game_running 1 resumes it; ticks still pending at Escape
// stay counted for that call.
// The level comes from the campaign, whose one-level form is level_name's
// "level1.wif".
PlayEnd play_level([[maybe_unused]] const char* level_name) {
  if (game_running == 0) start_level();
  game_running = 1;
  follow_level_music();  // from where it was left, unless new_game rewound it
  for (;;) {
    const PassKeys keys = read_pass_keys();
    if (keys.escape || close_requested.load() != 0) {
      // The menus are silent but for their own sounds, Escape the first of them.
      stop_effects();
      play_menu_key(KEY_ESC, false);
      return PLAY_LEFT;
    }
    if (window_focused.load() == 0) {
      hold_while_unfocused();
      continue;
    }
    if (command_campaign && command_campaign->watch)
      if (const auto saved = level_files_saved()) reload_level(*saved);
    const int ran = run_due_ticks(campaign, progress);
    play_world_events();
    follow_level_music();
    if (const PlayEnd end = watch_game_end(ran); end != PLAY_LEFT) {
      overlay.lines = 0;
      stop_effects();
      return end;
    }
    show_tally();
    if (!progress.cleared) show_reload_error(reload_problem);
    // Capped, a frame shows the newest state of the world once, never twice.
    if (settings.frame_cap != 0 && ran == 0) {
      if (keys.screenshot) save_screenshot();  // the frame on screen is the newest
      wait_for_wake();
      continue;
    }
    draw_play_frame();
    if (keys.screenshot) save_screenshot();  // the frame this pass has just shown
  }
}
