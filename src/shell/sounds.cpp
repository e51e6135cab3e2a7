// What the shell makes heard: the tick's events after each catch-up pass and
// the keys of the menus. The sound library decides voices, panning and the
// effect of each world event; this file decides what the menu keys sound like.
#include <allegro.h>

#include "shell/shell_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr float MENU_X = PLAYFIELD_W / 2.0f;  // the menus sound from the middle

}  // namespace

void play_world_events() {
  for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
    const WorldEvent& e = world_events[kind];
    if (e.count > 0) play_effect(effect_for_event(kind), e.x);
  }
  clear_world_events();
}

SoundEffect menu_key_sound(int scancode, bool changed) {
  if (scancode == KEY_ENTER) return SOUND_MENU_CHOOSE;
  if (scancode == KEY_ESC) return SOUND_MENU_BACK;
  return changed ? SOUND_MENU_MOVE : SOUND_EFFECT_COUNT;
}

void play_menu_key(int scancode, bool changed) {
  const SoundEffect effect = menu_key_sound(scancode, changed);
  if (effect != SOUND_EFFECT_COUNT) play_effect(effect, MENU_X);
}
