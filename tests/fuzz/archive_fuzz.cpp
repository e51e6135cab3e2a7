// Feeds arbitrary bytes to the archive check and hands Allegro whatever it
// lets through, then reads every object Allegro made: an archive the check
// passes but Allegro cannot read safely crashes here.
#include <allegro.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "archive_touch.h"
#include "content/content.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = start_allegro_keeping_signal_handlers();
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
