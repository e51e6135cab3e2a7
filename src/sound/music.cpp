// The music tracks: Ogg Vorbis files beside the game, read whole and
// checked, then decoded a little at a time from memory by libvorbisfile into
// one Allegro AUDIOSTREAM per track. A feeder
// thread of ours refills whichever stream plays, so the music goes on while
// the menus block in readkey. A paused track's stream keeps what it had
// queued, so playing it again continues exactly where it stopped.
#include <allegro.h>
#include <vorbis/vorbisfile.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "script/script.h"
#include "sound/sound_local.h"

namespace {

// 2048 frames are 46 ms at 44.1 kHz; Allegro queues a few such buffers, and
// the feeder looks every 10 ms, so a busy frame never starves the stream.
constexpr int STREAM_FRAMES = 2048;
constexpr auto FEED_PERIOD = std::chrono::milliseconds(10);
// The mixer never takes this voice for an effect (effects play below 255).
constexpr int MUSIC_PRIORITY = 255;

struct Track {
  std::string file_name;  // empty: no track
  int volume = 0;         // Allegro's voice volume (0..255)
  bool loops = true;      // else it plays once and then leaves silence
  OggVorbis_File decoder{};
  bool open = false;
  int channels = 0;
  AUDIOSTREAM* stream = nullptr;      // created stopped; runs while the track plays
  std::vector<std::uint8_t> bytes{};  // the whole file while the track is open
  MemorySource source{};
};

std::array<Track, MUSIC_TRACK_COUNT> tracks{{{""},
                                             {"menu.ogg", MENU_MUSIC_VOLUME},
                                             {"play.ogg", PLAY_MUSIC_VOLUME},
                                             {"", PLAY_MUSIC_VOLUME},
                                             {"", PLAY_MUSIC_VOLUME, false},
                                             {"", PLAY_MUSIC_VOLUME, false},
                                             {"", MENU_MUSIC_VOLUME}}};

// The mutex guards the decoders and the streams: the feeder thread fills,
// the shell's calls switch and rewind. Both hold it only briefly.
std::mutex music_lock;
std::atomic<int> playing{MUSIC_NONE};
std::atomic<bool> feeding{false};
std::thread feeder;

bool valid_track(MusicTrack track) {
  return track > MUSIC_NONE && track < MUSIC_TRACK_COUNT;
}

// A stopped stream for the track's format, on a voice no effect may take.
AUDIOSTREAM* make_stream(Track& t) {
  const vorbis_info* info = ov_info(&t.decoder, -1);
  AUDIOSTREAM* stream =
      play_audio_stream(STREAM_FRAMES, 16, t.channels == 2, static_cast<int>(info->rate),
                        level_volume(t.volume, sound_levels.music), MUSIC_PAN);
  if (!stream) return nullptr;
  voice_stop(stream->voice);
  voice_set_priority(stream->voice, MUSIC_PRIORITY);
  return stream;
}

// A track file read whole and decoded once as a check: "" with its bytes in
// *bytes when it plays, else why not. Takes no lock (decoding takes a while).
std::string read_checked_track(const std::string& name, std::vector<std::uint8_t>* bytes) {
  WholeFile file = read_whole_file(name.c_str(), MAX_TRACK_BYTES);
  if (!file.refusal.empty()) return file.refusal;
  if (!file.opened || file.error != 0) return "cannot read it";
  if (std::string why = check_track(file.bytes); !why.empty()) return why;
  *bytes = std::move(file.bytes);
  return {};
}

// Opens the track over its checked bytes, or says why there are none; on any
// failure the track stays closed and silent and one line says why.
void open_track(Track& t, std::vector<std::uint8_t> bytes, std::string why) {
  t.bytes = std::move(bytes);
  t.source = MemorySource{t.bytes};
  if (why.empty() && open_memory_track(t.source, &t.decoder) != 0) why = "cannot read it";
  if (!why.empty()) {
    std::fprintf(stderr, "Mirvo: no music from %s: %s\n", t.file_name.c_str(), why.c_str());
    std::vector<std::uint8_t>().swap(t.bytes);
    return;
  }
  t.channels = ov_info(&t.decoder, -1)->channels;
  t.open = true;
  t.stream = make_stream(t);
  if (!t.stream)
    std::fprintf(stderr, "Mirvo: no music from %s: no free voice\n", t.file_name.c_str());
}

void close_track(Track& t) {
  if (t.stream) stop_audio_stream(t.stream);
  t.stream = nullptr;
  if (t.open) ov_clear(&t.decoder);
  t.open = false;
  std::vector<std::uint8_t>().swap(t.bytes);
}

// Fills one stream buffer with the next decoded bytes. The end of a looping
// file wraps to its first sample inside the same buffer, which is what makes
// the loop seamless; a jingle's end, or a decoding error, is silence.
void fill(Track& t, std::uint8_t* buffer, int bytes) {
  int done = 0;
  bool wrapped = false;
  while (done < bytes) {
    int section = 0;
    // Unsigned 16-bit little-endian samples: what an Allegro SAMPLE holds.
    const long got = ov_read(&t.decoder, reinterpret_cast<char*>(buffer) + done, bytes - done, 0, 2,
                             0, &section);
    if (got > 0) {
      done += static_cast<int>(got);
      wrapped = false;
    } else if (got == 0 && t.loops && !wrapped && ov_pcm_seek(&t.decoder, 0) == 0) {
      wrapped = true;  // a second end in a row means an empty file
    } else {
      break;
    }
  }
  for (; done + 1 < bytes; done += 2) {
    buffer[done] = 0x00;
    buffer[done + 1] = 0x80;
  }
}

void feed_playing_track() {
  std::lock_guard hold(music_lock);
  Track& t = tracks[playing.load()];
  if (!t.stream) return;
  const int bytes = STREAM_FRAMES * t.channels * 2;
  while (void* buffer = get_audio_stream_buffer(t.stream)) {
    fill(t, static_cast<std::uint8_t*>(buffer), bytes);
    free_audio_stream_buffer(t.stream);
  }
}

void feed_until_released() {
  while (feeding.load()) {
    if (playing.load() != MUSIC_NONE) feed_playing_track();
    std::this_thread::sleep_for(FEED_PERIOD);
  }
}

}  // namespace

void load_music() {
  release_music();
  if (sound_ready() == 0) return;
  for (Track& t : tracks) {
    if (t.file_name.empty()) continue;
    std::vector<std::uint8_t> bytes;
    std::string why = read_checked_track(t.file_name, &bytes);
    open_track(t, std::move(bytes), std::move(why));
  }
  feeding.store(true);
  feeder = std::thread(feed_until_released);
}

void play_music(MusicTrack track) {
  if (!feeding.load()) return;
  std::lock_guard hold(music_lock);
  const int now = playing.load();
  if (track == now) return;
  if (tracks[now].stream) voice_stop(tracks[now].stream->voice);
  const int next = valid_track(track) ? track : MUSIC_NONE;
  if (tracks[next].stream) voice_start(tracks[next].stream->voice);
  playing.store(next);
}

// The stream is made anew, so not even what it had queued is heard again.
void rewind_music(MusicTrack track) {
  if (!feeding.load() || !valid_track(track)) return;
  std::lock_guard hold(music_lock);
  Track& t = tracks[track];
  if (!t.open) return;
  ov_pcm_seek(&t.decoder, 0);
  if (t.stream) stop_audio_stream(t.stream);
  t.stream = make_stream(t);
  if (t.stream && playing.load() == track) voice_start(t.stream->voice);
}

void release_music() {
  if (feeding.exchange(false)) feeder.join();
  std::lock_guard hold(music_lock);
  for (Track& t : tracks) close_track(t);
  playing.store(MUSIC_NONE);
}

// Closing and opening happen under the lock, so the feeder never reads a
// decoder that is being replaced; the new track starts from its beginning.
// The new file is read and checked before the lock, so the feeder goes on
// meanwhile: only this thread names files and starts or stops the feeder.
void choose_music(MusicTrack track, const std::string& file_name) {
  if (!valid_track(track)) return;
  Track& t = tracks[track];
  if (t.file_name == file_name) return;
  std::vector<std::uint8_t> bytes;
  const bool opens = feeding.load() && !file_name.empty();
  std::string why = opens ? read_checked_track(file_name, &bytes) : "";
  std::lock_guard hold(music_lock);
  close_track(t);
  t.file_name = file_name;
  if (!opens) return;  // load_music opens it once sound is ready
  open_track(t, std::move(bytes), std::move(why));
  if (t.stream && playing.load() == track) voice_start(t.stream->voice);
}
