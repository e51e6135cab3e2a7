// The sound builder's readers: what a score and a recipe mean, the sox
// commands they turn into, and the messages wrong sources get.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "soundbuild/recipe.h"
#include "soundbuild/score.h"

namespace {

constexpr const char* SMALL_SCORE = R"(
rate 8000
tempo 120
steps 4
voice lead square volume 0.5 pan -1 envelope 0.01 0.05
drum  kick sine pitch 150 / 40 length 0.1 volume 0.5
pattern a
  lead | A4 - - . | C5 . . . |
  kick | x . X . |
pattern b
  lead | . . . . | . . E4 - |
song a b
)";

soundbuild::Score small_score() {
  std::string error;
  auto s = soundbuild::parse_score(SMALL_SCORE, "small.txt", error);
  EXPECT_TRUE(s) << error;
  return s ? *s : soundbuild::Score{};
}

TEST(Score, NotesHoldRestAndDrumLinesRepeatToFillThePattern) {
  const soundbuild::Score s = small_score();
  ASSERT_EQ(s.voices.size(), 2u);
  ASSERT_EQ(s.song.size(), 2u);
  EXPECT_EQ(soundbuild::song_steps(s), 16);
  // A4 for three steps, then rests that run together across the pattern end.
  std::string lead;
  char hz[32];
  for (const soundbuild::Event& e : soundbuild::voice_events(s, 0, 1)) {
    std::snprintf(hz, sizeof hz, " %.3f ", e.hz);
    lead += std::to_string(e.start) + "+" + std::to_string(e.steps) + (e.gain == 0 ? " rest " : hz);
  }
  EXPECT_EQ(lead, "0+3 440.000 3+1 rest 4+1 523.251 5+9 rest 14+2 329.628 ");
  // The one-bar drum line plays twice in pattern a; a "." lets a hit ring on.
  const auto kick = soundbuild::voice_events(s, 1, 1);
  ASSERT_EQ(kick.size(), 5u);
  EXPECT_EQ(kick[0].steps, 2);
  EXPECT_GT(kick[1].gain, kick[0].gain);  // X is louder than x
  EXPECT_EQ(kick[2].start, 4);
  EXPECT_EQ(kick[4].gain, 0);  // pattern b leaves the drum out
  EXPECT_EQ(kick[4].steps, 8);
  // Two turns repeat every event one song later.
  const auto twice = soundbuild::voice_events(s, 1, 2);
  EXPECT_EQ(twice.size(), 10u);
  EXPECT_EQ(twice[5].start, 16);
}

TEST(Score, StepsStartOnRoundedSamplesWithoutDrift) {
  soundbuild::Score s = small_score();
  s.rate = 44100;
  s.tempo = 140;  // 4725 samples a step, less a third: no step is a whole number
  const long loop = soundbuild::loop_frames(s);
  EXPECT_EQ(loop, std::lround(16 * 44100 * 60.0 / (140 * 4)));
  // Each voice's chains, rings and pads added up, are exactly two turns.
  for (int voice = 0; voice < 2; ++voice) {
    const auto args = soundbuild::voice_sox_args(s, voice, 2, "out.wav");
    long total = 0;
    for (std::size_t i = 0; i + 2 < args.size(); ++i)
      if (args[i] == "synth" || args[i] == "pad") {
        const std::string& len = args[i + (args[i] == "pad" ? 2 : 1)];
        total += std::stol(len.substr(0, len.size() - 1));
      }
    EXPECT_EQ(total, 2 * loop) << s.voices[voice].name;
  }
}

TEST(Score, MixPansEachVoiceAndKeepsTheSecondTurn) {
  const soundbuild::Score s = small_score();
  const auto args = soundbuild::mix_sox_args(s, {"lead.wav", "kick.wav"}, "out.wav");
  const auto remix = std::find(args.begin(), args.end(), "remix");
  ASSERT_NE(remix, args.end());
  // lead is hard left (all of its share on the left), kick in the middle.
  EXPECT_EQ(remix[1], "1v0.5000,2v0.3536");
  EXPECT_EQ(remix[2], "1v0.0000,2v0.3536");
  const auto trim = std::find(args.begin(), args.end(), "trim");
  ASSERT_NE(trim, args.end());
  EXPECT_EQ(trim[1], "16000s");  // from the second turn on, at 8000 Hz
  EXPECT_EQ(trim[2], "16000s");
}

TEST(Score, NoteNames) {
  EXPECT_NEAR(soundbuild::note_hz("A4"), 440.0, 1e-9);
  EXPECT_NEAR(soundbuild::note_hz("C4"), 261.626, 1e-3);
  EXPECT_NEAR(soundbuild::note_hz("C#4"), soundbuild::note_hz("Db4"), 1e-9);
  EXPECT_NEAR(soundbuild::note_hz("B1"), 61.735, 1e-3);
  for (const char* bad : {"H4", "A", "A9", "Ax4", "a4", "A44", ""})
    EXPECT_EQ(soundbuild::note_hz(bad), 0) << bad;
}

struct BadSource {
  const char* text;
  const char* message;  // a part of the error, which also names the line
};

constexpr const char* VOICES = "voice lead sine\ndrum kick noise\n";

TEST(Score, RefusesMistakesNamingTheLine) {
  const std::string voices = VOICES;
  const BadSource cases[] = {
      {"tempo 0\n", ":1: tempo: \"0\" is not a number in 20..300"},
      {"tempo fast\n", ":1: tempo: \"fast\""},
      {"voice lead organ\n", ":1: voice takes a name and a wave"},
      {"voice lead sine volume\n", ":1: volume takes 1 number"},
      {"voice lead sine wobble 3\n", ":1: unknown voice option \"wobble\""},
      {"voice song sine\n", ":1: voice takes a name"},
      {"voice lead noise\n", ":1: voice takes a name and a wave"},
      {"drum kick sine\n", ":1: a drum with a wave other than noise needs a pitch"},
      {"voice a sine\nvoice a sine\n", ":2: a second voice named \"a\""},
      {"tempo 100\npattern p\n", ":2: a pattern before any voice"},
      {"lead A4\n", ":1: \"lead\" outside a pattern"},
      {"pattern p\nlead A4 H4\nsong p\n", ":4: \"H4\" is not a step of lead"},
      {"pattern p\nlead - A4\nsong p\n", ":4: \"-\" holds a note, and lead has none"},
      {"pattern p\nlead A4 . -\nsong p\n", ":4: \"-\" holds a note"},
      {"pattern p\nkick x -\nsong p\n", ":4: \"-\" holds a note, and kick"},
      {"pattern p\nkick A4\nsong p\n", ":4: \"A4\" is not a step of kick (x, X or .)"},
      {"pattern p\nbass A4\n", ":4: no voice named \"bass\""},
      {"pattern p\nlead A4 . .\nkick x x\nsong p\n",
       ":3: in pattern p, kick has 2 steps, which do not fill the 3"},
      {"pattern p\nsong p\n", ":3: pattern p has no steps"},
      {"pattern p\nlead A4\npattern p\n", ":5: a second pattern named \"p\""},
      {"pattern p\nlead A4\nsong q\n", ":5: song names \"q\", which is no pattern"},
      {"pattern p\nlead A4\nvoice x sine\n", ":5: voices come before the patterns"},
      {"pattern p\nlead A4 . .\nkick x x\n", ":3: in pattern p"},
      {"pattern p\nlead A4\n", "no song line"},
  };
  for (const BadSource& c : cases) {
    const std::string text = (std::string(c.text).starts_with("pattern") ? voices : "") + c.text;
    std::string error;
    EXPECT_FALSE(soundbuild::parse_score(text, "bad.txt", error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
  }
}

TEST(Recipe, BecomesOneSoxCommandWithTheSweepNoiseVibratoAndEnvelope) {
  std::string error;
  const auto r = soundbuild::parse_recipe(
      "length 0.5 ; seconds\nwave square 800 / 200\nnoise 0.25\nenvelope 0.01 0.2\n"
      "vibrato 6 50\nfilter lowpass 3000\nlevel -6\n",
      "r.txt", error);
  ASSERT_TRUE(r) << error;
  const auto args = soundbuild::recipe_sox_args(*r, "out.wav");
  std::string line;
  for (const auto& a : args) line += a + " ";
  EXPECT_NE(line.find("-r 22050 -n -b 16 -c 1 out.wav "), std::string::npos) << line;
  EXPECT_NE(line.find("synth 0.5000 whitenoise vol 0.2500 synth 0.5000 square mix 800.000-200.000"),
            std::string::npos)
      << line;
  EXPECT_NE(line.find("lowpass 3000.0000 fade q 0.0100 0.5000 0.2000 gain -n -6.0000"),
            std::string::npos)
      << line;
  // The vibrato's bends swing around the pitch and come back to it.
  int cents = 0, bends = 0;
  double span = 0;
  for (const auto& a : args)
    if (std::count(a.begin(), a.end(), ',') == 2 && a.starts_with("0,")) {
      cents += std::stoi(a.substr(2));
      span += std::stod(a.substr(a.rfind(',') + 1));
      ++bends;
    }
  EXPECT_GE(bends, 5);
  EXPECT_EQ(cents, 0);
  EXPECT_LE(span, 0.5);
}

TEST(Recipe, RefusesMistakesNamingTheLine) {
  const BadSource cases[] = {
      {"wave sine 440\n", "r.txt: no length"},
      {"length 5\n", ":1: length: \"5\" is not a number in 0.01..2"},
      {"length 0.1\nwave hum 440\n", ":2: wave takes sine"},
      {"length 0.1\nwave sine 440 880\n", ":2: a pitch is HZ or FROM / TO"},
      {"length 0.1\nwave sine 5\n", ":2: pitches are numbers in 20..16000 Hz"},
      {"length 0.1\nfilter bandpass 300\n", ":2: filter takes lowpass or highpass"},
      {"length 0.1\nlevel 0\n", ":2: level: \"0\" is not a number in -40..-0.5"},
      {"length 0.1\nenvelope 0.1 0.1\n", "r.txt: the envelope is longer than the sound"},
      {"length 0.1\nloud 3\n", ":2: unknown key \"loud\""},
  };
  for (const BadSource& c : cases) {
    std::string error;
    EXPECT_FALSE(soundbuild::parse_recipe(c.text, "r.txt", error)) << c.text;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " gave: " << error;
  }
}

}  // namespace
