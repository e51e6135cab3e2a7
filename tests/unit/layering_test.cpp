// The libraries stand in one line, mask -> script -> world -> content ->
// render -> sound -> shell: a file of src/<library>/ includes headers of its
// own library and of those before it, never of one after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

TEST(Layering, EveryIncludeFollowsTheLineOfLibraries) {
  const std::string line[] = {"mask", "script", "world", "content", "render", "sound", "shell"};
  const auto place = [&](const std::string& library) {
    const auto* it = std::find(std::begin(line), std::end(line), library);
    return it == std::end(line) ? 99 : static_cast<int>(it - std::begin(line));
  };
  const std::regex include(R"(^\s*#\s*include\s*"([^"/]+)/)");
  int includes = 0;
  for (const std::string& library : line)
    for (const auto& file :
         std::filesystem::directory_iterator(MIRVO_SOURCE_DIR "/src/" + library)) {
      std::ifstream in(file.path());
      std::smatch m;
      for (std::string text; std::getline(in, text);) {
        if (!std::regex_search(text, m, include)) continue;
        ++includes;
        EXPECT_LE(place(m[1].str()), place(library))
            << file.path().string() << ": " << library << " includes from " << m[1].str()
            << "/, which is no library or stands after it";
      }
    }
  EXPECT_GT(includes, 100) << "the source folders were not read";
}
