// The recording file: what is written reads back the same, and a file cut
// short, changed in any byte, of another version or whose parts disagree is
// refused with its reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/content.h"
#include "world/world.h"

namespace {

Recording sample() {
  Recording r;
  r.game_version = "1.4.0";
  r.date = "2026-12-09T04:30:00";
  r.pilot = "player";
  r.campaign = "Mirvo";
  r.difficulty = DIFFICULTY_HARD;
  r.practice = true;
  r.seed = 0xdeadbeef;
  r.start_tick = 12000;
  r.levels = {{"Level 1", "level1.wif", "enemy.eif", "tileset1.dat", "play.ogg", ""},
              {"", "level2.wif", "enemy2.eif", "tileset2.dat", "", ""}};
  r.digests = {0x0123456789abcdefULL, 42};
  r.inputs = {{300, INPUT_FIRE}, {1, INPUT_FIRE | INPUT_LEFT}, {900, 0}, {33, INPUT_CONTINUE}};
  r.ticks = 1234;
  r.checks = {7, 0xffffffffffffffffULL};
  r.end = GameEnd::game_over;
  r.score = 123450;
  r.level = 2;
  r.final_hash = 99;
  return r;
}

// The bytes again with the checksum made right, as a writer of a bad file would.
std::vector<std::uint8_t> resealed(std::vector<std::uint8_t> bytes) {
  const std::uint64_t sum = fnv1a(std::span(bytes).first(bytes.size() - 8));
  for (int i = 0; i < 8; ++i)
    bytes[bytes.size() - 8 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
  return bytes;
}

TEST(RecordingFile, ReadsBackWhatItWroteAndRefusesAnyCutOrChangedByte) {
  for (int bits = 0; bits <= INPUT_BOMB * 2 - 1; ++bits)
    EXPECT_EQ(input_bits(bits_input(bits)), bits);
  const std::vector<std::uint8_t> bytes = recording_bytes(sample());
  const RecordingRead read = parse_recording(bytes);
  ASSERT_EQ(read.error, "");
  EXPECT_TRUE(read.recording == sample());

  for (std::size_t size = 0; size < bytes.size(); ++size)
    EXPECT_NE(parse_recording(std::span(bytes).first(size)).error, "") << size << " bytes";
  std::vector<std::uint8_t> changed = bytes;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (int value = 0; value < 256; ++value) {
      if (value == bytes[at]) continue;
      changed[at] = static_cast<std::uint8_t>(value);
      ASSERT_NE(parse_recording(changed).error, "") << "byte " << at << " = " << value;
    }
    changed[at] = bytes[at];
  }
  changed[8] = RECORDING_VERSION + 1;  // the version follows the 8-byte magic
  EXPECT_NE(parse_recording(resealed(changed)).error.find("another version"), std::string::npos);
}

TEST(RecordingFile, PartsThatDisagreeAreRefused) {
  const struct {
    const char* why;
    void (*change)(Recording&);
  } cases[] = {
      {"do not add up", [](Recording& r) { r.inputs.back().ticks += 1; }},
      {"a bad input run",
       [](Recording& r) {
         r.inputs.push_back({0, 0});
       }},
      {"a bad input run", [](Recording& r) { r.inputs[0].bits = INPUT_MASK + 1; }},
      {"out of range", [](Recording& r) { r.level = 3; }},
      {"not one it played", [](Recording& r) { r.level = 0; }},
      {"no level", [](Recording& r) { r.levels.clear(); }},
      {"an unknown difficulty", [](Recording& r) { r.difficulty = DIFFICULTIES; }},
  };
  for (const auto& c : cases) {
    Recording r = sample();
    c.change(r);
    const std::string error = parse_recording(recording_bytes(r)).error;
    EXPECT_NE(error.find(c.why), std::string::npos) << c.why << ": " << error;
  }
}

// A recording that runs out of room ends at the tick that filled it, with
// that tick's score, and keeps nothing after it.
TEST(RecordingFile, AFullRecordingStopsWhereItFilled) {
  Recording r;
  r.inputs.reserve(MAX_RECORDED_RUNS);
  player.score = 7;
  for (std::size_t i = 0; i < MAX_RECORDED_RUNS; ++i) record_tick(r, static_cast<int>(i % 2));
  player.score = 8;
  record_tick(r, 0);
  finish_recording(r, GameEnd::victory, CampaignProgress{});
  EXPECT_EQ(r.ticks, static_cast<int>(MAX_RECORDED_RUNS));
  EXPECT_EQ(r.inputs.size(), MAX_RECORDED_RUNS);
  EXPECT_EQ(r.checks.size(), MAX_RECORDED_RUNS / CHECK_TICKS);
  EXPECT_EQ(r.score, 7);
  EXPECT_EQ(r.end, GameEnd::left);
}

}  // namespace
