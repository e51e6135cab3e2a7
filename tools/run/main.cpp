// mirvo-run: plays a level headless with a pilot and says how it went.
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "run/runner.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo-run [--data DIR] [--level FILE.wif] [--enemies FILE.eif]\n"
    "                 [--pilot idle|sweep|dodge] [--seed N] [--runs N] [--ticks N] [--immortal]\n"
    "                 [--record FILE] [--replay FILE] [--expect victory|lost]\n"
    "                 [--frames SECONDS --out DIR] [--sheet FILE.png] [--soak SECONDS]\n"
    "                 [--json] [--hash]\n"
    "Plays a level of the game folder DIR (default: here) without a display.\n"
    "Pictures are taken of the first run only.\n";

struct Options {
  std::string data_dir = ".";
  RunSettings run;
  PilotKind pilot = PilotKind::idle;
  int runs = 1;
  std::string record_file;
  std::string replay_file;
  std::string expect;
  double frame_seconds = 0;
  std::string out_dir;
  std::string sheet_file;
  double soak_seconds = 0;
  bool json = false;
  bool print_hashes = false;
};

[[noreturn]] void usage_error(const std::string& why) {
  std::fprintf(stderr, "mirvo-run: %s\n%s", why.c_str(), USAGE);
  std::exit(2);
}

long number_argument(const char* option, const char* text, long lo, long hi) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
    usage_error(std::string(option) + " wants a whole number from " + std::to_string(lo) + " to " +
                std::to_string(hi));
  return v;
}

double seconds_argument(const char* option, const char* text) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0.0) || v > 1e6)
    usage_error(std::string(option) + " wants a number of seconds above 0");
  return v;
}

// A path named on the command line, made absolute before the runner moves
// into the game folder.
std::string from_here(const char* path) {
  return std::filesystem::absolute(path).string();
}

Options parse_options(int argc, char** argv) {
  enum : int {
    DATA = 256,
    LEVEL,
    ENEMIES,
    PILOT,
    SEED,
    RUNS,
    TICKS,
    IMMORTAL,
    RECORD,
    REPLAY,
    EXPECT,
    FRAMES,
    OUT,
    SHEET,
    SOAK,
    JSON,
    HASH,
    HELP
  };
  static const option long_options[] = {{"data", required_argument, nullptr, DATA},
                                        {"level", required_argument, nullptr, LEVEL},
                                        {"enemies", required_argument, nullptr, ENEMIES},
                                        {"pilot", required_argument, nullptr, PILOT},
                                        {"seed", required_argument, nullptr, SEED},
                                        {"runs", required_argument, nullptr, RUNS},
                                        {"ticks", required_argument, nullptr, TICKS},
                                        {"immortal", no_argument, nullptr, IMMORTAL},
                                        {"record", required_argument, nullptr, RECORD},
                                        {"replay", required_argument, nullptr, REPLAY},
                                        {"expect", required_argument, nullptr, EXPECT},
                                        {"frames", required_argument, nullptr, FRAMES},
                                        {"out", required_argument, nullptr, OUT},
                                        {"sheet", required_argument, nullptr, SHEET},
                                        {"soak", required_argument, nullptr, SOAK},
                                        {"json", no_argument, nullptr, JSON},
                                        {"hash", no_argument, nullptr, HASH},
                                        {"help", no_argument, nullptr, HELP},
                                        {nullptr, 0, nullptr, 0}};
  Options o;
  int c = 0;
  opterr = 0;
  while ((c = getopt_long(argc, argv, "", long_options, nullptr)) != -1) {
    switch (c) {
      case DATA:
        o.data_dir = optarg;
        break;
      case LEVEL:
        o.run.script_file = from_here(optarg);
        break;
      case ENEMIES:
        o.run.enemy_file = from_here(optarg);
        break;
      case PILOT:
        if (!pilot_kind_named(optarg, &o.pilot)) usage_error("--pilot is idle, sweep or dodge");
        break;
      case SEED:
        o.run.seed = number_argument("--seed", optarg, 0, 0xffffffffL);
        break;
      case RUNS:
        o.runs = number_argument("--runs", optarg, 1, 1000000);
        break;
      case TICKS:
        o.run.max_ticks = number_argument("--ticks", optarg, 1, 100000000);
        break;
      case IMMORTAL:
        o.run.immortal = true;
        break;
      case RECORD:
        o.record_file = from_here(optarg);
        break;
      case REPLAY:
        o.replay_file = from_here(optarg);
        break;
      case EXPECT:
        o.expect = optarg;
        if (o.expect != "victory" && o.expect != "lost") usage_error("--expect is victory or lost");
        break;
      case FRAMES:
        o.frame_seconds = seconds_argument("--frames", optarg);
        break;
      case OUT:
        o.out_dir = from_here(optarg);
        break;
      case SHEET:
        o.sheet_file = from_here(optarg);
        break;
      case SOAK:
        o.soak_seconds = seconds_argument("--soak", optarg);
        break;
      case JSON:
        o.json = true;
        break;
      case HASH:
        o.print_hashes = true;
        break;
      case HELP:
        std::fputs(USAGE, stdout);
        std::exit(0);
      default:
        usage_error(std::string("unknown option ") + argv[optind - 1]);
    }
  }
  if (optind < argc) usage_error(std::string("unexpected argument ") + argv[optind]);
  if (o.frame_seconds > 0 && o.out_dir.empty() && o.sheet_file.empty())
    usage_error("--frames needs --out DIR or --sheet FILE.png");
  if (!o.out_dir.empty() && o.frame_seconds <= 0) usage_error("--out needs --frames SECONDS");
  if (!o.sheet_file.empty() && o.frame_seconds <= 0) o.frame_seconds = 10;
  if (!o.record_file.empty() && (o.runs != 1 || o.soak_seconds > 0))
    usage_error("--record records one run");
  if (!o.replay_file.empty() && (o.runs != 1 || o.soak_seconds > 0 || !o.record_file.empty()))
    usage_error("--replay plays one recording");
  return o;
}

void print_run(const RunResult& r, const char* pilot, bool json) {
  if (json) {
    std::printf(
        "{\"seed\": %u, \"pilot\": \"%s\", \"outcome\": \"%s\", \"tick\": %d, \"score\": %d, "
        "\"spawned\": %d, \"destroyed\": %d, \"hits_taken\": %d, \"energy\": %d, "
        "\"boss_tick\": %d, \"worst_stretch\": %d, \"hits_by_stretch\": [",
        r.seed, pilot, outcome_name(r.outcome), r.tick, r.score, r.spawned, r.destroyed,
        r.hits_taken, r.energy, r.boss_tick, worst_stretch(r));
    for (std::size_t i = 0; i < r.hits_by_stretch.size(); ++i)
      std::printf("%s%d", i == 0 ? "" : ", ", r.hits_by_stretch[i]);
    std::printf("], \"hash\": \"%s\"}\n", hex_digest(r.hash).c_str());
    return;
  }
  std::string worst = "no hits";
  if (const int w = worst_stretch(r); w >= 0) {
    worst = "most hits " + game_time(w * STRETCH_TICKS) + "-" + game_time((w + 1) * STRETCH_TICKS) +
            " (" + std::to_string(r.hits_by_stretch[w]) + ")";
  }
  std::printf(
      "seed %u  %s  %s at %s (tick %d)  score %d  enemies %d seen %d destroyed  "
      "hits %d  energy %d  %s\n",
      r.seed, pilot, outcome_name(r.outcome), game_time(r.tick).c_str(), r.tick, r.score, r.spawned,
      r.destroyed, r.hits_taken, r.energy, worst.c_str());
}

// Every S seconds of game time (and at the end), a picture for --out and --sheet.
struct Pictures {
  const Options& o;
  int interval = 0;
  int last_taken = -1;
  bool failed = false;  // a frame could not be written

  void take(int tick, std::uint32_t seed) {
    draw_world_frame();
    last_taken = tick;
    if (!o.out_dir.empty()) {
      char name[64];
      std::snprintf(name, sizeof name, "/frame_%u_%06d.png", seed, tick);
      if (!save_frame_png(o.out_dir + name)) {
        failed = true;
        std::fprintf(stderr, "mirvo-run: cannot write %s%s\n", o.out_dir.c_str(), name);
      }
    }
    if (!o.sheet_file.empty()) keep_frame_for_sheet(tick);
  }
};

struct Tally {
  int victories = 0;
  int lost = 0;
  int time = 0;
  std::vector<int> hits_by_stretch;

  void add(const RunResult& r) {
    (r.outcome == Outcome::victory ? victories : r.outcome == Outcome::lost ? lost : time) += 1;
    if (hits_by_stretch.size() < r.hits_by_stretch.size())
      hits_by_stretch.resize(r.hits_by_stretch.size());
    for (std::size_t i = 0; i < r.hits_by_stretch.size(); ++i)
      hits_by_stretch[i] += r.hits_by_stretch[i];
  }
};

bool met_expectation(const Options& o, const RunResult& r) {
  return o.expect.empty() || o.expect == outcome_name(r.outcome);
}

int replay(const Options& o) {
  bool ok = false;
  const auto bytes = file_bytes(o.replay_file, &ok);
  if (!ok) {
    std::fprintf(stderr, "mirvo-run: cannot read %s\n", o.replay_file.c_str());
    return 1;
  }
  const RunRecording rec = parse_recording(bytes);
  if (!rec.error.empty()) {
    std::fprintf(stderr, "mirvo-run: %s: %s\n", o.replay_file.c_str(), rec.error.c_str());
    return 1;
  }
  const std::uint64_t digest = level_digest(o.run.script_file, o.run.enemy_file);
  if (digest != rec.level_digest) {
    std::fprintf(stderr,
                 "mirvo-run: %s was recorded on another level (level digest %s, these files "
                 "%s); refusing to replay it\n",
                 o.replay_file.c_str(), hex_digest(rec.level_digest).c_str(),
                 hex_digest(digest).c_str());
    return 1;
  }
  RunSettings settings = o.run;
  settings.seed = rec.seed;
  settings.max_ticks = rec.ticks;
  Pilot pilot = make_replay_pilot(rec);
  const RunResult r = run_level(settings, pilot, nullptr, [&](int tick) {
    if (o.print_hashes && tick % TICKS_PER_SECOND == 0)
      std::printf("tick %d hash %s\n", tick, hex_digest(world_hash()).c_str());
    return true;
  });
  print_run(r, "replay", o.json);
  return met_expectation(o, r) ? 0 : 1;
}

int soak(const Options& o) {
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  const auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - start).count(); };
  PilotRandom choose(static_cast<std::uint64_t>(start.time_since_epoch().count()));
  long long ticks = 0;
  int runs = 0;
  while (elapsed() < o.soak_seconds) {
    RunSettings settings = o.run;
    settings.seed = static_cast<std::uint32_t>(choose.next());
    const PilotKind kind = static_cast<PilotKind>(choose.between(0, 2));
    Pilot pilot = make_pilot(kind, settings.seed);
    WorldWatch watch;
    std::string broken;
    int broken_at = 0;
    run_level(settings, pilot, nullptr, [&](int tick) {
      ++ticks;
      broken = check_world(watch);
      if (!broken.empty()) {
        broken_at = tick;
        return false;
      }
      return tick % 1000 != 0 || elapsed() < o.soak_seconds;
    });
    ++runs;
    if (!broken.empty()) {
      std::printf("soak: %s after tick %d; reproduce with --seed %u --pilot %s%s\n", broken.c_str(),
                  broken_at, settings.seed, pilot_name(kind),
                  settings.immortal ? " --immortal" : "");
      return 1;
    }
  }
  const double seconds = elapsed();
  std::printf("soak: %d runs, %lld ticks in %.1f s, %.0f ticks per second, no invariant broken\n",
              runs, ticks, seconds, static_cast<double>(ticks) / seconds);
  return 0;
}

int play(const Options& o) {
  Pictures pictures{o};
  pictures.interval = static_cast<int>(std::lround(o.frame_seconds * TICKS_PER_SECOND));
  if (o.frame_seconds > 0 && pictures.interval < 1) pictures.interval = 1;
  std::error_code error;
  if (!o.out_dir.empty()) std::filesystem::create_directories(o.out_dir, error);
  RunRecording recording;
  Tally tally;
  bool all_expected = true;
  for (int i = 0; i < o.runs; ++i) {
    RunSettings settings = o.run;
    settings.seed = o.run.seed + static_cast<std::uint32_t>(i);
    Pilot pilot = make_pilot(o.pilot, settings.seed);
    const bool with_pictures = i == 0 && pictures.interval > 0;
    const RunResult r =
        run_level(settings, pilot, o.record_file.empty() ? nullptr : &recording, [&](int tick) {
          if (o.print_hashes && tick % TICKS_PER_SECOND == 0)
            std::printf("tick %d hash %s\n", tick, hex_digest(world_hash()).c_str());
          if (with_pictures && tick % pictures.interval == 0) pictures.take(tick, settings.seed);
          return true;
        });
    if (with_pictures && pictures.last_taken != r.tick) pictures.take(r.tick, settings.seed);
    print_run(r, pilot_name(o.pilot), o.json);
    tally.add(r);
    all_expected = all_expected && met_expectation(o, r);
  }
  if (!o.record_file.empty()) {
    std::ofstream out(o.record_file, std::ios::binary);
    out << serialize_recording(recording);
    if (!out) {
      std::fprintf(stderr, "mirvo-run: cannot write %s\n", o.record_file.c_str());
      return 1;
    }
  }
  if (!o.sheet_file.empty() && !save_sheet_png(o.sheet_file)) {
    std::fprintf(stderr, "mirvo-run: cannot write %s\n", o.sheet_file.c_str());
    return 1;
  }
  if (!o.json) {
    std::printf("%s, %d run%s from seed %u: %d victories, %d lost, %d out of time\n",
                pilot_name(o.pilot), o.runs, o.runs == 1 ? "" : "s", o.run.seed, tally.victories,
                tally.lost, tally.time);
    std::printf("hits per 10 s:");
    for (int h : tally.hits_by_stretch) std::printf(" %d", h);
    std::printf("\n");
  }
  return all_expected && !pictures.failed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse_options(argc, argv);
  if (chdir(o.data_dir.c_str()) != 0) {
    std::fprintf(stderr, "mirvo-run: cannot enter the game folder %s\n", o.data_dir.c_str());
    return 1;
  }
  start_runner();
  if (!o.replay_file.empty()) return replay(o);
  if (o.soak_seconds > 0) return soak(o);
  return play(o);
}
