// The built sound files: the music tracks the game streams, and the effects
// of "sound.dat" at the indexes the game plays them from. Levels are checked
// as a listener would: nothing clips, nothing is too quiet to hear, and a
// loop's end runs into its start without a click or a gap.
#include <allegro.h>
#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "content/content.h"
#include "script/script.h"
#include "sound/sound_local.h"

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

// A built track, how long it may be, and whether the game loops it.
struct Track {
  const char* file;
  double min_seconds, max_seconds;
  bool loops;
};
void PrintTo(const Track& t, std::ostream* out) {
  *out << t.file;
}

class MusicTrack : public ::testing::TestWithParam<Track> {};

// A loop's end runs into its start without a click or a gap; a jingle played
// once fades out instead of stopping short.
TEST_P(MusicTrack, IsAStereoTrackOfItsLengthWithoutAClickOrAGap) {
  const Track& t = GetParam();
  Decoded d;
  ASSERT_TRUE(decode(game_file(t.file), d));
  EXPECT_EQ(d.rate, 44100);
  ASSERT_EQ(d.channels.size(), 2u);
  const double seconds = static_cast<double>(d.channels[0].size()) / d.rate;
  EXPECT_GE(seconds, t.min_seconds);
  EXPECT_LE(seconds, t.max_seconds);
  for (const auto& c : d.channels) {
    ASSERT_GT(c.size(), 44100u);
    EXPECT_LT(peak(c), 32767) << "clips";
    EXPECT_GT(peak(c), 16384) << "peaks below half of full scale";
    EXPECT_GT(rms(c, 0, c.size()), 0.08) << "too quiet";
    if (!t.loops) {
      EXPECT_LT(rms(c, c.size() - 882, c.size()), 0.005) << "a jingle's last 20 ms";
      continue;
    }
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

INSTANTIATE_TEST_SUITE_P(
    Tracks, MusicTrack,
    ::testing::Values(Track{"menu.ogg", 20, 60, true}, Track{"play.ogg", 20, 60, true},
                      Track{"stage1.ogg", 120, 180, true}, Track{"level2.ogg", 120, 180, true},
                      Track{"level3.ogg", 120, 180, true}, Track{"boss.ogg", 40, 90, true},
                      Track{"ending.ogg", 30, 90, true}, Track{"clear.ogg", 2, 8, false},
                      Track{"gameover.ogg", 2, 8, false}));

// Allegro keeps 16-bit samples unsigned, silence at 0x8000.
std::vector<int> signed_samples(const SAMPLE* s) {
  const auto* data = static_cast<const std::uint16_t*>(s->data);
  std::vector<int> out(data, data + s->len);
  for (int& v : out) v -= 0x8000;
  return out;
}

// The check the game runs before a track may play: the built tracks pass, a
// damaged one is refused with its reason.
TEST_P(MusicTrack, PassesTheCheckWhileADamagedCopyDoesNot) {
  const WholeFile file = read_whole_file(game_file(GetParam().file).c_str(), MAX_ARCHIVE_BYTES);
  ASSERT_EQ(file.error, 0);
  EXPECT_EQ(check_track(file.bytes), "");
  std::vector<std::uint8_t> damaged = file.bytes;
  for (std::size_t i = damaged.size() / 3; i < damaged.size() / 3 + 64; ++i) damaged[i] ^= 0x5A;
  EXPECT_EQ(check_track(damaged), "it does not decode");
  damaged.assign(file.bytes.begin() + 1, file.bytes.end());
  EXPECT_EQ(check_track(damaged), "not an Ogg Vorbis file");
  damaged.assign(file.bytes.begin(), file.bytes.begin() + 4000);  // inside the headers
  EXPECT_NE(check_track(damaged), "");
}

TEST(SoundDat, HoldsEveryEffectAtItsIndexAsAMono16BitSampleHeardClearly) {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(started);
  DATAFILE* dat = load_datafile(game_file("sound.dat").c_str());
  ASSERT_NE(dat, nullptr);
  // The game's own check of the archive it loads accepts the built one.
  EXPECT_EQ(sound_data_problem(dat), "");
  // Each object is the recipe its row of the effect table names, at the row's
  // index: the build read the table right.
  for (const EffectRow& e : EFFECT_TABLE) {
    const DATAFILE& object = dat[e.effect];
    ASSERT_EQ(object.type, DAT_SAMPLE) << "object " << e.effect;
    char name[40];
    std::snprintf(name, sizeof name, "S%02d_%s_WAV", static_cast<int>(e.effect), e.recipe);
    for (char* c = name; *c != 0; ++c) *c = static_cast<char>(std::toupper(*c));
    EXPECT_EQ(std::string(get_datafile_property(&object, DAT_NAME)), name) << "object " << e.effect;
    const auto* s = static_cast<const SAMPLE*>(object.dat);
    EXPECT_EQ(std::make_tuple(s->bits, s->stereo, s->freq), std::make_tuple(16, 0, 22050))
        << "object " << e.effect << ": bits, stereo, rate";
    const double seconds = static_cast<double>(s->len) / s->freq;
    EXPECT_GE(seconds, e.min_seconds) << "object " << e.effect;
    EXPECT_LE(seconds, e.max_seconds) << "object " << e.effect;
    const std::vector<int> v = signed_samples(s);
    EXPECT_LT(peak(v), 32767) << "object " << e.effect << " clips";
    EXPECT_GT(rms(v, 0, v.size()), 0.1) << "object " << e.effect << " is too quiet";
  }
  unload_datafile(dat);
}

}  // namespace
