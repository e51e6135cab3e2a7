// Feeds arbitrary bytes to the enemy file parser. A refused file must carry a
// message; an accepted one must keep every promise the loader relies on and
// serialize back to the bytes it came from (apart from what follows a name
// inside its field, which is written back as spaces).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "content/content.h"
#include "world/world.h"

namespace {

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "enemy file fuzz: %s\n", what);
  std::abort();
}

void check_limits(const EnemyFile& file) {
  require(file.types.size() <= MAX_ENEMY_TYPES, "too many types");
  for (const EnemyTypeRecord& type : file.types) {
    const int count = static_cast<int>(type.steps.size());
    require(count <= MAX_ANIMATIONS, "too many steps");
    require(type.start_anim >= 0 && type.start_anim < count, "start step outside the type");
    require(type.death_anim >= 0 && type.death_anim < count, "death step outside the type");
    require(!type.datafile.empty() && type.datafile.size() <= ENEMY_NAME_SIZE, "name size");
    require(type.datafile.find_first_of(std::string(" \n\0", 3)) == std::string::npos,
            "name holds a space, line feed or NUL");
    for (const EnemyStepRecord& step : type.steps) {
      require(step.next >= -1 && step.next < count, "next step outside the type");
    }
  }
}

// The input as the serializer must write it: the records' bytes only, with
// every name field's bytes after the name turned into spaces.
std::vector<std::uint8_t> canonical_bytes(const std::uint8_t* data, const EnemyFile& file,
                                          std::size_t length) {
  std::vector<std::uint8_t> bytes(data, data + length);
  std::size_t pos = 2;
  for (const EnemyTypeRecord& type : file.types) {
    for (std::size_t i = type.datafile.size(); i < ENEMY_NAME_SIZE; ++i) bytes[pos + 3 + i] = ' ';
    pos += 20 + 9 * type.steps.size();
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  EnemyFile file = parse_enemy_file(std::span(data, size), "fuzz.eif");
  if (!file.error.empty()) {
    require(file.types.empty(), "a refused file kept types");
    return 0;
  }
  check_limits(file);
  std::vector<std::uint8_t> out = serialize_enemy_file(file);
  require(out.size() <= size, "serialized more bytes than were read");
  require(out == canonical_bytes(data, file, out.size()), "serialized bytes differ");
  EnemyFile again = parse_enemy_file(out, "fuzz.eif");
  require(again.error.empty(), "serialized file refused");
  require(serialize_enemy_file(again) == out, "second round trip differs");
  return 0;
}
