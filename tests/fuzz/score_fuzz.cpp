// Any text through the score reader and everything made from what it
// accepts: it must never crash, and a score it accepts must be whole: every
// voice covers every step of every pattern exactly once, each voice's events
// cover the song's turns end to end, its sox chains add up to the turns asked
// for, and the mix takes every voice. (Recipes have their own target.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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
    const long turns = soundbuild::step_frame(s, 2L * soundbuild::song_steps(s));
    require(total == turns);
    // The mix keeps the second turn: it ends exactly where the voices end.
    require(soundbuild::step_frame(s, soundbuild::song_steps(s)) + soundbuild::loop_frames(s) ==
            turns);
    int at = 0;
    for (const auto& e : soundbuild::voice_events(s, static_cast<int>(v), 2)) {
      require(e.start == at && e.steps > 0);
      at += e.steps;
    }
    require(at == 2 * soundbuild::song_steps(s));
  }
  std::vector<std::string> wavs;
  for (std::size_t v = 0; v < s.voices.size(); ++v) wavs.push_back("v" + std::to_string(v));
  const auto mix = soundbuild::mix_sox_args(s, wavs, "out.wav");
  for (const std::string& wav : wavs) require(std::find(mix.begin(), mix.end(), wav) != mix.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (const auto score = soundbuild::parse_score(text, "fuzz.txt", error))
    check_score(*score);
  else
    require(error.starts_with("fuzz.txt"));
  return 0;
}
