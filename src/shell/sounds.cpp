// What the shell makes heard: the tick's events after each catch-up pass and
// the keys of the menus. The sound library decides voices and panning; this
// file decides which effect belongs to what.
#include <allegro.h>

#include <array>

#include "shell/shell_local.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

constexpr std::array<SoundEffect, WORLD_EVENT_KIND_COUNT> EVENT_EFFECTS = {
    SOUND_SHOT,        // EVENT_PLAYER_SHOT
    SOUND_BEAM,        // EVENT_PLAYER_BEAM
    SOUND_ENEMY_FIRE,  // EVENT_ENEMY_FIRE
    SOUND_ENEMY_HIT,   // EVENT_ENEMY_HIT
    SOUND_EXPLOSION,   // EVENT_ENEMY_DESTROYED
    SOUND_SHIP_HIT,    // EVENT_SHIP_HIT
    SOUND_GAME_LOST,   // EVENT_GAME_LOST
    SOUND_LEVEL_WON,   // EVENT_LEVEL_WON
};

constexpr float MENU_X = PLAYFIELD_W / 2.0f;  // the menus sound from the middle

}  // namespace

SoundEffect effect_for_event(int kind) {
  if (kind < 0 || kind >= WORLD_EVENT_KIND_COUNT) return SOUND_EFFECT_COUNT;
  return EVENT_EFFECTS[kind];
}

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
