// The level runner's pieces: recordings, the world digest, the invariants the
// soak checks, the pilot's generator, and the command line as a level author
// uses it (exit statuses, refusals, the contact sheet, the video).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "asm/assembler.h"
#include "run/runner.h"
#include "world_fixture.h"

namespace {

RunRecording parse_text(const std::string& text) {
  return parse_text_recording(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// ---- Recordings ----

TEST(Recording, KeysAreRunLengthEncodedAndReadBackExactly) {
  RunRecording r;
  r.seed = 4000000000u;
  r.level_digest = 0x0123456789abcdefULL;
  r.pilot = "dodge";
  for (int keys : {16, 16, 16, 17, 0, 0, 31}) record_keys(r, keys);
  ASSERT_EQ(r.ticks, 7);
  EXPECT_EQ(r.keys, (std::vector<std::pair<int, int>>{{3, 16}, {1, 17}, {2, 0}, {1, 31}}));

  const RunRecording b = parse_text(serialize_text_recording(r));
  EXPECT_EQ(b.error, "");
  EXPECT_EQ(std::tie(b.seed, b.level_digest, b.pilot, b.ticks, b.keys),
            std::tie(r.seed, r.level_digest, r.pilot, r.ticks, r.keys));
}

TEST(Recording, BrokenFilesAreRefusedWithTheLine) {
  const std::string head = "mirvo-run recording 1\nseed 1\nlevel 00ff\npilot idle\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "line 1: not a mirvo-run recording"},
      {"mirvo-run recording 2\n", "line 1: not a mirvo-run recording"},
      {"mirvo-run recording 1\nseed -1\n", "line 2: expected \"seed N\""},
      {"mirvo-run recording 1\nseed 1\nlevel 00FG\n", "line 3: expected \"level HEX\""},
      {head + "ticks 2\nkeys\n2 16\n", "line 8: missing \"end\""},
      {head + "ticks 2\nkeys\n0 16\n2 16\nend\n",
       "line 7: expected \"COUNT KEYS\" with COUNT >= 1 and KEYS 0..63"},
      {head + "ticks 2\nkeys\n2 64\nend\n",
       "line 7: expected \"COUNT KEYS\" with COUNT >= 1 and KEYS 0..63"},
      {head + "ticks 2\nkeys\n3 1\nend\n", "line 7: more key ticks than the run's ticks"},
      {head + "ticks 2\nkeys\n1 1\nend\n", "line 8: the key runs do not add up to the ticks"},
      {head + "ticks 100000001\nkeys\n", "line 5: expected \"ticks N\" with N at most 100000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_text(c.text).error, c.error) << c.text;
  EXPECT_EQ(parse_text(head + "ticks 3\nkeys\n1 1\n2 0\nend\n").error, "");
}

// ---- The pilot's generator ----

TEST(PilotRandom, SameSeedSameDrawsAndEveryValueOfARangeComes) {
  PilotRandom a(9);
  PilotRandom b(9);
  PilotRandom c(10);
  std::array<int, 5> seen{};
  bool differs = false;
  for (int i = 0; i < 1000; ++i) {
    const int v = a.between(-2, 2);
    ASSERT_EQ(v, b.between(-2, 2));
    ASSERT_GE(v, -2);
    ASSERT_LE(v, 2);
    ++seen[v + 2];
    differs = differs || c.between(-2, 2) != v;
  }
  for (int n : seen) EXPECT_GT(n, 100);
  EXPECT_TRUE(differs);
}

// ---- Digest and invariants ----

// Type 1 is a living 40 x 40 enemy with one step.
class RunWorld : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    content_.define_enemy_type(1, 5, 0, 0, {fixture::Step{}});
  }
};

TEST_F(RunWorld, HashSeesLiveRecordsAndNotWhatFreeSlotsHold) {
  const int slot = spawn_idle(1, 50.0f, 60.0f);
  const std::uint64_t h = world_hash();
  enemy_bullets[5].x = 123.0f;  // a free slot's leftovers
  particles[7].y = 9.0f;
  EXPECT_EQ(world_hash(), h);

  const std::function<void()> changes[] = {
      [] { player.x += 1; },
      [] { player.score += ENEMY_SCORE; },
      [slot] { enemies[slot].x += 0.5f; },
      [slot] { enemy_anim_states[slot].anim_timer += 1; },
      [] { spawn_particle(10.0f, 10.0f, 0.0f, 0.0f, 1, 1, 1, 1); },
      [] { scroll_offset += 0.33f; },
  };
  for (const auto& change : changes) {
    const std::uint64_t before = world_hash();
    change();
    EXPECT_NE(world_hash(), before);
  }
}

TEST_F(RunWorld, EachBrokenInvariantIsNamed) {
  spawn_idle(1, 50.0f, 60.0f);
  const struct {
    std::function<void()> breaks;
    std::string what;
  } cases[] = {
      {[] { player.energy = -1; }, "the ship's energy is below 0"},
      {[] { player.x = 281; }, "the ship is outside the playfield"},
      {[] { particles[MAX_PARTICLES - 1].x = 5.0f; }, "the last particle slot is in use"},
      {[] { particles[3] = Particle{500.0f, 1, 0, 0, 1, 0, 0, 255}; },
       "particles[3] is live outside the field"},
      {[] {
         enemy_bullets[2] = Bullet{1, NAN, 5.0f};
       },
       "enemy_bullets[2] is not at a finite place"},
      {[] {
         player_shots[1] = Bullet{99, 5.0f, 5.0f};
       },
       "player_shots[1] has a bad type"},
      {[] { enemies[0].pc = enemies[0].script_length + 1; },
       "enemies[0] has its script counter outside its copy"},
      {[] { enemies[0].wait = -3; }, "enemies[0] waits a negative time"},
      {[] { scroll_offset = 0.0f; }, "the scroll did not move forward"},
      // A dead enemy's wait may run below zero while it bursts.
      {[] { enemies[0].health = 0.0f, enemies[0].wait = -40; }, ""},
  };
  for (const auto& c : cases) {
    fixture::reset_world();
    fixture::load_script_source(fixture::IDLE_SCRIPT);
    spawn_idle(1, 50.0f, 60.0f);
    scroll_offset = 1.0f;
    WorldWatch watch;
    ASSERT_EQ(check_world(watch), "");
    scroll_offset = 2.0f;
    c.breaks();
    EXPECT_EQ(check_world(watch), c.what);
  }
}

// ---- The command line ----

struct Ran {
  int status = -1;
  std::string output;
};

// Runs a shell command; its output and stderr go to a file that is read
// back. The child is ended by its own pid if it outlives two minutes.
Ran run_command(const std::string& exec_line) {
  const std::string output = ::testing::TempDir() + "mirvo_run_" + std::to_string(getpid());
  const std::string command = exec_line + " >" + output + " 2>&1";
  Ran ran;
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid < 0) return ran;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  int raw = 0;
  while (waitpid(pid, &raw, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &raw, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  ran.output.assign(std::istreambuf_iterator<char>(std::ifstream(output).rdbuf()), {});
  std::filesystem::remove(output);
  return ran;
}

// mirvo-run in the game folder; `env` goes before it (VAR=value ...).
Ran run_tool(const std::string& arguments, const std::string& env = "") {
  return run_command(env + " exec " + std::string(MIRVO_RUN) + " --data " + MIRVO_GAME_DIR + " " +
                     arguments);
}

class RunTool : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest runs the cases side by side: each has a folder of its own.
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("mirvo_run_test_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(RunTool, ExitStatusAndItsReason) {
  const struct {
    std::string arguments;
    int status;
    const char* says;
  } cases[] = {
      {"--pilot idle --runs 2 --expect lost", 0, "idle, 2 runs from seed 1: 0 victories, 2 lost"},
      {"--pilot idle --expect victory", 1, "idle, 1 run from seed 1: 0 victories, 1 lost"},
      {"--level " + path("missing.wif"), 1, "does not exist"},
      {"--soak 1 --ticks 3000", 0, "no invariant broken"},
  };
  for (const auto& c : cases) {
    const Ran ran = run_tool(c.arguments);
    EXPECT_EQ(ran.status, c.status) << c.arguments << ": " << ran.output;
    EXPECT_NE(ran.output.find(c.says), std::string::npos) << c.arguments << ": " << ran.output;
  }
}

std::vector<std::uint8_t> file_bytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void write_bytes(const std::string& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// One recorded run with frames at 10 and 20 seconds and the last tick: the
// sheet is three frames side by side over their label row; the recording
// replays and verifies, is refused with the level when its content differs,
// and names the first check after the tick where its input was changed.
// Warnings go to standard error and leave the exit status alone.
TEST_F(RunTool, WarnsOfEnemiesOutOfViewRidersOfTheirAimAndLevelsNoRunEnds) {
  const auto level = [&](const char* name, const std::string& source) {
    const AsmResult scripts = assemble_source(source, AsmOptions{});
    EXPECT_TRUE(scripts.ok()) << name;
    write_bytes(path(name), encode_scripts(scripts.instructions));
    return path(name);
  };
  const std::string lurk =
      level("lurk.wif",
            "script timeline:\n  wait 100\n  spawn 2 lurk 100 -200\n  wait 3000\n  restart\n"
            "script lurk:\n  wait 1000\n  restart\n");
  // A dart above the idle ship aims at it at 2 px a tick from `dy` below its
  // top and dives at `vy`: at 2 px it rides its bullet into the ship; at 3 px
  // it rams with its bullet passed and close behind; at 1 px after its bullet
  // has hit.
  const auto dive = [&](const char* name, const char* vy, const char* dy) {
    return level(name,
                 std::string("script timeline:\n  spawn 2 dive 150 0\n  wait 3000\n  remove\n") +
                     "script dive:\n  aim 3 200 8 " + dy + "\n  velocity 0 " + vy +
                     "\n  wait 3000\n  remove\n");
  };
  const struct {
    std::string arguments;
    std::string warning;  // "": none at all
  } cases[] = {
      {"--level " + lurk + " --ticks 700",
       "warning: seed 1: enemy type 2 stayed wholly outside the playfield with health left for "
       "more than 5 s from 0:01.0\n"},
      {"--level " + dive("ride.wif", "200", "0") + " --ticks 700",
       "warning: seed 1: enemy type 2 ran into the ship at 0:01.4 moving with a bullet it had "
       "aimed at the ship\n"},
      {"--level " + dive("pass.wif", "300", "60") + " --ticks 700", ""},
      {"--level " + dive("ram.wif", "100", "0") + " --ticks 700", ""},
      {"--pilot idle --immortal --runs 2", "warning: every run ended out of time\n"},
      {"--pilot dodge", ""},
  };
  for (const auto& c : cases) {
    const Ran ran = run_tool(c.arguments);
    EXPECT_EQ(ran.status, 0) << c.arguments << ": " << ran.output;
    const std::string sought = c.warning.empty() ? "warning:" : c.warning;
    EXPECT_EQ(ran.output.find(sought) != std::string::npos, !c.warning.empty())
        << c.arguments << ": " << ran.output;
  }
}

TEST_F(RunTool, SheetHasAFramePerPictureAndTheRecordingVerifiesOnItsContentOnly) {
  ASSERT_EQ(
      run_tool("--pilot dodge --ticks 2500 --frames 3 --sheet " + path("sheet.png") + " --out " +
               path("frames") + " --record " + path("run.rec") + " --chart " + path("chart.png"))
          .status,
      0);
  // A PNG's width and height, from its header.
  const auto png_size = [&](const char* file) {
    std::ifstream png(path(file), std::ios::binary);
    std::array<unsigned char, 24> head{};
    png.read(reinterpret_cast<char*>(head.data()), head.size());
    const auto be32 = [&](int at) {
      return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3];
    };
    const bool is_png = png.good() && std::string(head.begin() + 1, head.begin() + 4) == "PNG";
    return std::make_tuple(is_png, be32(16), be32(20));
  };
  // Nine frames (every 3 s and the end): a row of eight and one below.
  EXPECT_EQ(png_size("sheet.png"),
            std::make_tuple(true, 8 * PLAYFIELD_W, 2 * (PLAYFIELD_H + SHEET_LABEL_H)));
  EXPECT_EQ(png_size("chart.png"), std::make_tuple(true, 960, 320)) << "gnuplot's chart";
  int frames = 0;
  for (const auto& f : std::filesystem::directory_iterator(path("frames")))
    frames += f.is_regular_file();
  EXPECT_EQ(frames, 9);

  EXPECT_EQ(run_tool("--replay " + path("run.rec")).status, 0);
  const Ran verified = run_tool("--verify " + path("run.rec"));
  EXPECT_EQ(verified.status, 0) << verified.output;
  const Recording recorded = parse_recording(file_bytes(path("run.rec"))).recording;
  ASSERT_EQ(recorded.ticks, 2500);

  // The same enemy file with one health changed is other content.
  Recording other = recorded;
  std::filesystem::copy_file(std::string(MIRVO_GAME_DIR) + "/enemy.eif", path("other.eif"));
  std::fstream eif(path("other.eif"), std::ios::in | std::ios::out | std::ios::binary);
  eif.seekp(2);  // the first type's health
  eif.put('\x7f');
  eif.close();
  other.levels[0].enemies = path("other.eif");
  write_bytes(path("other.rec"), recording_bytes(other));
  const Ran refused = run_tool("--verify " + path("other.rec"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("made with another level1.wif (level 1)"), std::string::npos)
      << refused.output;

  // From the run under way at tick 1200 on, the ship steers the other way.
  Recording changed = recorded;
  std::uint32_t before = 0;
  std::size_t run = 0;
  while (before + changed.inputs[run].ticks < 1200) before += changed.inputs[run++].ticks;
  changed.inputs[run].bits ^= INPUT_LEFT | INPUT_RIGHT;
  write_bytes(path("changed.rec"), recording_bytes(changed));
  const Ran drifted = run_tool("--verify " + path("changed.rec"));
  EXPECT_EQ(drifted.status, 1);
  const int check = (static_cast<int>(before) / CHECK_TICKS + 1) * CHECK_TICKS;
  EXPECT_EQ(drifted.output.find("tick " + std::to_string(check) + ": the world differs"),
            drifted.output.find("tick "))
      << drifted.output;
  EXPECT_EQ(std::count(drifted.output.begin(), drifted.output.end(), '\n'), 1) << drifted.output;
}

// The runner's older text recordings still replay on the level they name,
// and one that goes on after its run was lost does not replay as recorded.
TEST_F(RunTool, TextRecordingsStillReplay) {
  RunRecording idle;
  idle.level_digest = level_digest(std::string(MIRVO_GAME_DIR) + "/level1.wif",
                                   std::string(MIRVO_GAME_DIR) + "/enemy.eif");
  for (int i = 0; i < 200000; ++i) record_keys(idle, 0);
  std::ofstream(path("idle.rec")) << serialize_text_recording(idle);
  const Ran early = run_tool("--replay " + path("idle.rec"));
  EXPECT_EQ(early.status, 1);
  EXPECT_NE(early.output.find("before the recording's 200000 ticks"), std::string::npos)
      << early.output;
  const Ran other = run_tool("--level " + std::string(MIRVO_GAME_DIR) + "/level2.wif --replay " +
                             path("idle.rec"));
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.output.find("recorded on another level"), std::string::npos) << other.output;
}

// Runs spread over processes print the same bytes in seed order as one
// process; the JSON holds a pacing sample per second of every run.
TEST_F(RunTool, RunsSpreadOverProcessesPrintTheSameAndSampleEverySecond) {
  const std::string runs = "--pilot dodge --immortal --runs 5 --seed 3 --ticks 3050 --hash ";
  for (const std::string format : {"--json", ""}) {
    const Ran one = run_tool(runs + format + " --jobs 1");
    const Ran three = run_tool(runs + format + " --jobs 3");
    ASSERT_EQ(one.status, 0) << one.output;
    EXPECT_EQ(three.status, 0) << three.output;
    EXPECT_EQ(three.output, one.output) << format;
    if (format.empty()) {
      EXPECT_NE(one.output.find("\nbefore the boss: empty "), std::string::npos) << one.output;
      continue;
    }
    std::size_t lines = 0;
    for (std::size_t at = 0;
         (at = one.output.find("\"enemy_bullets_by_second\": [", at)) != std::string::npos;
         ++lines) {
      const std::size_t end = one.output.find(']', at);
      const std::string list = one.output.substr(at, end - at);
      EXPECT_EQ(std::count(list.begin(), list.end(), ','), 29) << list;
      at = end;
    }
    EXPECT_EQ(lines, 5u) << one.output;
    EXPECT_NE(one.output.find("{\"seed\": 7, "), std::string::npos) << one.output;
  }
}

// A 3-second recording as each kind of video: ffprobe finds 640 x 800 at 50
// frames a second, a sound stream, and the run's length within two frames.
// Without ffmpeg one line says so.
TEST_F(RunTool, VideoOfARecordedRun) {
  ASSERT_EQ(run_tool("--pilot dodge --ticks 300 --record " + path("v.rec")).status, 0);
  for (const std::string kind : {"webm", "mp4"}) {
    const std::string out = path("v.") + kind;
    const Ran made = run_tool("--replay " + path("v.rec") + " --video " + out);
    ASSERT_EQ(made.status, 0) << made.output;
    const Ran probe = run_command(
        "exec ffprobe -v error -show_entries stream=codec_type,width,height,r_frame_rate "
        "-show_entries format=duration -of default=noprint_wrappers=1 " +
        out);
    ASSERT_EQ(probe.status, 0) << probe.output;
    const std::string video = "codec_type=video\nwidth=640\nheight=800\nr_frame_rate=50/1\n";
    EXPECT_NE(probe.output.find(video), std::string::npos) << kind << ": " << probe.output;
    EXPECT_NE(probe.output.find("codec_type=audio"), std::string::npos) << probe.output;
    const std::size_t at = probe.output.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe.output;
    EXPECT_NEAR(std::stod(probe.output.substr(at + 9)), 3.0, 0.04) << kind;
  }
  const Ran without =
      run_tool("--replay " + path("v.rec") + " --video " + path("n.mp4"), "PATH=" + dir_.string());
  EXPECT_EQ(without.status, 1);
  EXPECT_EQ(without.output, "mirvo-run: --video needs ffmpeg, which is not installed\n");
}

}  // namespace
