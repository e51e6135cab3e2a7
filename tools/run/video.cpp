// --video: a recording played twice, headless. The first pass mixes its
// sound offline (the runner has no sound device) into a temporary WAV; the
// second draws every second tick with the game's software renderer, doubled,
// and streams the frames to ffmpeg, which joins them to the sound.
#include <allegro.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "render/render.h"
#include "run/cli.h"
#include "run/video.h"
#include "script/script.h"
#include "sound/sound.h"

namespace runcli {

namespace {

// 50 pictures a second of the 100-tick world, each doubled to 640 x 800.
constexpr int VIDEO_FPS = 50;
constexpr int TICKS_PER_FRAME = TICKS_PER_SECOND / VIDEO_FPS;
constexpr int VIDEO_W = 2 * PLAYFIELD_W;
constexpr int VIDEO_H = 2 * PLAYFIELD_H;

using clock = std::chrono::steady_clock;

// Allegro keeps samples unsigned, 8 or 16 bits; the mix takes them signed.
SoundClip sample_clip(const SAMPLE& s) {
  SoundClip clip;
  clip.channels = s.stereo != 0 ? 2 : 1;
  clip.rate = s.freq;
  const std::size_t count = s.len * static_cast<std::size_t>(clip.channels);
  clip.samples.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const int v = s.bits == 8 ? (static_cast<const std::uint8_t*>(s.data)[i] - 128) * 256
                              : static_cast<const std::uint16_t*>(s.data)[i] - 32768;
    clip.samples[i] = static_cast<std::int16_t>(v);
  }
  return clip;
}

// The effects of "sound.dat", or silent ones with one line saying why.
std::vector<SoundClip> load_effects() {
  std::vector<SoundClip> clips(SOUND_EFFECT_COUNT);
  DATAFILE* data = load_checked_datafile("sound.dat");
  const std::string problem = sound_data_problem(data);
  if (problem.empty()) {
    for (int i = 0; i < SOUND_EFFECT_COUNT; ++i)
      clips[static_cast<std::size_t>(i)] = sample_clip(*static_cast<const SAMPLE*>(data[i].dat));
  } else {
    std::fprintf(stderr, "mirvo-run: the video has no effects: \"sound.dat\": %s\n",
                 problem.c_str());
  }
  if (data != nullptr) unload_datafile(data);
  return clips;
}

// Each level's track decoded once; a missing or broken one is silence and one line.
class Tracks {
 public:
  const SoundClip* track(const std::string& name) {
    if (name.empty()) return nullptr;  // a level without music
    auto found = decoded_.find(name);
    if (found == decoded_.end()) {
      const WholeFile file = read_whole_file(name.c_str(), MAX_TRACK_BYTES);
      DecodedTrack t =
          file.error == 0 ? decode_track(file.bytes) : DecodedTrack{{}, whole_file_problem(file)};
      if (!t.error.empty())
        std::fprintf(stderr, "mirvo-run: no music from %s: %s\n", name.c_str(), t.error.c_str());
      found = decoded_.emplace(name, std::move(t)).first;
    }
    return found->second.error.empty() ? &found->second.clip : nullptr;
  }

 private:
  std::map<std::string, DecodedTrack> decoded_;
};

// Percent of ticks on standard error, a few times a second, only when it is
// a terminal: a log gets the closing line alone.
class ProgressBar {
 public:
  explicit ProgressBar(int total) : total_(total), shown_(isatty(STDERR_FILENO) != 0) {}
  void show(int tick) {
    if (!shown_ || (clock::now() < next_ && tick < total_)) return;
    next_ = clock::now() + std::chrono::milliseconds(250);
    const int percent = total_ > 0 ? static_cast<int>(100LL * tick / total_) : 100;
    char bar[41];
    for (int i = 0; i < 40; ++i) bar[i] = i < percent * 40 / 100 ? '#' : '.';
    bar[40] = '\0';
    std::fprintf(stderr, "\rvideo [%s] %3d%%  %s of %s", bar, percent, game_time(tick).c_str(),
                 game_time(total_).c_str());
    std::fflush(stderr);
  }
  void close() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
  }

 private:
  int total_;
  bool shown_;
  clock::time_point next_{};
};

// The recording played from its start as --replay plays it:
// `each(tick, track, file)` after the start (tick 0) and after every tick,
// with the track the game would start from its beginning there (a level's
// own at its start or a continue, its boss track at the warning, a jingle)
// and its file, or MUSIC_NONE when the music goes on; false stops.
template <typename Each>
void play_recording(const RunSettings& settings, const Recording& rec, Each each) {
  const Campaign campaign = run_campaign(settings);
  CampaignProgress progress;
  start_game(campaign, progress, rec.seed, rec.start_tick);
  RecordingCursor cursor;
  const auto level = [&]() -> const CampaignLevel& {
    return campaign.levels[static_cast<std::size_t>(progress.level)];
  };
  bool boss_warned = false;
  MusicTrack heard = level_track(campaign.rules, level(), progress.cleared, boss_warned);
  if (!each(0, heard, level_track_file(heard, level()))) return;
  for (int tick = 1; tick <= rec.ticks; ++tick) {
    const int bits = next_input(rec, cursor);
    if (bits < 0) return;
    const CampaignLevel& before = level();
    // The tick's events are what the mix hears of it.
    clear_world_events();
    const bool started = replay_tick(campaign, progress, bits);
    // A new level with another track, or a continue, starts over as in the game.
    bool again = (bits & INPUT_CONTINUE) != 0 || (started && level().music != before.music);
    if (started || (bits & INPUT_CONTINUE) != 0) boss_warned = false;
    const MusicTrack now = level_track(campaign.rules, level(), progress.cleared, boss_warned);
    again = again || now != heard;
    heard = now;
    if (!each(tick, again ? now : MUSIC_NONE, level_track_file(now, level()))) return;
  }
}

// The first pass: the run's sound, as the game would have played it, into `wav`.
std::string mix_sound(const RunSettings& settings, const Recording& rec, WavWriter& wav) {
  const std::vector<SoundClip> effects = load_effects();
  Tracks tracks;
  OfflineMix mix(effects);
  if (std::string why = wav.open(mix.rate()); !why.empty()) return why;
  play_recording(settings, rec, [&](int tick, MusicTrack track, const char* file) {
    // The jingles play once; every other track loops.
    const bool loops = track != MUSIC_CLEAR && track != MUSIC_GAME_OVER;
    if (track != MUSIC_NONE) mix.start_music(tracks.track(file), tick, loops);
    if (tick > 0) mix.start_world_events(tick);
    if (mix.mixed().size() >= 1u << 16) wav.write(mix.mixed());
    return true;
  });
  mix.advance(rec.ticks);
  wav.write(mix.mixed());
  return wav.finish();
}

// The second pass: frame k shows the world after tick 2k, so the video
// lasts as long as the sound, and a sound starts with the picture of its tick.
std::string encode_pictures(const Options& o, const RunSettings& settings, const Recording& rec,
                            const std::string& wav) {
  BITMAP* doubled = create_bitmap_ex(32, VIDEO_W, VIDEO_H);
  if (doubled == nullptr) return "no memory for a frame";
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(VIDEO_W) * VIDEO_H * 4);
  Encoder encoder;
  std::string why = encoder.start(o.video_file, wav, VIDEO_W, VIDEO_H, VIDEO_FPS);
  ProgressBar progress(rec.ticks);
  // The corner shows the frames per second the video plays at.
  fps.store(VIDEO_FPS);
  if (why.empty()) {
    play_recording(settings, rec, [&](int tick, MusicTrack, const char*) {
      progress.show(tick);
      if (tick % TICKS_PER_FRAME != 0 || tick >= rec.ticks) return true;
      draw_world_frame();
      stretch_blit(back_buffer, doubled, 0, 0, PLAYFIELD_W, PLAYFIELD_H, 0, 0, VIDEO_W, VIDEO_H);
      for (int y = 0; y < VIDEO_H; ++y)
        std::memcpy(&frame[static_cast<std::size_t>(y) * VIDEO_W * 4], doubled->line[y],
                    VIDEO_W * 4);
      if (encoder.write(frame.data(), frame.size())) return true;
      why = "ffmpeg stopped reading the frames";
      return false;
    });
    progress.close();
    // The world is exact: a replay that ends elsewhere was made with other rules or files.
    if (why.empty() && rec.final_hash != 0 && world_hash() != rec.final_hash)
      std::fprintf(stderr, "mirvo-run: the video's run did not end as the recording did\n");
    const std::string ended = encoder.finish();
    if (why.empty() || !ended.empty()) why = ended.empty() ? why : ended;
  }
  destroy_bitmap(doubled);
  return why;
}

}  // namespace

int make_video(const Options& o, const RunSettings& settings, const Recording& rec) {
  if (!ffmpeg_installed()) {
    std::fprintf(stderr, "mirvo-run: --video needs ffmpeg, which is not installed\n");
    return 1;
  }
  const auto start = clock::now();
  WavWriter wav;
  std::string why = mix_sound(settings, rec, wav);
  if (why.empty()) why = encode_pictures(o, settings, rec, wav.path());
  wav.remove();
  if (!why.empty()) {
    std::fprintf(stderr, "mirvo-run: cannot make %s: %s\n", o.video_file.c_str(), why.c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(clock::now() - start).count();
  std::printf("video: %s, %d frames at %d fps (%s of play) made in %.1f s\n", o.video_file.c_str(),
              (rec.ticks + TICKS_PER_FRAME - 1) / TICKS_PER_FRAME, VIDEO_FPS,
              game_time(rec.ticks).c_str(), seconds);
  return 0;
}

}  // namespace runcli
