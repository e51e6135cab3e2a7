// The guides' examples, run as written: every fenced block of README.md,
// docs/levels.md and docs/sound.md carries a marker on the line before it
// (an HTML comment, invisible on the page) that says how it is run, so an
// example that drifts from the tools fails here and a new block without a
// marker fails too.
//
//   <!-- file NAME -->               the block is written as NAME in the game folder
//   <!-- file NAME; run: COMMAND --> ... and then COMMAND runs there and must succeed
//   <!-- run in game|top -->         the block is a shell session, run in the game
//                                    folder or in the folder holding build/
//   <!-- run in top; figures vary --> ... whose figures, times and outcomes may differ
//   <!-- usage -->                   a synopsis: each command form is one the tool's
//                                    --help gives
//   <!-- not run: REASON -->         set-up commands, installing, layouts, excerpts
//
// A session's lines starting with "$ " are commands and the lines after each,
// when there are any, the output it prints (standard output and error
// together); a block without "$ " is a list of commands whose output is not
// shown. Every command must exit with 0.
//
// Each document is run in a folder of its own: build/game, a copy of the game
// folder (without the game itself), and build/tools, the built tools; the
// tools' folders come first on the PATH.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---- The blocks of a document ----

struct Block {
  int line = 0;        // of the opening fence, 1-based
  std::string marker;  // the comment's text inside <!-- -->, trimmed; empty: none
  std::string text;    // between the fences, each line ending in '\n'
};

std::string trim(const std::string& s) {
  const std::size_t from = s.find_first_not_of(" \t");
  const std::size_t to = s.find_last_not_of(" \t");
  return from == std::string::npos ? "" : s.substr(from, to - from + 1);
}

std::vector<Block> blocks_of(const std::string& document) {
  std::vector<Block> blocks;
  std::istringstream in(document);
  std::string line;
  std::string before;  // the line before the current one
  Block* open = nullptr;
  for (int number = 1; std::getline(in, line); ++number) {
    if (open == nullptr && line.rfind("```", 0) == 0) {
      Block b;
      b.line = number;
      const std::string prev = trim(before);
      if (prev.rfind("<!--", 0) == 0 && prev.size() >= 7 && prev.ends_with("-->"))
        b.marker = trim(prev.substr(4, prev.size() - 7));
      blocks.push_back(b);
      open = &blocks.back();
    } else if (open != nullptr && line == "```") {
      open = nullptr;
    } else if (open != nullptr) {
      open->text += line + "\n";
    }
    before = line;
  }
  return blocks;
}

// ---- Running a command ----

struct Ran {
  int status = -1;
  std::string output;
};

// Runs `command` with bash in `folder`; its output goes to the file `output`
// and is read back. The command runs in a process group of its own, ended by
// its pid (the group's id) if it outlives five minutes.
Ran run(const std::string& command, const fs::path& folder, const std::string& path_var,
        const fs::path& output) {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || chdir(folder.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    setenv("PATH", path_var.c_str(), 1);
    execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Ran ran;
  if (pid < 0) return ran;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  int raw = 0;
  while (waitpid(pid, &raw, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &raw, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  ran.output = read_file(output);
  fs::remove(output);
  return ran;
}

// Figures, times and outcomes of a run's report, each made one '#': what an
// example may show differently from a run today.
std::string without_figures(const std::string& text) {
  static const std::regex figures("[0-9]+([ .:-][0-9]+)*");
  static const std::regex outcomes("\\b(victory|lost|time)\\b");
  return std::regex_replace(std::regex_replace(text, figures, "#"), outcomes, "#");
}

// ---- A document's folder ----

class Guide : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    top_ = fs::path(::testing::TempDir()) /
           ("docs_" + fs::path(GetParam()).stem().string() + "_" + std::to_string(getpid()));
    output_ = top_.string() + ".out";
    fs::remove_all(top_);
    game_ = top_ / "build" / "game";
    fs::create_directories(game_);
    for (const auto& entry : fs::directory_iterator(MIRVO_GAME_DIR))
      if (entry.is_regular_file() && entry.path().filename() != "mirvo")
        fs::copy_file(entry.path(), game_ / entry.path().filename());
    fs::create_directory_symlink(fs::path(MIRVO_BUILD_DIR) / "tools", top_ / "build" / "tools");
    path_ = MIRVO_TOOL_PATH;
    if (const char* p = std::getenv("PATH")) path_ += ":" + std::string(p);
  }
  void TearDown() override { fs::remove_all(top_); }

  fs::path folder(const std::string& name) const { return name == "top" ? top_ : game_; }

  // Runs one command and, when `expected` is given, compares what it printed.
  void command(const Block& b, const std::string& line, const fs::path& where,
               const std::string* expected, bool figures_vary) {
    const Ran ran = run(line, where, path_, output_);
    EXPECT_EQ(ran.status, 0) << GetParam() << ":" << b.line << ": " << line << "\n" << ran.output;
    if (expected == nullptr) return;
    if (figures_vary)
      EXPECT_EQ(without_figures(ran.output), without_figures(*expected))
          << GetParam() << ":" << b.line << ": " << line;
    else
      EXPECT_EQ(ran.output, *expected) << GetParam() << ":" << b.line << ": " << line;
  }

  void session(const Block& b, const std::string& how) {
    const std::size_t options = how.find(';');
    const std::string where = trim(how.substr(0, options));
    const bool figures_vary =
        options != std::string::npos && trim(how.substr(options + 1)) == "figures vary";
    ASSERT_TRUE(where == "game" || where == "top") << GetParam() << ":" << b.line << ": " << how;
    std::istringstream in(b.text);
    std::string line;
    std::vector<std::pair<std::string, std::string>> steps;  // command, output shown
    bool prompted = false;
    while (std::getline(in, line)) {
      if (line.rfind("$ ", 0) == 0) {
        steps.push_back({line.substr(2), ""});
        prompted = true;
      } else if (prompted) {
        steps.back().second += line + "\n";
      } else if (!trim(line).empty()) {
        steps.push_back({line, ""});
      }
    }
    ASSERT_FALSE(steps.empty()) << GetParam() << ":" << b.line << ": no command";
    for (const auto& [cmd, shown] : steps)
      command(b, cmd, folder(where), shown.empty() ? nullptr : &shown, figures_vary);
  }

  // Each command form of a synopsis (from a tool's name to the next) is one
  // that the tool's --help gives, word for word.
  void usage(const Block& b) {
    auto forms = [](const std::string& text) {
      std::istringstream in(text);
      std::vector<std::string> out;
      for (std::string word; in >> word;) {
        if (word == "usage:") continue;
        if (fs::path(word).filename().string().rfind("mirvo-", 0) == 0) {
          out.push_back(fs::path(word).filename().string());
        } else if (!out.empty()) {
          out.back() += " " + word;
        }
      }
      return out;
    };
    const std::vector<std::string> shown = forms(b.text);
    ASSERT_FALSE(shown.empty()) << GetParam() << ":" << b.line;
    for (const std::string& form : shown) {
      const std::string tool = form.substr(0, form.find(' '));
      const Ran help = run(tool + " --help", top_, path_, output_);
      // The synopsis: the "usage:" line and the indented lines after it.
      std::string synopsis;
      std::istringstream lines(help.output);
      for (std::string l; std::getline(lines, l) && (synopsis.empty() || l.rfind(' ', 0) == 0);)
        synopsis += l + "\n";
      const std::vector<std::string> known = forms(synopsis);
      EXPECT_NE(std::find(known.begin(), known.end(), form), known.end())
          << GetParam() << ":" << b.line << ": " << form << "\nis not one of\n"
          << synopsis;
    }
  }

  fs::path top_, game_, output_;  // output_ lies outside top_, unseen by the examples
  std::string path_;
};

TEST_P(Guide, EveryExampleRunsAsWritten) {
  const std::string document = read_file(fs::path(MIRVO_SOURCE_DIR) / GetParam());
  const std::vector<Block> blocks = blocks_of(document);
  ASSERT_FALSE(blocks.empty()) << GetParam();
  for (const Block& b : blocks) {
    const std::string& m = b.marker;
    if (m.rfind("not run:", 0) == 0) {
      EXPECT_FALSE(trim(m.substr(8)).empty()) << GetParam() << ":" << b.line << ": say why";
    } else if (m.rfind("file ", 0) == 0) {
      const std::size_t then = m.find("; run: ");
      const std::string name = trim(m.substr(5, then == std::string::npos ? then : then - 5));
      std::ofstream(game_ / name, std::ios::binary) << b.text;
      if (then != std::string::npos) command(b, m.substr(then + 7), game_, nullptr, false);
    } else if (m.rfind("run in ", 0) == 0) {
      session(b, m.substr(7));
    } else if (m == "usage") {
      usage(b);
    } else {
      ADD_FAILURE() << GetParam() << ":" << b.line
                    << ": a block without a marker saying how it is run";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, Guide,
                         ::testing::Values("README.md", "docs/levels.md", "docs/sound.md"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return fs::path(info.param).stem().string();
                         });

}  // namespace
