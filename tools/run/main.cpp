// mirvo-run: plays a level headless with a pilot and says how it went.
#include <allegro.h>
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

#include "content/content.h"
#include "run/runner.h"
#include "script/script.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo-run [--data DIR] [--level FILE.wif] [--enemies FILE.eif] [--tiles FILE.dat]\n"
    "                 [--campaign]\n"
    "                 [--pilot idle|sweep|dodge] [--seed N] [--runs N] [--ticks N] [--immortal]\n"
    "                 [--record FILE] [--replay FILE] [--expect victory|lost]\n"
    "                 [--frames SECONDS --out DIR] [--sheet FILE.png] [--soak SECONDS]\n"
    "                 [--json] [--hash] [--jobs N]\n"
    "Plays a level of the game folder DIR (default: here) without a display, or\n"
    "with --campaign every level of its campaign.toml in a row, as Start does.\n"
    "Pictures are taken of the first run only. --jobs spreads the runs over N\n"
    "processes (default: one per processor); the output is the same.\n";

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
  int jobs = 0;  // 0: one per processor
  bool campaign = false;
  bool level_named = false;  // --level, --enemies or --tiles given
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
    TILES,
    CAMPAIGN,
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
    JOBS,
    HELP
  };
  static const option long_options[] = {{"data", required_argument, nullptr, DATA},
                                        {"level", required_argument, nullptr, LEVEL},
                                        {"enemies", required_argument, nullptr, ENEMIES},
                                        {"tiles", required_argument, nullptr, TILES},
                                        {"campaign", no_argument, nullptr, CAMPAIGN},
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
                                        {"jobs", required_argument, nullptr, JOBS},
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
        o.level_named = true;
        break;
      case ENEMIES:
        o.run.enemy_file = from_here(optarg);
        o.level_named = true;
        break;
      case TILES:
        o.run.tile_file = from_here(optarg);
        o.level_named = true;
        break;
      case CAMPAIGN:
        o.campaign = true;
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
      case JOBS:
        o.jobs = number_argument("--jobs", optarg, 1, 1024);
        break;
      case HELP:
        std::fputs(USAGE, stdout);
        std::exit(0);
      default:
        usage_error(std::string("unknown option ") + argv[optind - 1]);
    }
  }
  if (optind < argc) usage_error(std::string("unexpected argument ") + argv[optind]);
  if (o.campaign && o.level_named)
    usage_error(
        "--campaign plays the game folder's campaign.toml; --level, --enemies and --tiles "
        "name a level of one's own");
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

// printf onto the end of a string.
template <typename... Args>
void appendf(std::string& out, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n) + 1);
  std::snprintf(out.data() + at, static_cast<std::size_t>(n) + 1, format, args...);
  out.resize(at + static_cast<std::size_t>(n));
}

void append_numbers(std::string& out, const char* key, const std::vector<int>& numbers) {
  appendf(out, ", \"%s\": [", key);
  for (std::size_t i = 0; i < numbers.size(); ++i)
    appendf(out, "%s%d", i == 0 ? "" : ", ", numbers[i]);
  out += "]";
}

int percent(int part, int whole) {
  return whole > 0 ? static_cast<int>(std::lround(100.0 * part / whole)) : 0;
}

// One run's line, or its JSON object.
std::string run_text(const RunResult& r, const char* pilot, bool json) {
  const RunPacing pacing = pacing_of(r);
  std::string out;
  if (json) {
    appendf(out,
            "{\"seed\": %u, \"pilot\": \"%s\", \"outcome\": \"%s\", \"tick\": %d, \"score\": %d, "
            "\"spawned\": %d, \"destroyed\": %d, \"hits_taken\": %d, \"energy\": %d, "
            "\"level\": %d, \"boss_tick\": %d, \"worst_stretch\": %d",
            r.seed, pilot, outcome_name(r.outcome), r.tick, r.score, r.spawned, r.destroyed,
            r.hits_taken, r.energy, r.level, r.boss_tick, worst_stretch(r));
    append_numbers(out, "hits_by_stretch", r.hits_by_stretch);
    append_numbers(out, "hit_ticks", r.hit_ticks);
    append_numbers(out, "enemies_by_second", r.enemies_by_second);
    append_numbers(out, "enemy_bullets_by_second", r.enemy_bullets_by_second);
    appendf(out,
            ", \"seconds_before_boss\": %d, \"empty_seconds_before_boss\": %d, "
            "\"longest_empty_before_boss\": %d, \"hash\": \"%s\"}\n",
            pacing.seconds_before_boss, pacing.empty_seconds_before_boss,
            pacing.longest_empty_before_boss, hex_digest(r.hash).c_str());
    return out;
  }
  std::string worst = "no hits";
  if (const int w = worst_stretch(r); w >= 0) {
    worst = "most hits " + game_time(w * STRETCH_TICKS) + "-" + game_time((w + 1) * STRETCH_TICKS) +
            " (" + std::to_string(r.hits_by_stretch[w]) + ")";
  }
  appendf(out,
          "seed %u  %s  %s at %s (tick %d) in level %d  score %d  enemies %d seen %d destroyed  "
          "hits %d  energy %d  %s  empty %d%% of %d s before the boss (longest %d s)",
          r.seed, pilot, outcome_name(r.outcome), game_time(r.tick).c_str(), r.tick, r.level,
          r.score, r.spawned, r.destroyed, r.hits_taken, r.energy, worst.c_str(),
          percent(pacing.empty_seconds_before_boss, pacing.seconds_before_boss),
          pacing.seconds_before_boss, pacing.longest_empty_before_boss);
  if (pacing.busiest_second >= 0)
    appendf(out, "  busiest %s (%d bullets)", game_time(sample_tick(pacing.busiest_second)).c_str(),
            r.enemy_bullets_by_second[pacing.busiest_second]);
  out += "\n";
  return out;
}

std::string place_text(const Place& at) {
  return "seed " + std::to_string(at.seed) + " at " + game_time(at.tick);
}

// The figures over all runs that a level is tuned by.
void print_summary(const Options& o, const RunsSummary& s) {
  std::printf("%s, %d run%s from seed %u: %d victories, %d lost, %d out of time\n",
              pilot_name(o.pilot), s.runs, s.runs == 1 ? "" : "s", o.run.seed, s.victories, s.lost,
              s.time);
  std::printf("hits per 10 s:");
  for (int h : s.hits_by_stretch) std::printf(" %d", h);
  std::printf("\nhits in the first 30 s: %d; most in 10 s before the boss: %d", s.hits_first_30s,
              s.most_hits_in_10s);
  if (s.most_hits_in_10s > 0)
    std::printf(" from %s to %s", game_time(s.most_hits_from).c_str(),
                game_time(s.most_hits_from + STRETCH_TICKS).c_str());
  std::printf("\nbefore the boss: empty %d%% of %d s, longest empty %d s",
              percent(s.empty_seconds_before_boss, s.seconds_before_boss), s.seconds_before_boss,
              s.longest_empty);
  if (s.longest_empty > 0) std::printf(" (%s)", place_text(s.longest_empty_at).c_str());
  std::printf(", enemy bullets on screen %.1f on average, at most %d",
              s.seconds_before_boss > 0
                  ? static_cast<double>(s.bullets_before_boss) / s.seconds_before_boss
                  : 0.0,
              s.peak_before_boss);
  if (s.peak_before_boss > 0) std::printf(" (%s)", place_text(s.peak_before_boss_at).c_str());
  std::printf("\nthe boss: enemy bullets on screen at most %d", s.peak_with_boss);
  if (s.peak_with_boss > 0) std::printf(" (%s)", place_text(s.peak_with_boss_at).c_str());
  if (s.boss_fights > 0)
    std::printf(", lasted %.1f s (median of %d victories)",
                static_cast<double>(s.boss_ticks_median) / TICKS_PER_SECOND, s.boss_fights);
  std::printf("\n");
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

bool met_expectation(const Options& o, const RunResult& r) {
  return o.expect.empty() || o.expect == outcome_name(r.outcome);
}

int replay(const Options& o) {
  const WholeFile file = read_whole_file(o.replay_file.c_str());
  if (!file.opened) {
    std::fprintf(stderr, "mirvo-run: cannot read %s\n", o.replay_file.c_str());
    return 1;
  }
  const RunRecording rec = parse_recording(file.bytes);
  if (!rec.error.empty()) {
    std::fprintf(stderr, "mirvo-run: %s: %s\n", o.replay_file.c_str(), rec.error.c_str());
    return 1;
  }
  const std::uint64_t digest = run_digest(o.run);
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
  std::fputs(run_text(r, "replay", o.json).c_str(), stdout);
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

int processors() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

int play(const Options& o) {
  Pictures pictures{o};
  pictures.interval = static_cast<int>(std::lround(o.frame_seconds * TICKS_PER_SECOND));
  if (o.frame_seconds > 0 && pictures.interval < 1) pictures.interval = 1;
  std::error_code error;
  if (!o.out_dir.empty()) std::filesystem::create_directories(o.out_dir, error);
  RunRecording recording;
  // Run i is one job; its hash lines and its own line are its text. Job 0
  // runs in this process, so the pictures and the recording are made here.
  const SeedJob job = [&](int i) {
    SeedReport report;
    RunSettings settings = o.run;
    settings.seed = o.run.seed + static_cast<std::uint32_t>(i);
    Pilot pilot = make_pilot(o.pilot, settings.seed);
    const bool with_pictures = i == 0 && pictures.interval > 0;
    report.result =
        run_level(settings, pilot, o.record_file.empty() ? nullptr : &recording, [&](int tick) {
          if (o.print_hashes && tick % TICKS_PER_SECOND == 0)
            appendf(report.text, "tick %d hash %s\n", tick, hex_digest(world_hash()).c_str());
          if (with_pictures && tick % pictures.interval == 0) pictures.take(tick, settings.seed);
          return true;
        });
    if (with_pictures && pictures.last_taken != report.result.tick)
      pictures.take(report.result.tick, settings.seed);
    report.text += run_text(report.result, pilot_name(o.pilot), o.json);
    return report;
  };
  std::vector<RunResult> results;
  bool all_expected = true;
  const std::string failed =
      run_jobs(o.runs, o.jobs > 0 ? o.jobs : processors(), job, [&](const SeedReport& report) {
        std::fputs(report.text.c_str(), stdout);
        all_expected = all_expected && met_expectation(o, report.result);
        results.push_back(report.result);
      });
  if (!failed.empty()) {
    std::fprintf(stderr, "mirvo-run: %s\n", failed.c_str());
    return 1;
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
  if (!o.json) print_summary(o, summarize_runs(results));
  return all_expected && !pictures.failed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o = parse_options(argc, argv);
  if (chdir(o.data_dir.c_str()) != 0) {
    std::fprintf(stderr, "mirvo-run: cannot enter the game folder %s\n", o.data_dir.c_str());
    return 1;
  }
  start_runner();
  // As Start does: the campaign is read and every file it names checked
  // once, with the game's messages, before any run.
  Campaign campaign;
  if (o.campaign) {
    campaign = load_campaign();
    if (const std::string why = campaign_problem(campaign); !why.empty()) {
      allegro_message("%s", why.c_str());
      return 1;
    }
    o.run.campaign = &campaign;
  }
  if (!o.replay_file.empty()) return replay(o);
  if (o.soak_seconds > 0) return soak(o);
  return play(o);
}
