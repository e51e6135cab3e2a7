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
std::string enemy_file_problem(const char* path);
