// What the archive fuzz target and the archive sweep share: Allegro started
// without its signal handlers, and a walk over every byte it loaded.
#pragma once

#include <allegro.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>

// Allegro turns a crash into an orderly exit with a message; the handlers it
// installs are put back to what they were, so a crash is seen as one (by the
// sanitizers, or as a signal).
inline bool start_allegro_keeping_signal_handlers() {
  std::array<struct sigaction, NSIG> before{};
  for (int s = 1; s < NSIG; ++s) sigaction(s, nullptr, &before[s]);
  const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  for (int s = 1; s < NSIG; ++s) sigaction(s, &before[s], nullptr);
  set_color_depth(32);
  return started;
}

// Reads every byte Allegro made from a loaded archive: each picture's pixels,
// each sample's frames, each font's glyphs drawn. Under the sanitizers an
// object whose sizes do not match its memory is reported here.
inline std::uint64_t touch_archive(const DATAFILE* data) {
  std::uint64_t sum = 0;
  for (int i = 0; data[i].type != DAT_END; ++i) {
    if (data[i].type == DAT_FILE) sum += touch_archive(static_cast<const DATAFILE*>(data[i].dat));
    if (data[i].type == DAT_BITMAP) {
      BITMAP* b = static_cast<BITMAP*>(data[i].dat);
      for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) sum += static_cast<std::uint32_t>(getpixel(b, x, y));
    }
    if (data[i].type == DAT_SAMPLE) {
      const SAMPLE* s = static_cast<const SAMPLE*>(data[i].dat);
      const unsigned long bytes = s->len * (s->stereo ? 2 : 1) * (s->bits / 8);
      for (unsigned long k = 0; k < bytes; ++k) sum += static_cast<const std::uint8_t*>(s->data)[k];
    }
    if (data[i].type == DAT_FONT) {
      FONT* f = static_cast<FONT*>(data[i].dat);
      BITMAP* page = create_bitmap_ex(8, 64, 32);
      if (page != nullptr) {
        textout_ex(page, f, " Az~", 0, 0, 1, 0);
        sum += static_cast<std::uint32_t>(text_length(f, "Mirvo") + text_height(f));
        destroy_bitmap(page);
      }
    }
  }
  return sum;
}
