// The effect voices' priorities, the choice of the voice a new effect takes
// and its pan: pure functions, so they are checked without a sound device.
#include <array>
#include <cmath>

#include "sound/sound_local.h"
#include "world/world.h"

namespace {

// The events a player must not miss rank above the ones that repeat all the
// time: a lost game or a won level over a hit ship, over explosions, over
// the menus, over the shots and the enemy guns.
constexpr std::array<int, SOUND_EFFECT_COUNT> PRIORITIES = {
    60,   // SOUND_SHOT
    120,  // SOUND_BEAM
    40,   // SOUND_ENEMY_FIRE
    80,   // SOUND_ENEMY_HIT
    140,  // SOUND_EXPLOSION
    180,  // SOUND_SHIP_HIT
    220,  // SOUND_GAME_LOST
    220,  // SOUND_LEVEL_WON
    100,  // SOUND_MENU_MOVE
    100,  // SOUND_MENU_CHOOSE
    100,  // SOUND_MENU_BACK
};

}  // namespace

int effect_priority(SoundEffect effect) {
  if (effect < 0 || effect >= SOUND_EFFECT_COUNT) return 0;
  return PRIORITIES[effect];
}

int choose_voice_slot(std::span<const VoiceSlot> slots, int priority) {
  int chosen = -1;
  for (int i = 0; i < static_cast<int>(slots.size()); ++i) {
    const VoiceSlot& s = slots[i];
    if (!s.busy) return i;
    if (chosen < 0 || s.priority < slots[chosen].priority ||
        (s.priority == slots[chosen].priority && s.started < slots[chosen].started)) {
      chosen = i;
    }
  }
  if (chosen >= 0 && slots[chosen].priority > priority) return -1;
  return chosen;
}

int effect_pan(float x) {
  const auto width = static_cast<float>(PLAYFIELD_W);
  if (!(x > 0.0f)) return 0;  // NaN too
  if (x >= width) return 255;
  return static_cast<int>(std::lround(x / width * 255.0f));
}
