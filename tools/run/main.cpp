// mirvo-run: plays a level headless with a pilot and says how it went. The
// options are read in options.cpp, the modes run in modes.cpp and their lines
// are written in reports.cpp.
#include <allegro.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/level_checks.h"
#include "content/content.h"
#include "run/cli.h"
#include "script/script.h"

int main(int argc, char** argv) {
  runcli::Options o = runcli::parse_options(argc, argv);
  if (chdir(o.data_dir.c_str()) != 0) {
    std::fprintf(stderr, "mirvo-run: cannot enter the game folder %s\n", o.data_dir.c_str());
    return 1;
  }
  // The loaders' own messages name only the file; a runner started from the
  // wrong folder says where it looked.
  const std::string searched = levelcheck::searched_in(".");
  if (access("data.dat", R_OK) != 0) {
    std::fprintf(stderr, "mirvo-run: cannot load \"data.dat\"%s\n", searched.c_str());
    return 1;
  }
  start_runner();
  // As Start does: the campaign is read and every file it names checked
  // once, with the game's messages, before any run. Its rules are every
  // run's, a single level's too, so per-level and campaign figures agree.
  Campaign campaign =
      o.campaign_file.empty() ? load_campaign() : read_campaign_file(o.campaign_file);
  if (!campaign.error.empty()) fatal_error("Error in %s\n", campaign.error.c_str());
  o.run.rules = campaign.rules;
  if (o.campaign) o.run.campaign = &campaign;
  // A single level's other faults are left to the level start's own message;
  // a recording names its own levels.
  const bool own_levels = o.campaign || (o.verify_file.empty() && o.replay_file.empty());
  if (std::string why = own_levels ? campaign_problem(run_campaign(o.run)) : ""; !why.empty()) {
    if (levelcheck::not_found(why)) {
      std::fprintf(stderr, "mirvo-run: %s\n", levelcheck::load_problem(why, ".").c_str());
      return 1;
    }
    if (o.campaign) fatal_error("%s", why.c_str());
  }
  if (!o.verify_file.empty()) return runcli::verify(o);
  if (!o.replay_file.empty()) return runcli::replay(o);
  if (o.soak_seconds > 0) return runcli::soak(o);
  if (o.compare) return runcli::compare(o);
  return runcli::play(o);
}
