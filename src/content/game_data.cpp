// "data.dat": its shape check, its load at start-up and the five built-in
// shot types made from it.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "content/content.h"
#include "content/content_local.h"
#include "content/textures_local.h"
#include "mask/mask.h"
#include "script/script.h"
#include "world/world.h"

DATAFILE* game_data = nullptr;
Renderer renderer = Renderer::Software;
Animation long_shot_picture;

namespace {

struct BuiltInStep {
  int next;
  int duration;
  int flags;
  int frame;  // object of "data.dat"
};

// Which collision mask each step of a shot type gets.
enum class ShotMask {
  none,   // the beam: boxes alone decide
  frame,  // the ship's shot: its picture
  core,   // the enemy bullet: the 3 x 3 box, whatever the picture's size
};

struct BuiltInShot {
  float damage;
  int width;
  int height;
  int step_count;
  std::array<BuiltInStep, 4> steps;
  ShotMask masks;
};

constexpr int HIT = ANIM_UNHITTABLE | ANIM_EXPLODE;
constexpr int GLOW = DATA_ENEMY_BULLET;
constexpr int DIM = DATA_ENEMY_BULLET + 1;
constexpr int SMALL = DATA_SMALL_BULLET;
constexpr int LARGE = DATA_LARGE_BULLET;

// Type 1 is the ship's ordinary shot, type 2 the full-height beam, type 3 the
// enemy bullet: type 1's damage and steps, with a picture of its own that
// pulses between two frames while it flies (the reload takes the start step's
// duration, so each frame shows for six ticks). Types 4 and 5 are type 3 with
// the small and the large bullet's pictures.
constexpr std::array<BuiltInShot, BUILT_IN_SHOT_TYPES> BUILT_IN_SHOTS = {{
    {0.5f,
     3,
     3,
     3,
     {{{2, 5, 0, DATA_SHOT}, {-1, 1, HIT, DATA_SHOT}, {2, 1, 0, DATA_SHOT}}},
     ShotMask::frame},
    {100.0f,
     3,
     400,
     3,
     {{{2, 5, ANIM_BEAM, DATA_SHOT}, {-1, 1, ANIM_BEAM, DATA_SHOT}, {-1, 1, 0, DATA_SHOT}}},
     ShotMask::none},
    {0.5f,
     BULLET_BOX,
     BULLET_BOX,
     4,
     {{{2, 5, 0, GLOW}, {-1, 1, HIT, GLOW}, {3, 1, 0, DIM}, {2, 1, 0, GLOW}}},
     ShotMask::core},
    {0.5f,
     BULLET_BOX,
     BULLET_BOX,
     4,
     {{{2, 5, 0, SMALL}, {-1, 1, HIT, SMALL}, {3, 1, 0, SMALL + 1}, {2, 1, 0, SMALL}}},
     ShotMask::core},
    {0.5f,
     BULLET_BOX,
     BULLET_BOX,
     4,
     {{{2, 5, 0, LARGE}, {-1, 1, HIT, LARGE}, {3, 1, 0, LARGE + 1}, {2, 1, 0, LARGE}}},
     ShotMask::core},
}};

int object_is(const DATAFILE* data, int index, int type) {
  return data[index].type == type && data[index].dat != nullptr;
}

// Whether the archive holds every frame a built-in type's steps name; an
// archive made before a type's pictures existed ends before them.
bool has_own_frames(const DATAFILE* data, const BuiltInShot& built_in) {
  for (int step = 0; step < built_in.step_count; ++step)
    if (frame_bitmap(data, built_in.steps[step].frame) == nullptr) return false;
  return true;
}

// A solid 3 x 3 mask: what every enemy bullet hits with.
PixelMask* core_mask() {
  BITMAP* core = create_bitmap(BULLET_BOX, BULLET_BOX);
  if (core == nullptr) return nullptr;
  clear_to_color(core, makecol(255, 255, 255));
  PixelMask* mask = create_mask_from_bitmap(core);
  destroy_bitmap(core);
  return mask;
}

// Each built-in shot type reads its frames from its own copy of the archive.
// Without its frames an enemy bullet type borrows the ship's shot's, so an
// older archive still plays: the bullets fly and hit, only their picture is
// the shot's.
void load_builtin_shot_type(int index) {
  const BuiltInShot& built_in = BUILT_IN_SHOTS[index];
  ShotType& type = shot_types[index];
  type.damage = built_in.damage;
  type.width = built_in.width;
  type.height = built_in.height;
  type.start_anim = 0;
  type.hit_anim = 1;
  type.data = load_checked_datafile("data.dat");
  if (!game_data_usable(type.data)) std::exit(1);
  const bool own_frames = built_in.masks != ShotMask::core || has_own_frames(type.data, built_in);
  if (!own_frames && index == ENEMY_BULLET_SHOT - 1) {
    std::fprintf(stderr,
                 "data.dat has no enemy bullet pictures (objects %d and %d): enemy bullets are "
                 "drawn as the ship's shots\n",
                 GLOW, DIM);
  } else if (!own_frames) {
    std::fprintf(stderr,
                 "data.dat has no pictures for shot type %d (objects %d and %d): its bullets are "
                 "drawn as the ship's shots\n",
                 index + 1, built_in.steps[0].frame, built_in.steps[0].frame + 1);
  }
  for (int step = 0; step < built_in.step_count; ++step) {
    Animation& anim = type.anims[step];
    anim.id = step;
    anim.next = built_in.steps[step].next;
    anim.duration = built_in.steps[step].duration;
    anim.frame = own_frames ? built_in.steps[step].frame : DATA_SHOT;
    anim.flags = built_in.steps[step].flags;
    anim.offset_x = 0;
    anim.offset_y = 0;
    if (built_in.masks == ShotMask::frame) {
      anim.mask = create_mask_from_bitmap(static_cast<BITMAP*>(type.data[anim.frame].dat));
    } else if (built_in.masks == ShotMask::core) {
      anim.mask = core_mask();
    }
    make_shot_texture(index, step);
  }
}

// The item pictures, their masks and textures; an archive made before they
// existed gives each the ship's shot's picture, so its campaigns still play.
void load_item_pictures() {
  bool own = true;
  for (int k = 0; k < ITEM_KINDS; ++k)
    own = own && frame_bitmap(game_data, DATA_ITEM + k) != nullptr;
  if (!own) std::fprintf(stderr, "data.dat has no item pictures: items are drawn as shots\n");
  for (int k = 0; k < ITEM_KINDS; ++k) {
    Animation& picture = item_pictures[k];
    destroy_mask(picture.mask);
    picture.frame = own ? DATA_ITEM + k : DATA_SHOT;
    picture.mask = create_mask_from_bitmap(frame_bitmap(game_data, picture.frame));
    make_item_texture(k);
  }
}

// The ship's long shot, a picture only; an archive without it leaves frame 0
// and the shot keeps its own picture.
void load_long_shot_picture() {
  long_shot_picture = Animation{};
  if (frame_bitmap(game_data, DATA_LONG_SHOT) == nullptr) return;
  long_shot_picture.frame = DATA_LONG_SHOT;
  make_long_shot_texture();
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
  game_data = load_checked_datafile("data.dat");
  if (!game_data_usable(game_data)) {
    // A wrong archive is as useless as a missing one.
    fatal_error("Error loading \"data.dat\"\n");
  }
  install_masks();
  player.mask = create_mask_from_bitmap(static_cast<BITMAP*>(game_data[DATA_PLAYER_SHIP].dat));
  // The enemy file carries no score. Only the first type used to get one, and
  // that type is the level director, which is never shot down: the score
  // could never move. Every type is worth the same instead.
  for (EnemyType& type : enemy_types) type.score = ENEMY_SCORE;
  load_builtin_shot_types();
  load_item_pictures();
  load_long_shot_picture();
}

void load_builtin_shot_types() {
  for (int index = 0; index < BUILT_IN_SHOT_TYPES; ++index) load_builtin_shot_type(index);
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
