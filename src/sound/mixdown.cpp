// The game's mix made offline: effects on the game's few voices, chosen as
// play_effect chooses them, panned and loud as Allegro's mixer plays them,
// over the level's track looping. Nothing here touches a sound device.
#include <algorithm>
#include <array>
#include <cmath>

#include "sound/sound_local.h"

namespace {

// Allegro's mixer gives a voice of volume `volume` at `pan` these gains: a
// centred voice sounds 6 dB below its sample on each side, one panned hard
// to a side at its sample's level there.
void pan_gains(int volume, int pan, float* left, float* right) {
  const float v = static_cast<float>(volume) / 255.0f;
  *left = v * static_cast<float>(255 - pan) / 255.0f;
  *right = v * static_cast<float>(pan) / 255.0f;
}

}  // namespace

OfflineMix::OfflineMix(std::span<const SoundClip> effects, int music_level, int effects_level,
                       int rate)
    : effects_(effects),
      music_volume_(level_volume(PLAY_MUSIC_VOLUME, music_level)),
      effect_volume_(level_volume(EFFECT_VOLUME, effects_level)),
      rate_(rate),
      voices_(MAX_EFFECT_VOICES) {}

// The voice is chosen at the tick's frame, once the earlier effects have
// played up to it: a short one may have ended there and freed its voice.
void OfflineMix::start_effect(SoundEffect effect, float x, int tick) {
  if (effect < 0 || effect >= static_cast<int>(effects_.size())) return;
  const SoundClip& clip = effects_[effect];
  if (clip.frames() == 0 || clip.rate <= 0) return;
  advance(tick);
  std::array<VoiceSlot, MAX_EFFECT_VOICES> slots{};
  for (std::size_t i = 0; i < voices_.size(); ++i)
    slots[i] = VoiceSlot{voices_[i].clip != nullptr, voices_[i].priority, voices_[i].started};
  const int priority = effect_priority(effect);
  const int slot = choose_voice_slot(std::span(slots.data(), voices_.size()), priority);
  if (slot < 0) return;
  Voice& v = voices_[static_cast<std::size_t>(slot)];
  v = Voice{&clip, 0.0, 0.0f, 0.0f, priority, ++plays_};
  pan_gains(effect_volume_, effect_pan(x), &v.left, &v.right);
}

// One effect per kind of event in the tick, as the play loop plays them.
void OfflineMix::start_world_events(int tick) {
  for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
    const WorldEvent& e = world_events[static_cast<std::size_t>(kind)];
    if (e.count > 0) start_effect(effect_for_event(kind), e.x, tick);
  }
}

void OfflineMix::start_music(const SoundClip* track, int tick, bool loops) {
  advance(tick);
  music_ = Voice{};
  music_loops_ = loops;
  if (track == nullptr || track->frames() == 0 || track->rate <= 0) return;
  music_.clip = track;
  pan_gains(music_volume_, MUSIC_PAN, &music_.left, &music_.right);
}

// Adds the voice into `mix` (stereo), stepping through its clip at the
// clip's own rate with linear interpolation, as Allegro's mixer does. An
// effect's voice is freed at its clip's end; the music wraps to its start.
void OfflineMix::add_voice(Voice& v, float* mix, long long frames, bool loop) const {
  const SoundClip& c = *v.clip;
  const auto count = static_cast<long long>(c.frames());
  const double step = static_cast<double>(c.rate) / rate_;
  const int stereo = c.channels == 2 ? 1 : 0;
  for (long long f = 0; f < frames; ++f) {
    if (v.position >= static_cast<double>(count)) {
      if (!loop) {
        v.clip = nullptr;
        return;
      }
      v.position -= static_cast<double>(count);
    }
    const auto i = static_cast<long long>(v.position);
    const long long next = i + 1 < count ? i + 1 : (loop ? 0 : i);
    const auto t = static_cast<float>(v.position - static_cast<double>(i));
    const std::int16_t* a = &c.samples[static_cast<std::size_t>(i * c.channels)];
    const std::int16_t* b = &c.samples[static_cast<std::size_t>(next * c.channels)];
    const float l = a[0] + (b[0] - a[0]) * t;
    const float r = a[stereo] + (b[stereo] - a[stereo]) * t;
    mix[2 * f] += l * v.left;
    mix[2 * f + 1] += r * v.right;
    v.position += step;
  }
}

void OfflineMix::advance(int tick) {
  const long long end = static_cast<long long>(tick) * rate_ / 100;
  const long long frames = end - written_;
  if (frames <= 0) return;
  scratch_.assign(static_cast<std::size_t>(frames * 2), 0.0f);
  if (music_.clip != nullptr) add_voice(music_, scratch_.data(), frames, music_loops_);
  for (Voice& v : voices_)
    if (v.clip != nullptr) add_voice(v, scratch_.data(), frames, false);
  // The voices add up; what goes past 16 bits clips, as in the game's mixer.
  for (const float s : scratch_)
    mixed_.push_back(static_cast<std::int16_t>(std::clamp(std::lround(s), -32768L, 32767L)));
  written_ = end;
}
