// What the files of src/content share and no other folder uses: the enemy
// bullet's place in "data.dat", the campaign's own timings, and the checks a
// campaign runs on each level's files before any is loaded.
#pragma once

#include <string>

// The enemy bullet's two frames, 5 x 5, at this object and the next. An
// archive without them still loads: enemy bullets then borrow DATA_SHOT.
inline constexpr int DATA_ENEMY_BULLET = 7;
// The item pictures, 16 x 16, one per kind from this object on. An archive
// without them still loads: items then borrow DATA_SHOT.
inline constexpr int DATA_ITEM = 9;
// The ship's long shot (3 x 8), then the small bullet's two frames (5 x 5)
// and the large one's (9 x 9). An archive without them still loads: the ship's
// shot keeps its picture and each bullet kind borrows DATA_SHOT.
inline constexpr int DATA_LONG_SHOT = 12;
inline constexpr int DATA_SMALL_BULLET = 13;
inline constexpr int DATA_LARGE_BULLET = 15;

// How long the next level's title shows: 3 s.
inline constexpr int LEVEL_TITLE_TICKS = 300;
// Energy between levels: the ship keeps what it has and gets this much back,
// never above a new game's START_ENERGY. 10, START_ENERGY itself, is a full
// refill: each level starts as a fair fight (docs/levels.md says why).
inline constexpr int LEVEL_ENERGY_BONUS = 10;

// The message load_tile_set would show for the file, or "". Never exits.
std::string tile_set_problem(const char* name);
// The message load_enemy_types would show for the file (it cannot be opened
// or parsed, a datafile does not load, a frame is not a usable bitmap), or "".
// Loads nothing into enemy_types. Never exits.
std::string enemy_file_problem(const char* path, int max_types);
