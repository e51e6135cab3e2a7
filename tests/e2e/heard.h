// What the game played through ALSA's file plugin (alsa_file_device): Allegro's
// mixer output, unsigned 16-bit stereo samples, silence at 0x8000. The null
// device behind the file takes data as fast as it comes, so offsets in the
// file are positions in what was played, not clock time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "harness.h"

struct SoundLevel {
  double rms = 0.0;         // root mean square in sample units, 0 for silence
  double rms_db = -200.0;   // the same in dBFS
  double peak_db = -200.0;  // dBFS of the largest sample
  int full_scale = 0;       // samples at either end of the range: clipped
  std::string describe() const;
};

// Bytes played into the file so far, in whole stereo frames.
std::uintmax_t bytes_heard(const std::filesystem::path& file);

// Waits until `bytes` more have been played after `from` (a failure if not
// within `timeout`); returns the end.
std::uintmax_t play_on(const std::filesystem::path& file, std::uintmax_t from, std::uintmax_t bytes,
                       Millis timeout);

SoundLevel sound_level(const std::filesystem::path& file, std::uintmax_t from, std::uintmax_t to);
