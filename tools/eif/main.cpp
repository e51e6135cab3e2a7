// mirvo-eif: compiles TOML enemy definitions into the game's ".eif" files and
// prints ".eif" files back as TOML.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/level_checks.h"
#include "eif/eif.h"
#include "script/script.h"
#include "sound/sound.h"

namespace {

const char* const USAGE =
    "usage: mirvo-eif [-o OUT.eif] [--data DIR] [--no-check] SOURCE.toml\n"
    "       mirvo-eif --decompile [-o OUT.toml] FILE.eif\n"
    "       mirvo-eif --campaign [--data DIR] campaign.toml\n"
    "       mirvo-eif --help\n";

const char* const HELP =
    "Compiles enemy definitions written in TOML into an enemy file (\".eif\"), or\n"
    "prints an enemy file back as TOML that compiles to the same bytes.\n"
    "\n"
    "  -o FILE       where to write (compile: SOURCE with \".eif\"; decompile: standard output);\n"
    "                a compile also writes the companion FILE with \".eix\": each type's\n"
    "                score, whether it is a boss, a boss's name and health above 255\n"
    "  --data DIR    the folder the datafile names are opened in (default: the current one)\n"
    "  --no-check    report the level checks as warnings and write the file anyway\n"
    "  --decompile   print FILE.eif as TOML\n"
    "  --campaign    check a campaign file: it parses, and every file it names (in\n"
    "                DIR, by default the campaign file's folder) exists and loads\n"
    "\n"
    "--decompile reads the companion \".eix\" beside FILE.eif too, when there is one.\n"
    "The checks: the first enemy type runs the level director, so it needs health\n"
    "above 0 and an animation that loops; every datafile must load and every\n"
    "step's frame must be a bitmap in it. See docs/levels.md.\n";

struct Options {
  std::string input, output, data_dir = ".";
  bool decompile = false, check = true, campaign = false;
  bool data_given = false;
};

bool write_file(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// 0 when the options are complete, else the exit status (2 bad usage, 0 help).
int parse_options(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << USAGE << "\n" << HELP;
      return -1;
    }
    if ((arg == "-o" || arg == "--data") && i + 1 < argc) {
      (arg == "-o" ? o.output : o.data_dir) = argv[++i];
      o.data_given = o.data_given || arg == "--data";
    } else if (arg == "--no-check") {
      o.check = false;
    } else if (arg == "--decompile") {
      o.decompile = true;
    } else if (arg == "--campaign") {
      o.campaign = true;
    } else if (!arg.empty() && arg[0] != '-' && o.input.empty()) {
      o.input = arg;
    } else {
      std::cerr << "mirvo-eif: unexpected argument \"" << arg << "\"\n" << USAGE;
      return 2;
    }
  }
  if (o.input.empty()) {
    std::cerr << USAGE;
    return 2;
  }
  return 0;
}

// The input file whole, or (error set) the one line that says why not.
WholeFile read_input(const Options& o, std::size_t limit) {
  WholeFile in = read_whole_file(o.input.c_str(), limit);
  if (in.error != 0) {
    std::cerr << o.input << ": error: cannot read the file: " << whole_file_problem(in) << "\n";
  }
  return in;
}

int decompile(const Options& o) {
  const WholeFile in = read_input(o, MAX_ENEMY_FILE_BYTES);
  if (in.error != 0) return 1;
  const std::vector<std::uint8_t>& bytes = in.bytes;
  const std::span<const std::uint8_t> view(bytes);
  EnemyFile file = parse_enemy_file(view, o.input.c_str());
  if (!file.error.empty()) {
    std::string text = file.error;
    if (text.rfind("Error: ", 0) == 0) text.erase(0, 7);
    std::cerr << o.input << ": error: " << text;
    return 1;
  }
  std::vector<std::uint8_t> again = serialize_enemy_file(file);
  if (again.size() < bytes.size()) {
    std::cerr << o.input << ": warning: the " << bytes.size() - again.size()
              << " bytes after the last enemy are not used by the game and are left out\n";
  }
  if (!std::equal(again.begin(), again.end(), view.begin())) {
    std::cerr << o.input << ": warning: bytes after a datafile name's end are written back as "
              << "spaces\n";
  }
  const EnemyExtras extras = read_enemy_extras(o.input.c_str());
  if (!extras.error.empty()) {
    std::string text = extras.error;
    if (text.rfind("Error in ", 0) == 0) text.erase(0, 9);
    std::cerr << "mirvo-eif: error: " << text;
    return 1;
  }
  std::string text = decompile_enemy_file(file, std::filesystem::path(o.input).filename(), extras);
  if (o.output.empty()) {
    std::cout << text;
  } else if (!write_file(o.output, text.data(), text.size())) {
    std::cerr << o.output << ": error: cannot write the file\n";
    return 1;
  }
  return 0;
}

// The game plays a track only when it decodes whole; the same check here.
std::string track_problem(const std::string& path) {
  const WholeFile file = read_whole_file(path.c_str(), MAX_TRACK_BYTES);
  if (file.error != 0) return "\"" + path + "\" cannot be read: " + whole_file_problem(file);
  const std::string why = check_track(file.bytes);
  return why.empty() ? "" : "\"" + path + "\" does not play: " + why;
}

// Prints the checker's problems as errors, or as warnings with --no-check;
// true when they stop the compile.
bool report(const std::vector<EifProblem>& problems, const EifCompiled& c, const Options& o) {
  for (const EifProblem& p : problems) {
    std::string where = o.input;
    if (p.type >= 0 && p.step >= 0) {
      where = c.step_where[p.type][p.step];
    } else if (p.type >= 0) {
      where = c.type_where[p.type];
    }
    std::cerr << where << (o.check ? ": error: " : ": warning: ") << p.text << "\n";
  }
  return o.check && !problems.empty();
}

int compile(const Options& o) {
  const WholeFile in = read_input(o, MAX_TEXT_FILE_BYTES);
  if (in.error != 0) return 1;
  const std::string text(in.bytes.begin(), in.bytes.end());
  EifCompiled c = compile_enemy_toml(text, o.input);
  for (const std::string& e : c.errors) std::cerr << e << "\n";
  if (!c.errors.empty()) return 1;

  for (const std::string& w : level_warnings(c.file, o.input)) std::cerr << w << "\n";
  std::vector<EifProblem> problems = check_level_director(c.file);
  install_allegro(SYSTEM_NONE, &errno, std::atexit);
  set_color_depth(32);
  std::vector<EifProblem> frames = check_enemy_datafiles(c.file, o.data_dir);
  problems.insert(problems.end(), frames.begin(), frames.end());
  if (report(problems, c, o)) return 1;

  std::string out = o.output;
  if (out.empty()) out = std::filesystem::path(o.input).replace_extension(".eif").string();
  if (out == o.input) {
    std::cerr << o.input << ": error: the output would replace the source; name it with -o\n";
    return 1;
  }
  std::vector<std::uint8_t> bytes = serialize_enemy_file(c.file);
  if (!write_file(out, bytes.data(), bytes.size())) {
    std::cerr << out << ": error: cannot write the file\n";
    return 1;
  }
  // Always written, so a companion of an earlier compile never outlives its source.
  const std::string extras_path = enemy_extras_path(out);
  const std::string extras =
      serialize_enemy_extras(c.extras, std::filesystem::path(out).filename().string());
  if (!write_file(extras_path, extras.data(), extras.size())) {
    std::cerr << extras_path << ": error: cannot write the file\n";
    return 1;
  }
  return 0;
}

// Checks a campaign as the game's Start does, and its music as well: the file
// parses, and in the game folder every level's script, tile set and enemy
// file (with its datafiles) loads and every track decodes as the game plays it.
int check_campaign(const Options& o) {
  const WholeFile in = read_input(o, MAX_TEXT_FILE_BYTES);
  if (in.error != 0) return 1;
  const Campaign campaign = parse_campaign(in.bytes, o.input.c_str());
  if (!campaign.error.empty()) {
    std::cerr << campaign.error << "\n";
    return 1;
  }
  std::filesystem::path folder = o.data_given ? std::filesystem::path(o.data_dir)
                                              : std::filesystem::absolute(o.input).parent_path();
  std::error_code error;
  std::filesystem::current_path(folder, error);
  if (error) {
    std::cerr << "mirvo-eif: cannot enter the game folder " << folder.string() << "\n";
    return 1;
  }
  install_allegro(SYSTEM_NONE, &errno, std::atexit);
  set_color_depth(32);
  int broken = 0;
  for (std::size_t i = 0; i < campaign.levels.size(); ++i) {
    const CampaignLevel& level = campaign.levels[i];
    std::string why = campaign_level_problem(level, campaign.rules);
    if (why.empty()) why = track_problem(level.music);
    if (why.empty()) continue;
    std::cerr << o.input << ": error: level " << i + 1 << " (" << level.title
              << "): " << levelcheck::load_problem(why, folder.string()) << "\n";
    ++broken;
  }
  if (broken > 0) return 1;
  std::cout << o.input << ": " << campaign.levels.size() << " level"
            << (campaign.levels.size() == 1 ? "" : "s") << ", every file loads\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = parse_options(argc, argv, o);
  if (status == -1) return 0;
  if (status != 0) return status;
  if (o.campaign) return check_campaign(o);
  return o.decompile ? decompile(o) : compile(o);
}
