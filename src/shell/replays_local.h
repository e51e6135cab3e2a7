// The game's recordings as the shell keeps them: the replays folder and its
// files' names, which files stay, the list the Replays screen shows, and
// playback with its take-over. Every game under rules that end games is
// recorded; recordings are only ever written whole.
#pragma once

#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/content.h"
#include "shell/scores_local.h"

// The newest recordings kept besides every one the score table names.
inline constexpr int KEPT_REPLAYS = 50;
inline constexpr std::string_view REPLAY_SUFFIX = ".mirvo-replay";

// A name the game gives a recording: up to 64 printable bytes without a
// folder part, a leading dot or a quote, ending in REPLAY_SUFFIX. The score
// table names only such files, so it never points outside the folder.
bool replay_name_usable(std::string_view name);
// The name of a recording of a game started at local time `when`:
// "2026-12-09-04-28-29.mirvo-replay"; the n-th (n > 1) in the same second adds "-n".
std::string replay_name(const std::tm& when, int n);
// mirvo/replays in the data home; empty when there is none.
std::string replays_folder();
// Of `names` (the folder's recordings, any order), those to delete: all but
// the newest `kept` by name (a name is its date) and every one in `named`.
std::vector<std::string> replays_to_prune(std::vector<std::string> names,
                                          std::span<const std::string> named,
                                          int kept = KEPT_REPLAYS);
// Writes the recording whole under a new name and returns that name, or ""
// after one line on standard error.
std::string save_replay(const Recording& recording);
// Deletes the recordings replays_to_prune chooses, keeping those `table` names.
void prune_replays(std::span<const ScoreEntry> table);

// One recording of the folder as the list shows it.
struct ReplayListing {
  std::string name;
  Recording recording;  // empty levels when unreadable
  std::string error;    // one line: why it cannot be played; "" when it parses
};
// Every recording of the folder, newest first.
std::vector<ReplayListing> list_replays();
// A recording file read and parsed, and the campaign it plays; an error of
// one line, starting with the file's name, when it cannot be played here
// (unreadable, corrupt, other content).
struct LoadedReplay {
  Recording recording;
  Campaign campaign;
  std::string error;
};
LoadedReplay load_replay(const std::string& path);
// Its two halves: the file read and parsed (no Allegro needed), then the
// campaign found and checked (the level files' archives need Allegro).
LoadedReplay read_replay(const std::string& path);
void find_replay_campaign(LoadedReplay& replay, const std::string& path);
// The list's line for one recording: date, score, level, difficulty and P
// for a practice game, in columns under REPLAY_LIST_HEADING.
inline constexpr const char* REPLAY_LIST_HEADING = "Date                Score Lvl Level   ";
std::string replay_line(const ReplayListing& listing);

// Whether the recording a score entry names proves it: a game of the entry's
// difficulty, not a practice, that verifies to the entry's score. Worked out
// at most once per file in a session, and only when `may_verify` (verifying
// replaces the world, so not while a game is paused); false while unknown.
bool replay_proves(const ScoreEntry& entry, bool may_verify);

// ---- Playback ----

// Why playback ended: left with Escape, or taken over (the game to resume
// is then the practice game from that tick).
enum class PlaybackEnd { left, taken_over };
// Plays a loaded recording in the game window with its sounds: Space pauses,
// Right held runs 4 ticks per tick, Down steps one tick while paused, Escape
// leaves, Enter takes over. Any game paused before is ended (recorded as left).
PlaybackEnd play_replay(const LoadedReplay& replay);
// The keys of playback as a pure function of one pass's keys and state.
struct PlaybackKeys {
  bool escape = false, enter = false, space = false, down = false;
  bool right_held = false;
};
struct PlaybackStep {
  bool paused = false;
  int ticks = 0;  // ticks to play this pass
};
// The pass with `due` ticks fallen due: Space toggles the pause; while paused
// only Down plays one tick; Right held plays FAST_FORWARD ticks per tick.
inline constexpr int FAST_FORWARD = 4;
PlaybackStep playback_step(bool paused, const PlaybackKeys& keys, int due);

// ---- The game being played (play.cpp) ----

// Finishes and writes the recording of the game being played, if one is
// being made, and returns its name ("" for none or after a failure).
std::string end_game_recording(GameEnd end);
// Whether the game being played is a practice game (never in the score table).
bool recording_is_practice();
// Ends a paused game as Quit or a restart does: its recording written as
// left, then the folder pruned.
void leave_game();
// Playback's start: the world, progress and music at the recording's first
// tick, no game to resume and none recorded.
void start_watching(const LoadedReplay& replay);
// One tick of playback with the recorded bits, a continue counted as in a game.
void watch_tick(int bits);
// Take-over at `at`: the game being watched becomes the player's practice
// game from there, its recording the watched input so far; play_level("")
// resumes it with the keyboard.
void take_over(const Recording& watched, const RecordingCursor& at);
// `to` with the first `ticks` ticks of `from`'s input and the check values
// they hold, as if they had been recorded into it.
void keep_first_ticks(const Recording& from, int ticks, Recording& to);
// The play loop's drawing, shared with playback: the tally panel, one frame.
void show_tally();
// Plays the track the game calls for now, in play and in playback alike: the
// level's own, its boss track from its boss warning on, or a jingle when the
// level is won or the game lost (under rules that end games).
void follow_level_music();
void draw_play_frame();
// The Replays screen from the main menu: the recordings newest first, Enter
// watches one (a refused one shows why, on the list), Escape goes back. True
// when the player took over a game, which play_level("") then resumes.
bool replays_screen();
