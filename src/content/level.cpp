// The start of a level, shared by the game's first entry and the level runner.
#include "content/content.h"
#include "content/textures_local.h"
#include "script/script.h"
#include "world/world.h"

void load_level(const char* script_file, const char* enemy_file, const char* tile_file,
                const Rules& level_rules) {
  reset_world_for_level_start();
  rules = level_rules;
  start_level_power();
  player.bombs = rules.bombs ? START_BOMBS : 0;
  load_scripts(script_file);
  load_tile_set(tile_file);
  load_enemy_types(enemy_file);
  load_enemy_extras(enemy_file, level_rules.enemy_extras);
  spawn_enemy(LEVEL_DIRECTOR, 1, 0.0f, 0.0f, 0.0f, 0.0f, 0, 0);
  clear_messages();
  make_white_texture();
  make_player_texture();
}
