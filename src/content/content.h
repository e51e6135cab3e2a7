// Level content: the enemy definition file, the background tile set and map,
// every OpenGL texture the OpenGL renderer draws with, campaigns and the
// recordings that replay them.
//
// It runs past 400 lines because it is the content library's whole
// interface; each section below is one concern of it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "world/world.h"

struct DATAFILE;

// ---- The program's datafile and renderer choice ----

// Objects of "data.dat" the program uses (0 to 2 are not read).
inline constexpr int DATA_PLAYER_SHIP = 3;      // 40 x 40 bitmap
inline constexpr int DATA_SHOT = 4;             // 3 x 3 bitmap
inline constexpr int DATA_MENU_BACKGROUND = 5;  // 320 x 400 bitmap
inline constexpr int DATA_MENU_FONT = 6;        // font

extern DATAFILE* game_data;  // "data.dat", loaded by the program at start-up
// The renderer chosen in "mirvo.cfg" (0 software, any other value OpenGL);
// content makes OpenGL textures only for OpenGL.
enum class Renderer : int { Software = 0, OpenGL = 1 };
extern Renderer renderer;
// The ship's shot as detailed looks draw it (from "data.dat"): its frame, size
// and texture; frame 0 when the archive has none and the shot keeps its own.
extern Animation long_shot_picture;

// 1 when an archive holds what the program reads from it: bitmaps at objects
// 3, 4 and 5 and a font at object 6. A shorter or different archive would
// otherwise be read past its end.
int game_data_usable(const DATAFILE* data);
// The start-up load, shared by the game and the level runner: "data.dat" into
// game_data, the masks, the ship's mask, every enemy type's score and the
// built-in shot types. On a missing or unusable archive it shows the message
// Error loading "data.dat" and ends the program with status 1.
void load_game_data();
// Shot types 1 (the ship's shot), 2 (the beam), 3 (the enemy bullet), 4 and
// 5 (its small and large kinds), each with its own copy of "data.dat", masks
// for all but the beam and (with OpenGL) textures. An archive without an
// enemy bullet type's frames gives it the shot's frames and one line on
// standard error. Ends the program with status
// 1 when the archive is unusable.
void load_builtin_shot_types();
// Unloads every shot type's datafile and masks.
void release_shot_types();

// ---- The campaign ----
// "campaign.toml" in the game folder lists the levels played in a row; without
// it the game plays the first level alone.

inline constexpr const char* CAMPAIGN_FILE = "campaign.toml";
inline constexpr const char* FIRST_LEVEL_SCRIPT = "level1.wif";
inline constexpr const char* FIRST_LEVEL_ENEMIES = "enemy.eif";
inline constexpr const char* FIRST_LEVEL_TILES = "tileset1.dat";
inline constexpr const char* FIRST_LEVEL_MUSIC = "play.ogg";
inline constexpr std::size_t MAX_CAMPAIGN_LEVELS = 64;
inline constexpr std::size_t MAX_CAMPAIGN_NAME = 255;  // bytes of a file name
inline constexpr std::size_t MAX_CAMPAIGN_TITLE = 31;  // what an on-screen message holds

// The first entry of a level: the level-start reset, the script file, the
// tile set, the enemy types, the level director, no messages, and the white
// and ship textures. Each loader shows its message and ends the program on a
// broken file.
// The level is played by level_rules.
void load_level(const char* script_file, const char* enemy_file,
                const char* tile_file = FIRST_LEVEL_TILES, const Rules& level_rules = PLAIN_RULES);

struct CampaignLevel {
  std::string title;   // shown as the level begins; "" shows nothing
  std::string script;  // file names relative to the game folder
  std::string enemies;
  std::string tiles;
  std::string music;
  // The track its boss warning starts (an enemy type that starts_boss_music);
  // "" keeps `music` playing.
  std::string boss_music;
  bool operator==(const CampaignLevel&) const = default;
};

// A parsed campaign, or why it cannot be played (empty error on success).
struct Campaign {
  std::vector<CampaignLevel> levels;
  std::string name;           // the top-level name, else the first level's title
  Rules rules = PLAIN_RULES;  // ARCADE_RULES when its [rules] table says arcade = true
  std::string error;
};

// Parses a whole campaign file: [[level]] tables with exactly the keys title,
// script, enemies, tiles and music, all strings. The error names path and
// the line. Never exits.
Campaign parse_campaign(std::span<const std::uint8_t> bytes, const char* path);
// Today's one-level game: level1.wif, enemy.eif, tileset1.dat, play.ogg.
Campaign single_level_campaign();
// A campaign file anywhere (an author's): read, parsed, and every file name
// made whole from the file's own folder. The error says why it cannot be
// read. Never exits.
Campaign read_campaign_file(const std::string& path);
// The game's loader: CAMPAIGN_FILE when it exists, else the single level; a
// file that cannot be read or parsed shows its message and ends the program
// with status 1.
Campaign load_campaign();
// The message the game's loaders would show for the first broken file of the
// campaign, level by level: script, tile set, enemy types (with their
// datafiles and frames) and, under rules that read it, the enemy file's
// companion; "" when every level can be loaded. Music is not checked: a
// missing track only means silence. Never exits.
std::string campaign_problem(const Campaign& campaign);
// The same for one level played by level_rules.
std::string campaign_level_problem(const CampaignLevel& level,
                                   const Rules& level_rules = PLAIN_RULES);
// Every file a level's play reads: script, tile set, enemy file, its
// companion under rules that read one, and each archive the enemy file names,
// both beside the enemy file and where enemy_archive_path finds it (a new
// one beside it would be taken first). Without a readable enemy file, the
// files before its archives. Never exits.
std::vector<std::string> level_files(const CampaignLevel& level, const Rules& level_rules);
// The first entry of level `index` (0-based) of the campaign: load_level with
// its files, and its title as an on-screen message.
void load_campaign_level(const Campaign& campaign, int index);

// How long a won level's victory message shows before the next level starts: 3 s.
inline constexpr int LEVEL_VICTORY_TICKS = 300;
// Energy between levels: the ship keeps what it has and gets some back, never
// above a new game's START_ENERGY (today a full refill).
int energy_for_next_level(int energy);

// Under rules that keep a tally, a won level shows its stage-clear tally this
// long (5 s) instead; a level cleared without a blow is worth NO_HIT_BONUS.
inline constexpr int TALLY_TICKS = 500;
inline constexpr int NO_HIT_BONUS = 10000;
int tally_bonus(const LevelTally& tally);

// Where a game stands in its campaign: the level played (0-based) and the
// ticks its victory has shown so far; under a tally, what the won level's was.
struct CampaignProgress {
  int level = 0;
  int victory_ticks = 0;
  bool cleared = false;    // the won level's tally is taken and its bonus scored
  LevelTally tally;        // the won level's, taken on the tick it was won
  int bonus = 0;           // scored with it
  bool skip_wait = false;  // set by the player's fire: the next level starts at the next tick
  LevelTally left_tally;   // the level just left, as it stood when the next one started
  // The last tick's fire: fire pressed anew while the tally shows skips it,
  // held on from the fight does not. Part of the tick, so playback skips alike.
  bool fire_held = true;
};
// Called after every logic tick, by the play loop and the level runner alike.
// While the level is won (game_outcome() says so and the ship flies) and
// another level follows, it counts LEVEL_VICTORY_TICKS; then it starts the
// next level: energy_for_next_level, every enemy, shot, bullet and particle
// cleared, the score kept, the level's files loaded and its title shown.
// Returns true on the tick a new level starts. The last level's victory, and
// a lost game, are left as they are. Under rules that keep a tally, the won
// level's tally is taken and its bonus scored on the first won tick (the last
// level's too), and TALLY_TICKS pass before the next level, fewer when the
// player skips.
bool advance_campaign(const Campaign& campaign, CampaignProgress& progress);
// One tick of a campaign as the play loop, the runner and playback all play
// it: run_tick with this tick's input, then advance_campaign; fire pressed
// anew while a tally shows sets progress.skip_wait. Returns true on the tick a
// new level starts (progress.left_tally then holds the old one's).
bool campaign_tick(const Campaign& campaign, CampaignProgress& progress, const TickInput& input);

// ---- Recordings ----
// A game kept as its input: who played which levels at which difficulty with
// which seed, then every tick's input as runs of equal input, the world's
// hash every CHECK_TICKS ticks and how the game ended. The world is exact, so
// playing the input again from the same start gives the same game. The game
// records every game under rules that end games; the runner writes the same
// format with --record; playback, verification and the video all replay it
// through start_game and replay_tick.

// One tick's input as a recording stores it. INPUT_CONTINUE marks the first
// tick after the player took a continue (the world reset as continue_game
// does, before that tick runs).
inline constexpr int INPUT_LEFT = 1;
inline constexpr int INPUT_RIGHT = 2;
inline constexpr int INPUT_UP = 4;
inline constexpr int INPUT_DOWN = 8;
inline constexpr int INPUT_FIRE = 16;
inline constexpr int INPUT_BOMB = 32;
inline constexpr int INPUT_CONTINUE = 64;
inline constexpr int INPUT_MASK = 127;
int input_bits(const TickInput& input);
TickInput bits_input(int bits);

inline constexpr int RECORDING_VERSION = 1;
inline constexpr int CHECK_TICKS = 500;  // a check value every 5 s of game time
// Runs kept at most: reserved when a recording begins, so play allocates
// nothing; at one change of input every 10 ticks, about 7 hours of play.
inline constexpr std::size_t MAX_RECORDED_RUNS = 1u << 18;
// Ticks kept at most, a day of play; their check values are reserved with the
// runs. A recording that reaches either limit stops there (see record_tick).
inline constexpr int MAX_RECORDED_TICKS = 24 * 60 * 60 * 100;
// The longest text a recording keeps (a name, a file name, a date).
inline constexpr std::size_t MAX_RECORDING_TEXT = 255;

// How a recorded game ended: its last level won, lost for good, left by the
// player (Quit, a restart, a take-over of playback), or, for the runner, out of time.
enum class GameEnd : std::uint8_t { victory, game_over, left, time };

struct InputRun {
  std::uint32_t ticks = 0;  // at least 1
  std::uint8_t bits = 0;    // INPUT_* bits
  bool operator==(const InputRun&) const = default;
};

struct Recording {
  std::string game_version;  // the program that made it
  std::string date;          // when the game started, local time, ISO 8601
  std::string pilot;         // "player" for the game; the runner's pilot otherwise
  std::string campaign;      // the campaign's name
  bool arcade = true;        // played by ARCADE_RULES (else PLAIN_RULES)
  int difficulty = DIFFICULTY_NORMAL;
  bool practice = false;  // a take-over or a practice start: never in the score table
  std::uint32_t seed = 1;
  // Ticks run before the first recorded one, as start_game runs them: a
  // practice game started later in its first level's timeline (mirvo --at).
  int start_tick = 0;
  // Every level of the campaign played, with the digest of its content
  // (level_content_digest) when the game was recorded.
  std::vector<CampaignLevel> levels;
  std::vector<std::uint64_t> digests;
  std::vector<InputRun> inputs;
  int ticks = 0;                      // the ticks the inputs add up to
  std::vector<std::uint64_t> checks;  // world_hash() after tick CHECK_TICKS * (i + 1)
  GameEnd end = GameEnd::left;
  int score = 0;
  int level = 1;  // where the game ended, from 1
  std::uint64_t final_hash = 0;
  bool operator==(const Recording&) const = default;
};

// Parses a whole recording; refuses, with one line of why, anything it did
// not write: another magic or version, a checksum that does not match its
// bytes, a truncated file, runs that do not add up, out-of-range values.
// Never exits.
struct RecordingRead {
  Recording recording;
  std::string error;  // empty on success
};
RecordingRead parse_recording(std::span<const std::uint8_t> bytes);
// The file's bytes; parse_recording(recording_bytes(r)).recording == r.
std::vector<std::uint8_t> recording_bytes(const Recording& recording);

// The digest of what a level plays: its script, enemy file, the enemy
// file's companion under rules that read it, and the archives the enemy
// file names (their pictures are the enemies' collision masks). 0 when a
// file cannot be read.
std::uint64_t level_content_digest(const CampaignLevel& level, const Rules& rules);

// A recording about to be made of a game of `campaign` started with `seed`:
// its header filled (the date is now) and its tables reserved, so that
// record_tick never allocates. A copy of a recording has no such room: reserve
// MAX_RECORDED_RUNS runs and MAX_RECORDED_TICKS / CHECK_TICKS checks again
// before recording into it.
Recording begin_recording(const Campaign& campaign, std::uint32_t seed, const char* pilot,
                          const char* game_version);
// After each tick: its input joins the runs, and every CHECK_TICKS ticks the
// world's hash is kept. A tick that fills the last run or reaches
// MAX_RECORDED_TICKS ends the recording: its score and hash are taken then,
// later ticks are left out and finish_recording marks it left. Never allocates.
void record_tick(Recording& recording, int bits);
// The summary from the world as it stands: score, level, final hash.
void finish_recording(Recording& recording, GameEnd end, const CampaignProgress& progress);

// The one start of a game for the play loop, the runner and playback: the
// world's generator seeded, the new-game reset, the first level loaded. A
// later start (start_tick > 0) then runs that many ticks with no input and
// the ship kept alive, as the runner's immortal ship is, so the first tick
// played finds the level at that moment with the ship's energy full.
void start_game(const Campaign& campaign, CampaignProgress& progress, std::uint32_t seed,
                int start_tick = 0);
// A continue: full energy, score 0, the level started again.
void continue_game(const Campaign& campaign, CampaignProgress& progress);
// The campaign a recording plays, from its levels and rules; an error naming
// the first level whose content differs from what was recorded ("the
// recording was made with another level2.wif"), or that cannot be read.
struct RecordedCampaign {
  Campaign campaign;
  std::string error;
};
RecordedCampaign recorded_campaign(const Recording& recording);

// Where playback stands in a recording's runs.
struct RecordingCursor {
  std::size_t run = 0;
  std::uint32_t used = 0;  // ticks of that run already played
  int tick = 0;            // ticks played
};
// The next tick's bits, or -1 past the end.
int next_input(const Recording& recording, RecordingCursor& cursor);
// One tick of playback: continue_game first when the bits say so, then
// campaign_tick with the rest.
bool replay_tick(const Campaign& campaign, CampaignProgress& progress, int bits);

// Plays a recording headless from its start to its end and compares: every
// check value, the final hash, score, level and how it ended. The world is
// left as the replay left it.
struct Verification {
  bool ok = false;
  int first_bad_tick = -1;  // the check (or the last tick) where it first differed
  std::string why;          // one line: what differed, or why it could not be played
};
Verification verify_recording(const Recording& recording);

// ---- Allegro archives ----
// Every archive the game and its tools open (data.dat, the enemies', the tile
// sets, sound.dat) is read whole, checked, and only then handed to Allegro,
// whose loader trusts every size it finds.

// The largest archive read: the biggest shipped one is about 400 KB.
inline constexpr std::size_t MAX_ARCHIVE_BYTES = 16u << 20;

// Why Allegro must not read these bytes as an archive, or "" when it may:
// the magic numbers, every property and object header, every size, nesting at
// most 4 deep and, for packed files and objects, the unpacked stream (at most
// 64 MiB). Only the object types the game's archives hold pass: pictures,
// 1-bit fonts, 8- or 16-bit samples, plain data, the archive tool's info and
// nested archives; each one's contents must fill its object exactly. Never
// exits.
std::string check_archive(std::span<const std::uint8_t> bytes);
// Allegro's packed stream: at most `limit` bytes of what `packed` unpacks to
// (fewer when it ends first). A 4096-byte ring that starts zeroed, then a
// flags byte per eight items, low bit first: 1 a literal byte, 0 a 12-bit ring
// position and a 4-bit length (3 to 18 bytes). *used, when given, is how many
// packed bytes were read.
std::vector<std::uint8_t> lzss_unpack(std::span<const std::uint8_t> packed, std::size_t limit,
                                      std::size_t* used = nullptr);
// Checks the bytes, then loads exactly those bytes with Allegro (through a
// memory file, so nothing can change between check and load). Null with the
// reason in *why when they are refused or Allegro fails. Never exits.
DATAFILE* load_checked_archive(std::span<const std::uint8_t> bytes, std::string* why = nullptr);
// What every caller uses instead of load_datafile: reads the file (at most
// MAX_ARCHIVE_BYTES), then load_checked_archive. A missing, unreadable or
// refused file gives null, as a missing file did, with the reason in *why.
DATAFILE* load_checked_datafile(const char* path, std::string* why = nullptr);

// ---- Tile set and textures ----

inline constexpr int TILE_MAP_COLUMNS = 5;
inline constexpr int TILE_MAP_ROWS = 128;
inline constexpr int MAX_TILES = 4;
// The background is drawn as this many rows of tiles, the top one partly
// above the playfield.
inline constexpr int BACKGROUND_SLOTS = 8;

// "tileset1.dat"; objects 0 up to MAX_TILES - 1 are 64 x 64 background tiles
// that join seamlessly in any order; a set may hold only object 0.
extern DATAFILE* tile_set;
extern int tile_count;  // tiles of the loaded set, 1..MAX_TILES
// Column-major: the 128 rows of column 0 first. Every entry is 0 but under
// detailed looks, where each cell takes one of the set's tiles by its hash.
extern std::array<std::array<int, TILE_MAP_ROWS>, TILE_MAP_COLUMNS> tile_map;
extern std::array<unsigned int, MAX_TILES> tile_texture;
extern unsigned int white_texture;

// The tile of map cell (column, row); rows past the map's end start it again,
// so the background keeps scrolling after its last row.
int tile_at(int column, int row);
// The map row drawn in background slot 0 (the top, partly hidden) to
// BACKGROUND_SLOTS - 1: rows count up the map, so the rows the scroll has
// brought in lie at the top and each row keeps its picture as it moves down.
int background_row(int slot);
// A fixed hash of a background cell and a salt: the same numbers every run,
// drawn from nothing the world keeps, so what it places never moves a replay.
std::uint32_t background_hash(int column, int row, std::uint32_t salt);

// The edge of the smallest allowed square texture that holds a w x h frame,
// or 0 when the frame is larger than 1024 on either side.
int texture_size_for(int w, int h);

// Loads a tile set ("tileset1.dat" for the first level), makes the tile's
// texture and puts the scroll back to the start of the map. Fatal on failure,
// with a message naming the file.
void load_tile_set(const char* name = FIRST_LEVEL_TILES);
void make_shot_texture(int type_index, int step);
void make_enemy_texture(int type_index, int step);
// Unloads the tile set and deletes the tile, white and ship textures while the
// GL context is still up; shut_down calls it before removing the context, so
// no later start-up deletes a texture name that the new context gave out.
void release_level_graphics();

// One animation step record of the enemy file, as stored.
struct EnemyStepRecord {
  std::int32_t next = 0;  // 255 in the file becomes -1
  std::int32_t duration = 0;
  std::int32_t frame = 0;
  std::int32_t flags = 0;
  std::int16_t offset_x = 0;
  std::int16_t offset_y = 0;
};

struct EnemyTypeRecord {
  std::int32_t health = 0;
  std::int32_t start_anim = 0;
  std::int32_t death_anim = 0;
  std::string datafile;  // the name field up to its first space or NUL
  std::vector<EnemyStepRecord> steps;
};

// A parsed ".eif" file, or why it cannot be loaded (empty error on success).
struct EnemyFile {
  std::uint8_t reserved = 0;
  std::vector<EnemyTypeRecord> types;
  std::string error;
};

inline constexpr int ENEMY_NAME_SIZE = 16;
// The largest enemy file read: eight types of 32 steps take 2,466 bytes.
inline constexpr std::size_t MAX_ENEMY_FILE_BYTES = 64 * 1024;

// Parses a whole enemy file's bytes; path only fills the messages. Checks the
// file's own limits (its length, at most max_types types and 32 steps, step
// numbers below the type's step count). Never exits.
EnemyFile parse_enemy_file(std::span<const std::uint8_t> bytes, const char* path,
                           int max_types = MAX_ENEMY_TYPES);
// The bytes of an enemy file; parse_enemy_file(serialize_enemy_file(f)) == f.
std::vector<std::uint8_t> serialize_enemy_file(const EnemyFile& file);

// Why the frames of a parsed file cannot be drawn from the datafiles loaded
// for it (datafiles[k] belongs to type k, null when it could not be loaded):
// the message the loader shows, or "" when every step's frame is a bitmap
// object of its datafile, 1 to 1024 pixels on each side. Never reads past a
// datafile's end marker.
std::string check_enemy_frames(const EnemyFile& file, std::span<DATAFILE* const> datafiles);
// Loads the datafiles of a parsed file and fills enemy_types from it: the
// entries it loads are released first, then given their datafiles,
// silhouettes, masks and (with the OpenGL renderer) textures. On a missing
// datafile or a bad frame it returns the message and leaves enemy_types as it
// was; "" on success. Never exits.
std::string install_enemy_types(const EnemyFile& file);

// ---- Per-type data beside the enemy file ----
// A boss, its name and health beyond a byte, and each type's score do not fit
// the enemy file, whose layout older levels and tools rely on. They live in a
// small TOML text beside it ("enemy.eif" -> "enemy.eix"), read only under
// rules that ask for it; without one every type scores ENEMY_SCORE and none
// is a boss. Its layout, one table per type that differs from the defaults:
//   [[type]]
//   number = 7          # 1..8, the enemy file's type
//   score = 5000        # 0..MAX_TYPE_SCORE, else ENEMY_SCORE
//   boss = true
//   name = "Tyrant"     # a boss's, 1..20 printable ASCII characters
//   health = 1200       # a boss's, 256..MAX_BOSS_HEALTH; the enemy file holds 255
//   drop = "power"      # an item kind of ITEM_KIND_NAMES
//   drop_every = 8      # with drop: every 8th kill by a shot drops one, 1..MAX_DROP_EVERY

inline constexpr const char* ENEMY_EXTRAS_EXTENSION = ".eix";
inline constexpr int MAX_TYPE_SCORE = 1000000;
// The most a wait_health operand can name.
inline constexpr int MAX_BOSS_HEALTH = 32767;
// A byte of the enemy file: health above it lives in the companion.
inline constexpr int MAX_FILE_HEALTH = 255;
inline constexpr std::size_t MAX_ENEMY_EXTRAS_BYTES = 64 * 1024;
inline constexpr int MAX_DROP_EVERY = 1000;
// The item kinds as enemy definitions name them, entry kind - 1.
inline constexpr std::array<std::string_view, ITEM_KINDS> ITEM_KIND_NAMES = {"power", "energy",
                                                                             "bomb"};
// The kind of an item name, or 0 for any other text.
int item_kind_named(std::string_view name);

struct EnemyTypeExtras {
  int score = ENEMY_SCORE;
  bool boss = false;
  std::string name;    // a boss's; "" for any other type
  int health = 0;      // a boss's health above MAX_FILE_HEALTH; 0: the enemy file's
  int drop = 0;        // the item kind its kills drop, 0 none
  int drop_every = 0;  // with a drop: every how many kills, else 0
  bool starts_boss_music = false;
  bool operator==(const EnemyTypeExtras&) const = default;
};

// A parsed companion, or why it cannot be used (empty error on success).
struct EnemyExtras {
  std::array<EnemyTypeExtras, MAX_ENEMY_TYPES> types{};  // entry k is type k + 1
  std::string error;
};

// Parses the whole text; path only fills the messages. Never exits.
EnemyExtras parse_enemy_extras(std::span<const std::uint8_t> bytes, const char* path);
// The text of a companion, a table for each type that differs from the
// defaults; parse_enemy_extras gives back the same types.
std::string serialize_enemy_extras(const EnemyExtras& extras, const std::string& eif_name);
// A boss's name its bar can show: 1 to BOSS_NAME_SIZE - 1 printable ASCII characters.
bool boss_name_fits(std::string_view name);
// The companion's path for an enemy file's: ".eif" replaced, or the extension appended.
std::string enemy_extras_path(const std::string& enemy_file);
// Why a companion does not go with its parsed enemy file (a type the file
// does not define, a boss health where the file's is not MAX_FILE_HEALTH), or "".
std::string enemy_extras_mismatch(const EnemyFile& file, const EnemyExtras& extras,
                                  const char* path);
// The companion of an enemy file read and parsed: the defaults when there is
// none, the error when it cannot be read or parsed. Never exits.
EnemyExtras read_enemy_extras(const char* enemy_file);
// Fills every enemy_types entry's score, boss flag, name, drop and (for a
// boss) full health from the companion of enemy_file, or with the defaults when `used`
// is false; the enemy types are loaded already. Shows the message and ends
// the program with status 1 on a broken companion.
void load_enemy_extras(const char* enemy_file, bool used);

// Where an enemy file's archive named `datafile` is: beside the enemy file
// when it is there (an author's level in a folder of its own), else the name
// as given, in the game folder.
std::string enemy_archive_path(const std::string& enemy_file, const std::string& datafile);

// The game's loader: fills enemy_types with datafiles, silhouettes, masks and
// (with the OpenGL renderer) textures, releasing those of an earlier load
// first; or shows the message and ends the program with status 1.
void load_enemy_types(const char* path);
// Releases everything load_enemy_types made; shut_down calls it.
void release_enemy_types();
