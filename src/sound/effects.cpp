// Digital sound and the effects: installing Allegro's sound, the archive of
// effects, and the few voices the effects take turns on.
#include <allegro.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "content/content.h"
#include "sound/sound_local.h"

namespace {

constexpr int MUSIC_VOICES = 2;  // one stream for each track
// Allegro's mixer plays a centred voice at full volume 6 dB below its sample
// on each side, so that the same voice panned hard to one side plays at its
// sample's level and no more. Stepping that up would let an effect panned to
// the edge of the playfield clip (and two of them did, in the boss's
// crossfire), so loudness comes from the voices' own volumes instead: the
// effects at full volume, the music as loud as music.cpp says.
constexpr int VOLUME_PER_VOICE = 1;
constexpr int DAT_INFO = DAT_ID('i', 'n', 'f', 'o');  // the archive tool's own notes

struct EffectVoice {
  int voice = -1;
  bool sounding = false;  // started and not stopped: the mixer knows whether it ended
  bool paused = false;    // held by pause_effects where it was
  int priority = 0;
  unsigned started = 0;
};

int installed = 0;
DATAFILE* effects = nullptr;
std::array<EffectVoice, MAX_EFFECT_VOICES> effect_voices;
int effect_voice_count = 0;
unsigned plays = 0;

void say_no_sound(const std::string& why) {
  std::fprintf(stderr, "Mirvo: no sound: %s\n", why.c_str());
}

// ALSA explains every failed probe on standard error, several lines each;
// the one line of ours names the reason that counts.
void quiet_alsa(const char*, int, const char*, int, const char*, ...) {}

// Allegro falls back to its no-sound driver when no device answers; that is
// a failure here, with the reason the real drivers left in allegro_error.
bool install_digital_sound() {
  if (system_driver == nullptr || system_driver->id == SYSTEM_NONE) {
    say_no_sound("Allegro runs without a system driver");  // sound would crash it
    return false;
  }
  snd_lib_error_set_handler(quiet_alsa);
  allegro_error[0] = '\0';
  set_volume_per_voice(VOLUME_PER_VOICE);
  const int status = install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr);
  if (status == 0 && digi_card != DIGI_NONE) return true;
  say_no_sound(allegro_error[0] != '\0' ? allegro_error : "no digital sound driver");
  if (status == 0) remove_sound();
  return false;
}

// The effects take all voices but the music's, up to MAX_EFFECT_VOICES.
void take_effect_voices() {
  const SAMPLE* any = static_cast<const SAMPLE*>(effects[0].dat);
  const int wanted = std::min(MAX_EFFECT_VOICES, digi_driver->voices - MUSIC_VOICES);
  effect_voice_count = 0;
  for (int i = 0; i < wanted; ++i) {
    const int voice = allocate_voice(any);
    if (voice < 0) break;
    effect_voices[effect_voice_count++] = EffectVoice{voice};
  }
}

}  // namespace

std::string sound_data_problem(const DATAFILE* data) {
  if (data == nullptr) return "missing or unreadable";
  // The archive tool adds an info object of its own; it carries no sound.
  int count = 0;
  for (int i = 0; data[i].type != DAT_END; ++i) count += data[i].type != DAT_INFO ? 1 : 0;
  if (count != SOUND_EFFECT_COUNT) {
    return std::to_string(count) + " objects where " + std::to_string(SOUND_EFFECT_COUNT) +
           " samples belong";
  }
  for (int i = 0; i < count; ++i) {
    const auto* sample = static_cast<const SAMPLE*>(data[i].dat);
    if (data[i].type != DAT_SAMPLE || sample == nullptr) {
      return "object " + std::to_string(i) + " is not a sample";
    }
    if (sample->len == 0) return "sample " + std::to_string(i) + " is empty";
  }
  return "";
}

void start_sound(const char* effects_file) {
  stop_sound();
  if (!install_digital_sound()) return;
  installed = 1;
  // A refused archive says what a missing one does.
  effects = load_checked_datafile(effects_file);
  const std::string problem = sound_data_problem(effects);
  if (!problem.empty()) {
    say_no_sound("\"" + std::string(effects_file) + "\": " + problem);
    stop_sound();
    return;
  }
  take_effect_voices();
}

void stop_sound() {
  for (int i = 0; i < effect_voice_count; ++i) deallocate_voice(effect_voices[i].voice);
  effect_voice_count = 0;
  if (effects != nullptr) unload_datafile(effects);
  effects = nullptr;
  if (installed != 0) remove_sound();
  installed = 0;
}

int sound_ready() {
  return installed != 0 && effects != nullptr ? 1 : 0;
}

void play_effect(SoundEffect effect, float x) {
  if (effects == nullptr || effect < 0 || effect >= SOUND_EFFECT_COUNT) return;
  std::array<VoiceSlot, MAX_EFFECT_VOICES> slots{};
  for (int i = 0; i < effect_voice_count; ++i) {
    const EffectVoice& v = effect_voices[i];
    slots[i] = VoiceSlot{v.sounding && voice_get_position(v.voice) >= 0, v.priority, v.started};
  }
  const int priority = effect_priority(effect);
  const int slot = choose_voice_slot(std::span(slots.data(), effect_voice_count), priority);
  if (slot < 0) return;
  EffectVoice& v = effect_voices[slot];
  reallocate_voice(v.voice, static_cast<const SAMPLE*>(effects[effect].dat));
  voice_set_priority(v.voice, priority);
  voice_set_volume(v.voice, level_volume(EFFECT_VOLUME, sound_levels.effects));
  voice_set_pan(v.voice, effect_pan(x));
  voice_start(v.voice);
  v.sounding = true;
  v.paused = false;
  v.priority = priority;
  v.started = ++plays;
}

void stop_effects() {
  for (int i = 0; i < effect_voice_count; ++i) {
    voice_stop(effect_voices[i].voice);
    effect_voices[i].sounding = false;
    effect_voices[i].paused = false;
  }
}

// A stopped voice keeps its position, so starting it again goes on from there.
void pause_effects() {
  for (int i = 0; i < effect_voice_count; ++i) {
    EffectVoice& v = effect_voices[i];
    if (!v.sounding || v.paused || voice_get_position(v.voice) < 0) continue;
    voice_stop(v.voice);
    v.paused = true;
  }
}

void resume_effects() {
  for (int i = 0; i < effect_voice_count; ++i) {
    EffectVoice& v = effect_voices[i];
    if (!v.paused) continue;
    voice_start(v.voice);
    v.paused = false;
  }
}
