// Sound: effects and music through Allegro's digital sound. Only the shell
// calls it; the world stays silent and headless. Sound never stops anyone
// from playing: without a device, a driver or "sound.dat" every call below is
// a quiet no-op and the reason is written once to standard error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct DATAFILE;

// Objects of "sound.dat", in index order; each is a 16-bit sample (SAMP).
enum SoundEffect : int {
  SOUND_SHOT = 0,     // the ship's ordinary shot
  SOUND_BEAM,         // the ship's beam
  SOUND_ENEMY_FIRE,   // an enemy bullet leaves its gun
  SOUND_ENEMY_HIT,    // a player shot lands on an enemy that survives it
  SOUND_EXPLOSION,    // an enemy bursts (its explosion step)
  SOUND_SHIP_HIT,     // the ship takes damage
  SOUND_GAME_LOST,    // energy fell below 1
  SOUND_LEVEL_WON,    // the victory step ended
  SOUND_MENU_MOVE,    // the selection moved, or a setting changed
  SOUND_MENU_CHOOSE,  // Enter on an item
  SOUND_MENU_BACK,    // Escape out of a menu
  // The lost ship bursts (a rule of some campaigns).
  SOUND_SHIP_EXPLOSION,
  SOUND_PICKUP,  // the ship took an item
  SOUND_BOMB,    // the ship dropped a bomb (a rule of some campaigns)
  SOUND_EFFECT_COUNT
};

// The tracks. Each keeps its own position: switching away and back continues
// where it was, until it is rewound. The menu, level, boss and ending tracks
// loop; the two jingles play once and then leave silence.
enum MusicTrack : int {
  MUSIC_NONE = 0,
  MUSIC_MENU,
  MUSIC_PLAY,       // the level's track
  MUSIC_BOSS,       // the level's boss track, from its boss warning on
  MUSIC_CLEAR,      // the stage-clear jingle
  MUSIC_GAME_OVER,  // the game-over jingle
  MUSIC_ENDING,     // under the ending's words
  MUSIC_TRACK_COUNT
};

// ---- Music ----
// The tracks are read whole from files beside the game, checked, and
// streamed from memory (decoded a little at a time); they loop without a seam. The stream is fed on
// its own, so the menus may block in readkey while the music plays on.

// The largest track read: the shipped ones are under 1 MB.
inline constexpr std::size_t MAX_TRACK_BYTES = 32u << 20;
// Why the bytes are not a track the game plays, or "" when they are: one Ogg
// Vorbis stream of one or two channels at 8 to 192 kHz, at most an hour long,
// that decodes whole, start to end, without an error, and can go back to its
// first sample (the loop does). Never exits.
std::string check_track(std::span<const std::uint8_t> bytes);
// Opens every named track once start_sound has made the sound ready; a track
// whose file is missing or unreadable stays silent, with one line on standard
// error. Only the menu and level tracks are named from the start.
void load_music();
// Plays a track from where it was last left (its start the first time);
// MUSIC_NONE pauses whatever plays. Asking for the playing track changes nothing.
void play_music(MusicTrack track);
// The track's next play starts from its beginning (a new game's music).
void rewind_music(MusicTrack track);
// The file a track streams (MUSIC_PLAY "play.ogg" and MUSIC_MENU "menu.ogg"
// until told otherwise, the others none): each level of a campaign has its
// own. A new file is opened at once (or by load_music) and plays from its
// start; a missing or unreadable one is silence and one line on standard
// error; "" is silence without a word. Naming the file already chosen changes
// nothing.
void choose_music(MusicTrack track, const std::string& file_name);
// Stops the feeder thread and closes both tracks. shut_down calls it before
// removing the sound, and the program's exit handler before Allegro closes,
// so the feeder never outlives the streams it fills. A second call does nothing.
void release_music();

// ---- The sound system ----
// start_up brings it up after the timers and before the window, and only when
// the "sound" setting is On; shut_down takes it down again (after
// release_music), so every restart leaves exactly one sound system.

// Installs Allegro's digital sound and loads the effects from `effects_file`
// ("sound.dat"). Without a device, a driver or a usable archive the game
// stays silent: one line on standard error says why, and nothing is left
// installed.
void start_sound(const char* effects_file);
// Stops every effect, releases the effects and removes digital sound; does
// nothing when start_sound left nothing installed.
void stop_sound();
// 1 while digital sound is installed with its effects loaded.
int sound_ready();

// Why a loaded archive cannot serve as "sound.dat" (empty when it can):
// exactly SOUND_EFFECT_COUNT objects first, each a sample with at least one
// frame, and nothing after them but the archive tool's info object.
// A shorter archive would be read past its end, a longer one was made for
// another version of the game.
std::string sound_data_problem(const DATAFILE* data);

// ---- Volumes ----

// The player's volumes go from 0 (silent) to SOUND_LEVELS (full), 3 dB a step.
inline constexpr int SOUND_LEVELS = 10;
// The volumes of the music and of the effects, each held to 0..SOUND_LEVELS.
// An effect takes its volume as it starts, a track as it is opened, so
// start_up sets them before the sound starts.
void set_sound_levels(int music, int effects);
// Allegro's voice volume for a sound whose full volume is `full` (0..255)
// at `level`: full at SOUND_LEVELS, 3 dB less for every step below, silent
// at 0; a level outside the range is held at its nearer end.
int level_volume(int full, int level);

// ---- Effects ----

// Starts an effect panned by x in playfield pixels (0 the left edge, 320 the
// right). With every effect voice busy, it takes the voice of the least
// important effect playing, the oldest of equals, when that one matters no
// more than the new one; otherwise the new effect is dropped.
void play_effect(SoundEffect effect, float x);
// The effect a kind of world event is heard as; SOUND_EFFECT_COUNT (none) for
// a kind outside the list.
SoundEffect effect_for_event(int kind);
// Silences every effect still sounding (play has stopped for the menus).
void stop_effects();
// Holds every effect still sounding where it is (the window lost the focus),
// and lets the held ones go on from there.
void pause_effects();
void resume_effects();
// Allegro's pan for x: 0 (left) at the playfield's left edge, 255 (right) at
// its right edge, clamped outside.
int effect_pan(float x);

// ---- Offline mixing ----
// The game's mix made without a sound device, for a video of a recorded run:
// the same effects, voices, priorities, pans and volumes as the game's, the
// level's track looping under them, written as 16-bit stereo frames.
// Pure over samples: no Allegro sound driver is involved.

// A sound in memory: signed 16-bit samples, interleaved when stereo.
struct SoundClip {
  std::vector<std::int16_t> samples;
  int channels = 1;  // 1 or 2
  int rate = 0;      // frames per second
  std::size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// A whole track decoded after check_track's checks, or why it cannot be.
struct DecodedTrack {
  SoundClip clip;
  std::string error;  // empty on success
};
DecodedTrack decode_track(std::span<const std::uint8_t> bytes);

inline constexpr int MIX_RATE = 44100;

// The mix of a run, tick by tick (100 ticks a second): whatever starts at
// tick t starts at output frame t * rate / 100. Calls come in tick order;
// each first mixes the frames up to its tick. The clips must outlive it.
class OfflineMix {
 public:
  // `effects` holds SOUND_EFFECT_COUNT clips in SoundEffect order; the
  // levels are the player's 0..SOUND_LEVELS.
  explicit OfflineMix(std::span<const SoundClip> effects, int music_level = SOUND_LEVELS,
                      int effects_level = SOUND_LEVELS, int rate = MIX_RATE);
  // As play_effect: a voice chosen by priority, panned by x.
  void start_effect(SoundEffect effect, float x, int tick);
  // Every world event of the tick just run, heard as the game hears it.
  void start_world_events(int tick);
  // The level's track, looping, from its start (nullptr: silence).
  void start_music(const SoundClip* track, int tick);
  // Mixes the frames up to tick's start.
  void advance(int tick);
  // The frames mixed and not yet taken, interleaved stereo; the caller
  // writes them out and clears the vector.
  std::vector<std::int16_t>& mixed() { return mixed_; }
  int rate() const { return rate_; }

 private:
  struct Voice {
    const SoundClip* clip = nullptr;  // none: the voice is free
    double position = 0;              // in the clip's frames
    float left = 0, right = 0;
    int priority = 0;
    unsigned started = 0;
  };
  void add_voice(Voice& v, float* mix, long long frames, bool loop) const;

  std::span<const SoundClip> effects_;
  int music_volume_, effect_volume_, rate_;
  std::vector<Voice> voices_;
  Voice music_;
  unsigned plays_ = 0;
  long long written_ = 0;  // frames mixed so far
  std::vector<float> scratch_;
  std::vector<std::int16_t> mixed_;
};
