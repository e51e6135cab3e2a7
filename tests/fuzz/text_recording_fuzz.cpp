// Any bytes through the runner's older text recording reader: it never crashes, a
// failure says on which line, and a recording it accepts is whole (the key
// runs are positive, inside the key mask and add up to the ticks) and comes
// back the same through writing and reading again.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "run/runner.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const RunRecording r = parse_text_recording(std::span<const std::uint8_t>(data, size));
  if (!r.error.empty()) {
    require(r.error.starts_with("line "));
    return 0;
  }
  long long total = 0;
  for (const auto& [count, keys] : r.keys) {
    require(count >= 1 && keys >= 0 && keys <= PILOT_KEY_MASK);
    total += count;
  }
  require(total == r.ticks);
  const std::string text = serialize_text_recording(r);
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  const RunRecording again = parse_text_recording(bytes);
  require(again.error.empty());
  require(again.seed == r.seed && again.level_digest == r.level_digest && again.pilot == r.pilot &&
          again.ticks == r.ticks && again.keys == r.keys);
  require(serialize_text_recording(again) == text);
  return 0;
}
