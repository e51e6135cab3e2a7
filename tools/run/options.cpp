// mirvo-run's options: the usage text and the reading of the command line,
// with the checks of options that do not go together.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "run/cli.h"
#include "run/video.h"

namespace runcli {

namespace {

constexpr const char* USAGE =
    "usage: mirvo-run [--data DIR] [--level FILE.wif] [--enemies FILE.eif] [--tiles FILE.dat]\n"
    "                 [--campaign | --campaign-file FILE.toml] [--compare]\n"
    "                 [--pilot idle|sweep|dodge] [--seed N] [--runs N] [--ticks N] [--immortal]\n"
    "                 [--difficulty easy|normal|hard] [--power 1..4]\n"
    "                 [--record FILE] [--replay FILE [--video OUT.webm|OUT.mp4]]\n"
    "                 [--verify FILE] [--expect victory|lost]\n"
    "                 [--frames SECONDS --out DIR] [--sheet FILE.png] [--chart FILE.png]\n"
    "                 [--soak SECONDS]\n"
    "                 [--json] [--hash] [--jobs N]\n"
    "Plays a level of the game folder DIR (default: here) without a display, or\n"
    "with --campaign every level of its campaign.toml in a row, as Start does;\n"
    "every run plays by the rules of that campaign.toml, a --level run too;\n"
    "--campaign-file plays another campaign file by its own rules, its file\n"
    "names taken from its own folder. --compare plays each level of the campaign\n"
    "on its own with the pilot and prints them side by side: wins, median hits,\n"
    "bullets on screen, the boss's length, and whether each is harder than the\n"
    "one before (more median hits).\n"
    "--difficulty (default normal) counts only under its arcade rules; --power\n"
    "holds the weapon level there for the whole run.\n"
    "Pictures are taken of the first run only. --jobs spreads the runs over N\n"
    "processes (default: one per processor); the output is the same.\n"
    "--record writes the run as the game records a game; --replay plays such a\n"
    "recording (or an older text one) again; --verify replays one and exits 0\n"
    "when it ends as recorded, else 1 with the first tick that differs.\n"
    "--chart draws the runs' pacing with gnuplot: enemies and bullets on screen,\n"
    "hits per 10 s, the mid-boss's and the boss's arrival.\n"
    "--video draws the replayed run at 640 x 800, 50 frames a second, with its\n"
    "music and effects, and encodes it with ffmpeg (VP8 for .webm, H.264 for .mp4).\n";

[[noreturn]] void usage_error(const std::string& why) {
  std::fprintf(stderr, "mirvo-run: %s\n%s", why.c_str(), USAGE);
  std::exit(2);
}

long number_argument(const char* option, const char* text, long lo, long hi) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < lo || v > hi)
    usage_error(std::string(option) + " wants a whole number from " + std::to_string(lo) + " to " +
                std::to_string(hi));
  return v;
}

double seconds_argument(const char* option, const char* text) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0.0) || v > 1e6)
    usage_error(std::string(option) + " wants a number of seconds above 0");
  return v;
}

// A path named on the command line, made absolute before the runner moves
// into the game folder.
std::string from_here(const char* path) {
  return std::filesystem::absolute(path).string();
}

}  // namespace

Options parse_options(int argc, char** argv) {
  enum : int {
    DATA = 256,
    LEVEL,
    ENEMIES,
    TILES,
    CAMPAIGN,
    CAMPAIGN_FILE,
    PILOT,
    SEED,
    RUNS,
    TICKS,
    IMMORTAL,
    DIFFICULTY,
    POWER,
    RECORD,
    REPLAY,
    VIDEO,
    VERIFY,
    EXPECT,
    FRAMES,
    OUT,
    SHEET,
    SOAK,
    JSON,
    HASH,
    JOBS,
    COMPARE,
    CHART,
    HELP
  };
  static const option long_options[] = {
      {"data", required_argument, nullptr, DATA},
      {"level", required_argument, nullptr, LEVEL},
      {"enemies", required_argument, nullptr, ENEMIES},
      {"tiles", required_argument, nullptr, TILES},
      {"campaign", no_argument, nullptr, CAMPAIGN},
      {"campaign-file", required_argument, nullptr, CAMPAIGN_FILE},
      {"pilot", required_argument, nullptr, PILOT},
      {"seed", required_argument, nullptr, SEED},
      {"runs", required_argument, nullptr, RUNS},
      {"ticks", required_argument, nullptr, TICKS},
      {"immortal", no_argument, nullptr, IMMORTAL},
      {"difficulty", required_argument, nullptr, DIFFICULTY},
      {"power", required_argument, nullptr, POWER},
      {"record", required_argument, nullptr, RECORD},
      {"replay", required_argument, nullptr, REPLAY},
      {"video", required_argument, nullptr, VIDEO},
      {"verify", required_argument, nullptr, VERIFY},
      {"expect", required_argument, nullptr, EXPECT},
      {"frames", required_argument, nullptr, FRAMES},
      {"out", required_argument, nullptr, OUT},
      {"sheet", required_argument, nullptr, SHEET},
      {"soak", required_argument, nullptr, SOAK},
      {"json", no_argument, nullptr, JSON},
      {"hash", no_argument, nullptr, HASH},
      {"jobs", required_argument, nullptr, JOBS},
      {"compare", no_argument, nullptr, COMPARE},
      {"chart", required_argument, nullptr, CHART},
      {"help", no_argument, nullptr, HELP},
      {nullptr, 0, nullptr, 0}};
  Options o;
  int c = 0;
  opterr = 0;
  while ((c = getopt_long(argc, argv, "", long_options, nullptr)) != -1) {
    switch (c) {
      case DATA:
        o.data_dir = optarg;
        break;
      case LEVEL:
        o.run.script_file = from_here(optarg);
        o.level_named = true;
        break;
      case ENEMIES:
        o.run.enemy_file = from_here(optarg);
        o.level_named = true;
        break;
      case TILES:
        o.run.tile_file = from_here(optarg);
        o.level_named = true;
        break;
      case CAMPAIGN:
        o.campaign = true;
        break;
      case CAMPAIGN_FILE:
        o.campaign = true;
        o.campaign_file = from_here(optarg);
        break;
      case PILOT:
        if (!pilot_kind_named(optarg, &o.pilot)) usage_error("--pilot is idle, sweep or dodge");
        break;
      case SEED:
        o.run.seed = number_argument("--seed", optarg, 0, 0xffffffffL);
        break;
      case RUNS:
        o.runs = number_argument("--runs", optarg, 1, 1000000);
        break;
      case TICKS:
        o.run.max_ticks = number_argument("--ticks", optarg, 1, MAX_RUN_TICKS);
        break;
      case IMMORTAL:
        o.run.immortal = true;
        break;
      case DIFFICULTY:
        if (!difficulty_named(optarg, &o.run.difficulty))
          usage_error("--difficulty is easy, normal or hard");
        break;
      case POWER:
        o.run.power = number_argument("--power", optarg, 1, MAX_POWER);
        break;
      case RECORD:
        o.record_file = from_here(optarg);
        break;
      case REPLAY:
        o.replay_file = from_here(optarg);
        break;
      case VIDEO:
        o.video_file = from_here(optarg);
        if (!video_file_named(o.video_file)) usage_error("--video writes a .webm or .mp4 file");
        break;
      case VERIFY:
        o.verify_file = from_here(optarg);
        break;
      case EXPECT:
        o.expect = optarg;
        if (o.expect != "victory" && o.expect != "lost") usage_error("--expect is victory or lost");
        break;
      case FRAMES:
        o.frame_seconds = seconds_argument("--frames", optarg);
        break;
      case OUT:
        o.out_dir = from_here(optarg);
        break;
      case SHEET:
        o.sheet_file = from_here(optarg);
        break;
      case SOAK:
        o.soak_seconds = seconds_argument("--soak", optarg);
        break;
      case JSON:
        o.json = true;
        break;
      case HASH:
        o.print_hashes = true;
        break;
      case JOBS:
        o.jobs = number_argument("--jobs", optarg, 1, 1024);
        break;
      case CHART:
        o.chart_file = optarg;
        break;
      case COMPARE:
        o.compare = true;
        break;
      case HELP:
        std::fputs(USAGE, stdout);
        std::exit(0);
      default:
        usage_error(std::string("unknown option ") + argv[optind - 1]);
    }
  }
  if (optind < argc) usage_error(std::string("unexpected argument ") + argv[optind]);
  if (o.compare && !o.campaign) usage_error("--compare needs --campaign or --campaign-file");
  if (o.campaign && o.level_named)
    usage_error(
        "--campaign plays the game folder's campaign.toml; --level, --enemies and --tiles "
        "name a level of one's own");
  if (o.frame_seconds > 0 && o.out_dir.empty() && o.sheet_file.empty())
    usage_error("--frames needs --out DIR or --sheet FILE.png");
  if (!o.out_dir.empty() && o.frame_seconds <= 0) usage_error("--out needs --frames SECONDS");
  if (!o.sheet_file.empty() && o.frame_seconds <= 0) o.frame_seconds = 10;
  if (!o.record_file.empty() && (o.runs != 1 || o.soak_seconds > 0))
    usage_error("--record records one run");
  // A recording keeps the input only: a ship kept alive or held at a power
  // would not play again the same.
  if (!o.record_file.empty() && (o.run.immortal || o.run.power > 0))
    usage_error("--record cannot keep --immortal or --power");
  if (!o.record_file.empty() && o.run.max_ticks > MAX_RECORDED_TICKS)
    usage_error("--record keeps at most " + std::to_string(MAX_RECORDED_TICKS) + " ticks");
  if (!o.replay_file.empty() && (o.runs != 1 || o.soak_seconds > 0 || !o.record_file.empty()))
    usage_error("--replay plays one recording");
  if (!o.video_file.empty() && o.replay_file.empty())
    usage_error("--video makes a video of the recording --replay plays");
  if (!o.verify_file.empty() &&
      (o.runs != 1 || o.soak_seconds > 0 || !o.record_file.empty() || !o.replay_file.empty()))
    usage_error("--verify checks one recording");
  return o;
}

}  // namespace runcli
