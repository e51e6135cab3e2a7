// The tick's event list: one entry per kind, so recording can never run past
// the table however many events a tick brings.
#include "world/world.h"

std::array<WorldEvent, WORLD_EVENT_KIND_COUNT> world_events;
std::int32_t world_events_recording = 1;

// The entry keeps a running mean of x, which stays inside the playfield
// whatever the count.
void record_world_event(int kind, float x) {
  if (world_events_recording == 0 || kind < 0 || kind >= WORLD_EVENT_KIND_COUNT) return;
  WorldEvent& e = world_events[kind];
  ++e.count;
  e.x += (x - e.x) / static_cast<float>(e.count);
}

void clear_world_events() {
  for (WorldEvent& e : world_events) e = WorldEvent{};
}
