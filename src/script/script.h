// Scripts: the file format, the store every level's scripts are loaded into,
// and the selection of one script by its number. The interpreter that runs an
// enemy's copy belongs to the world (world.h), whose tables it changes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct ScriptInstruction {
  std::int32_t opcode = 0;                 // 0..255 as loaded
  std::array<std::int16_t, 8> operands{};  // each opcode uses a prefix of them
};

inline constexpr int SCRIPT_STORE_SIZE = 4096;  // instructions, OP_END records included
inline constexpr int MAX_SCRIPT_LENGTH = 128;  // instructions of one script, its OP_END not counted
inline constexpr int SCRIPT_RECORD_SIZE = 17;  // bytes of one instruction in a ".wif" file
// A full store, and the stray bytes past its last record the loader ignores.
inline constexpr std::size_t MAX_SCRIPT_FILE_BYTES =
    SCRIPT_STORE_SIZE * SCRIPT_RECORD_SIZE + SCRIPT_RECORD_SIZE - 1;

// Scripts lie back to back, each followed by one OP_END. Script k (from 1)
// starts after the (k-1)-th OP_END. A load fills entries 0..N-1 and leaves the
// rest as it was.
extern std::array<ScriptInstruction, SCRIPT_STORE_SIZE> script_store;

enum Opcode : std::int32_t {
  OP_WAIT = 1,          // 0: ticks. Yields.
  OP_SET_VELOCITY = 2,  // 0: vx/100, 1: vy/100
  OP_FIRE = 5,          // 0: shot type, 1: x, 2: y, 3: vx/100, 4: vy/100, 5: offset x, 6: offset y
  OP_SPAWN = 6,  // 0: enemy type, 1: script, 2: x, 3: y, 4: vx/100, 5: vy/100, 6: group, 7: trigger
  OP_RESTART = 7,      // pc back to 0
  OP_END = 8,          // ends a script in the store; never copied into an enemy. Yields.
  OP_REMOVE = 10,      // frees the enemy's slot. Yields.
  OP_SET_ANGLE = 11,   // 0: angle, 256 per full turn
  OP_FIRE_AIMED = 12,  // 0: shot type, 1: speed/100, 2: offset x, 3: offset y; towards the ship
  // 0: health points. Under rules that allow it, yields every tick until the
  // enemy's own health is at or below operand 0, then goes on in the same
  // burst; elsewhere an unknown opcode.
  OP_WAIT_HEALTH = 13,
  // 0: the lowest difficulty (0 Easy, 1 Normal, 2 Hard), 1: instructions. Under
  // rules that choose a difficulty, skips the next operand 1 instructions when
  // the game's is lower than operand 0; never yields. Elsewhere unknown.
  OP_SKIP_UNLESS = 14,
};

// Shows the message (formatted as printf does) as Allegro shows one, in a box
// or on standard output, and ends the program with status 1: the end of every
// error the player must see. Lives here, low in the line of libraries, so
// every library that loads a file can call it.
[[noreturn]] void fatal_error(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A whole file as read from disk.
struct WholeFile {
  std::vector<std::uint8_t> bytes;  // all of the file when error is 0, else what was read
  int error = 0;                    // 0 when the whole file was read, else the errno of the failure
  bool opened = false;              // the file opened: an error came while reading it
  std::string refusal;  // why a file that opened was not read: not a regular file, or too large
};

// How large each kind of outside file may be; a larger one is refused before
// a byte of it is read. Far above anything the game ships or a tool writes.
inline constexpr std::size_t MAX_TEXT_FILE_BYTES = 1024 * 1024;       // settings, TOML, sources
inline constexpr std::size_t MAX_RECORDING_BYTES = 64 * 1024 * 1024;  // a runner's recording

// Reads the whole file at path, at most `limit` bytes. Only a regular file
// is read: a FIFO, a device or a folder opens without blocking and is
// refused, as is a file larger than `limit` (error EFBIG), even one that
// grows while it is read. Never throws and never exits: each caller decides
// what a missing or unreadable file means. Every loader and tool reads its
// files with it.
WholeFile read_whole_file(const char* path, std::size_t limit);
// Why the file could not be read, in a few words ("" when it was): its
// refusal, or the system's text for the error.
std::string whole_file_problem(const WholeFile& file);

// A parsed ".wif" file, or the text of why it cannot be loaded (empty on success).
struct ScriptParse {
  std::vector<ScriptInstruction> instructions;
  std::string error;
};

// Parses a whole script file's bytes; path only fills the messages. Never exits.
ScriptParse parse_scripts(std::span<const std::uint8_t> bytes, const char* path);

// Reads and parses a script file as the game's loader does, with the loader's
// message for a missing, oversized or unreadable file. Never exits.
ScriptParse read_script_file(const char* path);

// The game's loader: copies the file into script_store, or shows the message
// and ends the program with status 1.
void load_scripts(const char* path);

// Finds script `number` (1-based) in script_store. On success sets *start to
// its first instruction and *length to its instruction count (at most
// MAX_SCRIPT_LENGTH: a longer script is cut) and returns true. Returns false
// for a number of 0 or less, one past the last OP_END, or a script that no
// OP_END follows inside the store: such a number names no script.
bool find_script(int number, int* start, int* length);
