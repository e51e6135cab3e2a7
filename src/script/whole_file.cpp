// The one whole-file reader of the game's loaders and of every tool.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "script/script.h"

namespace {

std::string size_text(std::size_t bytes) {
  if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
  if (bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

WholeFile read_whole_file(const char* path, std::size_t limit) {
  WholeFile file;
  // Non-blocking, so a FIFO with no writer cannot hold the open; fstat then
  // refuses it before a single byte is asked for.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    file.error = errno;
    return file;
  }
  file.opened = true;
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    file.error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    file.error = EISDIR;
  } else if (!S_ISREG(info.st_mode)) {
    file.error = EINVAL;
    file.refusal = "not a regular file";
  } else if (static_cast<std::uint64_t>(info.st_size) > limit) {
    file.error = EFBIG;
    file.refusal = "larger than " + size_text(limit);
  }
  if (file.error != 0) {
    close(fd);
    return file;
  }
  // A file that grows while it is read is cut at the limit plus one byte,
  // which is enough to refuse it: nothing past the limit is ever kept.
  file.bytes.resize(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  for (;;) {
    if (done == file.bytes.size()) {
      if (file.bytes.size() > limit) break;
      file.bytes.resize(std::min(limit + 1, done + 4096));
      if (done == file.bytes.size()) break;
    }
    const ssize_t got = read(fd, file.bytes.data() + done, file.bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      file.error = errno;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  file.bytes.resize(done);
  if (file.error == 0 && done > limit) {
    file.error = EFBIG;
    file.refusal = "larger than " + size_text(limit);
    file.bytes.clear();
  }
  close(fd);
  return file;
}

std::string whole_file_problem(const WholeFile& file) {
  if (file.error == 0) return "";
  return file.refusal.empty() ? std::strerror(file.error) : file.refusal;
}
