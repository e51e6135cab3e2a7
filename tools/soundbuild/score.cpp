// Reading a score: voices, patterns of one symbol per step and the song line
// that strings the patterns together. score_sox.cpp turns a score into sox
// commands.
#include "score.h"

#include <algorithm>
#include <cmath>

#include "common/text_source.h"
#include "soundbuild/words.h"

namespace soundbuild {
namespace {

using textsource::at_line;
using textsource::SourceLine;

constexpr double DRUM_GAIN = 0.6, ACCENT_GAIN = 1.0;  // "x" and "X"

bool is_keyword(const std::string& w) {
  for (const char* k : {"rate", "tempo", "steps", "reverb", "voice", "drum", "pattern", "song"})
    if (w == k) return true;
  return false;
}

int find_voice(const Score& s, const std::string& name) {
  for (std::size_t i = 0; i < s.voices.size(); ++i)
    if (s.voices[i].name == name) return static_cast<int>(i);
  return -1;
}

// "voice NAME WAVE options..." or "drum NAME WAVE options...".
bool parse_voice(const std::vector<std::string>& w, Score& s, std::string& what) {
  Voice v;
  v.drum = w[0] == "drum";
  if (w.size() < 3 || is_keyword(w[1]) || !known_wave(w[2], v.drum)) {
    what = w[0] + " takes a name and a wave (sine, square, triangle, sawtooth, pluck" +
           (v.drum ? ", noise)" : ")");
    return false;
  }
  if (find_voice(s, w[1]) >= 0) {
    what = "a second voice named \"" + w[1] + "\"";
    return false;
  }
  v.name = w[1];
  v.wave = w[2];
  std::size_t i = 3;
  // Each option is a key and its numbers; the slice handed on is exactly those words.
  const auto take = [&](std::size_t count) {
    std::vector<std::string> part(w.begin() + i, w.begin() + std::min(w.size(), i + 1 + count));
    i += 1 + count;
    return part;
  };
  while (i < w.size()) {
    const std::string& key = w[i];
    bool ok;
    if (key == "volume") {
      ok = number_args(take(1), {{0.01, 1}}, {&v.volume}, what);
    } else if (key == "pan") {
      ok = number_args(take(1), {{-1, 1}}, {&v.pan}, what);
    } else if (key == "envelope") {
      ok = number_args(take(2), {{0, 2}, {0, 4}}, {&v.attack, &v.release}, what);
    } else if (key == "filter") {
      ok = parse_filter(take(2), v.filter, v.filter_hz, what);
    } else if (key == "length" && v.drum) {
      ok = number_args(take(1), {{0.01, 4}}, {&v.length}, what);
    } else if (key == "pitch" && v.drum) {
      const bool sweep = i + 2 < w.size() && w[i + 2] == "/";
      ok = parse_sweep(take(sweep ? 3 : 1), 1, v.from_hz, v.to_hz, what);
    } else {
      what = "unknown " + w[0] + " option \"" + key + "\"";
      return false;
    }
    if (!ok) return false;
  }
  if (v.drum && v.wave != "noise" && v.from_hz == 0) {
    what = "a drum with a wave other than noise needs a pitch";
    return false;
  }
  s.voices.push_back(v);
  return true;
}

// Appends one line of a voice's steps to its events in the pattern.
bool parse_steps(const std::vector<std::string>& w, const Voice& v, std::vector<Event>& events,
                 int& steps, std::string& what) {
  for (std::size_t k = 1; k < w.size(); ++k) {
    const std::string& t = w[k];
    if (t == "|") continue;
    Event* last = events.empty() ? nullptr : &events.back();
    if (t == "-" || (t == "." && v.drum && last)) {
      if (!last || (t == "-" && (v.drum || last->gain == 0))) {
        what = "\"-\" holds a note, and " + v.name + " has none to hold here";
        return false;
      }
      ++last->steps;
    } else if (t == "." && last && last->gain == 0) {
      ++last->steps;
    } else if (t == ".") {
      events.push_back({steps, 1, 0, 0});
    } else if (v.drum && (t == "x" || t == "X")) {
      events.push_back({steps, 1, 0, t == "X" ? ACCENT_GAIN : DRUM_GAIN});
    } else if (!v.drum && note_hz(t) > 0) {
      events.push_back({steps, 1, note_hz(t), 1});
    } else {
      what = "\"" + t + "\" is not a step of " + v.name +
             (v.drum ? " (x, X or .)" : " (a note such as C#4, - or .)");
      return false;
    }
    ++steps;
  }
  return true;
}

struct Parser {
  Score s;
  std::vector<int> lengths;  // steps written so far per voice, in the open pattern
  int open_line = 0;         // where the open pattern began
  int error_line = 0;        // set when an error belongs to another line than the one read

  bool close_pattern(std::string& what) {
    if (s.patterns.empty() || lengths.empty()) return true;
    Pattern& p = s.patterns.back();
    p.steps = *std::max_element(lengths.begin(), lengths.end());
    if (p.steps == 0) {
      what = "pattern " + p.name + " has no steps";
      return false;
    }
    for (std::size_t v = 0; v < lengths.size(); ++v) {
      if (lengths[v] != 0 && p.steps % lengths[v] != 0) {
        what = "in pattern " + p.name + ", " + s.voices[v].name + " has " +
               std::to_string(lengths[v]) + " steps, which do not fill the " +
               std::to_string(p.steps) + " of the longest voice";
        return false;
      }
      if (lengths[v] == 0) p.events[v].push_back({0, p.steps, 0, 0});
      // A shorter line is played again until the pattern ends: a drum bar
      // is written once.
      const std::size_t written = p.events[v].size();
      for (int at = lengths[v]; lengths[v] != 0 && at < p.steps; at += lengths[v])
        for (std::size_t k = 0; k < written; ++k) {
          Event e = p.events[v][k];
          e.start += at;
          p.events[v].push_back(e);
        }
    }
    lengths.clear();
    return true;
  }

  bool line(const SourceLine& l, std::string& what) {
    const auto& w = l.words;
    const std::string& key = w[0];
    if (!is_keyword(key)) {
      const int v = find_voice(s, key);
      if (lengths.empty() || v < 0) {
        what = lengths.empty() ? "\"" + key + "\" outside a pattern"
                               : "no voice named \"" + key + "\"";
        return false;
      }
      return parse_steps(w, s.voices[v], s.patterns.back().events[v], lengths[v], what);
    }
    if (!close_pattern(what)) {
      error_line = open_line;
      return false;
    }
    double number = 0;
    if (key == "rate" || key == "steps") {
      if (!number_args(w, {{key == "rate" ? 8000.0 : 1.0, key == "rate" ? 48000.0 : 16.0}},
                       {&number}, what))
        return false;
      (key == "rate" ? s.rate : s.steps_per_beat) = static_cast<int>(number);
      return true;
    }
    if (key == "tempo") return number_args(w, {{20, 300}}, {&s.tempo}, what);
    if (key == "reverb") return number_args(w, {{0, 100}}, {&s.reverb}, what);
    if (key == "voice" || key == "drum") {
      if (!s.patterns.empty()) {
        what = "voices come before the patterns";
        return false;
      }
      return parse_voice(w, s, what);
    }
    if (key == "pattern") {
      if (w.size() != 2 || s.voices.empty()) {
        what = s.voices.empty() ? "a pattern before any voice" : "pattern takes a name";
        return false;
      }
      for (const Pattern& p : s.patterns)
        if (p.name == w[1]) {
          what = "a second pattern named \"" + w[1] + "\"";
          return false;
        }
      s.patterns.push_back({w[1], 0, std::vector<std::vector<Event>>(s.voices.size())});
      lengths.assign(s.voices.size(), 0);
      open_line = l.number;
      return true;
    }
    // song NAME NAME ...
    for (std::size_t k = 1; k < w.size(); ++k) {
      auto p = std::find_if(s.patterns.begin(), s.patterns.end(),
                            [&](const Pattern& x) { return x.name == w[k]; });
      if (p == s.patterns.end()) {
        what = "song names \"" + w[k] + "\", which is no pattern above it";
        return false;
      }
      s.song.push_back(static_cast<int>(p - s.patterns.begin()));
    }
    return true;
  }
};

}  // namespace

double note_hz(std::string_view name) {
  static constexpr int SEMITONES[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G from C
  if (name.size() < 2 || name.size() > 3 || name[0] < 'A' || name[0] > 'G') return 0;
  int semitone = SEMITONES[name[0] - 'A'];
  if (name.size() == 3) {
    if (name[1] != '#' && name[1] != 'b') return 0;
    semitone += name[1] == '#' ? 1 : -1;
  }
  const char octave = name.back();
  if (octave < '0' || octave > '8') return 0;
  const int midi = 12 * (octave - '0' + 1) + semitone;
  return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

std::optional<Score> parse_score(std::string_view text, const std::string& file,
                                 std::string& error) {
  Parser p;
  for (const auto& line : textsource::split_source(text)) {
    std::string what;
    if (!p.line(line, what)) {
      error = at_line(file, p.error_line ? p.error_line : line.number, what);
      return std::nullopt;
    }
  }
  std::string what;
  if (!p.close_pattern(what)) {
    error = at_line(file, p.open_line, what);
    return std::nullopt;
  }
  if (p.s.song.empty()) {
    error = file + ": no song line, so nothing is played";
    return std::nullopt;
  }
  return std::move(p.s);
}

}  // namespace soundbuild
