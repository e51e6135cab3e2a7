// Sound effect recipes: a few lines of text naming an oscillator, its sweep,
// noise, an envelope, vibrato and a length, which sox renders to a WAV file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace soundbuild {

// Every effect is rendered at this rate, mono, 16-bit.
inline constexpr int EFFECT_RATE = 22050;

struct Recipe {
  double length = 0;                      // seconds
  std::string wave = "sine";              // sine, square, triangle, sawtooth, pluck or noise
  double from_hz = 440, to_hz = 440;      // an exponential sweep when they differ
  double noise = 0;                       // share of white noise under the tone, 0..1
  double attack = 0.002, release = 0.02;  // seconds of fade in and fade out
  double vibrato_hz = 0, vibrato_cents = 0;
  std::string filter;  // "", "lowpass" or "highpass"
  double filter_hz = 0;
  double level_db = -3;  // the peak the rendered effect is scaled to, dBFS
};

// Parses a recipe. On error returns nullopt and sets error to "file:line: what".
std::optional<Recipe> parse_recipe(std::string_view text, const std::string& file,
                                   std::string& error);

// The arguments after "sox" that render the recipe to out_wav.
std::vector<std::string> recipe_sox_args(const Recipe& r, const std::string& out_wav);

}  // namespace soundbuild
