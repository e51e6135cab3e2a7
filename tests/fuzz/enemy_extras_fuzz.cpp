// Feeds arbitrary bytes to the parser of the enemy file's companion. A
// refused file must say why, naming the file; an accepted one must keep every
// bound the game relies on and print to a text that parses to the same types.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "content/content.h"

namespace {

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "enemy extras fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const EnemyExtras e = parse_enemy_extras(std::span(data, size), "fuzz.eix");
  if (!e.error.empty()) {
    require(e.error.rfind("Error in fuzz.eix", 0) == 0, "the message does not name the file");
    return 0;
  }
  for (const EnemyTypeExtras& t : e.types) {
    require(t.score >= 0 && t.score <= MAX_TYPE_SCORE, "score out of bounds");
    require(t.boss || (t.name.empty() && t.health == 0), "a name or health without a boss");
    require(t.name.size() < BOSS_NAME_SIZE, "a name longer than the bar holds");
    require(t.health == 0 || (t.health > MAX_FILE_HEALTH && t.health <= MAX_BOSS_HEALTH),
            "health out of bounds");
  }
  const std::string text = serialize_enemy_extras(e, "fuzz.eif");
  const EnemyExtras again = parse_enemy_extras(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), "again.eix");
  require(again.error.empty() && again.types == e.types, "the printed text reads back otherwise");
  return 0;
}
