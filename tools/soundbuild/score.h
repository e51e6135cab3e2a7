// Music scores: voices (an oscillator or a drum each), patterns written as
// one symbol per step, and the song that strings the patterns into a loop.
// The score turns into sox commands: one per voice, then one that mixes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace soundbuild {

struct Voice {
  std::string name;
  bool drum = false;                      // a drum plays its own sound on "x", no pitch
  std::string wave = "sine";              // as in a recipe; drums may also use noise
  double from_hz = 0, to_hz = 0;          // a drum's pitch sweep (0: none)
  double volume = 0.5;                    // share in the mix
  double pan = 0;                         // -1 left .. 1 right
  double attack = 0.005, release = 0.05;  // seconds
  double length = 0;                      // a drum's longest ring, seconds (0: its step span)
  std::string filter;                     // "", "lowpass" or "highpass"
  double filter_hz = 0;
};

// What one voice plays over one step span: a note (or hit) or a rest.
struct Event {
  int start = 0, steps = 0;  // in steps from the start of the song
  double hz = 0;             // a note's pitch; 0 for drums
  double gain = 0;           // 0 for a rest; a drum's "X" is louder than its "x"
};

struct Pattern {
  std::string name;
  int steps = 0;
  std::vector<std::vector<Event>> events;  // per voice, relative to the pattern
};

struct Score {
  int rate = 44100;
  double tempo = 120;  // beats per minute
  int steps_per_beat = 4;
  double reverb = 0;  // sox reverberance, 0..100 (0: dry)
  std::vector<Voice> voices;
  std::vector<Pattern> patterns;
  std::vector<int> song;  // indexes into patterns, played in a loop
};

// Parses a score. On error returns nullopt and sets error to "file:line: what".
std::optional<Score> parse_score(std::string_view text, const std::string& file,
                                 std::string& error);

// The frequency of a note name such as "A4", "C#3" or "Bb2"; 0 when it is none.
double note_hz(std::string_view name);

int song_steps(const Score& s);
// The first sample of a step: rounding each start, never each length, keeps
// the voices in time however long the song.
long step_frame(const Score& s, long step);
// The song's length in samples: the second of the two rendered turns, which
// the track keeps as its loop.
long loop_frames(const Score& s);

// What a voice plays through `turns` turns of the song, rests included, in order.
std::vector<Event> voice_events(const Score& s, int voice, int turns);

// The sox arguments that render voice `voice` through `turns` turns to out_wav
// (mono, 16-bit, at the score's rate).
std::vector<std::string> voice_sox_args(const Score& s, int voice, int turns,
                                        const std::string& out_wav);

// The sox arguments that mix the voices' files (in voice order) into a stereo
// out_wav: reverb over two turns, then the second turn alone, whose start
// holds the tails of the turn before it, so its end runs into its start.
std::vector<std::string> mix_sox_args(const Score& s, const std::vector<std::string>& voice_wavs,
                                      const std::string& out_wav);

}  // namespace soundbuild
