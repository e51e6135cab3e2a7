// The runner's text recordings from before the game's format: a run's seed,
// level digest and keys, still read so that old runs replay.
#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "run/runner.h"

namespace {

constexpr const char* MAGIC = "mirvo-run recording 1";

bool parse_hex(const std::string& text, std::uint64_t* out) {
  if (text.empty() || text.size() > 16) return false;
  std::uint64_t v = 0;
  for (char c : text) {
    int d = 0;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else {
      return false;
    }
    v = v * 16 + static_cast<std::uint64_t>(d);
  }
  *out = v;
  return true;
}

RunRecording failed(int line, const std::string& why) {
  RunRecording r;
  r.error = "line " + std::to_string(line) + ": " + why;
  return r;
}

}  // namespace

// Every header line must be there, in order; the key runs must add up to the
// ticks, each count at least 1 and each key state inside PILOT_KEY_MASK.
RunRecording parse_text_recording(std::span<const std::uint8_t> bytes) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  RunRecording r;
  std::string line;
  int number = 0;
  const auto next_line = [&]() {
    ++number;
    return static_cast<bool>(std::getline(in, line));
  };
  if (!next_line() || line != MAGIC) return failed(number, "not a mirvo-run recording");

  std::string word;
  std::string hex;
  long long seed = -1;
  if (!next_line() || !(std::istringstream(line) >> word >> seed) || word != "seed" || seed < 0 ||
      seed > 0xffffffffLL)
    return failed(number, "expected \"seed N\"");
  r.seed = static_cast<std::uint32_t>(seed);
  if (!next_line() || !(std::istringstream(line) >> word >> hex) || word != "level" ||
      !parse_hex(hex, &r.level_digest))
    return failed(number, "expected \"level HEX\"");
  if (!next_line() || !(std::istringstream(line) >> word >> r.pilot) || word != "pilot")
    return failed(number, "expected \"pilot NAME\"");
  bool read = next_line();
  if (read && line.rfind("difficulty ", 0) == 0) {
    if (!difficulty_named(line.substr(11), &r.difficulty))
      return failed(number, "expected \"difficulty easy|normal|hard\"");
    read = next_line();
  }
  if (!read || !(std::istringstream(line) >> word >> r.ticks) || word != "ticks" || r.ticks < 0 ||
      r.ticks > MAX_RUN_TICKS)
    return failed(number, "expected \"ticks N\" with N at most " + std::to_string(MAX_RUN_TICKS));
  if (!next_line() || line != "keys") return failed(number, "expected \"keys\"");

  long long total = 0;
  while (next_line() && line != "end") {
    int count = 0;
    int keys = 0;
    std::istringstream fields(line);
    if (!(fields >> count >> keys) || count < 1 || keys < 0 || keys > PILOT_KEY_MASK)
      return failed(number, "expected \"COUNT KEYS\" with COUNT >= 1 and KEYS 0.." +
                                std::to_string(PILOT_KEY_MASK));
    total += count;
    if (total > r.ticks) return failed(number, "more key ticks than the run's ticks");
    r.keys.emplace_back(count, keys);
  }
  if (line != "end") return failed(number, "missing \"end\"");
  if (total != r.ticks) return failed(number, "the key runs do not add up to the ticks");
  return r;
}

std::string serialize_text_recording(const RunRecording& recording) {
  std::ostringstream out;
  out << MAGIC << "\nseed " << recording.seed << "\nlevel " << hex_digest(recording.level_digest)
      << "\npilot " << recording.pilot << "\n";
  if (recording.difficulty != DIFFICULTY_NORMAL)
    out << "difficulty " << difficulty_word(recording.difficulty) << "\n";
  out << "ticks " << recording.ticks << "\nkeys\n";
  for (const auto& [count, keys] : recording.keys) out << count << ' ' << keys << '\n';
  out << "end\n";
  return out.str();
}

void record_keys(RunRecording& recording, int keys) {
  ++recording.ticks;
  if (!recording.keys.empty() && recording.keys.back().second == keys) {
    ++recording.keys.back().first;
  } else {
    recording.keys.emplace_back(1, keys);
  }
}

Recording recording_of_text(const RunRecording& text) {
  Recording r;
  r.pilot = text.pilot;
  r.difficulty = text.difficulty;
  r.seed = text.seed;
  r.ticks = text.ticks;
  r.inputs.reserve(text.keys.size());
  for (const auto& [count, keys] : text.keys)
    r.inputs.push_back({static_cast<std::uint32_t>(count), static_cast<std::uint8_t>(keys)});
  return r;
}

std::string hex_digest(std::uint64_t digest) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, digest);
  return text;
}
