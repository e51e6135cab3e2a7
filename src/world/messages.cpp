// Timed on-screen messages: the world raises them, the tick counts them
// down once per logic tick, both renderers draw the visible ones.
#include <cstring>

#include "world/world.h"

std::array<Message, MAX_MESSAGES> messages;

void show_message(const char* text, int ticks) {
  for (Message& m : messages) {
    if (m.time_left > 0) continue;
    // A longer text is cut rather than written past the slot.
    std::strncpy(m.text.data(), text, m.text.size() - 1);
    m.text.back() = '\0';
    m.time_left = ticks;
    return;
  }
}

void clear_messages() {
  for (Message& m : messages) m.time_left = 0;
}

void tick_messages() {
  for (Message& m : messages) {
    if (m.time_left > 0) --m.time_left;
  }
}
