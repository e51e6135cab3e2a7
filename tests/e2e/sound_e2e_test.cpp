// Sound as a player hears it, through ALSA's file plugin: the game plays into
// a file instead of a sound card. Without a device it must stay silent and
// work; with the "sound" setting Off it must play nothing at all.
#include <filesystem>
#include <fstream>
#include <thread>

#include "heard.h"
#include "screens.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t STRETCH = 256 * 1024;  // bytes of output compared at a time

// How many entries a /proc folder of the game has (open files, threads).
int proc_entries(pid_t pid, const char* what) {
  int n = 0;
  std::error_code ec;
  for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/" + what, ec), end;
       !ec && it != end; it.increment(ec)) {
    ++n;
  }
  return n;
}

}  // namespace

// Start, fire held for `held` in play, back to the menu and Quit: status 0.
class SoundScenario : public OptionsScenario {
 protected:
  void fire_in_play_then_quit(Millis held) {
    ASSERT_TRUE(menu(0));
    s->keys({"Return"});
    ASSERT_TRUE(play());
    s->key_down("space");
    std::this_thread::sleep_for(held);
    s->key_up("space");
    ASSERT_TRUE(leave_play());
    quit_from_menu();
  }

  void quit_from_menu() {
    s->keys({"Escape"});
    EXPECT_EQ(s->wait_exit(10000ms), std::optional<int>(0));
  }
};

// ALSA's default device writes everything played to OUT.raw (heard.h);
// stretches are compared by loudness.
class Heard : public SoundScenario {
 protected:
  fs::path out() const { return s->folder.root() / "OUT.raw"; }

  void start_heard(const std::string& cfg = "") {
    s = std::make_unique<Session>(24);
    std::ofstream(s->folder.root() / ".asoundrc") << alsa_file_device(out().string());
    if (!cfg.empty()) s->folder.write("mirvo.cfg", cfg);
    s->start_game();
  }

  std::uintmax_t heard() const { return bytes_heard(out()); }
  std::uintmax_t play_on(std::uintmax_t from, std::uintmax_t bytes = STRETCH) const {
    return ::play_on(out(), from, bytes, 15000ms);
  }
  // Root mean square of the samples in [from, to), 0 for silence.
  double loudness(std::uintmax_t from, std::uintmax_t to) const {
    return sound_level(out(), from, to).rms;
  }
};

// The menu music plays, and plays again after each Accept, which shuts
// everything down and starts it again: the files and threads of the sound
// system and the music must not pile up. Then the same stretch of the play
// track, from Start on, with and without fire held: the music is rewound for
// every new game, so only the effects differ.
TEST_F(Heard, MenuMusicSurvivesRestartsAndHeldFireIsLouderThanTheMusicAlone) {
  start_heard();
  ASSERT_TRUE(menu(0));
  std::vector<std::pair<int, int>> counts;  // open files, threads
  for (int restart = 0; restart < 4; ++restart) {
    const std::uintmax_t from = heard();
    EXPECT_GT(loudness(from, play_on(from)), 300.0) << "no menu music after restart " << restart;
    counts.emplace_back(proc_entries(s->game().pid(), "fd"), proc_entries(s->game().pid(), "task"));
    const int mapped = s->windows_mapped();
    ASSERT_TRUE(open_options() && accept_from("Renderer:") && restarted(mapped));
    ASSERT_TRUE(menu(0)) << "restart " << restart;
  }
  EXPECT_EQ(counts.front(), counts.back()) << "open files and threads grew from restart to restart";

  auto second_stretch_of_play = [this](bool fire) {
    s->keys({"Return"});
    EXPECT_TRUE(play()) << "Start did not begin play";
    const std::uintmax_t from = play_on(heard());
    if (fire) s->key_down("space");
    const std::uintmax_t to = play_on(from);
    if (fire) s->key_up("space");
    EXPECT_TRUE(leave_play());
    return loudness(from, to);
  };
  const double music = second_stretch_of_play(false);
  const double fire = second_stretch_of_play(true);
  EXPECT_GT(music, 300.0) << "no music in play";
  EXPECT_GT(fire, 1.4 * music) << "music alone " << music << ", with fire held " << fire;
  quit_from_menu();
  EXPECT_EQ(s->game_stderr(), "");
}

TEST_F(Heard, SoundOffPlaysNothing) {
  start_heard("sound = 0\n");
  fire_in_play_then_quit(1000ms);
  // Off leaves digital sound uninstalled: the device is never even opened.
  EXPECT_FALSE(fs::exists(out())) << heard() << " bytes played, loudness " << loudness(0, heard());
  EXPECT_EQ(s->game_stderr(), "");
}

// No sound device, or no "sound.dat": the game says why in one line and
// plays on in silence.
struct NoSound {
  const char* name;
  bool device;            // false: the default device is on a card that does not exist
  const char* alsa_conf;  // replaces ALSA's own configuration; nullptr keeps it
  const char* sound_dat;  // what replaces "sound.dat"; nullptr keeps it
  const char* reason;
};

class WithoutSound : public SoundScenario, public ::testing::WithParamInterface<NoSound> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, WithoutSound,
    ::testing::Values(NoSound{"NoSuchCard", false, nullptr, nullptr, "Mirvo: no sound: "},
                      NoSound{"EmptyAlsaConfig", true, "\n", nullptr, "Mirvo: no sound: "},
                      NoSound{"MalformedSoundDat", true, nullptr, "ALL.",
                              "Mirvo: no sound: \"sound.dat\": missing or unreadable"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(WithoutSound, TheGameStartsPlaysAndQuits) {
  s = std::make_unique<Session>(24);
  std::vector<std::string> env;
  if (!GetParam().device) std::ofstream(s->folder.root() / ".asoundrc") << alsa_missing_device();
  if (GetParam().alsa_conf != nullptr) {
    const fs::path conf = s->folder.root() / "alsa.conf";
    std::ofstream(conf) << GetParam().alsa_conf;
    env.push_back("ALSA_CONFIG_PATH=" + conf.string());
  }
  if (GetParam().sound_dat != nullptr) s->folder.write("sound.dat", GetParam().sound_dat);
  s->start_game(env);
  fire_in_play_then_quit(500ms);
  const std::string err = s->game_stderr();
  EXPECT_EQ(err.rfind(GetParam().reason, 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
