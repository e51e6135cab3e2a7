// The program's few arguments. Without any the game starts as it always has;
// --help and --version answer without starting Allegro, as a program with a
// manual page is expected to.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/shell_local.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo [--help | --version | --replay FILE]\n"
    "       mirvo --level FILE.wif --enemies FILE.eif [--tiles FILE.dat] [--music FILE.ogg]\n"
    "       mirvo --campaign FILE.toml\n"
    "       (either of the last two may add --at SECONDS and --watch)\n";

constexpr const char* HELP =
    "Mirvo, a vertical-scrolling shoot-'em-up. Without arguments the game starts;\n"
    "its keys, data folders and settings file are described in mirvo(6).\n"
    "\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "  --replay FILE  watch a recorded game (Space pause, Right fast, Down step,\n"
    "                 Enter take over, Esc leave); a recording that cannot be\n"
    "                 played is refused with one line and exit status 1\n"
    "  --level FILE.wif --enemies FILE.eif\n"
    "                 Start plays this one level (with the game folder's rules);\n"
    "                 --tiles and --music default to the first level's\n"
    "  --campaign FILE.toml\n"
    "                 Start plays this campaign; its file names are taken from\n"
    "                 the campaign file's folder\n"
    "  --at SECONDS   start that far into the first level's timeline (skipped\n"
    "                 with the ship kept alive, then full energy)\n"
    "  --watch        when a file the level plays is saved, load it again and\n"
    "                 play the input so far up to the same moment; a file that\n"
    "                 does not load shows why and the last good level plays on\n"
    "Paths are taken from where mirvo is started. An enemy file's archives are\n"
    "looked for beside it first, then in the game folder. Such games are\n"
    "practice: recorded, never entered in the score table.\n";

// The options that name an author's files, each taking one value.
struct FileOption {
  const char* name;
  const char* CommandLine::*field;
};
constexpr FileOption FILE_OPTIONS[] = {{"--level", &CommandLine::level},
                                       {"--enemies", &CommandLine::enemies},
                                       {"--tiles", &CommandLine::tiles},
                                       {"--music", &CommandLine::music},
                                       {"--campaign", &CommandLine::campaign}};

// 0 once the answer has reached standard output; a full disk or a closed
// pipe must not pass for a printed answer.
int answered() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
  std::fprintf(stderr, "mirvo: cannot write the answer: %s\n", std::strerror(errno));
  return 1;
}

// The farthest --at goes: an hour, longer than any level.
constexpr double MAX_START_SECONDS = 3600;

// --at's seconds as ticks, to the nearest tick; -1 for anything but a number
// from 0 to MAX_START_SECONDS.
int start_ticks(const char* text) {
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds >= 0 && seconds <= MAX_START_SECONDS)) return -1;
  return static_cast<int>(seconds * TICKS_PER_SECOND + 0.5);
}

// Options naming an author's files, in any order, each once with a value,
// and the practice options: a level needs its enemies, a campaign stands
// alone, and --at and --watch go with one of them.
CommandLine read_file_options(int argc, const char* const* argv) {
  CommandLine line{CommandLine::PLAY};
  const char* at = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--watch") == 0 && !line.watch) {
      line.watch = true;
      continue;
    }
    if (std::strcmp(argv[i], "--at") == 0 && !at && i + 1 < argc) {
      at = argv[++i];
      continue;
    }
    const FileOption* option = nullptr;
    for (const FileOption& o : FILE_OPTIONS)
      if (std::strcmp(argv[i], o.name) == 0) option = &o;
    if (!option || line.*(option->field) != nullptr || i + 1 >= argc)
      return {CommandLine::REFUSED, argv[i]};
    line.*(option->field) = argv[++i];
  }
  if (at) line.start_tick = start_ticks(at);
  const bool level_files = line.enemies || line.tiles || line.music;
  const char* why = line.campaign && (line.level || level_files) ? "--campaign stands alone"
                    : line.level && !line.enemies                ? "--level needs --enemies"
                    : !line.level && level_files    ? "--enemies, --tiles and --music need --level"
                    : !line.level && !line.campaign ? "--at and --watch need --level or --campaign"
                    : line.start_tick < 0           ? "--at needs seconds from 0 to 3600"
                                                    : nullptr;
  if (why) return {.action = CommandLine::REFUSED, .reason = why};
  return line;
}

}  // namespace

CommandLine read_command_line(int argc, const char* const* argv) {
  if (argc <= 1) return {CommandLine::PLAY};
  const char* first = argv[1];
  if (std::strncmp(first, "--", 2) == 0 && std::strcmp(first, "--help") != 0 &&
      std::strcmp(first, "--version") != 0 && std::strcmp(first, "--replay") != 0)
    return read_file_options(argc, argv);
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
      if (line.reason)
        std::fprintf(stderr, "mirvo: %s\n", line.reason);
      else
        std::fprintf(stderr, "mirvo: unexpected argument \"%s\"\n", line.unexpected);
      std::fputs(USAGE, stderr);
      return 2;
    case CommandLine::PLAY:
    case CommandLine::REPLAY:
      break;
  }
  return 0;
}
