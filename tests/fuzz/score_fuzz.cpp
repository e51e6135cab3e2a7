// Any text through the score and recipe readers: they must never crash, and
// a score they accept must be whole: every voice covers every step of every
// pattern exactly once, and its sox chains add up to the turns asked for.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "soundbuild/recipe.h"
#include "soundbuild/score.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_score(const soundbuild::Score& s) {
  for (const auto& p : s.patterns)
    for (const auto& events : p.events) {
      int at = 0;
      for (const auto& e : events) {
        require(e.start == at && e.steps > 0);
        at += e.steps;
      }
      require(at == p.steps);
    }
  for (std::size_t v = 0; v < s.voices.size(); ++v) {
    long total = 0;
    const auto args = soundbuild::voice_sox_args(s, static_cast<int>(v), 2, "out.wav");
    for (std::size_t i = 0; i + 2 < args.size(); ++i)
      if (args[i] == "synth" || args[i] == "pad") {
        const std::string& len = args[i + (args[i] == "pad" ? 2 : 1)];
        total += std::stol(len.substr(0, len.size() - 1));
      }
    require(total == 2 * soundbuild::loop_frames(s));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (const auto score = soundbuild::parse_score(text, "fuzz.txt", error))
    check_score(*score);
  else
    require(error.starts_with("fuzz.txt"));
  error.clear();
  if (const auto recipe = soundbuild::parse_recipe(text, "fuzz.txt", error))
    require(!soundbuild::recipe_sox_args(*recipe, "out.wav").empty());
  else
    require(error.starts_with("fuzz.txt"));
  return 0;
}
