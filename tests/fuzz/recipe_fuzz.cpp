// Any text through the effect recipe reader: it never crashes, a failure says
// in which file and line, and a recipe it accepts renders to a sox command
// whose every number is finite, for an effect of positive length.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "soundbuild/recipe.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool finite_numbers(const std::string& arg) {
  char* end = nullptr;
  const double v = std::strtod(arg.c_str(), &end);
  return end == arg.c_str() || std::isfinite(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto recipe = soundbuild::parse_recipe(text, "fuzz.txt", error);
  if (!recipe) {
    require(error.starts_with("fuzz.txt:"));
    return 0;
  }
  require(recipe->length > 0 && std::isfinite(recipe->length));
  const auto args = soundbuild::recipe_sox_args(*recipe, "out.wav");
  require(!args.empty());
  for (const std::string& arg : args) require(finite_numbers(arg));
  return 0;
}
