#include "recipe.h"

#include <cmath>
#include <cstdio>

#include "common/text_source.h"
#include "soundbuild/words.h"

namespace soundbuild {
namespace {

using textsource::at_line;

bool parse_line(const textsource::SourceLine& line, Recipe& r, std::string& what) {
  const auto& w = line.words;
  const std::string& key = w[0];
  if (key == "length") return number_args(w, {{0.01, 2.0}}, {&r.length}, what);
  if (key == "noise") return number_args(w, {{0, 1}}, {&r.noise}, what);
  if (key == "envelope") return number_args(w, {{0, 2}, {0, 2}}, {&r.attack, &r.release}, what);
  if (key == "vibrato")
    return number_args(w, {{0, 40}, {0, 1200}}, {&r.vibrato_hz, &r.vibrato_cents}, what);
  if (key == "level") return number_args(w, {{-40, -0.5}}, {&r.level_db}, what);
  if (key == "filter") return parse_filter(w, r.filter, r.filter_hz, what);
  if (key == "wave") {
    if (w.size() < 2 || !known_wave(w[1], true)) {
      what = "wave takes sine, square, triangle, sawtooth, pluck or noise";
      return false;
    }
    r.wave = w[1];
    if (w.size() == 2 && r.wave == "noise") return true;
    return parse_sweep(w, 2, r.from_hz, r.to_hz, what);
  }
  what = "unknown key \"" + key + "\"";
  return false;
}

std::string seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", s);
  return text;
}

// The bends that swing the pitch up and down by `cents` at `hz`: a quarter
// swing up, then half swings down and up, and back to the centre at the end.
void add_vibrato(const Recipe& r, std::vector<std::string>& args) {
  const double half = 0.5 / r.vibrato_hz;
  const int swings = static_cast<int>((r.length - half / 2) / half);
  if (swings < 1) return;
  args.insert(args.end(), {"bend", "-f", "80"});
  const auto bend = [&](double cents, double span) {
    args.push_back("0," + std::to_string(static_cast<int>(std::lround(cents))) + "," +
                   seconds(span));
  };
  bend(r.vibrato_cents, half / 2);
  for (int i = 1; i < swings; ++i) bend(i % 2 ? -2 * r.vibrato_cents : 2 * r.vibrato_cents, half);
  bend(swings % 2 ? -r.vibrato_cents : r.vibrato_cents, half / 2);
}

}  // namespace

std::optional<Recipe> parse_recipe(std::string_view text, const std::string& file,
                                   std::string& error) {
  Recipe r;
  for (const auto& line : textsource::split_source(text)) {
    std::string what;
    if (!parse_line(line, r, what)) {
      error = at_line(file, line.number, what);
      return std::nullopt;
    }
  }
  if (r.length == 0) {
    error = file + ": no length";
    return std::nullopt;
  }
  if (r.attack + r.release > r.length) {
    error = file + ": the envelope is longer than the sound";
    return std::nullopt;
  }
  return r;
}

std::vector<std::string> recipe_sox_args(const Recipe& r, const std::string& out_wav) {
  const std::string len = seconds(r.length);
  // -R: the same bytes on every build; -D: no dither noise in the silences.
  std::vector<std::string> args{"-R", "-D", "-r",   std::to_string(EFFECT_RATE), "-n", "-b", "16",
                                "-c", "1",  out_wav};
  if (r.wave == "noise") {
    args.insert(args.end(), {"synth", len, "whitenoise"});
  } else {
    if (r.noise > 0) args.insert(args.end(), {"synth", len, "whitenoise", "vol", seconds(r.noise)});
    args.insert(args.end(), {"synth", len, r.wave});
    if (r.noise > 0) args.push_back("mix");
    args.push_back(sweep_text(r.wave, r.from_hz, r.to_hz));
  }
  // synth writes at full scale; a quarter of it leaves bend and the filters
  // room to overshoot. The gain at the end sets the real level.
  args.insert(args.end(), {"vol", "0.25"});
  if (r.wave != "noise" && r.vibrato_cents > 0 && r.vibrato_hz > 0) add_vibrato(r, args);
  if (!r.filter.empty()) args.insert(args.end(), {r.filter, seconds(r.filter_hz)});
  args.insert(args.end(), {"fade", "q", seconds(r.attack), len, seconds(r.release)});
  args.insert(args.end(), {"gain", "-n", seconds(r.level_db)});
  return args;
}

}  // namespace soundbuild
