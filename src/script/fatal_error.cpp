// The one way the game and its tools stop on an error the player must see.
#include <allegro.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "script/script.h"

void fatal_error(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  // Formatted here, so Allegro never reads the text as a format of its own.
  allegro_message("%s", text.c_str());
  std::exit(1);
}
