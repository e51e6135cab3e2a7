// The program's few arguments. Without any the game starts as it always has;
// --help and --version answer without starting Allegro, as a program with a
// manual page is expected to.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shell/shell_local.h"

namespace {

constexpr const char* USAGE = "usage: mirvo [--help | --version | --replay FILE]\n";

constexpr const char* HELP =
    "Mirvo, a vertical-scrolling shoot-'em-up. Without arguments the game starts;\n"
    "its keys, data folders and settings file are described in mirvo(6).\n"
    "\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "  --replay FILE  watch a recorded game (Space pause, Right fast, Down step,\n"
    "                 Enter take over, Esc leave); a recording that cannot be\n"
    "                 played is refused with one line and exit status 1\n";

// 0 once the answer has reached standard output; a full disk or a closed
// pipe must not pass for a printed answer.
int answered() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  std::fprintf(stderr, "mirvo: cannot write the answer: %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

CommandLine read_command_line(int argc, const char* const* argv) {
  if (argc <= 1) return {CommandLine::PLAY};
  const char* first = argv[1];
  CommandLine line{CommandLine::REFUSED, first};
  if (std::strcmp(first, "--help") == 0) line.action = CommandLine::HELP;
  if (std::strcmp(first, "--version") == 0) line.action = CommandLine::VERSION;
  if (std::strcmp(first, "--replay") == 0) {
    // The one argument that takes a value: the recording, and nothing after it.
    if (argc == 3) return {CommandLine::REPLAY, nullptr, argv[2]};
    return {CommandLine::REFUSED, argc > 3 ? argv[3] : first};
  }
  // Either answer stands alone: anything after it is refused as well.
  if (line.action != CommandLine::REFUSED && argc > 2) line = {CommandLine::REFUSED, argv[2]};
  return line;
}

int answer_command_line(const CommandLine& line) {
  switch (line.action) {
    case CommandLine::HELP:
      std::fputs(USAGE, stdout);
      std::fputs(HELP, stdout);
      return answered();
    case CommandLine::VERSION:
      std::printf("mirvo %s\n", MIRVO_VERSION);
      return answered();
    case CommandLine::REFUSED:
      std::fprintf(stderr, "mirvo: unexpected argument \"%s\"\n", line.unexpected);
      std::fputs(USAGE, stderr);
      return 2;
    case CommandLine::PLAY:
    case CommandLine::REPLAY:
      break;
  }
  return 0;
}
