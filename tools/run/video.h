// --video: a recorded run drawn at 2x and 50 frames a second, with the
// game's sound mixed offline, encoded by ffmpeg. Only mirvo-run's own files
// include it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A name ending in .webm or .mp4, the two kinds --video makes.
bool video_file_named(const std::string& path);
// An executable "ffmpeg" on the PATH.
bool ffmpeg_installed();

// A temporary 16-bit stereo WAV file, removed by remove() or at exit.
class WavWriter {
 public:
  ~WavWriter();
  std::string open(int rate);                      // "" or why not
  void write(std::vector<std::int16_t>& samples);  // appends them, and empties the vector
  std::string finish();                            // the header completed, the file closed
  void remove();
  const std::string& path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  std::uint64_t bytes_ = 0;
};

// ffmpeg reading raw 32-bit frames (blue, green, red, unused) on a pipe and
// the sound from a WAV file, writing `out` with the codecs its extension
// calls for. The child is ended by its pid on every way out.
class Encoder {
 public:
  ~Encoder();
  std::string start(const std::string& out, const std::string& wav, int w, int h, int fps);
  bool write(const void* bytes, std::size_t size);  // false once ffmpeg has gone
  std::string finish();  // closes the pipe and waits: "" when ffmpeg ended well
  void stop();           // ends the child at once

 private:
  int pipe_ = -1;
  int pid_ = -1;
};
