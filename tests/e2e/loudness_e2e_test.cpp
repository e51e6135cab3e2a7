// How loud the game plays, heard through ALSA's file plugin: the menu music
// at about -20 dBFS RMS, play with fire held at about -18 dBFS, and the
// busiest passage of level 1 (the boss, with fire held) never at full scale.
// The plugin takes samples as fast as the mixer gives them, about 2.3 times
// faster than the clock here, so effects fall that much sparser on the
// samples than a player hears them: the bounds for play allow for that.
#include <filesystem>
#include <fstream>

#include "heard.h"
#include "screens.h"

namespace {

namespace fs = std::filesystem;

// Bytes of `seconds` of 16-bit stereo at 44.1 kHz, in whole frames.
std::uintmax_t sound_bytes(double seconds) {
  return static_cast<std::uintmax_t>(seconds * 44100) * 4;
}

}  // namespace

class Loudness : public Scenario {
 protected:
  fs::path out() const { return s->folder.root() / "OUT.raw"; }

  // A session whose sound device writes everything the mixer plays to
  // OUT.raw (heard.h).
  void heard_session() {
    s = std::make_unique<Session>(24);
    std::ofstream(s->folder.root() / ".asoundrc") << alsa_file_device(out().string());
  }

  std::uintmax_t heard() const { return bytes_heard(out()); }
  std::uintmax_t play_on(std::uintmax_t from, std::uintmax_t bytes) const {
    return ::play_on(out(), from, bytes, 60000ms);
  }
  SoundLevel level(std::uintmax_t from, std::uintmax_t to) const {
    return sound_level(out(), from, to);
  }

  // Start, then `seconds` of sound with fire held from `after` seconds on.
  SoundLevel fire_held(double after, double seconds) {
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
  const SoundLevel menu_music = level(from, play_on(from, sound_bytes(36)));
  EXPECT_GT(menu_music.rms_db, -22.0) << menu_music.describe();
  EXPECT_LT(menu_music.rms_db, -18.5) << menu_music.describe();
  EXPECT_EQ(menu_music.full_scale, 0) << menu_music.describe();

  const SoundLevel play = fire_held(2.0, 12.0);
  EXPECT_GT(play.rms_db, -21.0) << play.describe();
  EXPECT_LT(play.rms_db, -15.0) << play.describe();
  EXPECT_EQ(play.full_scale, 0) << play.describe();
  std::cerr << "the menu music: " << menu_music.describe()
            << "\nplay with fire held: " << play.describe() << "\n";
  quit();
}

// Level 1 with its timeline cut to the boss: the same scripts, assembled with
// the boss called in after one second instead of after the waves.
TEST_F(Loudness, TheBossWithFireHeldNeverReachesFullScale) {
  std::string scripts = file_text(MIRVO_SOURCE_DIR "/data/levels/level1.wis");
  const std::size_t first_script = scripts.find("\nscript ");
  ASSERT_NE(first_script, std::string::npos);
  // Scripts are numbered in order: this one becomes script 1, the timeline.
  scripts.insert(first_script + 1,
                 "script boss_at_once:\n  wait 100\n  spawn BOSS boss_attack 112 30\n  remove\n\n");

  heard_session();
  ASSERT_EQ(s->folder.write_first_level("boss.wis", scripts), 0);
  s->start_game();
  ASSERT_TRUE(menu(0));
  const SoundLevel boss = fire_held(6.0, 24.0);
  EXPECT_EQ(boss.full_scale, 0) << boss.describe();
  EXPECT_GT(boss.rms_db, -21.0) << boss.describe();
  std::cerr << "the boss with fire held: " << boss.describe() << "\n";
  quit();
}
