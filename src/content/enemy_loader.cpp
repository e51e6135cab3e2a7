// The game's enemy loader: turns a parsed enemy file into enemy_types, with
// each type's datafile and, per animation step, a black silhouette, a pixel
// mask and (with the OpenGL renderer) a texture.
#include <allegro.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "content/content.h"
#include "content/content_local.h"
#include "mask/mask.h"
#include "script/script.h"
#include "world/world.h"

namespace {

void release_enemy_type(EnemyType& type) {
  if (type.data) unload_datafile(type.data);
  type.data = nullptr;
  for (Animation& anim : type.anims) {
    if (anim.shadow) destroy_bitmap(anim.shadow);
    anim.shadow = nullptr;
    destroy_mask(anim.mask);
    anim.mask = nullptr;
  }
}

// The frame's silhouette: black wherever the frame is not magenta, magenta
// elsewhere, w x h like the frame. Drawn straight into the new bitmap: the
// magenta background under the blit stands in for a separate scratch copy.
BITMAP* make_silhouette(BITMAP* frame) {
  BITMAP* shadow = create_bitmap(frame->w, frame->h);
  if (!shadow) return nullptr;
  const int magenta = makecol(255, 0, 255);
  const int black = makecol(0, 0, 0);
  clear_to_color(shadow, magenta);
  blit(frame, shadow, 0, 0, 0, 0, frame->w, frame->h);
  for (int x = 0; x < shadow->w; ++x) {
    for (int y = 0; y < shadow->h; ++y) {
      if (getpixel(shadow, x, y) != magenta) putpixel(shadow, x, y, black);
    }
  }
  return shadow;
}

void unload_all(std::span<DATAFILE*> datafiles) {
  for (DATAFILE*& data : datafiles) {
    if (data) unload_datafile(data);
    data = nullptr;
  }
}

// Fills step j of entry k from its record; the entry's datafile is in place.
std::string install_step(int k, int j, const EnemyStepRecord& record) {
  EnemyType& type = enemy_types[k];
  Animation& anim = type.anims[j];
  anim.next = record.next;
  anim.duration = record.duration;
  anim.frame = record.frame;
  anim.flags = record.flags;
  anim.offset_x = record.offset_x;
  anim.offset_y = record.offset_y;
  if (renderer == Renderer::OpenGL) make_enemy_texture(k, j);
  BITMAP* frame = static_cast<BITMAP*>(type.data[anim.frame].dat);
  anim.shadow = make_silhouette(frame);
  anim.mask = create_mask_from_bitmap(frame);
  if (!anim.shadow || !anim.mask) {
    char text[160];
    std::snprintf(text, sizeof text, "Error: out of memory for the pictures of enemy %d step %d\n",
                  k, j);
    return text;
  }
  return {};
}

// Loads the datafile of every type of `file` into datafiles[k] and checks
// every step's frame against it; on a problem, unloads them all and returns
// the loader's message.
std::string load_checked_datafiles(const EnemyFile& file,
                                   std::array<DATAFILE*, MAX_ENEMY_TYPES>& datafiles,
                                   std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    datafiles[k] = load_checked_datafile(file.types[k].datafile.c_str());
    if (!datafiles[k]) break;
  }
  std::string error = check_enemy_frames(file, std::span(datafiles.data(), count));
  if (!error.empty()) unload_all(datafiles);
  return error;
}

// The enemy file's bytes and parse, with the loader's message when it cannot
// be opened.
EnemyFile read_enemy_file(const char* path, int max_types) {
  const WholeFile in = read_whole_file(path, MAX_ENEMY_FILE_BYTES);
  if (!in.opened || !in.refusal.empty()) {
    EnemyFile refused;
    char text[600];
    std::snprintf(text, sizeof text, "Error loading \"%s\"\n", path);
    refused.error = text;
    return refused;
  }
  // A read that fails part-way leaves the parser what was read.
  EnemyFile file = parse_enemy_file(in.bytes, path, max_types);
  for (EnemyTypeRecord& type : file.types) type.datafile = enemy_archive_path(path, type.datafile);
  return file;
}

}  // namespace

std::string enemy_archive_path(const std::string& enemy_file, const std::string& datafile) {
  const std::filesystem::path beside = std::filesystem::path(enemy_file).parent_path() / datafile;
  std::error_code missing;
  if (beside.has_parent_path() && std::filesystem::is_regular_file(beside, missing))
    return beside.string();
  return datafile;
}

std::string install_enemy_types(const EnemyFile& file) {
  // Every datafile is loaded and every frame checked before the table is
  // touched, so a refused file leaves the previous level's types intact.
  std::array<DATAFILE*, MAX_ENEMY_TYPES> datafiles{};
  const std::size_t count = std::min<std::size_t>(file.types.size(), MAX_ENEMY_TYPES);
  std::string error = load_checked_datafiles(file, datafiles, count);
  if (!error.empty()) return error;
  for (std::size_t k = 0; k < count; ++k) {
    const EnemyTypeRecord& record = file.types[k];
    EnemyType& type = enemy_types[k];
    release_enemy_type(type);
    type.health = record.health;
    type.start_anim = record.start_anim;
    type.death_anim = record.death_anim;
    type.data = datafiles[k];
    datafiles[k] = nullptr;  // the table owns it now
    for (std::size_t j = 0; j < record.steps.size(); ++j) {
      error = install_step(static_cast<int>(k), static_cast<int>(j), record.steps[j]);
      if (!error.empty()) {
        unload_all(datafiles);
        return error;
      }
    }
  }
  return {};
}

void release_enemy_types() {
  for (EnemyType& type : enemy_types) release_enemy_type(type);
}

std::string enemy_file_problem(const char* path, int max_types) {
  const EnemyFile file = read_enemy_file(path, max_types);
  if (!file.error.empty()) return file.error;
  std::array<DATAFILE*, MAX_ENEMY_TYPES> datafiles{};
  const std::size_t count = std::min<std::size_t>(file.types.size(), MAX_ENEMY_TYPES);
  std::string error = load_checked_datafiles(file, datafiles, count);
  unload_all(datafiles);
  return error;
}

void load_enemy_types(const char* path) {
  const EnemyFile file = read_enemy_file(path, rules.enemy_types);
  if (!file.error.empty()) fatal_error("%s", file.error.c_str());
  std::string error = install_enemy_types(file);
  if (!error.empty()) fatal_error("%s", error.c_str());
}
