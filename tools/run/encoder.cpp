// The encoder behind --video: Debian's ffmpeg as a child process fed raw
// frames through a pipe, with the sound from a WAV file written first. The
// child is ended by its pid on every way out, the program's exit included.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "run/video.h"

extern char** environ;

namespace {

pid_t running_child = -1;  // the one encoder at a time, for the exit handler
std::string temporary_file;

void end_child_at_exit() {
  if (running_child > 0) {
    kill(running_child, SIGKILL);
    waitpid(running_child, nullptr, 0);
    running_child = -1;
  }
  if (!temporary_file.empty()) unlink(temporary_file.c_str());
}

// Interrupted (Ctrl+C, a kill): the child and the file go too, then the
// signal ends the program as it would have.
void end_child_on_signal(int signal_number) {
  if (running_child > 0) kill(running_child, SIGKILL);
  if (!temporary_file.empty()) unlink(temporary_file.c_str());
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void clean_up_at_exit() {
  static const bool registered = [] {
    signal(SIGINT, end_child_on_signal);
    signal(SIGTERM, end_child_on_signal);
    signal(SIGHUP, end_child_on_signal);
    return std::atexit(end_child_at_exit) == 0;
  }();
  (void)registered;
}

bool ends_with(const std::string& s, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// Settings measured to keep ahead of real time on two shared cores: VP8 in
// its real-time mode at its fastest (cpu-used 8 took about 2.5 times as
// long), x264's veryfast.
std::vector<std::string> codec_arguments(const std::string& out) {
  if (ends_with(out, ".mp4"))
    return {"-c:v",    "libx264", "-preset", "veryfast", "-crf", "20",        "-pix_fmt",
            "yuv420p", "-c:a",    "aac",     "-b:a",     "160k", "-movflags", "+faststart"};
  return {"-c:v", "libvpx",   "-deadline", "realtime", "-cpu-used", "16",   "-b:v",
          "2M",   "-pix_fmt", "yuv420p",   "-c:a",     "libvorbis", "-q:a", "4"};
}

void put_u32(std::FILE* f, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

void put_u16(std::FILE* f, std::uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, f);
}

}  // namespace

bool video_file_named(const std::string& path) {
  return ends_with(path, ".webm") || ends_with(path, ".mp4");
}

bool ffmpeg_installed() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  for (std::size_t at = 0; at <= dirs.size();) {
    std::size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = end > at ? dirs.substr(at, end - at) : ".";
    if (access((dir + "/ffmpeg").c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

WavWriter::~WavWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

std::string WavWriter::open(int rate) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern =
      std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/mirvo-video-XXXXXX.wav";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = mkstemps(buffer.data(), 4);
  if (fd < 0) return std::string("cannot make a temporary file: ") + std::strerror(errno);
  path_ = buffer.data();
  clean_up_at_exit();
  temporary_file = path_;
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) return "cannot write " + path_;
  // The sizes are filled in by finish, once the frames are counted.
  std::fwrite("RIFF", 1, 4, file_);
  put_u32(file_, 0);
  std::fwrite("WAVEfmt ", 1, 8, file_);
  put_u32(file_, 16);
  put_u16(file_, 1);  // PCM
  put_u16(file_, 2);
  put_u32(file_, static_cast<std::uint32_t>(rate));
  put_u32(file_, static_cast<std::uint32_t>(rate) * 4);
  put_u16(file_, 4);
  put_u16(file_, 16);
  std::fwrite("data", 1, 4, file_);
  put_u32(file_, 0);
  return "";
}

void WavWriter::write(std::vector<std::int16_t>& samples) {
  // A WAV file is little-endian, as the samples already are on most machines.
  if constexpr (std::endian::native == std::endian::little) {
    std::fwrite(samples.data(), 2, samples.size(), file_);
  } else {
    for (const std::int16_t s : samples) put_u16(file_, static_cast<std::uint16_t>(s));
  }
  bytes_ += samples.size() * 2;
  samples.clear();
}

std::string WavWriter::finish() {
  const auto data = static_cast<std::uint32_t>(bytes_);
  std::fseek(file_, 4, SEEK_SET);
  put_u32(file_, data + 36);
  std::fseek(file_, 40, SEEK_SET);
  put_u32(file_, data);
  const bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
  std::fclose(file_);
  file_ = nullptr;
  return ok ? "" : "cannot write " + path_;
}

void WavWriter::remove() {
  if (!path_.empty()) unlink(path_.c_str());
  if (temporary_file == path_) temporary_file.clear();
  path_.clear();
}

Encoder::~Encoder() {
  stop();
}

std::string Encoder::start(const std::string& out, const std::string& wav, int w, int h, int fps) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::string("cannot make a pipe: ") + std::strerror(errno);
  std::vector<std::string> args = {"ffmpeg",    "-hide_banner",
                                   "-loglevel", "error",
                                   "-nostdin",  "-y",
                                   "-f",        "rawvideo",
                                   "-pix_fmt",  "bgr0",
                                   "-s",        std::to_string(w) + "x" + std::to_string(h),
                                   "-r",        std::to_string(fps),
                                   "-i",        "pipe:0",
                                   "-i",        wav};
  for (std::string& a : codec_arguments(out)) args.push_back(std::move(a));
  args.push_back(out);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
  // -nostdin keeps ffmpeg from reading keys; the frames come on its stdin all the same.
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (failed != 0) {
    close(fds[1]);
    return std::string("cannot start ffmpeg: ") + std::strerror(failed);
  }
  clean_up_at_exit();
  pid_ = pid;
  running_child = pid;
  pipe_ = fds[1];
  // A child that has gone makes a write fail with EPIPE instead of a signal.
  signal(SIGPIPE, SIG_IGN);
  return "";
}

bool Encoder::write(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = ::write(pipe_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string Encoder::finish() {
  close(pipe_);
  pipe_ = -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  running_child = -1;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
  return WIFEXITED(status) ? "ffmpeg ended with status " + std::to_string(WEXITSTATUS(status))
                           : "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
}

void Encoder::stop() {
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  running_child = -1;
}
