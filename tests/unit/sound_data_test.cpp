// The built sound files: the music tracks the game streams, and the effects
// of "sound.dat" at the indexes the game plays them from. Levels are checked
// as a listener would: nothing clips, nothing is too quiet to hear, and a
// loop's end runs into its start without a click or a gap.
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string game_file(const char* name) {
  return std::string(MIRVO_GAME_DIR) + "/" + name;
}

// A whole track decoded to signed 16-bit samples, one vector per channel.
struct Decoded {
  long rate = 0;
  std::vector<std::vector<int>> channels;
};

bool decode(const std::string& path, Decoded& out) {
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return false;
  const vorbis_info* info = ov_info(&vf, -1);
  out.rate = info->rate;
  out.channels.assign(info->channels, {});
  std::vector<std::int16_t> buf(4096 * info->channels);
  int section = 0;
  long got = 0;
  while ((got = ov_read(&vf, reinterpret_cast<char*>(buf.data()), static_cast<int>(buf.size() * 2),
                        0, 2, 1, &section)) > 0)
    for (long i = 0; i < got / 2; ++i) out.channels[i % info->channels].push_back(buf[i]);
  ov_clear(&vf);
  return got == 0;
}

double rms(const std::vector<int>& s, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(to - from)) / 32768.0;
}

int peak(const std::vector<int>& s) {
  int p = 0;
  for (int v : s) p = std::max(p, std::abs(v));
  return p;
}

class MusicTrack : public ::testing::TestWithParam<const char*> {};

TEST_P(MusicTrack, IsAStereoLoopOfTwentyToSixtySecondsAtAGoodLevel) {
  Decoded d;
  ASSERT_TRUE(decode(game_file(GetParam()), d));
  EXPECT_EQ(d.rate, 44100);
  ASSERT_EQ(d.channels.size(), 2u);
  const double seconds = static_cast<double>(d.channels[0].size()) / d.rate;
  EXPECT_GE(seconds, 20);
  EXPECT_LE(seconds, 60);
  for (const auto& c : d.channels) {
    EXPECT_LT(peak(c), 32767) << "clips";
    EXPECT_GT(peak(c), 16384) << "peaks below half of full scale";
    EXPECT_GT(rms(c, 0, c.size()), 0.08) << "too quiet";
  }
}

TEST_P(MusicTrack, LoopsWithoutAClickOrAGap) {
  Decoded d;
  ASSERT_TRUE(decode(game_file(GetParam()), d));
  for (const auto& c : d.channels) {
    ASSERT_GT(c.size(), 44100u);
    // The step from the last sample to the first is an ordinary one: below
    // what 99 in 100 steps inside the track reach.
    std::vector<int> steps;
    for (std::size_t i = 1; i < c.size(); ++i) steps.push_back(std::abs(c[i] - c[i - 1]));
    std::nth_element(steps.begin(), steps.begin() + steps.size() * 99 / 100, steps.end());
    EXPECT_LE(std::abs(c.front() - c.back()), steps[steps.size() * 99 / 100]);
    // Music goes on across the seam: 20 ms on each side are far from silent.
    EXPECT_GT(rms(c, c.size() - 882, c.size()), 0.01);
    EXPECT_GT(rms(c, 0, 882), 0.01);
  }
}

INSTANTIATE_TEST_SUITE_P(Tracks, MusicTrack, ::testing::Values("menu.ogg", "play.ogg"));

}  // namespace
