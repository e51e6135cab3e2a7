// mirvo-run's modes: play the runs (spread over processes, with pictures and
// a recording of the first), replay a recording, verify one, and soak.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "run/cli.h"
#include "script/script.h"

namespace runcli {

namespace {

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

int processors() {
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

// The file named on the command line, or one line on standard error.
bool read_named(const std::string& path, WholeFile* file) {
  *file = read_whole_file(path.c_str(), MAX_RECORDING_BYTES);
  if (file->error == 0) return true;
  std::fprintf(stderr, "mirvo-run: cannot read %s: %s\n", path.c_str(),
               whole_file_problem(*file).c_str());
  return false;
}

bool is_text_recording(std::span<const std::uint8_t> bytes) {
  constexpr std::string_view head = "mirvo-run recording";
  return bytes.size() >= head.size() && std::equal(head.begin(), head.end(), bytes.begin());
}

// A recording to replay, with the levels it plays: the game's format names
// its own and is refused when their content changed; a text recording plays
// the levels of the command line, whose digest must be the one it kept.
struct ReplayPlan {
  Recording recording;
  RecordedCampaign played;
  std::string error;
};

ReplayPlan plan_replay(const Options& o, std::span<const std::uint8_t> bytes) {
  ReplayPlan plan;
  if (is_text_recording(bytes)) {
    const RunRecording text = parse_text_recording(bytes);
    if (!text.error.empty()) {
      plan.error = text.error;
      return plan;
    }
    const std::uint64_t digest = run_digest(o.run);
    if (digest != text.level_digest) {
      plan.error = "recorded on another level (level digest " + hex_digest(text.level_digest) +
                   ", these files " + hex_digest(digest) + "); refusing to replay it";
      return plan;
    }
    plan.recording = recording_of_text(text);
    return plan;
  }
  RecordingRead read = parse_recording(bytes);
  if (!read.error.empty()) {
    plan.error = read.error;
    return plan;
  }
  plan.recording = std::move(read.recording);
  plan.played = recorded_campaign(plan.recording);
  plan.error = plan.played.error;
  return plan;
}

}  // namespace

int replay(const Options& o) {
  WholeFile file;
  if (!read_named(o.replay_file, &file)) return 1;
  const ReplayPlan plan = plan_replay(o, file.bytes);
  if (!plan.error.empty()) {
    std::fprintf(stderr, "mirvo-run: %s: %s\n", o.replay_file.c_str(), plan.error.c_str());
    return 1;
  }
  const Recording& rec = plan.recording;
  RunSettings settings = o.run;
  if (!rec.levels.empty()) settings.campaign = &plan.played.campaign;
  settings.seed = rec.seed;
  settings.start_tick = rec.start_tick;
  settings.difficulty = rec.difficulty;
  settings.max_ticks = rec.ticks;
  if (!o.video_file.empty()) return make_video(o, settings, rec);
  Pilot pilot = make_replay_pilot(rec);
  pilot.through_outcome = !rec.levels.empty();  // a text recording names no levels
  const RunResult r = run_level(settings, pilot, nullptr, [&](int tick) {
    if (o.print_hashes && tick % TICKS_PER_SECOND == 0)
      std::printf("tick %d hash %s\n", tick, hex_digest(world_hash()).c_str());
    return true;
  });
  std::fputs(run_text(r, "replay", o.json).c_str(), stdout);
  std::fflush(stdout);
  std::fputs(run_warnings(r).c_str(), stderr);
  // A recording ends on the tick its run ended; a replay that ends sooner,
  // or is still being played when the keys run out, went its own way.
  if (r.tick < rec.ticks) {
    std::fprintf(stderr,
                 "mirvo-run: %s: the run ended at tick %d, before the recording's %d ticks\n",
                 o.replay_file.c_str(), r.tick, rec.ticks);
    return 1;
  }
  if (r.outcome == Outcome::time)
    std::fprintf(stderr,
                 "mirvo-run: %s: the recording ends at tick %d while the level is still played\n",
                 o.replay_file.c_str(), rec.ticks);
  return met_expectation(o, r) ? 0 : 1;
}

int verify(const Options& o) {
  WholeFile file;
  if (!read_named(o.verify_file, &file)) return 1;
  if (is_text_recording(file.bytes)) {
    std::fprintf(stderr,
                 "mirvo-run: %s: a text recording keeps nothing to verify against; --replay "
                 "plays it\n",
                 o.verify_file.c_str());
    return 1;
  }
  const RecordingRead read = parse_recording(file.bytes);
  if (!read.error.empty()) {
    std::fprintf(stderr, "mirvo-run: %s: %s\n", o.verify_file.c_str(), read.error.c_str());
    return 1;
  }
  const Recording& rec = read.recording;
  const Verification v = verify_recording(rec);
  if (!v.ok) {
    std::fprintf(stderr, "mirvo-run: %s: %s\n", o.verify_file.c_str(), v.why.c_str());
    return 1;
  }
  std::printf("%s: verified: %d ticks, score %d, level %d, seed %u\n", o.verify_file.c_str(),
              rec.ticks, rec.score, rec.level, rec.seed);
  return 0;
}

int soak(const Options& o) {
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  const auto elapsed = [&] { return std::chrono::duration<double>(clock::now() - start).count(); };
  PilotRandom choose(static_cast<std::uint64_t>(start.time_since_epoch().count()));
  long long ticks = 0;
  int runs = 0;
  // At least one whole run, however short the time asked for: a soak that
  // ran nothing must not report that nothing broke.
  do {
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
      std::printf("soak: %s after tick %d; reproduce with --seed %u --pilot %s%s --difficulty %s\n",
                  broken.c_str(), broken_at, settings.seed, pilot_name(kind),
                  settings.immortal ? " --immortal" : "", difficulty_word(settings.difficulty));
      return 1;
    }
  } while (elapsed() < o.soak_seconds);
  const double seconds = elapsed();
  std::printf("soak: %d runs, %lld ticks in %.1f s, %.0f ticks per second, no invariant broken\n",
              runs, ticks, seconds, static_cast<double>(ticks) / seconds);
  return 0;
}

int compare(const Options& o) {
  const Campaign& campaign = *o.run.campaign;
  std::printf("%-32s %-7s %11s %10s %7s  %s\n", "level", "wins", "median hits", "bullets/s",
              "boss s", "harder than the one before");
  double hits_before = -1;
  for (const CampaignLevel& level : campaign.levels) {
    RunSettings base = o.run;
    base.campaign = nullptr;
    base.script_file = level.script;
    base.enemy_file = level.enemies;
    base.tile_file = level.tiles;
    std::vector<RunResult> results;
    const std::string failed = run_jobs(
        o.runs, o.jobs > 0 ? o.jobs : processors(),
        [&](int i) {
          RunSettings settings = base;
          settings.seed = o.run.seed + static_cast<std::uint32_t>(i);
          Pilot pilot = make_pilot(o.pilot, settings.seed);
          return SeedReport{run_level(settings, pilot), ""};
        },
        [&](const SeedReport& report) { results.push_back(report.result); });
    if (!failed.empty()) {
      std::fprintf(stderr, "mirvo-run: %s\n", failed.c_str());
      return 1;
    }
    const RunsSummary s = summarize_runs(results);
    std::vector<int> hits;
    for (const RunResult& r : results) hits.push_back(r.hits_taken);
    std::sort(hits.begin(), hits.end());
    const double median = (hits[(hits.size() - 1) / 2] + hits[hits.size() / 2]) / 2.0;
    const std::string name = level.title.empty() ? level.script : level.title;
    std::printf("%-32s %3d/%-3d %11.1f %10.1f %7.1f  %s\n", name.c_str(), s.victories, s.runs,
                median,
                s.seconds_before_boss > 0
                    ? static_cast<double>(s.bullets_before_boss) / s.seconds_before_boss
                    : 0.0,
                static_cast<double>(s.boss_ticks_median) / TICKS_PER_SECOND,
                hits_before < 0        ? "-"
                : median > hits_before ? "yes"
                                       : "NO");
    hits_before = median;
  }
  return 0;
}

int play(const Options& o) {
  Pictures pictures{o};
  pictures.interval = static_cast<int>(std::lround(o.frame_seconds * TICKS_PER_SECOND));
  if (o.frame_seconds > 0 && pictures.interval < 1) pictures.interval = 1;
  std::error_code error;
  if (!o.out_dir.empty()) std::filesystem::create_directories(o.out_dir, error);
  Recording recording;
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
        std::fflush(stdout);
        std::fputs(run_warnings(report.result).c_str(), stderr);
        all_expected = all_expected && met_expectation(o, report.result);
        results.push_back(report.result);
      });
  if (!failed.empty()) {
    std::fprintf(stderr, "mirvo-run: %s\n", failed.c_str());
    return 1;
  }
  if (!o.record_file.empty()) {
    const std::vector<std::uint8_t> bytes = recording_bytes(recording);
    std::ofstream out(o.record_file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "mirvo-run: cannot write %s\n", o.record_file.c_str());
      return 1;
    }
  }
  if (!o.sheet_file.empty() && !save_sheet_png(o.sheet_file)) {
    std::fprintf(stderr, "mirvo-run: cannot write %s\n", o.sheet_file.c_str());
    return 1;
  }
  if (!o.chart_file.empty()) {
    const std::string level = o.run.campaign
                                  ? "the campaign"
                                  : std::filesystem::path(o.run.script_file).filename().string();
    const std::string title =
        level + ", " + pilot_name(o.pilot) + ", " + std::to_string(results.size()) + " runs";
    if (const std::string why = save_chart(results, title, o.chart_file); !why.empty()) {
      std::fprintf(stderr, "mirvo-run: %s\n", why.c_str());
      return 1;
    }
  }
  const RunsSummary summary = summarize_runs(results);
  if (!o.json) print_summary(o, summary);
  std::fflush(stdout);
  // A run cut short by --ticks is out of time by the author's choice.
  if (o.run.max_ticks >= RunSettings{}.max_ticks)
    std::fputs(summary_warnings(summary).c_str(), stderr);
  return all_expected && !pictures.failed ? 0 : 1;
}

}  // namespace runcli
