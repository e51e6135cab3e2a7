// A recording's bytes: the header, the input runs, the check values and the
// summary, then an FNV-1a checksum of everything before it. Numbers are
// little-endian; counts and sizes are varints (7 bits a byte, low first), so
// a run of under 128 ticks takes two bytes with its input.
#include <limits>

#include "content/content.h"

namespace {

constexpr std::uint8_t MAGIC[8] = {'M', 'I', 'R', 'V', 'O', 'R', 'E', 'C'};
constexpr std::uint8_t FLAG_ARCADE = 1;
constexpr std::uint8_t FLAG_PRACTICE = 2;
constexpr std::uint8_t FLAG_LATER_START = 4;  // a start tick follows the seed

struct Writer {
  std::vector<std::uint8_t>& out;

  void byte(std::uint8_t b) { out.push_back(b); }
  void varint(std::uint64_t v) {
    for (; v >= 0x80; v >>= 7) byte(static_cast<std::uint8_t>(v | 0x80));
    byte(static_cast<std::uint8_t>(v));
  }
  void u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) byte(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void text(const std::string& s) {
    varint(s.size());
    out.insert(out.end(), s.begin(), s.end());
  }
};

// Reads what Writer wrote; the first failure is kept and every later read
// gives 0, so the parser checks once per section rather than per field.
struct Reader {
  std::span<const std::uint8_t> in;
  std::size_t at = 0;
  std::string error;

  bool fail(const std::string& why) {
    if (error.empty()) error = why + " at byte " + std::to_string(at);
    return false;
  }
  std::uint8_t byte() {
    if (!error.empty()) return 0;
    if (at >= in.size()) return fail("the file ends early"), 0;
    return in[at++];
  }
  // Only the shortest form is accepted, so every file read has one way to be written.
  std::uint64_t varint(std::uint64_t max) {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const std::uint8_t b = byte();
      if (!error.empty()) return 0;
      v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
      if ((b & 0x80) == 0) {
        if (b == 0 && shift > 0) return fail("a number is not in its shortest form"), 0;
        if (v > max) return fail("a number is out of range"), 0;
        return v;
      }
    }
    return fail("a number is too long"), 0;
  }
  std::uint64_t u64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return v;
  }
  std::string text() {
    const std::size_t size = varint(MAX_RECORDING_TEXT);
    if (!error.empty()) return {};
    if (in.size() - at < size) return fail("the file ends early"), std::string();
    std::string s(in.begin() + static_cast<std::ptrdiff_t>(at),
                  in.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
    return s;
  }
};

RecordingRead refused(const std::string& why) {
  RecordingRead read;
  read.error = why;
  return read;
}

void write_body(Writer& w, const Recording& r) {
  for (std::uint8_t b : MAGIC) w.byte(b);
  w.varint(RECORDING_VERSION);
  for (const std::string* s : {&r.game_version, &r.date, &r.pilot, &r.campaign}) w.text(*s);
  w.byte(static_cast<std::uint8_t>((r.arcade ? FLAG_ARCADE : 0) | (r.practice ? FLAG_PRACTICE : 0) |
                                   (r.start_tick > 0 ? FLAG_LATER_START : 0)));
  w.byte(static_cast<std::uint8_t>(r.difficulty));
  w.varint(r.seed);
  if (r.start_tick > 0) w.varint(static_cast<std::uint64_t>(r.start_tick));
  w.varint(r.levels.size());
  for (std::size_t i = 0; i < r.levels.size(); ++i) {
    const CampaignLevel& l = r.levels[i];
    for (const std::string* s : {&l.title, &l.script, &l.enemies, &l.tiles, &l.music}) w.text(*s);
    w.u64(i < r.digests.size() ? r.digests[i] : 0);
  }
  w.varint(static_cast<std::uint64_t>(r.ticks));
  w.varint(r.inputs.size());
  for (const InputRun& run : r.inputs) {
    w.varint(run.ticks);
    w.byte(run.bits);
  }
  for (std::uint64_t check : r.checks) w.u64(check);
  w.byte(static_cast<std::uint8_t>(r.end));
  w.varint(static_cast<std::uint64_t>(r.score));
  w.varint(static_cast<std::uint64_t>(r.level));
  w.u64(r.final_hash);
}

}  // namespace

int input_bits(const TickInput& input) {
  return (input.left ? INPUT_LEFT : 0) | (input.right ? INPUT_RIGHT : 0) |
         (input.up ? INPUT_UP : 0) | (input.down ? INPUT_DOWN : 0) | (input.fire ? INPUT_FIRE : 0) |
         (input.bomb ? INPUT_BOMB : 0);
}

TickInput bits_input(int bits) {
  TickInput in;
  in.left = (bits & INPUT_LEFT) != 0;
  in.right = (bits & INPUT_RIGHT) != 0;
  in.up = (bits & INPUT_UP) != 0;
  in.down = (bits & INPUT_DOWN) != 0;
  in.fire = (bits & INPUT_FIRE) != 0;
  in.bomb = (bits & INPUT_BOMB) != 0;
  return in;
}

std::vector<std::uint8_t> recording_bytes(const Recording& recording) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(256 + recording.inputs.size() * 3 + recording.checks.size() * 8);
  Writer w{bytes};
  write_body(w, recording);
  w.u64(fnv1a(bytes));
  return bytes;
}

// After the magic and the version, the checksum: a changed byte anywhere is
// refused as such, before any field could give a stranger reason. Every count is checked against
// what is left of the file before anything is reserved for it.
RecordingRead parse_recording(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < sizeof MAGIC || !std::equal(std::begin(MAGIC), std::end(MAGIC), bytes.begin()))
    return refused("not a Mirvo recording");
  if (bytes.size() > MAX_RECORDING_BYTES) return refused("larger than any recording");
  Reader r{bytes.first(bytes.size() - 8), sizeof MAGIC, {}};
  const std::uint64_t version = r.varint(std::numeric_limits<std::uint32_t>::max());
  if (r.error.empty() && version != RECORDING_VERSION)
    return refused("made by another version of the format (" + std::to_string(version) +
                   ", this program reads " + std::to_string(RECORDING_VERSION) + ")");
  if (bytes.size() < sizeof MAGIC + 8) return refused("the file ends early");
  Reader sum{bytes.last(8), 0, {}};
  if (fnv1a(r.in) != sum.u64())
    return refused("its checksum does not match: the file is damaged or cut short");

  RecordingRead read;
  Recording& rec = read.recording;
  for (std::string* s : {&rec.game_version, &rec.date, &rec.pilot, &rec.campaign}) *s = r.text();
  const std::uint8_t flags = r.byte();
  if (r.error.empty() && (flags & ~(FLAG_ARCADE | FLAG_PRACTICE | FLAG_LATER_START)) != 0)
    r.fail("unknown flags");
  rec.arcade = (flags & FLAG_ARCADE) != 0;
  rec.practice = (flags & FLAG_PRACTICE) != 0;
  rec.difficulty = r.byte();
  if (r.error.empty() && rec.difficulty >= DIFFICULTIES) r.fail("an unknown difficulty");
  rec.seed = static_cast<std::uint32_t>(r.varint(std::numeric_limits<std::uint32_t>::max()));
  if ((flags & FLAG_LATER_START) != 0) {
    // Written only when later than the level's start: one file per recording.
    rec.start_tick = static_cast<int>(r.varint(MAX_RECORDED_TICKS));
    if (r.error.empty() && rec.start_tick == 0) r.fail("a later start at tick 0");
  }
  const std::size_t levels = r.varint(MAX_CAMPAIGN_LEVELS);
  if (r.error.empty() && levels == 0) r.fail("no level");
  // A level takes at least 13 bytes: five empty texts and its digest.
  if (r.error.empty() && levels > (r.in.size() - r.at) / 13) r.fail("the file ends early");
  if (!r.error.empty()) return refused(r.error);
  rec.levels.resize(levels);
  rec.digests.resize(levels);
  for (std::size_t i = 0; i < levels; ++i) {
    CampaignLevel& l = rec.levels[i];
    for (std::string* s : {&l.title, &l.script, &l.enemies, &l.tiles, &l.music}) *s = r.text();
    rec.digests[i] = r.u64();
  }
  rec.ticks = static_cast<int>(r.varint(MAX_RECORDED_TICKS));
  const std::size_t runs = r.varint(MAX_RECORDED_RUNS);
  // Each run takes at least two bytes and each check eight.
  const std::size_t checks = static_cast<std::size_t>(rec.ticks / CHECK_TICKS);
  if (r.error.empty() &&
      (runs > static_cast<std::size_t>(rec.ticks) || runs * 2 + checks * 8 > r.in.size() - r.at))
    r.fail("more runs or checks than the file holds");
  if (!r.error.empty()) return refused(r.error);
  rec.inputs.resize(runs);
  std::uint64_t total = 0;
  for (InputRun& run : rec.inputs) {
    run.ticks = static_cast<std::uint32_t>(r.varint(static_cast<std::uint64_t>(rec.ticks)));
    run.bits = r.byte();
    if (r.error.empty() && (run.ticks == 0 || run.bits > INPUT_MASK)) r.fail("a bad input run");
    total += run.ticks;
  }
  if (r.error.empty() && total != static_cast<std::uint64_t>(rec.ticks))
    r.fail("the input runs do not add up to the ticks");
  rec.checks.resize(checks);
  for (std::uint64_t& check : rec.checks) check = r.u64();
  const std::uint8_t end = r.byte();
  if (r.error.empty() && end > static_cast<std::uint8_t>(GameEnd::time)) r.fail("an unknown end");
  rec.end = static_cast<GameEnd>(end);
  rec.score = static_cast<int>(r.varint(std::numeric_limits<int>::max()));
  rec.level = static_cast<int>(r.varint(levels));
  if (r.error.empty() && rec.level < 1) r.fail("the level it ended on is not one it played");
  rec.final_hash = r.u64();
  if (r.error.empty() && r.at != r.in.size()) r.fail("bytes follow the summary");
  if (!r.error.empty()) return refused(r.error);
  return read;
}
