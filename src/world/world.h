// The world of a running game: plain records in fixed tables with static
// storage, and the routines that change them once per logic tick.
//
// It runs past 400 lines because it is the world library's whole interface:
// every record the tick changes is listed here once, with the rules record
// that chooses how the tick plays.
//
// A slot is free when its marker is 0 (`type`) or -1.0 (`Particle.x`). Spawners
// take the lowest free slot and drop the request silently when a table is full.
// Nothing here allocates, opens a file or throws while a level runs.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <type_traits>

#include "mask/mask.h"
#include "script/script.h"

struct DATAFILE;
struct BITMAP;

inline constexpr int TICKS_PER_SECOND = 100;  // the world's fixed logic rate
inline constexpr int PLAYFIELD_W = 320;
inline constexpr int PLAYFIELD_H = 400;
inline constexpr int SHIP_SIZE = 40;
// The ship's box stays inside the playfield: its top-left corner goes from
// (0, 0) to (SHIP_MAX_X, SHIP_MAX_Y).
inline constexpr int SHIP_MAX_X = PLAYFIELD_W - SHIP_SIZE;  // 280
inline constexpr int SHIP_MAX_Y = PLAYFIELD_H - SHIP_SIZE;  // 360
// Where a new game puts the ship, and with how much energy.
inline constexpr int SHIP_START_X = 140;
inline constexpr int SHIP_START_Y = 300;
inline constexpr int START_ENERGY = 10;
// Under rules with power-ups the ship's weapon has levels 1..MAX_POWER; under
// rules with bombs it starts each level with START_BOMBS and holds at most MAX_BOMBS.
inline constexpr int MAX_POWER = 4;
inline constexpr int START_BOMBS = 3;
inline constexpr int MAX_BOMBS = 5;
// The ship's ordinary shot flies straight up this many pixels per tick.
inline constexpr float PLAYER_SHOT_SPEED = 3.0f;
// The background is rows of square tiles this many pixels high; it scrolls
// down by SCROLL_SPEED pixels per tick, a new row every 195 ticks.
inline constexpr int TILE_SIZE = 64;
inline constexpr double SCROLL_SPEED = 0.33;
// Every enemy bullet hits the ship with a 3 x 3 box at its position, whatever
// its type; a larger picture is drawn centred on that box.
inline constexpr int BULLET_BOX = 3;

inline constexpr int MAX_PLAYER_SHOTS = 64;
inline constexpr int MAX_ENEMY_BULLETS = 64;
inline constexpr int MAX_ENEMIES = 64;
inline constexpr int MAX_PARTICLES = 4096;  // the last slot is never used
inline constexpr int MAX_SHOT_TYPES = 64;
// The table holds 16 enemy types; an enemy file under the plain rules holds
// at most 8 of them, under the arcade rules all 16 (Rules::enemy_types).
inline constexpr int MAX_ENEMY_TYPES = 16;
inline constexpr int PLAIN_ENEMY_TYPES = 8;
inline constexpr int MAX_ANIMATIONS = 32;
// Shot types start-up builds: 1 the ship's shot, 2 the beam, 3 the enemy
// bullet, then two more enemy bullets that only look different: 4 the small
// one scripts fire in fast aimed streams, 5 the large one of slow rings and
// walls. All three hit with the same 3 x 3 box.
inline constexpr int BUILT_IN_SHOT_TYPES = 5;
inline constexpr int ENEMY_BULLET_SHOT = 3;
inline constexpr int SMALL_BULLET_SHOT = 4;
inline constexpr int LARGE_BULLET_SHOT = 5;

inline constexpr int LEVEL_DIRECTOR = 255;  // enemy type of the invisible level timeline
inline constexpr int ENEMY_SCORE = 100;     // an enemy type's worth unless its level says otherwise
inline constexpr float FREE_PARTICLE = -1.0f;

// The two messages that end a level: the victory step's and the lost ship's.
inline constexpr const char* VICTORY_MESSAGE = "You are a winner!!!11";
inline constexpr const char* LOST_MESSAGE = "You fail it!!!1";

// Animation.flags
inline constexpr int ANIM_UNHITTABLE = 1;
inline constexpr int ANIM_EXPLODE = 2;
inline constexpr int ANIM_SPARK = 4;
inline constexpr int ANIM_BEAM = 8;
inline constexpr int ANIM_VICTORY = 16;

struct Animation {
  std::int32_t id = 0;        // set for the built-in shot types only; never read
  std::int32_t next = 0;      // step that follows; -1 ends the object's life
  std::int32_t duration = 0;  // the step lasts duration + 1 ticks
  std::int32_t frame = 0;     // object index in the type's datafile
  std::int32_t flags = 0;
  std::int16_t offset_x = 0;  // enemy frames are drawn this far from the position
  std::int16_t offset_y = 0;
  std::int32_t frame_w = 0;  // filled with the texture
  std::int32_t frame_h = 0;
  BITMAP* shadow = nullptr;  // enemy types: the frame's black silhouette
  PixelMask* mask = nullptr;
  unsigned int texture = 0;  // OpenGL texture name
  float tex_u = 0.0f;        // frame size / texture edge
  float tex_v = 0.0f;
};

struct Player {
  std::int32_t x = 0;  // 0..280
  std::int32_t y = 0;  // 0..360
  std::int32_t fire_cooldown = 0;
  std::int32_t energy = 0;  // the game is lost below 1
  std::int32_t score = 0;
  PixelMask* mask = nullptr;
  unsigned int texture = 0;
  // Raised only under rules that ask for them; 0 otherwise.
  std::int32_t invulnerable = 0;  // ticks left in which the ship collides with nothing
  std::int32_t chain = 0;         // kills in a row: the multiplier is chain + 1, at most the rules'
  std::int32_t chain_left = 0;    // ticks until the chain breaks without another kill
  std::int32_t power = 0;      // weapon level 1..MAX_POWER under rules with power-ups; 0 otherwise
  std::int32_t bombs = 0;      // bombs left, 0..MAX_BOMBS under rules with bombs; 0 otherwise
  std::int32_t bomb_left = 0;  // ticks the bomb still plays
  // 1 when the bomb input was down last tick: a bomb drops when it goes down,
  // so holding it never drops a second one. Every level start clears it.
  std::int32_t bomb_held = 0;
};

// How long the screen answers a blow, in ticks, and how far it shakes.
inline constexpr int SHAKE_TICKS = 12;
inline constexpr int SHAKE_PIXELS = 2;  // the most the playfield moves either way
inline constexpr int ENEMY_TINT_TICKS = 3;
// The energy bar's lost part flashes for about half the ship's untouchable time.
inline constexpr int ENERGY_FLASH_TICKS = 64;

// The player's difficulty; under rules that do not choose one the game plays
// as on Normal.
enum Difficulty : std::int32_t { DIFFICULTY_EASY = 0, DIFFICULTY_NORMAL = 1, DIFFICULTY_HARD = 2 };
inline constexpr int DIFFICULTIES = 3;
// What each difficulty multiplies every enemy bullet's velocity by.
inline constexpr std::array<float, DIFFICULTIES> ENEMY_BULLET_SPEED = {0.8f, 1.0f, 1.15f};

// ---- The rules a level is played by ----
// Chosen once at level start (the campaign asks for them) and read by the
// tick; the plain rules leave every arcade field at 0 and the game exactly as
// it always played.
struct Rules {
  std::int32_t invulnerable_ticks = 0;  // after a blow the ship is untouchable this long
  std::int32_t chain_ticks = 0;         // a kill within this long of the last raises the chain
  std::int32_t max_multiplier = 1;      // the chain's multiplier stops here
  bool group_scores = false;            // members that fall with their trigger score too
  bool keeps_tally = false;             // the level's tally is counted for its stage-clear screen
  std::int32_t enemy_tint_ticks = 0;    // an enemy that lives through a hit shows it this long
  std::int32_t shake_ticks = 0;         // a blow to the ship shakes the playfield this long
  std::int32_t energy_flash_ticks = 0;  // and flashes the energy bar's lost part this long
  bool ship_explodes = false;           // a lost ship bursts, collides no more and is not drawn
  // Read by the shell's screens around play, not by the tick.
  bool game_ends = false;        // game over, ending, name entry and score table; "High scores"
  std::int32_t continues = 0;    // a lost game may go on this often per game
  bool menus_in_window = false;  // Escape in play selects Resume; notices drawn in the window
  bool enemy_extras = false;     // the enemy file's companion gives scores, bosses and their health
  bool wait_health = false;      // the script instruction wait_health runs (else it is unknown)
  // The player's difficulty counts: skip_unless runs (else it is unknown) and
  // enemy bullets take the difficulty's speed. Set with rules_at_difficulty.
  bool chooses_difficulty = false;
  std::int32_t difficulty = DIFFICULTY_NORMAL;  // what skip_unless compares with
  float enemy_bullet_speed = 1.0f;              // every enemy bullet's velocity is times this
  bool power_ups = false;  // enemy types drop items; the weapon has levels; a blow costs one
  bool bombs = false;      // the second button drops a bomb; START_BOMBS at every level start
  // Read by the renderers: the frame-rate line only when the player asks for
  // it, small in a corner, instead of always across the ship's flight path.
  bool fps_on_request = false;
  // Read by the renderers and the level start: a background of several tiles
  // with a layer of dust over it, each bullet kind its own picture, the ship's
  // long shot, and debris in a colour no bullet has. Nothing that hits moves.
  bool detailed_looks = false;
  // Read by the enemy loader: how many types an enemy file may define. Full
  // levels need a mid-boss, a boss and its gun mount beside six regular types.
  std::int32_t enemy_types = PLAIN_ENEMY_TYPES;
};
inline constexpr Rules PLAIN_RULES{};
inline constexpr Rules ARCADE_RULES{
    .invulnerable_ticks = 120,
    .chain_ticks = 150,
    .max_multiplier = 8,
    .group_scores = true,
    .keeps_tally = true,
    .enemy_tint_ticks = ENEMY_TINT_TICKS,
    .shake_ticks = SHAKE_TICKS,
    .energy_flash_ticks = ENERGY_FLASH_TICKS,
    .ship_explodes = true,
    .game_ends = true,
    .continues = 3,
    .menus_in_window = true,
    .enemy_extras = true,
    .wait_health = true,
    .chooses_difficulty = true,
    .power_ups = true,
    .bombs = true,
    .fps_on_request = true,
    .detailed_looks = true,
    .enemy_types = MAX_ENEMY_TYPES,
};
// `base` played at `difficulty` (clamped to Easy..Hard) when it chooses one;
// otherwise `base` unchanged, so the plain rules stay exactly as they were.
Rules rules_at_difficulty(const Rules& base, int difficulty);
// The ship blinks while untouchable: hidden on every other span this long.
inline constexpr int BLINK_TICKS = 4;
extern Rules rules;

// Whether the ship is drawn this tick: always, but on the hidden spans of its
// blink and once it has burst under rules where a lost ship explodes.
bool ship_shown();
// The multiplier the next kill scores with: 1 to rules.max_multiplier.
int score_multiplier();

// What a level's stage-clear screen tells, counted by the tick under rules
// that keep a tally (all 0 otherwise) and zeroed at every level start. The
// last two are for the level runner: touches ignored happen only under rules
// that make the ship untouchable.
struct LevelTally {
  std::int32_t appeared = 0;      // enemies spawned, the level director left out
  std::int32_t destroyed = 0;     // of those, the ones the ship's shots and bombs brought down
  std::int32_t hits = 0;          // blows that cost the ship energy
  std::int32_t max_chain = 0;     // the highest multiplier reached
  std::int32_t hits_ignored = 0;  // bullets and enemies that touched the ship while untouchable
  std::int32_t bombs = 0;         // bombs dropped
  // What each type's kills scored (index type - 1), counted under every
  // rule set: where the score came from, for the level runner.
  std::array<std::int32_t, MAX_ENEMY_TYPES> score_by_type{};
  // Items by kind (index kind - 1), under rules with power-ups.
  std::array<std::int32_t, 3> items_dropped{};
  std::array<std::int32_t, 3> items_taken{};
};
extern LevelTally level_tally;

// What the screen shows of a blow or a boss's end beyond the world itself,
// raised by the tick under rules that ask for it (all 0 otherwise) and
// counted down at the start of every tick, so a raise of N shows on the
// frames of N ticks. The renderers read it; the player's "Screen effects"
// setting may leave the shake and the flash out.
struct ScreenFeedback {
  std::int32_t shake_left = 0;         // ticks the playfield still shakes
  std::int32_t flash_left = 0;         // ticks of a white full-screen flash left
  std::int32_t energy_flash_left = 0;  // ticks the energy bar's lost part still flashes
  std::int32_t energy_lost_from = 0;   // the energy before the blow: the bar flashes down to now
};
extern ScreenFeedback screen_feedback;
// A boss's fall flashes the screen white this long.
inline constexpr int BOSS_FLASH_TICKS = 6;

// ---- The bomb ----
// Under rules with bombs the second button drops one, when the ship has one
// and none is playing: every enemy bullet turns into a spark, every enemy on
// the screen that can be hit loses BOMB_DAMAGE (a boss BOSS_BOMB_SHARE of its
// full health, never its last point), the chain breaks, and the ship is
// untouchable, blinking, while the beam sweeps the playfield.
inline constexpr int BOMB_TICKS = 150;       // 1.5 s
inline constexpr float BOMB_DAMAGE = 10.0f;  // twenty shots: more than any ordinary enemy has
// 12 %: the three bombs of a level take at most a third of a boss, five
// bombs less than two thirds, so a fight is shortened but still shot out.
inline constexpr float BOSS_BOMB_SHARE = 0.12f;
inline constexpr int BOMB_FLASH_TICKS = 4;  // shown only with the player's screen effects

struct Bullet {
  std::int32_t type = 0;  // 0 = free, else the 1-based shot type
  float x = 0.0f;
  float y = 0.0f;
  float vx = 0.0f;
  float vy = 0.0f;
  std::int32_t anim = 0;  // -1 = finished: hidden, freed when its timer runs out
  std::int32_t anim_timer = 0;
  std::int32_t hit = 0;      // 1 once it has hit something
  std::int32_t ignored = 0;  // 1 once it has touched the untouchable ship (counted once)
};

struct ShotType {
  float damage = 0.0f;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t start_anim = 0;
  std::int32_t hit_anim = 0;
  DATAFILE* data = nullptr;
  std::array<Animation, MAX_ANIMATIONS> anims{};
};

// A boss's name as its health bar shows it: up to 20 characters and the NUL.
inline constexpr int BOSS_NAME_SIZE = 21;

struct EnemyType {
  std::int32_t health = 0;  // a new enemy's; a boss's may pass the enemy file's 255
  std::int32_t score = 0;
  bool boss = false;  // shows a health bar while it lives and falls with a blast
  std::array<char, BOSS_NAME_SIZE> name{};  // a boss's, NUL-terminated
  std::int32_t start_anim = 0;
  std::int32_t death_anim = 0;
  // Under rules with power-ups every drop_every-th kill of the type by a
  // player shot drops an item of kind `drop` (0: it drops none).
  std::int32_t drop = 0;
  std::int32_t drop_every = 0;
  // The first enemy of this type to appear in a level (its boss warning)
  // starts the level's boss track; read by the shell, never by the tick.
  bool starts_boss_music = false;
  DATAFILE* data = nullptr;
  std::array<Animation, MAX_ANIMATIONS> anims{};
};

struct Enemy {
  std::int32_t type = 0;  // 0 = free, 1..8, or LEVEL_DIRECTOR
  float health = 0.0f;    // dying at 0 or less
  std::int32_t score = 0;
  float x = 0.0f;
  float y = 0.0f;
  float vx = 0.0f;
  float vy = 0.0f;
  std::int32_t wait = 0;  // the script runs only when this is 0
  std::int32_t pc = 0;
  std::int32_t script_number = 0;  // 0-based; for reference only
  std::int32_t group = 0;
  std::int32_t group_trigger = 0;  // > 0: destroying it brings its group down
  std::int32_t angle = 0;          // 256 per full turn
  std::array<ScriptInstruction, MAX_SCRIPT_LENGTH> script{};
  // How many instructions of `script` were copied at spawn: the interpreter
  // never runs past them, so a script can never read what an earlier
  // occupant of the slot left behind.
  std::int32_t script_length = 0;
  // Ticks it is still drawn brightened after a hit it lived through; raised
  // only under rules that ask for it, counted down by its own update.
  std::int32_t tint_left = 0;
  std::int32_t ignored = 0;  // 1 once it has touched the untouchable ship (counted once)
};

struct EnemyAnimState {
  std::int32_t anim = 0;  // -1 = end: freed when its timer next runs out
  std::int32_t death_anim = 0;
  std::int32_t anim_timer = 0;
};

// A particle's colour as the world keeps it: r | g << 8 | b << 16, whatever
// the screen's pixel format. The world, and so every recording of it, is then
// the same on any display; the renderers convert as they draw. It is what
// makecol gives at 32 bits before any graphics mode, so the runner's hashes
// stay as they were.
constexpr std::int32_t particle_colour(int r, int g, int b) {
  return r | g << 8 | b << 16;
}
constexpr int particle_red(std::int32_t c) {
  return c & 0xFF;
}
constexpr int particle_green(std::int32_t c) {
  return (c >> 8) & 0xFF;
}
constexpr int particle_blue(std::int32_t c) {
  return (c >> 16) & 0xFF;
}

struct Particle {
  float x = FREE_PARTICLE;
  float y = 0.0f;
  float vx = 0.0f;
  float vy = 0.0f;
  std::int32_t colour = 0;  // particle_colour's r | g << 8 | b << 16, on every display
  std::int32_t move_timer = 0;
  std::int32_t move_period = 0;
  std::int32_t alpha = 0;  // 255 at spawn; dies below 1
  std::int32_t fade_step = 0;
  std::int32_t fade_timer = 0;
  std::int32_t fade_period = 0;
};

extern Player player;
extern std::array<Bullet, MAX_PLAYER_SHOTS> player_shots;
extern std::array<Bullet, MAX_ENEMY_BULLETS> enemy_bullets;
extern std::array<Enemy, MAX_ENEMIES> enemies;
extern std::array<EnemyAnimState, MAX_ENEMIES> enemy_anim_states;  // slot i belongs to enemies[i]
extern std::array<Particle, MAX_PARTICLES> particles;
extern std::array<ShotType, MAX_SHOT_TYPES> shot_types;     // entries 0 to 2 are built in
extern std::array<EnemyType, MAX_ENEMY_TYPES> enemy_types;  // filled from the enemy file

// ---- Items ----
// Dropped by enemy types that say so, under rules with power-ups only. An item
// drifts down ITEM_FALL_SPEED pixels a tick swaying ITEM_SWAY pixels either
// side of its line (a fixed wave of its age, no random draw), blinks over its
// last ITEM_BLINK_TICKS before it leaves the bottom, and is taken when its
// picture's mask touches the ship's.
enum ItemKind : std::int32_t { ITEM_POWER = 1, ITEM_ENERGY = 2, ITEM_BOMB = 3 };
inline constexpr int ITEM_KINDS = 3;
inline constexpr int MAX_ITEMS = 16;
inline constexpr int ITEM_SIZE = 16;  // every item's picture is ITEM_SIZE x ITEM_SIZE
inline constexpr float ITEM_FALL_SPEED = 0.5f;
inline constexpr int ITEM_SWAY = 10;
inline constexpr int ITEM_SWAY_TICKS = 160;  // one whole sway, there and back
// 2 s: at ITEM_FALL_SPEED the last 100 pixels above the bottom.
inline constexpr int ITEM_BLINK_TICKS = 200;
inline constexpr int ENERGY_ITEM_POINTS = 2;

struct Item {
  std::int32_t kind = 0;  // 0 = free, else ITEM_POWER..ITEM_BOMB
  float x = 0.0f;         // top-left of its picture: line_x and the sway of its age
  float y = 0.0f;
  float line_x = 0.0f;   // where it sways about
  std::int32_t age = 0;  // ticks since it dropped
};

extern std::array<Item, MAX_ITEMS> items;
// Kills by player shots of each type (index type - 1) since its last drop.
extern std::array<std::int32_t, MAX_ENEMY_TYPES> kills_toward_drop;
// The item pictures by kind (index kind - 1): frame (object of "data.dat"),
// size, mask and texture. Filled at start-up.
extern std::array<Animation, ITEM_KINDS> item_pictures;

// Drops an item of `kind` centred on (cx, cy); dropped silently when the table is full.
void drop_item(int kind, float cx, float cy);
// Whether an item is drawn this tick: always, but on the hidden spans of its blink.
bool item_shown(const Item& item);

extern std::int32_t scroll_row;  // whole 64-pixel tile rows scrolled so far
extern float scroll_offset;      // pixels within the current row, 0 up to 64

// ---- Events of the tick ----
// What the player should hear about, recorded as the tick goes. The list holds
// one entry per kind: a second event of a kind joins the first (its count and
// the mean of their x), so a wave firing twenty bullets in one tick is one
// entry, and no number of events can outgrow the list. The shell reads the
// entries after a catch-up pass and empties the list for the next one.
enum WorldEventKind : int {
  EVENT_PLAYER_SHOT = 0,  // the ship fired its ordinary shot
  EVENT_PLAYER_BEAM,      // the ship fired its beam
  EVENT_ENEMY_FIRE,       // an enemy bullet left its gun
  EVENT_ENEMY_HIT,        // a player shot landed on an enemy that survived it
  EVENT_ENEMY_DESTROYED,  // an enemy's explosion step ended: it burst
  EVENT_SHIP_HIT,         // a bullet hit the ship, or the ship rammed an enemy
  EVENT_GAME_LOST,        // the ship's energy fell below 1
  EVENT_LEVEL_WON,        // a victory step ended
  EVENT_SHIP_EXPLODED,    // the lost ship burst (only under rules where it does)
  EVENT_ITEM_TAKEN,       // the ship took an item
  EVENT_BOMB,             // the ship dropped a bomb (only under rules with bombs)
  WORLD_EVENT_KIND_COUNT
};

struct WorldEvent {
  std::int32_t count = 0;  // events of this kind since the list was emptied; 0 = none
  float x = 0.0f;          // their mean x in playfield pixels, 0..320
};

extern std::array<WorldEvent, WORLD_EVENT_KIND_COUNT> world_events;  // indexed by kind
// 1 while the tick records events (the default); 0 leaves the list alone.
extern std::int32_t world_events_recording;

// Adds one event; a kind outside the list is dropped. Never allocates.
void record_world_event(int kind, float x);
void clear_world_events();

// ---- On-screen messages ----
// Raised by the tick (and a level's title), counted down once per tick; the
// renderers only draw the visible ones.

inline constexpr int MAX_MESSAGES = 8;
inline constexpr int MESSAGE_TEXT_SIZE = 32;  // 31 characters and the NUL

struct Message {
  std::array<char, MESSAGE_TEXT_SIZE> text{};
  std::int32_t time_left = 0;  // ticks; > 0 = visible, 0 = free
};

extern std::array<Message, MAX_MESSAGES> messages;

// Puts text up for `ticks` logic ticks in the lowest free slot; dropped when
// all are busy. A longer text is cut to 31 characters.
void show_message(const char* text, int ticks);
void clear_messages();
void tick_messages();

// ---- The game's outcome, as the tick keeps it (read it with game_outcome) ----
enum class GameOutcome : std::int32_t { playing = 0, won, lost };
struct OutcomeState {
  GameOutcome outcome = GameOutcome::playing;
  std::int32_t victory_step = 0;  // 1 once a victory step ended in this tick
};
extern OutcomeState outcome_state;

// ---- The world's random numbers ----
// The sequence of the C library's rand() after srand(seed) (glibc's additive
// feedback generator: 31 words, each draw adds the word 3 back into the
// front one and gives its top 31 bits), kept as a record of the world so a
// world is saved, restored and copied whole with the numbers it will draw.
struct WorldRandom {
  std::array<std::uint32_t, 31> words{};
  std::int32_t front = 0;  // the word the next draw changes; its partner is 3 behind
};
extern WorldRandom world_random;  // seed 1's words until seeded, as rand() before srand
// What srand(seed) does: the words from seed (0 counts as 1), 310 draws thrown away.
void seed_world_random(std::uint32_t seed);
// The next draw, 0..2^31-1, as rand() would give it.
int world_rand();

// ---- One tick's input ----
// What the ship is told for one tick, filled by the shell from the keyboard
// and joystick, by the runner from its pilot and by playback from a
// recording; the world never reads a device.
struct TickInput {
  bool left = false;
  bool right = false;
  bool up = false;
  bool down = false;
  bool fire = false;
  bool bomb = false;  // held: the tick drops a bomb when it goes down
};

// ---- Every piece of state the tick changes, in one list ----
// Calls `visit` once per table (or pair of tables read together) in this
// order. The runner's hash, the benchmark's save and restore and the tests'
// reset all walk this list, so a table added here reaches every one of them:
// a visitor without a case for its type does not compile. Enemies come with
// their animation states (slot i of one belongs to slot i of the other), the
// scroll as its row and offset.
template <typename Visit>
void visit_world_tables(Visit&& visit) {
  visit(player);
  visit(player_shots);
  visit(enemy_bullets);
  visit(enemies, enemy_anim_states);
  visit(particles);
  visit(messages);
  visit(scroll_row, scroll_offset);
  visit(level_tally);
  visit(screen_feedback);
  visit(items, kills_toward_drop);
  visit(outcome_state);
  visit(world_random);
}

// FNV-1a over bytes, continuing from `digest`.
std::uint64_t fnv1a(std::span<const std::uint8_t> bytes,
                    std::uint64_t digest = 0xcbf29ce484222325ULL);
// Feeds plain values into an FNV-1a digest by their bytes; floats by their
// bit pattern, so -0.0 and 0.0 differ as the world's arithmetic made them.
struct Digest {
  std::uint64_t value = 0xcbf29ce484222325ULL;

  template <typename T>
  void add(const T& v) {
    static_assert(std::is_arithmetic_v<T>);
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    value = fnv1a(bytes, value);
  }
  template <typename T, typename... More>
  void add(const T& v, const More&... more) {
    add(v);
    add(more...);
  }
};
// A digest of every table visit_world_tables lists: every live slot with its
// index, free slots left out, so what an earlier run left in them changes
// nothing. Recordings keep it every few seconds; the runner prints it.
std::uint64_t world_hash();

// The ship where a new game starts it, with START_ENERGY.
void put_ship_at_start();
// Resets of a new game and of the first entry of the play loop.
void reset_world_for_new_game();
void reset_world_for_level_start();
// A level that follows another in a campaign: the level start's reset, and
// every particle and enemy bullet freed as well.
void reset_world_for_next_level();
void free_all_particles();
// The weapon level a level starts with, once its rules are chosen: under rules
// with power-ups the level the last one ended with (1 after a new game or a
// continue, whose reset leaves it 0); 0 otherwise.
void start_level_power();

// One logic tick as the game runs it, for the play loop and the level runner
// alike: the ship's controls (update_player), the world (update_world) and the
// messages counted down. The tick's events join the list; the caller hears
// them and empties it.
void run_tick(const TickInput& input);

// One logic tick of the whole world, in its seven phases; at its end the
// outcome is settled.
void update_world();

// ---- The game's outcome ----
// Lost from the tick the ship's energy falls below 1, and it stays lost; won
// from the tick a victory step ends while the game is not lost. A victory and
// the last point of energy lost in the same tick make a win. Settled once per
// tick, after every phase, so nothing has to read the messages to know it.
GameOutcome game_outcome();
// Back to playing: done by every level start, so the next level of a campaign
// starts undecided.
void reset_game_outcome();
// The level runner's immortal ship, after a tick: its energy back to
// START_ENERGY and a loss of this tick forgiven, the outcome back to `before`,
// what it was before the tick.
void keep_ship_alive(GameOutcome before);

// One tick's input to ship movement, fire and bomb.
void update_player(const TickInput& input);
// One shot from the ship's middle, as the plain game fires it.
void fire_player_shot(int shot_type);
// One shot leaving `dx` pixels right of the ship's left edge, type 1 moving
// `vx` pixels a tick aside; dropped when every shot slot is busy.
void fire_player_shot_from(int shot_type, float dx, float vx);

void spawn_bullet(int enemy_slot, int shot_type, float x, float y, float vx, float vy, int offset_x,
                  int offset_y);
void spawn_enemy(int enemy_type, int script_number, float x, float y, float vx, float vy, int group,
                 int group_trigger);
void spawn_particle(float x, float y, float vx, float vy, int colour, int fade_step,
                    int move_period, int fade_period);
// Sends every live member of the group into its death step; returns what
// they are worth together.
int trigger_group(int group);

// ---- The script interpreter ----

// Runs Enemy.script[pc] of enemy `slot` and advances pc (to 0 after OP_RESTART).
// An opcode with no action is reported as "Unknown OpCode N" on
// unknown_opcode_stream the first time it runs in a level, then skipped
// silently: a broken level must not write a line per execution.
void execute_script_instruction(int slot);
// Standard output in the game; the level runner sends the reports to
// standard error, away from its JSON.
extern std::FILE* unknown_opcode_stream;
// Every level start forgets which opcodes were reported.
void forget_reported_opcodes();

// The driving rule of one tick for enemy `slot`: when its wait is 0 and it is
// alive, runs instructions up to and including the next yielding one (OP_WAIT,
// OP_END, OP_REMOVE) or up to a wait_health that holds (skip_unless is a jump
// within the burst and never yields); otherwise counts its wait down. A burst
// that runs past the script's copied instructions, or that loops without
// yielding, is cut short instead of reading stale instructions or hanging the
// tick.
void run_script(int slot);

// The slot of the first boss that still lives (its health above 0), or -1.
int living_boss();

// Effects of animation steps that end with flags.
void enemy_step_event(int slot);
void shot_step_event(int owner, int slot, int flags);  // owner -1: player shot

// 1 when the boxes share at least one pixel.
int rects_overlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);
// Where a projectile's picture of `frame_size` pixels starts, relative to its
// position, so that it is centred on the 3 x 3 box it hits with: 0 for a
// 3-pixel frame, -1 for a 5-pixel one.
inline int bullet_picture_offset(int frame_size) {
  return (BULLET_BOX - frame_size) / 2;
}
// The bitmap of object `frame` of a datafile, or null when the datafile ends
// before it, the index is negative or the object is not a bitmap. Walks at
// most `frame` objects. The one frame lookup of the world, the loaders and
// the tools.
BITMAP* frame_bitmap(const DATAFILE* data, int frame);
// A random integer between a and b inclusive, in either order, from world_rand().
int random_between(int a, int b);
