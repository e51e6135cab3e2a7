// Feeds arbitrary bytes to the archive check and hands Allegro whatever it
// lets through, then reads every object Allegro made: an archive the check
// passes but Allegro cannot read safely crashes here. Allegro's own signal
// handlers are put back to what they were, so a crash reaches the sanitizers
// instead of being turned into an orderly exit.
#include <allegro.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "archive_touch.h"
#include "content/content.h"

namespace {

bool start_allegro() {
  std::array<struct sigaction, NSIG> before{};
  for (int s = 1; s < NSIG; ++s) sigaction(s, nullptr, &before[s]);
  const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  for (int s = 1; s < NSIG; ++s) sigaction(s, &before[s], nullptr);
  set_color_depth(32);
  return started;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = start_allegro();
  if (!started) std::abort();
  const std::span<const std::uint8_t> bytes(data, size);
  const bool passes = check_archive(bytes).empty();
  DATAFILE* archive = load_checked_archive(bytes);
  if (archive != nullptr && !passes) {
    std::fprintf(stderr, "archive fuzz: a refused archive was loaded\n");
    std::abort();
  }
  if (archive == nullptr) return 0;
  static volatile std::uint64_t seen = 0;
  seen = seen + touch_archive(archive);
  unload_datafile(archive);
  return 0;
}
