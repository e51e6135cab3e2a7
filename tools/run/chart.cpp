// --chart: the runs' pacing as a picture, drawn by gnuplot from Debian: the
// enemies and enemy bullets on screen each second (the mean over the runs),
// the hits in each 10 s (summed over them), and where the mid-boss and the
// boss arrive (their median). One level's chart beside the next shows the
// difficulty ramp.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/process.h"
#include "run/cli.h"

namespace runcli {

namespace {

double median_seconds(std::vector<int> ticks) {
  std::erase(ticks, 0);
  if (ticks.empty()) return -1;
  std::sort(ticks.begin(), ticks.end());
  return ticks[ticks.size() / 2] / static_cast<double>(TICKS_PER_SECOND);
}

// gnuplot reads single-quoted strings; a quote inside is doubled.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string plot_script(const std::string& data, const std::string& hits, const std::string& png,
                        const std::string& title, double midboss, double boss, int seconds) {
  std::string g = "set terminal pngcairo size 960,320 font 'DejaVu Sans,10'\n";
  g += "set output " + quoted(png) + "\nset title " + quoted(title) + "\n";
  g += "set key top left\nset grid\nset xlabel 'game time (s)'\n";
  g += "set ylabel 'on screen (mean of the runs)'\nset y2label 'hits per 10 s (all runs)'\n";
  g += "set y2tics\nset ytics nomirror\nset style fill transparent solid 0.35\n";
  appendf(g, "set xrange [0:%d]\n", std::max(seconds, 1));
  const auto mark = [&](double at, const char* name, const char* colour, int n) {
    if (at < 0) return;
    appendf(g, "set arrow from %.1f,graph 0 to %.1f,graph 1 nohead dt 2 lc rgb '%s'\n", at, at,
            colour);
    appendf(g, "set label %d '%s' at %.1f,graph 0.93 tc rgb '%s'\n", n, name, at + 1, colour);
  };
  mark(midboss, "mid-boss", "#aa6600", 1);
  mark(boss, "boss", "#cc0000", 2);
  g += "plot " + quoted(hits) +
       " using 1:2 axes x1y2 with boxes lc rgb '#e08080' title 'hits per 10 s', " + quoted(data) +
       " using 1:3 with lines lw 2 lc rgb '#2050c0' title 'enemy bullets', " + quoted(data) +
       " using 1:2 with lines lw 1 lc rgb '#208040' title 'enemies'\n";
  return g;
}

}  // namespace

std::string save_chart(std::span<const RunResult> runs, const std::string& title,
                       const std::string& png) {
  namespace fs = std::filesystem;
  if (runs.empty()) return "no run to chart";
  std::error_code error;
  const fs::path folder =
      fs::temp_directory_path(error) / ("mirvo-chart-" + std::to_string(getpid()));
  fs::create_directories(folder, error);
  if (error) return "cannot make " + folder.string() + ": " + error.message();
  std::size_t seconds = 0, stretches = 0;
  for (const RunResult& r : runs) {
    seconds = std::max(seconds, r.enemies_by_second.size());
    stretches = std::max(stretches, r.hits_by_stretch.size());
  }
  std::ofstream data(folder / "screen.dat"), hits(folder / "hits.dat");
  for (std::size_t i = 0; i < seconds; ++i) {
    double enemies = 0, bullets = 0;
    int counted = 0;
    for (const RunResult& r : runs) {
      if (i >= r.enemies_by_second.size()) continue;
      enemies += r.enemies_by_second[i];
      bullets += r.enemy_bullets_by_second[i];
      ++counted;
    }
    data << i + 1 << ' ' << enemies / counted << ' ' << bullets / counted << '\n';
  }
  for (std::size_t k = 0; k < stretches; ++k) {
    int sum = 0;
    for (const RunResult& r : runs) sum += k < r.hits_by_stretch.size() ? r.hits_by_stretch[k] : 0;
    hits << k * 10 + 5 << ' ' << sum << '\n';
  }
  data.close();
  hits.close();
  std::vector<int> midboss, boss;
  for (const RunResult& r : runs) {
    midboss.push_back(r.midboss_tick);
    boss.push_back(r.boss_tick);
  }
  const fs::path script = folder / "chart.gp";
  std::ofstream(script) << plot_script(
      (folder / "screen.dat").string(), (folder / "hits.dat").string(), fs::absolute(png).string(),
      title, median_seconds(midboss), median_seconds(boss), static_cast<int>(seconds));
  const bool drawn = textsource::run_program("gnuplot", {script.string()});
  fs::remove_all(folder, error);
  return drawn ? "" : "gnuplot could not draw " + png + " (is Debian's gnuplot-nox installed?)";
}

}  // namespace runcli
