// mirvo-run's command line: its options, its reports and its modes (play
// the runs, replay a recording, verify one, soak). Only the executable's own files
// include it; everything else of the runner is in runner.h.
#pragma once

#include <cstdio>
#include <span>
#include <string>

#include "run/runner.h"

namespace runcli {

struct Options {
  std::string data_dir = ".";
  RunSettings run;
  PilotKind pilot = PilotKind::idle;
  int runs = 1;
  std::string record_file;
  std::string replay_file;
  std::string video_file;  // with --replay: the run as a .webm or .mp4
  std::string verify_file;
  std::string expect;
  double frame_seconds = 0;
  std::string out_dir;
  std::string sheet_file;
  std::string chart_file;  // --chart: the runs' pacing as a PNG
  double soak_seconds = 0;
  bool json = false;
  bool print_hashes = false;
  int jobs = 0;  // 0: one per processor
  bool campaign = false;
  std::string campaign_file;  // --campaign-file: its campaign instead of the game folder's
  bool level_named = false;   // --level, --enemies or --tiles given
  bool compare = false;       // --compare: the campaign's levels one by one, side by side
};

// The options of the command line; a wrong one ends the program with the
// usage and status 2.
Options parse_options(int argc, char** argv);

// printf onto the end of a string.
template <typename... Args>
inline void appendf(std::string& out, const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  if (n <= 0) return;
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n) + 1);
  std::snprintf(out.data() + at, static_cast<std::size_t>(n) + 1, format, args...);
  out.resize(at + static_cast<std::size_t>(n));
}

// One run's line, or its JSON object.
std::string run_text(const RunResult& r, const char* pilot, bool json);
// The figures over all runs that a level is tuned by, on standard output.
void print_summary(const Options& o, const RunsSummary& s);
// What looks wrong in a run, as "warning: ..." lines for standard error: each
// type that stayed wholly outside the playfield with health left, and each
// that ran into the ship riding with its own aimed bullets.
std::string run_warnings(const RunResult& r);
// What looks wrong over all runs: a level that no run ended before its time.
std::string summary_warnings(const RunsSummary& s);

// The runs' pacing drawn by gnuplot into png under `title`; "" or why not.
std::string save_chart(std::span<const RunResult> runs, const std::string& title,
                       const std::string& png);

// The modes; each returns the program's exit status.
// Each level of o.run.campaign played on its own, and a table of them.
int compare(const Options& o);
int play(const Options& o);
int replay(const Options& o);
int verify(const Options& o);
int soak(const Options& o);
// --replay with --video: the recording encoded as a video (video.cpp).
int make_video(const Options& o, const RunSettings& settings, const Recording& rec);

}  // namespace runcli
