// A score as sox commands: where each step starts in samples, what each voice
// plays through the turns of the song, one sox command per voice and the one
// that mixes them into the looping track.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "score.h"
#include "soundbuild/words.h"

namespace soundbuild {
namespace {

constexpr double NOTE_LEVEL = 0.5;

std::string frames(long n) {
  return std::to_string(n) + "s";
}

std::string seconds(double x) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", x);
  return text;
}

// One event of a voice as a sox effects chain of exactly `span` samples.
void add_chain(const Score& s, const Voice& v, const Event& e, long span,
               std::vector<std::string>& args) {
  if (e.gain == 0) {
    args.insert(args.end(), {"synth", frames(span), "sine", "vol", "0"});
    return;
  }
  const long ring = v.drum && v.length > 0 ? std::min(span, std::lround(v.length * s.rate)) : span;
  const double ring_s = static_cast<double>(ring) / s.rate;
  args.insert(args.end(), {"synth", frames(ring), v.wave == "noise" ? "whitenoise" : v.wave});
  if (v.wave != "noise")
    args.push_back(v.drum ? sweep_text(v.wave, v.from_hz, v.to_hz)
                          : sweep_text(v.wave, e.hz, e.hz));
  // synth writes at full scale; half of it leaves the filters room to ring.
  args.insert(args.end(), {"vol", seconds(e.gain * NOTE_LEVEL)});
  if (!v.filter.empty()) args.insert(args.end(), {v.filter, seconds(v.filter_hz)});
  // Short notes keep a little of their body: neither fade takes more than its share.
  args.insert(args.end(), {"fade", "q", seconds(std::min(v.attack, ring_s / 4)), frames(ring),
                           seconds(std::min(v.release, ring_s * 3 / 4))});
  if (ring < span) args.insert(args.end(), {"pad", "0", frames(span - ring)});
}

}  // namespace

int song_steps(const Score& s) {
  int steps = 0;
  for (int p : s.song) steps += s.patterns[p].steps;
  return steps;
}

long step_frame(const Score& s, long step) {
  return std::lround(static_cast<double>(step) * s.rate * 60.0 / (s.tempo * s.steps_per_beat));
}

long loop_frames(const Score& s) {
  return step_frame(s, 2L * song_steps(s)) - step_frame(s, song_steps(s));
}

std::vector<Event> voice_events(const Score& s, int voice, int turns) {
  std::vector<Event> out;
  int at = 0;
  for (int turn = 0; turn < turns; ++turn)
    for (int p : s.song) {
      for (Event e : s.patterns[p].events[voice]) {
        e.start += at;
        if (e.gain == 0 && !out.empty() && out.back().gain == 0)
          out.back().steps += e.steps;
        else
          out.push_back(e);
      }
      at += s.patterns[p].steps;
    }
  return out;
}

std::vector<std::string> voice_sox_args(const Score& s, int voice, int turns,
                                        const std::string& out_wav) {
  std::vector<std::string> args{"-R", "-D", "-r",   std::to_string(s.rate), "-n", "-b", "16",
                                "-c", "1",  out_wav};
  bool first = true;
  for (const Event& e : voice_events(s, voice, turns)) {
    if (!first) args.push_back(":");
    first = false;
    add_chain(s, s.voices[voice], e, step_frame(s, e.start + e.steps) - step_frame(s, e.start),
              args);
  }
  return args;
}

std::vector<std::string> mix_sox_args(const Score& s, const std::vector<std::string>& voice_wavs,
                                      const std::string& out_wav) {
  std::vector<std::string> args{"-R", "-D"};
  if (voice_wavs.size() > 1) args.push_back("-M");
  args.insert(args.end(), voice_wavs.begin(), voice_wavs.end());
  args.insert(args.end(), {"-b", "16", out_wav, "remix"});
  // Equal-power panning: the voice's two shares always add up to its volume's
  // power. The volumes are shares of the whole, so all voices at their peaks
  // together stay below full scale.
  double total = 0;
  for (const Voice& v : s.voices) total += v.volume;
  for (int side = 0; side < 2; ++side) {
    std::string mix;
    for (std::size_t v = 0; v < s.voices.size(); ++v) {
      const double angle = (s.voices[v].pan + 1) * std::numbers::pi / 4;
      const double share =
          s.voices[v].volume / total * (side == 0 ? std::cos(angle) : std::sin(angle));
      mix += (v ? "," : "") + std::to_string(v + 1) + "v" + seconds(share);
    }
    args.push_back(mix);
  }
  if (s.reverb > 0) args.insert(args.end(), {"reverb", seconds(s.reverb)});
  // The second turn exactly as the voices rendered it: where a step is no whole
  // number of samples, twice one turn can be a sample more than two turns.
  args.insert(args.end(), {"trim", frames(step_frame(s, song_steps(s))), frames(loop_frames(s)),
                           "gain", "-n", "-1"});
  return args;
}

}  // namespace soundbuild
