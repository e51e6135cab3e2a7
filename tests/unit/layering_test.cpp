// The libraries stand in one line, mask -> script -> world -> content ->
// render -> sound -> shell: a file of src/<library>/ includes headers of its
// own library and of those before it, never of one after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 7> LIBRARIES = {"mask",   "script", "world", "content",
                                                  "render", "sound",  "shell"};

// The place of a library in the line, or -1 for a folder that is none.
int place_of(const std::string& library) {
  const auto* it = std::find(LIBRARIES.begin(), LIBRARIES.end(), library);
  return it == LIBRARIES.end() ? -1 : static_cast<int>(it - LIBRARIES.begin());
}

}  // namespace

TEST(Layering, EveryIncludeFollowsTheLineOfLibraries) {
  const std::regex include(R"(^\s*#\s*include\s*"([^"/]+)/)");
  int includes = 0;
  for (const char* library : LIBRARIES) {
    const fs::path folder = fs::path(MIRVO_SOURCE_DIR) / "src" / library;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path());
      int number = 0;
      for (std::string line; std::getline(in, line);) {
        ++number;
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        ++includes;
        const std::string used = m[1].str();
        const std::string where = entry.path().string() + ":" + std::to_string(number);
        EXPECT_NE(place_of(used), -1) << where << " includes from " << used << "/, no library";
        EXPECT_LE(place_of(used), place_of(library))
            << where << ": " << library << " includes " << used << ", which stands after it";
      }
    }
  }
  EXPECT_GT(includes, 100) << "the source folders were not read";
}
