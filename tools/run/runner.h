// The level runner: plays a level headless with the game's own libraries, the
// keys set by a pilot instead of the keyboard, and watches what happens: the
// outcome, hits, a digest of the world, its invariants and pictures of it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "content/content.h"
#include "world/world.h"

// ---- Pilots ----

// One tick's keys as bits, as recordings store them (bits_input turns them
// into the tick's input). A pilot never takes a continue.
inline constexpr int PILOT_LEFT = INPUT_LEFT;
inline constexpr int PILOT_RIGHT = INPUT_RIGHT;
inline constexpr int PILOT_UP = INPUT_UP;
inline constexpr int PILOT_DOWN = INPUT_DOWN;
inline constexpr int PILOT_FIRE = INPUT_FIRE;
inline constexpr int PILOT_BOMB = INPUT_BOMB;  // X: a bomb under rules with bombs
inline constexpr int PILOT_KEY_MASK = INPUT_MASK & ~INPUT_CONTINUE;
// The longest run asked for, by --ticks or by a recording: about 11.6 days of play.
inline constexpr int MAX_RUN_TICKS = 100000000;

enum class PilotKind { idle, sweep, dodge, replay };

// Name <-> kind for "idle", "sweep" and "dodge" (the replay is no choice of the
// user); false for any other name.
bool pilot_kind_named(const std::string& name, PilotKind* kind);
const char* pilot_name(PilotKind kind);
// The words the runner reads and writes for DIFFICULTY_EASY..DIFFICULTY_HARD:
// "easy", "normal" and "hard" (the game shows them capitalised).
bool difficulty_named(const std::string& name, int* difficulty);
const char* difficulty_word(int difficulty);

// The pilot's own generator (splitmix64), so that its draws never touch the
// world_rand() sequence the world's particles use: a replay, which has no pilot,
// meets exactly the same world.
class PilotRandom {
 public:
  explicit PilotRandom(std::uint64_t seed = 0) : state_(seed) {}
  std::uint64_t next();
  int between(int lo, int hi);  // inclusive
  bool chance(int per_thousand);

 private:
  std::uint64_t state_;
};

// A pilot's state between ticks. The dodge pilot holds its keys from one
// decision to the next and sees a bullet or enemy only once it has been on
// the screen for its reaction time, both drawn per decision.
struct Pilot {
  PilotKind kind = PilotKind::idle;
  PilotRandom random;
  bool moving_right = true;  // sweep
  int keys = 0;              // dodge: held until the next decision
  int ticks_to_decision = 0;
  int tick = 0;
  std::array<int, MAX_ENEMY_BULLETS> bullet_type{};  // per slot: its type last tick
  std::array<int, MAX_ENEMY_BULLETS> bullet_seen{};  // and the tick its occupant arrived
  std::array<int, MAX_ENEMIES> enemy_type{};         // the same per enemy slot
  std::array<int, MAX_ENEMIES> enemy_seen{};
  const Recording* replay = nullptr;  // replay: the recording and where it is
  RecordingCursor cursor;
  // A game's recording goes on past a loss (to a continue) or the last
  // victory (its tally); the runner's text recordings ended on their outcome.
  bool through_outcome = true;
};

// A fresh pilot for a run of `seed`.
Pilot make_pilot(PilotKind kind, std::uint32_t seed);
// A replay takes a continue where the recording did (INPUT_CONTINUE).
Pilot make_replay_pilot(const Recording& recording);
// The keys for the coming tick, from what the world shows now.
int pilot_keys(Pilot& pilot);

// ---- Recordings ----

// The runner's recordings before the game's own format (--record writes that
// one now); --replay still plays them. The file is text:
//   mirvo-run recording 1
//   seed 7
//   level 0f3a...          (16 hex digits: level_digest of the two level files)
//   pilot dodge            (who flew it; informative)
//   ticks 20480            (ticks the run lasted)
//   keys                   then one "COUNT BITS" line per run of equal key states
//   240 16                 (e.g. 240 ticks of fire alone; bits as PILOT_*)
//   end
struct RunRecording {
  std::uint32_t seed = 1;
  std::uint64_t level_digest = 0;
  std::string pilot = "idle";
  // A "difficulty NAME" line after the pilot's, written only when it is not
  // Normal, so recordings made before difficulties read as they always did.
  int difficulty = DIFFICULTY_NORMAL;
  int ticks = 0;
  std::vector<std::pair<int, int>> keys;  // (ticks, key bits), run-length encoded
  std::string error;                      // parse failure; empty on success
};

RunRecording parse_text_recording(std::span<const std::uint8_t> bytes);
// The same run in the game's format, to replay it as every recording is; it
// names no levels or digests (the old file's one digest is checked apart).
Recording recording_of_text(const RunRecording& text);
std::string serialize_text_recording(const RunRecording& recording);
// Appends one tick's keys, joining it to the last run when they are the same.
void record_keys(RunRecording& recording, int keys);

// ---- Digests and invariants ----

// The digest of a level's script and enemy files; 0 when either cannot be read.
std::uint64_t level_digest(const std::string& script_file, const std::string& enemy_file);

std::string hex_digest(std::uint64_t digest);

// What the invariants compare between ticks.
struct WorldWatch {
  int scroll_row = 0;
  float scroll_offset = 0.0f;
};
// Checks the world after a tick: "" when every invariant holds, otherwise
// what is broken. Updates `watch` for the next tick.
std::string check_world(WorldWatch& watch);

// ---- Runs ----

inline constexpr int STRETCH_TICKS = 10 * TICKS_PER_SECOND;  // hits are counted per 10 s
inline constexpr int OUTSIDE_WARNING_TICKS = 5 * TICKS_PER_SECOND;
// An enemy rides with a bullet when their velocities differ by less than this,
// in pixels per tick, and the bullet is at most RIDE_DISTANCE pixels outside
// the enemy's box; an enemy moving slower than this rides with nothing.
inline constexpr float RIDE_SPEED_TOLERANCE = 0.5f;
inline constexpr float RIDE_DISTANCE = SHIP_SIZE;

struct RunSettings {
  std::string script_file = "level1.wif";
  std::string enemy_file = "enemy.eif";
  std::string tile_file = "tileset1.dat";
  // When set, the run plays the campaign's levels in a row as the game does,
  // from its first level; the three files above are then not used.
  const Campaign* campaign = nullptr;
  // The rules a single level is played by: the game folder's campaign's.
  Rules rules = PLAIN_RULES;
  // The player's choice; it counts only under rules that choose a difficulty.
  int difficulty = DIFFICULTY_NORMAL;
  std::uint32_t seed = 1;
  int start_tick = 0;  // a recording's later start (see start_game)
  int max_ticks = 15 * 60 * TICKS_PER_SECOND;
  bool immortal = false;
  // Under rules with power-ups, the weapon level held for the whole run
  // (1..MAX_POWER), for measuring what power is worth; 0 leaves it to the game.
  int power = 0;
};

// The digest of what a run plays: its level's two files, or those of every
// level of its campaign in order; 0 when a file cannot be read.
std::uint64_t run_digest(const RunSettings& settings);

enum class Outcome { victory, lost, time };
const char* outcome_name(Outcome outcome);

// Game time as minutes and seconds with tenths: "2:05.3".
std::string game_time(int tick);

struct RunResult {
  std::uint32_t seed = 0;
  Outcome outcome = Outcome::time;
  int tick = 0;  // the tick the run ended on
  int score = 0;
  int spawned = 0;     // enemies that appeared (the level director not counted)
  int destroyed = 0;   // enemies that went into their death step
  int hits_taken = 0;  // enemy bullets that hit the ship, and rams
  int energy = 0;
  int level = 1;                       // where the run ended: 1-based, always 1 outside a campaign
  int difficulty = DIFFICULTY_NORMAL;  // as played: Normal under rules without a choice
  // When an enemy that can win the level first appeared; 0 never. In a
  // campaign, the boss of the level the run ended in.
  int boss_tick = 0;
  // A mid-boss: a boss type that cannot win the level. When the first one
  // appeared (0 never) and how long it lasted until it fell or left (0 while
  // it still fights); in a campaign, of the level the run ended in.
  int midboss_tick = 0;
  int midboss_ticks = 0;
  std::uint64_t hash = 0;
  std::vector<int> hits_by_stretch;  // hits in each 10-second stretch
  std::vector<int> hit_ticks;        // the tick of every hit, in order
  // What the playfield held at each whole second of game time: entry i is
  // the count after tick (i + 1) * TICKS_PER_SECOND (see count_on_screen).
  std::vector<int> enemies_by_second;
  std::vector<int> enemy_bullets_by_second;
  std::vector<int> power_by_second;  // the weapon level; 0 under rules without power-ups
  // Summed over the levels played; under the plain rules no touch is ignored
  // and the multiplier stays 1.
  std::array<int, MAX_ENEMY_TYPES> score_by_type{};  // entry k: what type k + 1's kills scored
  int max_multiplier = 1;
  int hits_ignored = 0;  // bullets and enemies that touched the untouchable ship
  std::array<int, ITEM_KINDS> items_dropped{};  // by kind, entry kind - 1
  std::array<int, ITEM_KINDS> items_taken{};
  int bombs_used = 0;
  // One entry per level cleared under rules that keep a tally, as the
  // campaign took it on the tick the level was won.
  struct Cleared {
    LevelTally tally;
    int bonus = 0;
  };
  std::vector<Cleared> tally;
  // Entry k: the tick from which an enemy of type k + 1 with health left
  // stayed wholly outside the playfield for more than OUTSIDE_WARNING_TICKS,
  // the first time it did; 0 never. Such an enemy can neither be shot nor
  // let the level go on (a boss that never comes back wins nothing).
  std::array<int, MAX_ENEMY_TYPES> outside_from{};
  // Entry k: the first tick an enemy of type k + 1 touched the ship while it
  // rode with a bullet it had aimed at the ship (see watch_rams); 0 never.
  std::array<int, MAX_ENEMY_TYPES> rammed_from{};
  // A new field here joins write_report and read_report (jobs.cpp), which
  // carry a result from a worker process to the one that prints it.
};

// What watch_rams remembers from one tick to the next, slot by slot: which
// enemy aimed each enemy bullet (its slot + 1; 0 none or unknown), and each
// enemy's type (0: free or the level director), health, place and whether it
// had touched the untouchable ship. Fixed tables, as the world's are.
struct RamWatch {
  std::array<int, MAX_ENEMY_BULLETS> bullet_type{};
  std::array<int, MAX_ENEMY_BULLETS> aimed_by{};
  std::array<int, MAX_ENEMIES> type{};
  std::array<float, MAX_ENEMIES> health{};
  std::array<float, MAX_ENEMIES> x{};
  std::array<float, MAX_ENEMIES> y{};
  std::array<bool, MAX_ENEMIES> ignored{};
};
// Called after every tick, with the ship's energy before it. A bullet that
// has just appeared is an enemy's aimed bullet when that enemy's script has an
// aim of its type and speed from exactly where the bullet left. An enemy that
// touched the ship in this tick (lost the ship's energy as the ship lost some,
// or was let pass by the untouchable ship) while such a bullet of its own rode
// with it sets first_ram for its type to `tick`, unless set already. Reads the
// world only.
void watch_rams(RamWatch& w, int energy_before, int tick,
                std::array<int, MAX_ENEMY_TYPES>& first_ram);

// The stretch with the most hits (the first of equals), or -1 with no hits.
int worst_stretch(const RunResult& result);

// Called after every tick with its number; returning false ends the run there
// (its outcome stays "time").
using TickWatcher = std::function<bool(int tick)>;

// Once per process, in the game folder: Allegro without a system driver,
// 32-bit colour, then the game's own start-up load (load_game_data), which
// shows its message and ends the program with status 1 when "data.dat"
// cannot be used.
void start_runner();

// The campaign a run plays, at the run's difficulty: the settings' own, or
// their single level as a campaign of one with the one-level game's music.
Campaign run_campaign(const RunSettings& settings);

// One whole run, loaded as the game's first entry loads a level: the seed,
// the new-game reset, the level; then ticks as the play loop runs them. A
// level that cannot be loaded ends the program with the loader's message.
// With `recording`, it is filled with the run as the game records a game.
// A replay pilot's run with through_outcome goes on past a loss or the last
// victory while its recording does.
RunResult run_level(const RunSettings& settings, Pilot& pilot, Recording* recording = nullptr,
                    const TickWatcher& watcher = {});

// ---- Pacing ----

// Enemy bullets hit the ship with a 3 x 3 box at their position.
inline constexpr int ENEMY_BULLET_SIZE = 3;

// An enemy slot in its death: out of health, in its death step or ended.
bool enemy_dying(int slot);
// An enemy slot whose current frame's box lies wholly outside the 320 x 400
// playfield; false when it has no frame to tell by.
bool enemy_outside_playfield(int slot);
// The frame size of an enemy slot's current step; 0 x 0 when it has none.
void enemy_frame_size(int slot, int* w, int* h);

struct ScreenCount {
  int enemies = 0;
  int enemy_bullets = 0;
};
// What the playfield shows now: living enemies (the level director and
// enemies in their death never count) whose current frame's box overlaps the
// 320 x 400 playfield, and enemy bullets in flight whose box overlaps it.
ScreenCount count_on_screen();

// The game tick at which per-second sample `index` is taken.
inline int sample_tick(int index) {
  return (index + 1) * TICKS_PER_SECOND;
}

// One run's pacing, from its per-second samples. "Before the boss" is every
// sample taken before `boss_tick`, or the whole run when no boss came; a
// second is empty when its sample holds no enemy and no enemy bullet.
struct RunPacing {
  int seconds_before_boss = 0;
  int empty_seconds_before_boss = 0;
  int longest_empty_before_boss = 0;  // the longest run of empty seconds
  int longest_empty_start = -1;       // its first sample; -1 with none
  int bullets_before_boss = 0;        // enemy bullets summed over those samples
  int busiest_second = -1;            // the sample with the most enemy bullets (first of equals)
};
RunPacing pacing_of(const RunResult& r);

// Figures over many runs of one level, for tuning it. Places are a run's
// seed and a game tick.
struct Place {
  std::uint32_t seed = 0;
  int tick = 0;
};
struct RunsSummary {
  int runs = 0;
  int victories = 0;
  int lost = 0;
  int time = 0;
  std::vector<int> hits_by_stretch;  // summed over the runs
  int seconds_before_boss = 0;
  int empty_seconds_before_boss = 0;
  int longest_empty = 0;  // the longest empty stretch before the boss of any run
  Place longest_empty_at;
  int bullets_before_boss = 0;  // summed over every sample before the boss
  int peak_before_boss = 0;     // the most enemy bullets in one sample before the boss
  Place peak_before_boss_at;
  int peak_with_boss = 0;  // the same from the boss's arrival on
  Place peak_with_boss_at;
  int hits_first_30s = 0;
  // The 10 seconds of game time (the same for every run) with the most hits
  // before each run's boss, all runs together; its first tick, 0 with no hits.
  int most_hits_in_10s = 0;
  int most_hits_from = 0;
  int boss_fights = 0;        // victories with a boss
  int boss_ticks_median = 0;  // from the boss's arrival to the victory
};
RunsSummary summarize_runs(std::span<const RunResult> runs);

// ---- Jobs ----

// One run as the runner reports it: its result and the text it prints for it.
struct SeedReport {
  RunResult result;
  std::string text;
};
using SeedJob = std::function<SeedReport(int index)>;

// Runs job(0) .. job(count - 1) in `processes` processes: the caller's own and
// processes - 1 children forked from it, so each starts with what the caller
// has already loaded. Job i runs in process i % processes, so job 0 always
// runs in the caller's. `deliver` gets the reports in index order, in the
// caller's process. Returns "" or what went wrong (a child that ended before
// its jobs were done); the children have ended either way.
std::string run_jobs(int count, int processes, const SeedJob& job,
                     const std::function<void(const SeedReport&)>& deliver);

// A report as bytes and back; read_report is false for bytes it did not write.
std::string write_report(const SeedReport& report);
bool read_report(std::string_view bytes, SeedReport* report);

// ---- Pictures ----

// Draws the current world with the game's software renderer into a 32-bit
// 320 x 400 memory bitmap the runner owns.
void draw_world_frame();
// Writes the last drawn frame as a PNG; false when it cannot be written.
bool save_frame_png(const std::string& path);
// Keeps a copy of the last drawn frame, labelled with its game time.
void keep_frame_for_sheet(int tick);
// The kept frames in rows of SHEET_COLUMNS, each with its game time
// underneath, as one PNG of (columns x 320) x (rows x (400 + SHEET_LABEL_H));
// false when there are no frames or it cannot be written. The kept frames are
// released either way.
inline constexpr int SHEET_LABEL_H = 16;
inline constexpr int SHEET_COLUMNS = 8;
bool save_sheet_png(const std::string& path);
