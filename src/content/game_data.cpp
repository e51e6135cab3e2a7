// "data.dat": its shape check, its load at start-up and the two built-in shot
// types made from it.
#include <allegro.h>

#include <cstdlib>

#include "content/content.h"
#include "mask/mask.h"
#include "world/world.h"

DATAFILE* game_data = nullptr;
int renderer = 0;

namespace {

struct BuiltInStep {
  int next;
  int duration;
  int flags;
};

struct BuiltInShot {
  float damage;
  int width;
  int height;
  std::array<BuiltInStep, 3> steps;
  bool masks;  // only the small shot collides pixel by pixel
};

// Type 1 is the ship's ordinary shot, type 2 the full-height beam.
constexpr std::array<BuiltInShot, 2> BUILT_IN_SHOTS = {{
    {0.5f, 3, 3, {{{2, 5, 0}, {-1, 1, ANIM_UNHITTABLE | ANIM_EXPLODE}, {2, 1, 0}}}, true},
    {100.0f, 3, 400, {{{2, 5, ANIM_BEAM}, {-1, 1, ANIM_BEAM}, {-1, 1, 0}}}, false},
}};

int object_is(const DATAFILE* data, int index, int type) {
  return data[index].type == type && data[index].dat != nullptr;
}

// Each built-in shot type reads its frames from its own copy of the archive.
void load_builtin_shot_type(int index) {
  const BuiltInShot& built_in = BUILT_IN_SHOTS[index];
  ShotType& type = shot_types[index];
  type.damage = built_in.damage;
  type.width = built_in.width;
  type.height = built_in.height;
  type.start_anim = 0;
  type.hit_anim = 1;
  type.data = load_datafile("data.dat");
  if (!game_data_usable(type.data)) std::exit(1);
  BITMAP* shot = static_cast<BITMAP*>(type.data[DATA_SHOT].dat);
  for (int step = 0; step < static_cast<int>(built_in.steps.size()); ++step) {
    Animation& anim = type.anims[step];
    anim.id = step;
    anim.next = built_in.steps[step].next;
    anim.duration = built_in.steps[step].duration;
    anim.frame = DATA_SHOT;
    anim.flags = built_in.steps[step].flags;
    anim.offset_x = 0;
    anim.offset_y = 0;
    if (built_in.masks) anim.mask = create_mask_from_bitmap(shot);
    make_shot_texture(index, step);
  }
}

}  // namespace

int game_data_usable(const DATAFILE* data) {
  if (data == nullptr) return 0;
  for (int i = 0; i <= DATA_MENU_FONT; ++i)
    if (data[i].type == DAT_END) return 0;
  return object_is(data, DATA_PLAYER_SHIP, DAT_BITMAP) && object_is(data, DATA_SHOT, DAT_BITMAP) &&
         object_is(data, DATA_MENU_BACKGROUND, DAT_BITMAP) &&
         object_is(data, DATA_MENU_FONT, DAT_FONT);
}

void load_game_data() {
  game_data = load_datafile("data.dat");
  if (!game_data_usable(game_data)) {
    // A wrong archive is as useless as a missing one.
    allegro_message("Error loading \"data.dat\"\n");
    std::exit(1);
  }
  install_masks();
  player.mask = create_mask_from_bitmap(static_cast<BITMAP*>(game_data[DATA_PLAYER_SHIP].dat));
  // The enemy file carries no score. Only the first type used to get one, and
  // that type is the level director, which is never shot down: the score
  // could never move. Every type is worth the same instead.
  for (EnemyType& type : enemy_types) type.score = ENEMY_SCORE;
  load_builtin_shot_types();
}

void load_builtin_shot_types() {
  load_builtin_shot_type(0);
  load_builtin_shot_type(1);
}

void release_shot_types() {
  for (ShotType& type : shot_types) {
    if (type.data != nullptr) unload_datafile(type.data);
    type.data = nullptr;
    for (Animation& anim : type.anims) {
      destroy_mask(anim.mask);
      anim.mask = nullptr;
    }
  }
}
