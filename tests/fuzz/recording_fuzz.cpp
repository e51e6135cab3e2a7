// Any bytes through the recording reader: it never crashes, a refusal is one
// line, and a recording it accepts is whole (runs of at least one tick inside
// the input mask adding up to its ticks, a check per 5 s, a level it played)
// and is written back to exactly the bytes it was read from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "content/content.h"
#include "world/world.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Reads the bytes and checks what the reader made of them.
void check(std::span<const std::uint8_t> bytes) {
  const RecordingRead read = parse_recording(bytes);
  if (!read.error.empty()) {
    require(read.error.find('\n') == std::string::npos);
    return;
  }
  const Recording& r = read.recording;
  std::uint64_t total = 0;
  for (const InputRun& run : r.inputs) {
    require(run.ticks >= 1 && run.bits <= INPUT_MASK);
    total += run.ticks;
  }
  require(total == static_cast<std::uint64_t>(r.ticks));
  require(r.checks.size() == static_cast<std::size_t>(r.ticks / CHECK_TICKS));
  require(!r.levels.empty() && r.digests.size() == r.levels.size());
  require(r.level >= 1 && r.level <= static_cast<int>(r.levels.size()));
  const std::vector<std::uint8_t> again = recording_bytes(r);
  require(std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()));
}

}  // namespace

// The bytes as they come, and again with a right checksum after them, so the
// fields behind the checksum are fuzzed too.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check(std::span<const std::uint8_t>(data, size));
  std::vector<std::uint8_t> sealed(data, data + size);
  const std::uint64_t sum = fnv1a(sealed);
  for (int i = 0; i < 8; ++i) sealed.push_back(static_cast<std::uint8_t>(sum >> (8 * i)));
  check(sealed);
  return 0;
}
