// What the sound folder's own files (and its tests) share: the table of the
// effects, and the choice of the voice a new effect plays on, kept free of
// Allegro so it runs without a device.
#pragma once

#include <vorbis/vorbisfile.h>

#include <array>
#include <span>

#include "sound/sound.h"
#include "world/world.h"

// ---- The effects, one row each ----
// Everything the game, the build and the tests know about an effect. Adding
// one takes its name in SoundEffect, its recipe data/sounds/RECIPE.txt and its
// row here: the build reads the recipe names from these rows, in order, to
// pack "sound.dat" (data/CMakeLists.txt), so each sample lands on its index.

inline constexpr int NO_EVENT = -1;  // an effect the shell plays by name (the menus)

struct EffectRow {
  SoundEffect effect;
  const char* recipe;  // data/sounds/<recipe>.txt; lower case, digits and _
  int priority;        // how much it matters when voices run short, 0..254 (the music has 255)
  int event;           // the WorldEventKind it is heard for, or NO_EVENT
  double min_seconds;  // how long its sample may be, checked against the built file
  double max_seconds;
};

// The events a player must not miss rank above the ones that repeat all the
// time: a lost game or a won level over a hit ship, over explosions, over the
// menus, over the shots and the enemy guns. The comments give the lengths'
// reasons. Keep each row on one line, in the order of SoundEffect: the build
// reads them.
inline constexpr std::array<EffectRow, SOUND_EFFECT_COUNT> EFFECT_TABLE = {{
    // effect, recipe, priority, event, seconds from and to
    // The ship fires five times a second, and so does the beam.
    {SOUND_SHOT, "shot", 60, EVENT_PLAYER_SHOT, 0.03, 0.2},
    {SOUND_BEAM, "beam", 120, EVENT_PLAYER_BEAM, 0.03, 0.3},
    // Waves fire often (one sound per pass); a burst of hits stays a rattle.
    {SOUND_ENEMY_FIRE, "enemy_fire", 40, EVENT_ENEMY_FIRE, 0.03, 0.2},
    {SOUND_ENEMY_HIT, "enemy_hit", 80, EVENT_ENEMY_HIT, 0.02, 0.15},
    // Over before the next wave's.
    {SOUND_EXPLOSION, "explosion", 140, EVENT_ENEMY_DESTROYED, 0.3, 1.0},
    {SOUND_SHIP_HIT, "ship_hit", 180, EVENT_SHIP_HIT, 0.1, 0.5},
    // The end of a game is heard out.
    {SOUND_GAME_LOST, "game_lost", 220, EVENT_GAME_LOST, 0.5, 2.5},
    {SOUND_LEVEL_WON, "level_won", 220, EVENT_LEVEL_WON, 0.5, 2.5},
    // Keys repeat about ten times a second; the next screen follows Enter or
    // Escape at once.
    {SOUND_MENU_MOVE, "menu_move", 100, NO_EVENT, 0.02, 0.1},
    {SOUND_MENU_CHOOSE, "menu_choose", 100, NO_EVENT, 0.05, 0.25},
    {SOUND_MENU_BACK, "menu_back", 100, NO_EVENT, 0.05, 0.25},
    // Heard out with the lost game's fall, a little below it.
    {SOUND_SHIP_EXPLOSION, "ship_explosion", 200, EVENT_SHIP_EXPLODED, 0.6, 2.0},
    // Above the shots and explosions it is taken among; short, items come one at a time.
    {SOUND_PICKUP, "pickup", 160, EVENT_ITEM_TAKEN, 0.08, 0.4},
    // The panic button is answered over everything but the game's end, and
    // lasts about the bomb's 1.5 s.
    {SOUND_BOMB, "bomb", 210, EVENT_BOMB, 0.8, 2.0},
}};

// The compiler refuses a table that lost a row or holds one out of order, and
// a world event heard as no effect or as two.
constexpr bool effect_table_in_order() {
  for (int i = 0; i < SOUND_EFFECT_COUNT; ++i)
    if (EFFECT_TABLE[i].effect != i || EFFECT_TABLE[i].priority < 0 ||
        EFFECT_TABLE[i].priority > 254)
      return false;
  return true;
}
constexpr bool every_event_heard_once() {
  for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
    int heard = 0;
    for (const EffectRow& row : EFFECT_TABLE) heard += row.event == kind ? 1 : 0;
    if (heard != 1) return false;
  }
  return true;
}
static_assert(effect_table_in_order(), "one row per SoundEffect, in its order, priority 0..254");
static_assert(every_event_heard_once(), "every kind of world event is heard as exactly one effect");

// Allegro's voice volumes (0..255) at full level. An effect plays at full
// volume. The menu track too, about -20 dBFS RMS over its loop; level 1's
// track, mastered 1.5 dB louder, is held 3.5 dB lower, so that with fire held
// the effects stand above it and the whole is about -18 dBFS. Tracks play
// centred (pan 128).
inline constexpr int EFFECT_VOLUME = 255;
inline constexpr int MENU_MUSIC_VOLUME = 255;
inline constexpr int PLAY_MUSIC_VOLUME = 170;
inline constexpr int MUSIC_PAN = 128;

// At most this many effects sound at once, so the music's streams always keep
// voices of their own; the streams also have the highest priority, 255.
inline constexpr int MAX_EFFECT_VOICES = 6;

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

// The levels set_sound_levels chose; full until it is called.
struct SoundLevels {
  int music = SOUND_LEVELS;
  int effects = SOUND_LEVELS;
};
extern SoundLevels sound_levels;

// ---- Tracks in memory ----

// A track's bytes and where libvorbisfile reads in them; the bytes outlive it.
struct MemorySource {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};
// ov_open_callbacks over the bytes, seekable (the loop goes back to the
// start): 0, or libvorbisfile's error.
int open_memory_track(MemorySource& source, OggVorbis_File* decoder);
