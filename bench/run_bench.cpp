// A whole run of level1 with the careful pilot, as mirvo-run plays it: the
// load, every logic tick and the pilot's decisions. Items are game ticks, so
// items_per_second over 100 is the multiple of real time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "run/runner.h"
#include "world/world.h"

namespace {

void BM_run_level_dodge(benchmark::State& state) {
  static const bool started = [] {
    if (chdir(MIRVO_GAME_DIR) != 0) return false;
    // Other benchmarks fill the shot table with content of their own.
    for (ShotType& type : shot_types) type = ShotType{};
    start_runner();
    return true;
  }();
  if (!started) {
    state.SkipWithError("no game folder");
    return;
  }
  std::int64_t ticks = 0;
  for (auto _ : state) {
    RunSettings settings;
    settings.seed = 1;
    Pilot pilot = make_pilot(PilotKind::dodge, settings.seed);
    const RunResult r = run_level(settings, pilot);
    benchmark::DoNotOptimize(r.hash);
    ticks += r.tick;
  }
  state.SetItemsProcessed(ticks);
  // 100 ticks are one second of play.
  state.counters["x_real_time"] =
      benchmark::Counter(static_cast<double>(ticks) / 100.0, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_run_level_dodge)->Name("run_level/level1_dodge")->Unit(benchmark::kMillisecond);
