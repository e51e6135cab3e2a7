// Sound: effects and music through Allegro's digital sound. Only the shell
// calls it; the world stays silent and headless. Sound never stops anyone
// from playing: without a device, a driver or "sound.dat" every call below is
// a quiet no-op and the reason is written once to standard error.
#pragma once

// Objects of "sound.dat", in index order; each is a 16-bit sample (SAMP).
enum SoundEffect : int {
  SOUND_SHOT = 0,       // the ship's ordinary shot
  SOUND_BEAM,           // the ship's beam
  SOUND_ENEMY_FIRE,     // an enemy bullet leaves its gun
  SOUND_ENEMY_HIT,      // a player shot lands on an enemy that survives it
  SOUND_EXPLOSION,      // an enemy bursts (its explosion step)
  SOUND_SHIP_HIT,       // the ship takes damage
  SOUND_GAME_LOST,      // energy fell below 1
  SOUND_LEVEL_WON,      // the victory step ended
  SOUND_MENU_MOVE,      // the selection moved, or a setting changed
  SOUND_MENU_CHOOSE,    // Enter on an item
  SOUND_MENU_BACK,      // Escape out of a menu
  SOUND_EFFECT_COUNT
};

// The two looping tracks. Each keeps its own position: switching away and
// back continues where it was, until it is rewound.
enum MusicTrack : int { MUSIC_NONE = 0, MUSIC_MENU, MUSIC_PLAY };

// ---- Music ----
// Both tracks are streamed from files beside the game, never held whole in
// memory, and loop without a seam. The stream is fed on its own, so the menus
// may block in readkey while the music plays on.

// Opens both tracks once digital sound is installed; a track whose file is
// missing or unreadable stays silent, with one line on standard error.
void load_music();
// Plays a track from where it was last left (its start the first time);
// MUSIC_NONE pauses whatever plays. Asking for the playing track changes nothing.
void play_music(MusicTrack track);
// The track's next play starts from its beginning (a new game's music).
void rewind_music(MusicTrack track);
// Stops and closes both tracks; shut_down calls it before removing the sound.
void release_music();
