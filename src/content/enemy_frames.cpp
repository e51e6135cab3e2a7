// The checks of an enemy file that need its datafiles: every step must show a
// bitmap object that exists. Shared by the game's loader and mirvo-eif, so a
// file the tool accepts is one the game loads.
#include <allegro.h>

#include <cstdio>

#include "content/content.h"
#include "content/textures_local.h"
#include "world/world.h"

namespace {

// Objects before the end marker; a datafile has no count of its own.
int count_objects(const DATAFILE* data) {
  int count = 0;
  while (data[count].type != DAT_END) ++count;
  return count;
}

std::string frame_problem(const EnemyTypeRecord& type, int k, int j, const DATAFILE* data,
                          int objects) {
  const int frame = type.steps[j].frame;
  const char* name = type.datafile.c_str();
  char text[512];
  const BITMAP* bitmap = frame_bitmap(data, frame);
  if (bitmap == nullptr) {
    std::snprintf(text, sizeof text,
                  "Error: frame %d of enemy %d step %d is not a bitmap in \"%s\" (it holds %d "
                  "objects)\n",
                  frame, k, j, name, objects);
    return text;
  }
  // The OpenGL renderer's largest texture is 1024 pixels square; refusing
  // larger frames with either renderer keeps a level the same under both.
  const int largest = TEXTURE_SIZES.back();
  if (bitmap->w < 1 || bitmap->h < 1 || bitmap->w > largest || bitmap->h > largest) {
    std::snprintf(text, sizeof text,
                  "Error: frame %d of enemy %d step %d in \"%s\" is %d x %d pixels; frames are 1 "
                  "to %d pixels on each side\n",
                  frame, k, j, name, bitmap->w, bitmap->h, largest);
    return text;
  }
  return {};
}

}  // namespace

std::string check_enemy_frames(const EnemyFile& file, std::span<DATAFILE* const> datafiles) {
  for (std::size_t k = 0; k < file.types.size(); ++k) {
    const EnemyTypeRecord& type = file.types[k];
    const DATAFILE* data = k < datafiles.size() ? datafiles[k] : nullptr;
    if (!data) {
      char text[256];
      std::snprintf(text, sizeof text, "Error loading datafile \"%s\" for enemy %d\n",
                    type.datafile.c_str(), static_cast<int>(k));
      return text;
    }
    const int objects = count_objects(data);
    for (std::size_t j = 0; j < type.steps.size(); ++j) {
      std::string problem =
          frame_problem(type, static_cast<int>(k), static_cast<int>(j), data, objects);
      if (!problem.empty()) return problem;
    }
  }
  return {};
}
