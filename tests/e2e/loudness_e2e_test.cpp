// How loud the game plays, heard through ALSA's file plugin: the menu music
// at about -20 dBFS RMS, play with fire held at about -18 dBFS, and the
// busiest passage of level 1 (the boss, with fire held) never at full scale.
// The plugin takes samples as fast as the mixer gives them, about 2.3 times
// faster than the clock here, so effects fall that much sparser on the
// samples than a player hears them: the bounds for play allow for that.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "screens.h"

namespace {

namespace fs = std::filesystem;

// Bytes of `seconds` of 16-bit stereo at 44.1 kHz, in whole frames.
std::uintmax_t sound_bytes(double seconds) {
  return static_cast<std::uintmax_t>(seconds * 44100) * 4;
}

struct Level {
  double rms_db = -200.0;   // dBFS
  double peak_db = -200.0;  // dBFS of the largest sample
  int full_scale = 0;       // samples at either end of the range: clipped
};

std::string describe(const Level& l) {
  return "RMS " + std::to_string(l.rms_db) + " dBFS, peak " + std::to_string(l.peak_db) +
         " dBFS, " + std::to_string(l.full_scale) + " samples at full scale";
}

}  // namespace

class Loudness : public Scenario {
 protected:
  fs::path out() const { return s->folder.root() / "OUT.raw"; }

  // A session whose sound device writes everything the mixer plays to
  // OUT.raw: unsigned 16-bit samples, silence at 0x8000.
  void heard_session() {
    s = std::make_unique<Session>(24);
    std::ofstream(s->folder.root() / ".asoundrc") << alsa_file_device(out().string());
  }

  std::uintmax_t heard() const {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(out(), ec);
    return ec ? 0 : size & ~std::uintmax_t{3};  // whole stereo frames
  }

  // Waits until `bytes` more have been played after `from`; returns the end.
  std::uintmax_t play_on(std::uintmax_t from, std::uintmax_t bytes) {
    EXPECT_TRUE(wait_until([&] { return heard() >= from + bytes; }, 60000ms))
        << "the game stopped playing sound";
    return from + bytes;
  }

  Level level(std::uintmax_t from, std::uintmax_t to) const {
    std::ifstream in(out(), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::vector<unsigned char> bytes(to - from);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::size_t n = static_cast<std::size_t>(in.gcount()) / 2;
    double sum = 0.0;
    int peak = 0;
    Level l;
    for (std::size_t i = 0; i < n; ++i) {
      const int raw = bytes[2 * i] | bytes[2 * i + 1] << 8;
      const int v = raw - 32768;
      sum += static_cast<double>(v) * v;
      peak = std::max(peak, std::abs(v));
      if (raw == 0 || raw == 65535) ++l.full_scale;
    }
    if (n == 0) return l;
    l.rms_db = 20.0 * std::log10(std::sqrt(sum / static_cast<double>(n)) / 32768.0);
    l.peak_db = 20.0 * std::log10(std::max(peak, 1) / 32768.0);
    return l;
  }

  // Start, then `seconds` of sound with fire held from `after` seconds on.
  Level fire_held(double after, double seconds) {
    s->keys({"Return"});
    EXPECT_TRUE(play()) << "Start did not begin play";
    s->key_down("space");
    const std::uintmax_t from = play_on(heard(), sound_bytes(after));
    const std::uintmax_t to = play_on(from, sound_bytes(seconds));
    s->key_up("space");
    return level(from, to);
  }

  void quit() {
    EXPECT_TRUE(leave_play());
    s->keys({"Escape"});
    EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  }
};

// The menu track loops every 40 s; 36 s of it come within half a decibel of
// its whole loudness.
TEST_F(Loudness, MenuMusicAndPlayWithFireHeld) {
  heard_session();
  s->start_game();
  ASSERT_TRUE(menu(0));
  const std::uintmax_t from = heard();
  const Level menu_music = level(from, play_on(from, sound_bytes(36)));
  EXPECT_GT(menu_music.rms_db, -22.0) << describe(menu_music);
  EXPECT_LT(menu_music.rms_db, -18.5) << describe(menu_music);
  EXPECT_EQ(menu_music.full_scale, 0) << describe(menu_music);

  const Level play = fire_held(2.0, 12.0);
  EXPECT_GT(play.rms_db, -21.0) << describe(play);
  EXPECT_LT(play.rms_db, -15.0) << describe(play);
  EXPECT_EQ(play.full_scale, 0) << describe(play);
  std::cerr << "the menu music: " << describe(menu_music)
            << "\nplay with fire held: " << describe(play) << "\n";
  quit();
}

// Level 1 with its timeline cut to the boss: the same scripts, assembled with
// the boss called in after one second instead of after the waves.
TEST_F(Loudness, TheBossWithFireHeldNeverReachesFullScale) {
  std::ifstream source(MIRVO_SOURCE_DIR "/data/levels/level1.wis");
  std::stringstream text;
  text << source.rdbuf();
  std::string scripts = text.str();
  const std::size_t first_script = scripts.find("\nscript ");
  ASSERT_NE(first_script, std::string::npos);
  // Scripts are numbered in order: this one becomes script 1, the timeline.
  scripts.insert(first_script + 1,
                 "script boss_at_once:\n  wait 100\n  spawn BOSS boss_attack 112 30\n  remove\n\n");

  heard_session();
  s->folder.write("boss.wis", scripts);
  ASSERT_EQ(
      run_command({MIRVO_ASM, "--enemies", s->folder.file("enemy.eif").string(), "-o",
                   s->folder.file("level1.wif").string(), s->folder.file("boss.wis").string()},
                  current_environment()),
      0);
  s->start_game();
  ASSERT_TRUE(menu(0));
  const Level boss = fire_held(6.0, 24.0);
  EXPECT_EQ(boss.full_scale, 0) << describe(boss);
  EXPECT_GT(boss.rms_db, -21.0) << describe(boss);
  std::cerr << "the boss with fire held: " << describe(boss) << "\n";
  quit();
}
