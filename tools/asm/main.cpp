// mirvo-asm: assembles level script source into a ".wif" file, or turns a
// ".wif" file back into source.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "asm/assembler.h"
#include "common/level_checks.h"
#include "content/content.h"
#include "script/script.h"

namespace {

constexpr const char* USAGE =
    "usage: mirvo-asm [-o OUT.wif] [--enemies FILE.eif] [--data DIR] [--no-check] SOURCE.wis\n"
    "       mirvo-asm --disassemble [-o OUT.wis] FILE.wif\n"
    "       mirvo-asm --help\n"
    "\n"
    "Assembles level scripts into the records the game loads (by default into\n"
    "SOURCE with the extension .wif), or prints a level file as source.\n"
    "  -o FILE          where to write the result\n"
    "  --enemies FILE   check spawned enemy types against this enemy file\n"
    "  --data DIR       the folder FILE is opened in (default: the current one)\n"
    "  --no-check       report the checker's refusals as warnings only\n"
    "  --disassemble    read a .wif file and write its source (to standard output\n"
    "                   without -o)\n";

struct Command {
  bool help = false;
  bool disassemble = false;
  bool check = true;
  std::string output;
  std::string enemies;
  std::string data_dir = ".";
  std::string input;
};

std::optional<Command> parse_command_line(int argc, char** argv) {
  Command c;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      c.help = true;
    } else if (arg == "--disassemble" || arg == "-d") {
      c.disassemble = true;
    } else if (arg == "--no-check") {
      c.check = false;
    } else if (arg == "-o" && has_value) {
      c.output = argv[++i];
    } else if (arg == "--enemies" && has_value) {
      c.enemies = argv[++i];
    } else if (arg == "--data" && has_value) {
      c.data_dir = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "mirvo-asm: unknown or incomplete option '%s'\n", arg.c_str());
      return std::nullopt;
    } else if (c.input.empty()) {
      c.input = arg;
    } else {
      std::fprintf(stderr, "mirvo-asm: more than one input file ('%s')\n", arg.c_str());
      return std::nullopt;
    }
  }
  if (!c.help && c.input.empty()) {
    std::fprintf(stderr, "mirvo-asm: no input file\n");
    return std::nullopt;
  }
  return c;
}

// The file's bytes, or nothing (with the message) when it cannot be opened;
// a file the game folder holds says where it was looked for.
std::optional<std::vector<std::uint8_t>> read_input(const std::string& path,
                                                    const std::string& folder = "") {
  WholeFile file = read_whole_file(path.c_str(), MAX_TEXT_FILE_BYTES);
  if (file.error != 0) {
    const std::string where = folder.empty() ? "" : levelcheck::searched_in(folder);
    std::fprintf(stderr, "mirvo-asm: cannot load '%s': %s%s\n", path.c_str(),
                 whole_file_problem(file).c_str(), where.c_str());
    return std::nullopt;
  }
  return std::move(file.bytes);
}

bool write_file(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) std::fprintf(stderr, "mirvo-asm: cannot write '%s'\n", path.c_str());
  return static_cast<bool>(out);
}

int run_disassemble(const Command& c) {
  const auto bytes = read_input(c.input);
  if (!bytes) return 1;
  const ScriptParse parsed = parse_scripts(*bytes, c.input.c_str());
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "mirvo-asm: %s", parsed.error.c_str());
    return 1;
  }
  const std::string source = disassemble(parsed.instructions);
  if (c.output.empty()) {
    std::fputs(source.c_str(), stdout);
    return 0;
  }
  return write_file(c.output, source.data(), source.size()) ? 0 : 1;
}

std::string default_output(const std::string& input) {
  const std::size_t slash = input.find_last_of('/');
  const std::size_t dot = input.find_last_of('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (has_extension ? input.substr(0, dot) : input) + ".wif";
}

int run_assemble(const Command& c) {
  AsmOptions options;
  options.file_name = c.input;
  options.check = c.check;
  if (!c.enemies.empty()) {
    std::filesystem::path path = c.enemies;
    if (c.data_dir != ".") path = std::filesystem::path(c.data_dir) / path;
    const auto bytes = read_input(path.string(), c.data_dir);
    if (!bytes) return 1;
    const EnemyFile enemies = parse_enemy_file(*bytes, c.enemies.c_str());
    if (!enemies.error.empty()) {
      std::fprintf(stderr, "mirvo-asm: %s", enemies.error.c_str());
      return 1;
    }
    options.enemy_types = static_cast<int>(enemies.types.size());
    options.victory_types = levelcheck::victory_types(enemies);
  }
  const auto source = read_input(c.input);
  if (!source) return 1;
  const AsmResult result = assemble_source(
      std::string_view(reinterpret_cast<const char*>(source->data()), source->size()), options);
  for (const std::string& w : result.warnings) std::fprintf(stderr, "%s\n", w.c_str());
  for (const std::string& e : result.errors) std::fprintf(stderr, "%s\n", e.c_str());
  if (!result.ok()) return 1;
  const std::vector<std::uint8_t> bytes = encode_scripts(result.instructions);
  return write_file(c.output.empty() ? default_output(c.input) : c.output, bytes.data(),
                    bytes.size())
             ? 0
             : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Command> command = parse_command_line(argc, argv);
  if (!command) {
    std::fputs(USAGE, stderr);
    return 2;
  }
  if (command->help) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  return command->disassemble ? run_disassemble(*command) : run_assemble(*command);
}
