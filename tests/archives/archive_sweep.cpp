// Every cut length and random corruptions of each shipped archive, through
// the check and load every caller uses, in one process: nothing may crash, a
// cut archive is always refused, and what loads is read whole and judged by
// its caller's own test (a refused or unusable archive is what a missing one
// was). Prints a line per archive; exits 1 when a promise is broken.
//
//   archive_sweep GAME_DIR [CORRUPTIONS [CUT_STEP]]
#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../fuzz/archive_touch.h"
#include "content/content.h"
#include "script/script.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class Kind { data, sound, tiles, enemy };

// The test its caller runs on a loaded archive; frames is the enemy
// archive's frame count as shipped.
bool usable(Kind kind, DATAFILE* data, int frames) {
  switch (kind) {
    case Kind::data:
      return game_data_usable(data) != 0;
    case Kind::sound:
      return sound_data_problem(data).empty();
    case Kind::tiles:
      return frame_bitmap(data, 0) != nullptr;
    case Kind::enemy: {
      EnemyFile file;
      file.types.resize(1);
      for (int f = 0; f < frames; ++f) file.types[0].steps.push_back({-1, 1, f, 0, 0, 0});
      DATAFILE* const datafiles[] = {data};
      return check_enemy_frames(file, datafiles).empty();
    }
  }
  return false;
}

struct Tally {
  int cuts_refused = 0;
  int refused = 0;
  int loaded = 0;
  int unusable = 0;
};

// Loads and reads the bytes; true when they loaded.
bool load(const Bytes& bytes, std::size_t length, Kind kind, int frames, Tally& tally) {
  DATAFILE* data = load_checked_archive(std::span(bytes.data(), length));
  if (data == nullptr) return false;
  static volatile std::uint64_t seen = 0;
  seen = seen + touch_archive(data);
  ++(usable(kind, data, frames) ? tally.loaded : tally.unusable);
  unload_datafile(data);
  return true;
}

// One of three damages: a few bytes set at random, a 32-bit field given an
// edge value (where a size or count may sit), or a cut followed by a byte set.
void corrupt(Bytes& bytes, std::mt19937& random) {
  auto at = [&](std::size_t below) {
    return std::uniform_int_distribution<std::size_t>(0, below - 1)(random);
  };
  switch (random() % 3) {
    case 0:
      for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
        bytes[at(bytes.size())] = random() & 0xFF;
      break;
    case 1: {
      static constexpr std::uint32_t EDGES[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x10000};
      const std::uint32_t value =
          random() % 2 ? EDGES[random() % 6] : static_cast<std::uint32_t>(random());
      const std::size_t p = at(bytes.size() - 3);
      for (int k = 0; k < 4; ++k) bytes[p + k] = value >> (24 - 8 * k) & 0xFF;
      break;
    }
    default:
      bytes.resize(1 + at(bytes.size()));
      bytes[at(bytes.size())] = random() & 0xFF;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_DIR [CORRUPTIONS [CUT_STEP]]\n", argv[0]);
    return 2;
  }
  const int corruptions = argc > 2 ? std::atoi(argv[2]) : 1000;
  const std::size_t cut_step = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
  if (!start_allegro_keeping_signal_handlers() || cut_step == 0) return 2;
  std::vector<std::filesystem::path> archives;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
    if (entry.path().extension() == ".dat") archives.push_back(entry.path());
  std::sort(archives.begin(), archives.end());
  bool kept = !archives.empty();
  std::mt19937 random(20261208);
  for (const auto& path : archives) {
    const auto started = std::chrono::steady_clock::now();
    const std::string name = path.filename().string();
    const Kind kind = name == "data.dat"              ? Kind::data
                      : name == "sound.dat"           ? Kind::sound
                      : name.rfind("tileset", 0) == 0 ? Kind::tiles
                                                      : Kind::enemy;
    const Bytes bytes = read_whole_file(path.c_str(), MAX_ARCHIVE_BYTES).bytes;
    int frames = 0;
    Tally tally;
    if (DATAFILE* shipped = load_checked_archive(bytes)) {
      while (frame_bitmap(shipped, frames) != nullptr) ++frames;
      unload_datafile(shipped);
    }
    if (!load(bytes, bytes.size(), kind, frames, tally) || tally.loaded != 1) {
      std::printf("%s: the shipped archive does not load\n", name.c_str());
      kept = false;
      continue;
    }
    int cuts = 0;
    for (std::size_t length = 0; length < bytes.size(); length += cut_step, ++cuts) {
      if (!load(bytes, length, kind, frames, tally)) ++tally.cuts_refused;
    }
    Tally damaged;
    for (int n = 0; n < corruptions; ++n) {
      Bytes copy = bytes;
      corrupt(copy, random);
      if (!load(copy, copy.size(), kind, frames, damaged)) ++damaged.refused;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "%s: %d of %d cuts refused; %d corruptions: %d refused, %d loaded and usable, %d loaded "
        "and refused by the caller; %.1f s\n",
        name.c_str(), tally.cuts_refused, cuts, corruptions, damaged.refused, damaged.loaded,
        damaged.unusable, seconds);
    kept = kept && tally.cuts_refused == cuts;
  }
  std::printf("%s\n", kept ? "every cut refused, no crash" : "A PROMISE WAS BROKEN");
  return kept ? 0 : 1;
}
