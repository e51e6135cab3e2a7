// What the effect table says of an effect, the choice of the voice a new
// effect takes and its pan: pure functions, so they are checked without a
// sound device.
#include <algorithm>
#include <cmath>

#include "sound/sound_local.h"
#include "world/world.h"

int effect_priority(SoundEffect effect) {
  if (effect < 0 || effect >= SOUND_EFFECT_COUNT) return 0;
  return EFFECT_TABLE[effect].priority;
}

SoundEffect effect_for_event(int kind) {
  if (kind < 0) return SOUND_EFFECT_COUNT;
  for (const EffectRow& row : EFFECT_TABLE)
    if (row.event == kind) return row.effect;
  return SOUND_EFFECT_COUNT;
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

SoundLevels sound_levels;

void set_sound_levels(int music, int effects) {
  sound_levels = {std::clamp(music, 0, SOUND_LEVELS), std::clamp(effects, 0, SOUND_LEVELS)};
}

int level_volume(int full, int level) {
  level = std::clamp(level, 0, SOUND_LEVELS);
  if (level == 0) return 0;
  const double db = -3.0 * (SOUND_LEVELS - level);
  return static_cast<int>(std::lround(full * std::pow(10.0, db / 20.0)));
}
