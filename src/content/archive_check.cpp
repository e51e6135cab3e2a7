// The check every Allegro archive passes before Allegro reads it. Allegro's
// loader trusts each count and size it finds (a cut file sends it through a
// null pointer, a bad count makes it free memory twice), so this walks the
// whole file as Allegro would, with every read bounded, and accepts only the
// object types the game's archives hold.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "content/content.h"

namespace {

constexpr std::uint32_t id(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
         static_cast<std::uint32_t>(c) << 8 | static_cast<std::uint32_t>(d);
}

// The packfile's two magic numbers (whole file packed or not), then the archive's own.
constexpr std::uint32_t PACKED_MAGIC = id('s', 'l', 'h', '!');
constexpr std::uint32_t UNPACKED_MAGIC = id('s', 'l', 'h', '.');
constexpr std::uint32_t ARCHIVE_MAGIC = id('A', 'L', 'L', '.');
constexpr std::uint32_t PROPERTY = id('p', 'r', 'o', 'p');
constexpr std::uint32_t NESTED = id('F', 'I', 'L', 'E');
constexpr std::uint32_t BYTES = id('D', 'A', 'T', 'A');
constexpr std::uint32_t INFO = id('i', 'n', 'f', 'o');  // the archive tool's own notes
constexpr std::uint32_t PICTURE = id('B', 'M', 'P', ' ');
constexpr std::uint32_t FONT = id('F', 'O', 'N', 'T');
constexpr std::uint32_t SAMPLE = id('S', 'A', 'M', 'P');

// Limits far above what the game ships (at most 9 objects, 320 x 400 pictures,
// 95 glyphs of 13 rows, about 200 KB unpacked per archive) and far below what
// would exhaust memory when Allegro allocates what the headers promise.
constexpr int MAX_NESTING = 4;
constexpr std::size_t MAX_OBJECTS = 1024;
constexpr std::size_t MAX_UNPACKED_BYTES = 64u << 20;
constexpr unsigned MAX_PICTURE_SIDE = 4096;
constexpr unsigned MAX_GLYPH_SIDE = 256;
constexpr std::uint32_t MAX_GLYPHS = 65536;
constexpr std::uint32_t LAST_CODE_POINT = 0x10FFFF;

// A bounded reader of big-endian numbers. Every read is preceded by has().
struct Reader {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;

  std::size_t left() const { return bytes.size() - pos; }
  bool has(std::size_t n) const { return left() >= n; }
  std::uint32_t u8() { return bytes[pos++]; }
  std::uint32_t u16() {
    const std::uint32_t v = static_cast<std::uint32_t>(bytes[pos]) << 8 | bytes[pos + 1];
    pos += 2;
    return v;
  }
  std::uint32_t u32() {
    const std::uint32_t v = u16() << 16;
    return v | u16();
  }
  std::span<const std::uint8_t> take(std::size_t n) {
    const auto part = bytes.subspan(pos, n);
    pos += n;
    return part;
  }
};

// What the walk has spent so far, across nested archives and packed objects.
struct Budget {
  std::size_t objects = 0;
  std::size_t unpacked = 0;
};

std::string at(const Reader& r, const char* what) {
  char text[160];
  std::snprintf(text, sizeof text, "%s at byte %zu", what, r.pos);
  return text;
}

std::string type_name(std::uint32_t type) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>(type >> shift & 0xFF);
    name += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return name;
}

std::string check_object_list(Reader& r, int depth, Budget& budget);

bool printable(std::uint32_t type) {
  for (int shift = 24; shift >= 0; shift -= 8)
    if ((type >> shift & 0xFF) < 0x20 || (type >> shift & 0xFF) > 0x7E) return false;
  return true;
}

// 16-bit pictures of every depth Allegro writes: 8, 15, 16, 24, 32 and -32
// (with alpha). 24- and 32-bit pixels are stored as 3 bytes, RGBA as 4.
std::string check_picture(std::span<const std::uint8_t> payload) {
  Reader r{payload};
  if (!r.has(6)) return "a picture without its header";
  const auto depth = static_cast<std::int16_t>(r.u16());
  const std::uint32_t w = r.u16();
  const std::uint32_t h = r.u16();
  std::uint32_t pixel_bytes = 0;
  switch (depth) {
    case 8:
      pixel_bytes = 1;
      break;
    case 15:
    case 16:
      pixel_bytes = 2;
      break;
    case 24:
    case 32:
      pixel_bytes = 3;
      break;
    case -32:
      pixel_bytes = 4;
      break;
    default:
      return "a picture of colour depth " + std::to_string(depth);
  }
  if (w < 1 || h < 1 || w > MAX_PICTURE_SIDE || h > MAX_PICTURE_SIDE)
    return "a picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels";
  if (r.left() != std::size_t{w} * h * pixel_bytes) return "a picture whose pixels do not fit it";
  return {};
}

// Only the font form the game's font is in: ranges of 1-bit glyphs, each
// row padded to whole bytes.
std::string check_font(std::span<const std::uint8_t> payload) {
  Reader r{payload};
  if (!r.has(4) || r.u16() != 0) return "a font of an old or unknown form";
  const std::uint32_t ranges = r.u16();
  if (ranges < 1) return "a font without characters";
  std::uint32_t glyphs = 0;
  for (std::uint32_t k = 0; k < ranges; ++k) {
    if (!r.has(9) || r.u8() != 1) return "a font range that is not of 1-bit glyphs";
    const std::uint32_t first = r.u32();
    const std::uint32_t last = r.u32();
    if (first > last || last > LAST_CODE_POINT || last - first >= MAX_GLYPHS - glyphs)
      return "a font range of impossible characters";
    glyphs += last - first + 1;
    for (std::uint32_t c = first; c <= last; ++c) {
      if (!r.has(4)) return "a font cut short";
      const std::uint32_t w = r.u16();
      const std::uint32_t h = r.u16();
      if (w < 1 || h < 1 || w > MAX_GLYPH_SIDE || h > MAX_GLYPH_SIDE)
        return "a glyph of " + std::to_string(w) + " x " + std::to_string(h) + " pixels";
      const std::size_t bytes = (w + 7) / 8 * h;
      if (!r.has(bytes)) return "a font cut short";
      r.pos += bytes;
    }
  }
  if (r.left() != 0) return "a font with bytes after its last glyph";
  return {};
}

// 8- or 16-bit samples, mono or stereo (negative bits), whose frames fill the object.
std::string check_sample(std::span<const std::uint8_t> payload) {
  Reader r{payload};
  if (!r.has(8)) return "a sample without its header";
  const auto bits = static_cast<std::int16_t>(r.u16());
  const std::uint32_t rate = r.u16();
  const std::uint32_t frames = r.u32();
  const std::size_t channels = bits < 0 ? 2 : 1;
  const std::size_t sample_bytes = bits == 8 || bits == -8 ? 1 : bits == 16 || bits == -16 ? 2 : 0;
  if (sample_bytes == 0) return "a sample of " + std::to_string(bits) + " bits";
  if (rate == 0 || frames == 0) return "an empty sample";
  if (r.left() / (channels * sample_bytes) != frames || r.left() % (channels * sample_bytes) != 0)
    return "a sample whose frames do not fit it";
  return {};
}

std::string check_payload(std::uint32_t type, std::span<const std::uint8_t> payload, int depth,
                          Budget& budget) {
  switch (type) {
    case BYTES:
    case INFO:
      return {};
    case PICTURE:
      return check_picture(payload);
    case FONT:
      return check_font(payload);
    case SAMPLE:
      return check_sample(payload);
    case NESTED: {
      if (depth >= MAX_NESTING) return "archives nested too deep";
      Reader inner{payload};
      std::string error = check_object_list(inner, depth + 1, budget);
      if (error.empty() && inner.left() != 0) error = at(inner, "bytes after the last object");
      return error.empty() ? error : "in a nested archive: " + error;
    }
    default:
      return "an object of type \"" + type_name(type) + "\"";
  }
}

// The properties before an object: "prop", a type and a sized string each.
// Returns the object's type in *type.
std::string skip_properties(Reader& r, std::uint32_t* type) {
  for (;;) {
    if (!r.has(4)) return at(r, "an object cut short");
    *type = r.u32();
    if (*type != PROPERTY) return {};
    if (!r.has(8)) return at(r, "a property cut short");
    // Allegro loses a property of type -1 (its end of list): names are 4 letters.
    if (!printable(r.u32())) return at(r, "a property of an unprintable type");
    const std::uint32_t size = r.u32();
    if (!r.has(size)) return at(r, "a property longer than the archive");
    r.pos += size;
  }
}

// One object: its header, its (maybe packed) contents, their own check.
std::string check_object(Reader& r, int depth, Budget& budget) {
  std::uint32_t type = 0;
  if (std::string error = skip_properties(r, &type); !error.empty()) return error;
  if (!r.has(8)) return at(r, "an object header cut short");
  const std::size_t start = r.pos;
  const std::uint32_t stored = r.u32();
  const auto size = static_cast<std::int32_t>(r.u32());
  if (!r.has(stored)) return at(r, "an object longer than the archive");
  const auto raw = r.take(stored);
  std::vector<std::uint8_t> unpacked;
  std::span<const std::uint8_t> payload = raw;
  if (size < 0) {
    // A packed object: minus the size it unpacks to.
    const auto wanted = static_cast<std::size_t>(-static_cast<std::int64_t>(size));
    if (wanted > MAX_UNPACKED_BYTES - budget.unpacked)
      return at(r, "a packed object too large to unpack");
    budget.unpacked += wanted;
    // Allegro stops reading a packed object at its unpacked size and goes on
    // with the next header from there: the stream must end exactly then.
    std::size_t used = 0;
    unpacked = lzss_unpack(raw, wanted, &used);
    if (unpacked.size() != wanted) return at(r, "a packed object that unpacks short");
    if (used != raw.size()) return at(r, "a packed object with bytes after its stream");
    payload = unpacked;
  } else if (static_cast<std::uint32_t>(size) != stored) {
    return at(r, "an object whose two sizes differ");
  }
  if (std::string error = check_payload(type, payload, depth, budget); !error.empty()) {
    char where[40];
    std::snprintf(where, sizeof where, " at byte %zu", start);
    return error + where;
  }
  return {};
}

// A count, then that many objects; each object takes at least 12 bytes.
std::string check_object_list(Reader& r, int depth, Budget& budget) {
  if (!r.has(4)) return at(r, "no object count");
  const std::uint32_t count = r.u32();
  if (count > MAX_OBJECTS - budget.objects || count > r.left() / 12)
    return at(r, "more objects than the archive holds");
  budget.objects += count;
  for (std::uint32_t n = 0; n < count; ++n)
    if (std::string error = check_object(r, depth, budget); !error.empty()) return error;
  return {};
}

}  // namespace

std::vector<std::uint8_t> lzss_unpack(std::span<const std::uint8_t> packed, std::size_t limit,
                                      std::size_t* used) {
  constexpr std::size_t RING = 4096;
  std::array<std::uint8_t, RING> ring{};  // starts zeroed, as Allegro's does
  std::size_t r = RING - 18;
  std::vector<std::uint8_t> out;
  std::size_t in = 0;
  unsigned flags = 0;
  auto put = [&](std::uint8_t c) {
    out.push_back(c);
    ring[r] = c;
    r = (r + 1) & (RING - 1);
  };
  while (out.size() < limit) {
    flags >>= 1;
    if ((flags & 0x100) == 0) {
      if (in == packed.size()) break;
      flags = packed[in++] | 0xFF00u;  // the high byte counts the eight items
    }
    if (flags & 1) {
      if (in == packed.size()) break;
      put(packed[in++]);
      continue;
    }
    if (packed.size() - in < 2) break;
    const std::size_t low = packed[in++];
    const std::size_t high = packed[in++];
    const std::size_t from = low | (high & 0xF0) << 4;
    const std::size_t length = (high & 0x0F) + 3;
    for (std::size_t k = 0; k < length && out.size() < limit; ++k)
      put(ring[(from + k) & (RING - 1)]);
  }
  if (used != nullptr) *used = in;
  return out;
}

std::string check_archive(std::span<const std::uint8_t> bytes) {
  Reader file{bytes};
  if (!file.has(4)) return "not an Allegro archive: too short";
  const std::uint32_t magic = file.u32();
  if (magic != PACKED_MAGIC && magic != UNPACKED_MAGIC) return "not an Allegro archive";
  std::vector<std::uint8_t> unpacked;
  Reader r{bytes.subspan(4)};
  Budget budget;
  if (magic == PACKED_MAGIC) {
    // One more byte than allowed tells a stream that unpacks too far.
    unpacked = lzss_unpack(r.bytes, MAX_UNPACKED_BYTES + 1);
    if (unpacked.size() > MAX_UNPACKED_BYTES) return "a packed archive too large to unpack";
    budget.unpacked = unpacked.size();
    r = Reader{unpacked};
  }
  if (!r.has(4) || r.u32() != ARCHIVE_MAGIC) return "no archive header";
  std::string error = check_object_list(r, 0, budget);
  if (error.empty() && r.left() != 0) error = at(r, "bytes after the last object");
  // Positions count from the archive header, in the unpacked stream when packed.
  return error.empty() ? error : (magic == PACKED_MAGIC ? "unpacked, " : "") + error;
}
