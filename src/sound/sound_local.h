// What the sound folder's own files (and its tests) share: the choice of the
// voice a new effect plays on, kept free of Allegro so it runs without a device.
#pragma once

#include <span>

#include "sound/sound.h"

// One of the effect voices, as the chooser sees it.
struct VoiceSlot {
  bool busy = false;     // still sounding
  int priority = 0;      // of the effect it plays, 0..254
  unsigned started = 0;  // when that effect started, in plays since start-up
};

// The slot for a new effect of `priority`: a free slot (the first), else the
// busy one with the lowest priority, the oldest among equals, when that
// priority is not above the new one. -1 drops the new effect.
int choose_voice_slot(std::span<const VoiceSlot> slots, int priority);

// How much each effect matters when voices run short; all below the music's 255.
int effect_priority(SoundEffect effect);
