#include "words.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace soundbuild {

bool parse_number(const std::string& word, double lo, double hi, double& out) {
  double v = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || end != word.data() + word.size() || !std::isfinite(v) || v < lo ||
      v > hi)
    return false;
  out = v;
  return true;
}

static std::string range_text(double lo, double hi) {
  char text[64];
  std::snprintf(text, sizeof text, "%g..%g", lo, hi);
  return text;
}

bool number_args(const std::vector<std::string>& words,
                 const std::vector<std::pair<double, double>>& ranges,
                 const std::vector<double*>& out, std::string& what) {
  if (words.size() != ranges.size() + 1) {
    what = words[0] + " takes " + std::to_string(ranges.size()) + " number(s)";
    return false;
  }
  for (std::size_t i = 0; i < ranges.size(); ++i)
    if (!parse_number(words[i + 1], ranges[i].first, ranges[i].second, *out[i])) {
      what = words[0] + ": \"" + words[i + 1] + "\" is not a number in " +
             range_text(ranges[i].first, ranges[i].second);
      return false;
    }
  return true;
}

bool known_wave(const std::string& word, bool noise_allowed) {
  for (const char* w : {"sine", "square", "triangle", "sawtooth", "pluck"})
    if (word == w) return true;
  return noise_allowed && word == "noise";
}

bool parse_sweep(const std::vector<std::string>& words, std::size_t first, double& from, double& to,
                 std::string& what) {
  const std::size_t n = words.size() - first;
  if (n != 1 && !(n == 3 && words[first + 1] == "/")) {
    what = "a pitch is HZ or FROM / TO";
    return false;
  }
  if (!parse_number(words[first], 20, 16000, from) ||
      !parse_number(words[n == 1 ? first : first + 2], 20, 16000, to)) {
    what = "pitches are numbers in 20..16000 Hz";
    return false;
  }
  if (n == 1) to = from;
  return true;
}

bool parse_filter(const std::vector<std::string>& words, std::string& kind, double& hz,
                  std::string& what) {
  if (words.size() != 3 || (words[1] != "lowpass" && words[1] != "highpass") ||
      !parse_number(words[2], 20, 16000, hz)) {
    what = "filter takes lowpass or highpass and a frequency in 20..16000 Hz";
    return false;
  }
  kind = words[1];
  return true;
}

std::string sweep_text(const std::string& wave, double from, double to) {
  char text[64];
  if (from == to)
    std::snprintf(text, sizeof text, "%.3f", from);
  else
    std::snprintf(text, sizeof text, "%.3f%c%.3f", from, wave == "sine" ? '/' : '-', to);
  return text;
}

}  // namespace soundbuild
