#include "heard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

std::string SoundLevel::describe() const {
  return "RMS " + std::to_string(rms_db) + " dBFS, peak " + std::to_string(peak_db) + " dBFS, " +
         std::to_string(full_scale) + " samples at full scale";
}

std::uintmax_t bytes_heard(const fs::path& file) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(file, ec);
  return ec ? 0 : size & ~std::uintmax_t{3};
}

std::uintmax_t play_on(const fs::path& file, std::uintmax_t from, std::uintmax_t bytes,
                       Millis timeout) {
  EXPECT_TRUE(wait_until([&] { return bytes_heard(file) >= from + bytes; }, timeout))
      << "the game stopped playing sound";
  return from + bytes;
}

SoundLevel sound_level(const fs::path& file, std::uintmax_t from, std::uintmax_t to) {
  std::ifstream in(file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(from));
  std::vector<unsigned char> bytes(to - from);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const std::size_t n = static_cast<std::size_t>(in.gcount()) / 2;
  double sum = 0.0;
  int peak = 0;
  SoundLevel l;
  for (std::size_t i = 0; i < n; ++i) {
    const int raw = bytes[2 * i] | bytes[2 * i + 1] << 8;
    const int v = raw - 32768;
    sum += static_cast<double>(v) * v;
    peak = std::max(peak, std::abs(v));
    if (raw == 0 || raw == 65535) ++l.full_scale;
  }
  if (n == 0) return l;
  l.rms = std::sqrt(sum / static_cast<double>(n));
  l.rms_db = 20.0 * std::log10(std::max(l.rms, 1e-10) / 32768.0);
  l.peak_db = 20.0 * std::log10(std::max(peak, 1) / 32768.0);
  return l;
}
