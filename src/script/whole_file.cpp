// The one whole-file reader of the game's loaders and of every tool.
#include <array>
#include <cerrno>
#include <cstdio>

#include "script/script.h"

WholeFile read_whole_file(const char* path) {
  WholeFile file;
  std::FILE* in = std::fopen(path, "rb");
  if (in == nullptr) {
    file.error = errno;
    return file;
  }
  file.opened = true;
  std::array<std::uint8_t, 4096> chunk;
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
    file.bytes.insert(file.bytes.end(), chunk.begin(), chunk.begin() + got);
  // A directory opens but cannot be read: fread stops at once with EISDIR.
  if (std::ferror(in) != 0) file.error = errno != 0 ? errno : EIO;
  std::fclose(in);
  return file;
}
