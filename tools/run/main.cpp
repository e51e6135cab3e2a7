// mirvo-run: plays a level headless with a pilot and says how it went. The
// options are read in options.cpp, the modes run in modes.cpp and their lines
// are written in reports.cpp.
#include <allegro.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "content/content.h"
#include "run/cli.h"
#include "script/script.h"

int main(int argc, char** argv) {
  runcli::Options o = runcli::parse_options(argc, argv);
  if (chdir(o.data_dir.c_str()) != 0) {
    std::fprintf(stderr, "mirvo-run: cannot enter the game folder %s\n", o.data_dir.c_str());
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
  if (o.campaign) {
    if (const std::string why = campaign_problem(campaign); !why.empty()) {
      fatal_error("%s", why.c_str());
    }
    o.run.campaign = &campaign;
  }
  if (!o.verify_file.empty()) return runcli::verify(o);
  if (!o.replay_file.empty()) return runcli::replay(o);
  if (o.soak_seconds > 0) return runcli::soak(o);
  return runcli::play(o);
}
