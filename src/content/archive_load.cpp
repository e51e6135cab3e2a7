// Hands Allegro exactly the bytes that were checked. Allegro loads archives
// only by path, so the bytes go into an anonymous memory file that Allegro
// opens as /proc/self/fd/N: no one can swap the file between check and load.
#include <allegro.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "content/content.h"
#include "script/script.h"

namespace {

void tell(std::string* why, std::string text) {
  if (why != nullptr) *why = std::move(text);
}

bool write_all(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t done = write(fd, bytes.data(), bytes.size());
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(done));
  }
  return true;
}

}  // namespace

DATAFILE* load_checked_archive(std::span<const std::uint8_t> bytes, std::string* why) {
  if (std::string problem = check_archive(bytes); !problem.empty()) {
    tell(why, problem);
    return nullptr;
  }
  const int fd = memfd_create("mirvo-archive", MFD_CLOEXEC);
  if (fd < 0) {
    tell(why, std::string("no memory file: ") + std::strerror(errno));
    return nullptr;
  }
  DATAFILE* data = nullptr;
  if (write_all(fd, bytes)) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    data = load_datafile(path);
  }
  close(fd);
  if (data == nullptr) tell(why, "Allegro could not load it");
  return data;
}

DATAFILE* load_checked_datafile(const char* path, std::string* why) {
  const WholeFile file = read_whole_file(path, MAX_ARCHIVE_BYTES);
  if (!file.refusal.empty() || !file.opened || file.error != 0) {
    tell(why, file.refusal.empty() ? "missing or unreadable" : file.refusal);
    return nullptr;
  }
  return load_checked_archive(file.bytes, why);
}
