// A music track is read whole and decoded once, start to end, before it may
// play: libvorbisfile over a broken file could otherwise fail in the middle
// of a level. Both the check and the stream read the bytes from memory.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sound/sound_local.h"

namespace {

std::size_t read_memory(void* out, std::size_t size, std::size_t count, void* from) {
  auto& source = *static_cast<MemorySource*>(from);
  // libvorbisfile takes a short read with errno set for a failed one.
  errno = 0;
  if (size == 0) return 0;
  const std::size_t items = std::min(count, (source.bytes.size() - source.pos) / size);
  std::memcpy(out, source.bytes.data() + source.pos, items * size);
  source.pos += items * size;
  return items;
}

int seek_memory(void* from, ogg_int64_t offset, int whence) {
  auto& source = *static_cast<MemorySource*>(from);
  const auto size = static_cast<ogg_int64_t>(source.bytes.size());
  ogg_int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(source.pos);
  if (whence == SEEK_END) base = size;
  if (offset < -base || offset > size - base) return -1;
  source.pos = static_cast<std::size_t>(base + offset);
  return 0;
}

long tell_memory(void* from) {
  return static_cast<long>(static_cast<MemorySource*>(from)->pos);
}

// The whole stream decoded once: 16-bit frames counted, any error refused.
std::string check_decoder(OggVorbis_File& decoder) {
  if (ov_streams(&decoder) != 1) return "more than one stream";
  const vorbis_info* info = ov_info(&decoder, -1);
  if (info == nullptr) return "no stream header";
  if (info->channels < 1 || info->channels > 2) return std::to_string(info->channels) + " channels";
  if (info->rate < 8000 || info->rate > 192000)
    return "a rate of " + std::to_string(info->rate) + " Hz";
  const long long most_frames = 3600LL * info->rate;
  std::array<char, 8192> scratch;
  long long frames = 0;
  for (;;) {
    int section = 0;
    const long got = ov_read(&decoder, scratch.data(), scratch.size(), 0, 2, 1, &section);
    if (got == 0) break;
    if (got < 0 || section != 0) return "it does not decode";
    frames += got / (2 * info->channels);
    if (frames > most_frames) return "longer than an hour";
  }
  if (frames == 0) return "no sound in it";
  // The loop goes back to the first sample at every end.
  return ov_pcm_seek(&decoder, 0) == 0 ? "" : "its start cannot be found again";
}

}  // namespace

int open_memory_track(MemorySource& source, OggVorbis_File* decoder) {
  const ov_callbacks callbacks{read_memory, seek_memory, nullptr, tell_memory};
  source.pos = 0;
  return ov_open_callbacks(&source, decoder, nullptr, 0, callbacks);
}

std::string check_track(std::span<const std::uint8_t> bytes) {
  MemorySource source{bytes};
  OggVorbis_File decoder;
  const int status = open_memory_track(source, &decoder);
  if (status != 0) return status == OV_ENOTVORBIS ? "not an Ogg Vorbis file" : "cannot read it";
  std::string why = check_decoder(decoder);
  ov_clear(&decoder);
  return why;
}

DecodedTrack decode_track(std::span<const std::uint8_t> bytes) {
  DecodedTrack out;
  out.error = check_track(bytes);
  if (!out.error.empty()) return out;
  MemorySource source{bytes};
  OggVorbis_File decoder;
  if (open_memory_track(source, &decoder) != 0) {
    out.error = "cannot read it";
    return out;
  }
  out.clip.channels = ov_info(&decoder, -1)->channels;
  out.clip.rate = static_cast<int>(ov_info(&decoder, -1)->rate);
  std::array<char, 8192> chunk;
  for (;;) {
    int section = 0;
    // Signed 16-bit little-endian, as the clip holds them.
    const long got = ov_read(&decoder, chunk.data(), chunk.size(), 0, 2, 1, &section);
    if (got <= 0) break;
    const std::size_t at = out.clip.samples.size();
    out.clip.samples.resize(at + static_cast<std::size_t>(got) / 2);
    std::memcpy(out.clip.samples.data() + at, chunk.data(), static_cast<std::size_t>(got / 2 * 2));
  }
  ov_clear(&decoder);
  return out;
}
