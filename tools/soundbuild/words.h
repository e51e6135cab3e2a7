// The pieces recipes and scores share: numbers in a range, wave names,
// sweeps and filters, each with the message a wrong word gets.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace soundbuild {

// A decimal number in [lo, hi]; false when the word is not one.
bool parse_number(const std::string& word, double lo, double hi, double& out);

// "KEY A B ...": exactly one number per output, each in its range.
bool number_args(const std::vector<std::string>& words,
                 const std::vector<std::pair<double, double>>& ranges,
                 const std::vector<double*>& out, std::string& what);

// sine, square, triangle, sawtooth, pluck; noise too when allowed.
bool known_wave(const std::string& word, bool noise_allowed);

// "HZ" or "FROM / TO" starting at words[first]: the pitch and its sweep.
bool parse_sweep(const std::vector<std::string>& words, std::size_t first, double& from, double& to,
                 std::string& what);

// "filter lowpass|highpass HZ".
bool parse_filter(const std::vector<std::string>& words, std::string& kind, double& hz,
                  std::string& what);

// The sox spelling of a pitch for a wave: "440", or an exponential sweep,
// "1600/500" for a sine and "1600-500" for the others: sox 14.4 turns a
// falling "/" sweep of any other wave into a flat line.
std::string sweep_text(const std::string& wave, double from, double to);

}  // namespace soundbuild
