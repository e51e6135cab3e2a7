// The archive check that runs before Allegro reads any archive: every shipped
// archive passes, packed ones too (Allegro's own tool packs them), and each
// broken header or size is refused with its reason.
#include <allegro.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "content/content.h"
#include "script/script.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void start_allegro_once() {
  static const bool started = install_allegro(SYSTEM_NONE, &errno, atexit) == 0;
  ASSERT_TRUE(started);
}

std::string game_file(const std::string& name) {
  return std::string(MIRVO_GAME_DIR) + "/" + name;
}

// Big-endian numbers of `width` bytes, then `tail` copies of `fill`.
Bytes be(std::initializer_list<std::uint32_t> values, int width = 4, std::size_t tail = 0,
         std::uint8_t fill = 0x7F) {
  Bytes b;
  for (std::uint32_t v : values)
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) b.push_back(v >> shift & 0xFF);
  b.insert(b.end(), tail, fill);
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr std::uint32_t id(const char (&s)[5]) {
  return std::uint32_t(s[0]) << 24 | std::uint32_t(s[1]) << 16 | std::uint32_t(s[2]) << 8 | s[3];
}

// A count, then each object (type, payload, size: 0 for the payload's own,
// negative for packed) after a one-letter name property.
struct Object {
  std::uint32_t type;
  Bytes payload;
  std::int32_t size = 0;
};
Bytes object_list(const std::vector<Object>& objects) {
  Bytes b = be({static_cast<std::uint32_t>(objects.size())});
  for (const Object& o : objects) {
    const auto stored = static_cast<std::uint32_t>(o.payload.size());
    b = b + be({id("prop"), id("NAME"), 1}, 4, 1, 'X') +
        be({o.type, stored, o.size != 0 ? static_cast<std::uint32_t>(o.size) : stored}) + o.payload;
  }
  return b;
}
Bytes archive(const std::vector<Object>& objects, std::uint32_t magic = id("slh.")) {
  return be({magic, id("ALL.")}) + object_list(objects);
}

Bytes picture(int depth, int w, int h, std::size_t pixel_bytes) {
  return be({static_cast<std::uint32_t>(depth) & 0xFFFF, std::uint32_t(w), std::uint32_t(h)}, 2,
            pixel_bytes);
}
// One range of 1-bit glyphs, 2 x 3 each (a byte per row); at most 200 written.
Bytes font(std::uint8_t flag, std::uint32_t first, std::uint32_t last) {
  Bytes b = be({0, 1}, 2) + Bytes{flag} + be({first, last});
  for (std::uint32_t c = first; c <= last && c < first + 200; ++c) b = b + be({2, 3}, 2, 3, 0xC0);
  return b;
}
Bytes sample(int bits, std::uint32_t frames, std::size_t data_bytes) {
  return be({static_cast<std::uint32_t>(bits) & 0xFFFF, 22050}, 2) + be({frames}, 4, data_bytes);
}
Bytes nested(int depth) {
  Bytes inner = object_list({{id("DATA"), {1, 2, 3}}});
  for (int i = 1; i < depth; ++i) inner = object_list({{id("FILE"), inner}});
  return inner;
}

TEST(ArchiveCheck, EachHeaderAndSizeIsCheckedAsAllegroWouldReadIt) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* refusal;  // "" when the archive passes
  };
  Bytes overcount = archive({{id("DATA"), {1}}});
  overcount[11] = 200;  // says 200 objects
  // Literals only: a flags byte of ones before each eight bytes.
  Bytes packed_header{'s', 'l', 'h', '!', 0xFF, 'A', 'L', 'L', '.', 0, 0, 0, 0};
  const std::vector<Case> cases = {
      {"every type the game uses",
       archive({{id("DATA"), {}},
                {id("info"), {9}},
                {id("BMP "), picture(32, 2, 2, 12)},
                {id("BMP "), picture(-32, 1, 3, 12)},
                {id("FONT"), font(1, 32, 126)},
                {id("SAMP"), sample(16, 3, 6)},
                {id("SAMP"), sample(-8, 3, 6)}}),
       ""},
      {"nested four deep", archive({{id("FILE"), nested(4)}}), ""},
      {"packed, header only", packed_header, ""},
      {"a packed object", archive({{id("DATA"), {0x07, 'a', 'b', 'c'}, -3}}), ""},
      {"no magic", archive({}, id("slh?")), "not an Allegro archive"},
      {"no header", Bytes{'s', 'l', 'h', '.', 'A', 'L', 'L'}, "no archive header"},
      {"count past the end", overcount, "more objects than the archive holds"},
      {"nested five deep", archive({{id("FILE"), nested(5)}}), "nested too deep"},
      {"trailing bytes", archive({{id("DATA"), {1}}}) + Bytes{0},
       "bytes after the last object at byte 34"},
      {"a property past the end", be({id("slh."), id("ALL."), 1, id("prop"), id("NAME"), 1000}),
       "a property longer than the archive"},
      {"a property of type -1", be({id("slh."), id("ALL."), 1, id("prop"), 0xFFFFFFFF, 0}),
       "unprintable type"},
      {"an unknown type", archive({{id("MIDI"), {0, 1}}}), "an object of type \"MIDI\""},
      {"sizes differ", archive({{id("DATA"), {1, 2}, 5}}), "two sizes differ"},
      {"packed with a tail", archive({{id("DATA"), {0x07, 'a', 'b', 'c', 0}, -3}}),
       "after its stream"},
      {"packed short", archive({{id("DATA"), {0x07, 'a', 'b', 'c'}, -4}}), "unpacks short"},
      {"packed too large", archive({{id("DATA"), {0xFF}, -0x7FFFFFFF}}), "too large to unpack"},
      {"pixels short", archive({{id("BMP "), picture(32, 2, 2, 11)}}), "pixels do not fit"},
      {"depth 7", archive({{id("BMP "), picture(7, 2, 2, 4)}}), "colour depth 7"},
      {"an empty picture", archive({{id("BMP "), picture(32, 0, 5, 0)}}), "0 x 5 pixels"},
      {"a huge picture", archive({{id("BMP "), picture(8, 65535, 1, 65535)}}), "65535 x 1 pixels"},
      {"colour glyphs", archive({{id("FONT"), font(8, 32, 40)}}), "not of 1-bit glyphs"},
      {"a backward range", archive({{id("FONT"), font(1, 40, 32)}}), "impossible characters"},
      {"a range past Unicode", archive({{id("FONT"), font(1, 0x110000, 0x110000)}}), "impossible"},
      {"glyphs cut short", archive({{id("FONT"), font(1, 32, 300)}}), "a font cut short"},
      {"12-bit sound", archive({{id("SAMP"), sample(12, 3, 6)}}), "12 bits"},
      {"frames short", archive({{id("SAMP"), sample(16, 4, 6)}}), "frames do not fit"},
      {"no frames", archive({{id("SAMP"), sample(16, 0, 0)}}), "an empty sample"},
  };
  for (const Case& c : cases) {
    const std::string error = check_archive(c.bytes);
    EXPECT_TRUE(*c.refusal != '\0' ? error.find(c.refusal) != std::string::npos : error.empty())
        << c.what << ": " << error;
  }
}

TEST(ArchiveCheck, UnpacksOverlappingCopiesFromTheZeroedRing) {
  // "ab", then 3 bytes from ring position 4078 (where the first byte went),
  // then 4 from 4000, still zero.
  const Bytes packed{0x03, 'a', 'b', 0xEE, 0xF0, 0xA0, 0xF1};
  EXPECT_EQ(lzss_unpack(packed, 100), (Bytes{'a', 'b', 'a', 'b', 'a', 0, 0, 0, 0}));
  EXPECT_EQ(lzss_unpack(packed, 4), (Bytes{'a', 'b', 'a', 'b'}));
  EXPECT_EQ(lzss_unpack(Bytes{0x00, 0xEE}, 100), Bytes{}) << "half a reference ends the stream";
}

// Allegro's own tool packs each object (-c1) or the whole file (-c2); both
// pass and load to the same pictures as the unpacked file.
TEST(ArchiveCheck, ShippedArchivesPassPackedOrNot) {
  start_allegro_once();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "mirvo_archive_test";
  std::filesystem::create_directories(dir);
  for (const char* name : {"data.dat", "dart.dat", "boss.dat", "tileset1.dat", "sound.dat"}) {
    std::string why;
    DATAFILE* plain = load_checked_datafile(game_file(name).c_str(), &why);
    ASSERT_NE(plain, nullptr) << name << ": " << why;
    for (const char* packing : {"-c1", "-c2"}) {
      const std::filesystem::path packed = dir / (std::string(packing) + name);
      std::filesystem::copy_file(game_file(name), packed,
                                 std::filesystem::copy_options::overwrite_existing);
      const std::string command =
          std::string(MIRVO_DAT) + " " + packing + " -w " + packed.string() + " > /dev/null";
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      const WholeFile file = read_whole_file(packed.c_str(), MAX_ARCHIVE_BYTES);
      ASSERT_NE(file.bytes.size(), std::filesystem::file_size(game_file(name))) << "not packed";
      DATAFILE* data = load_checked_archive(file.bytes, &why);
      ASSERT_NE(data, nullptr) << packing << " " << name << ": " << why;
      for (int i = 0; plain[i].type != DAT_END; ++i) {
        ASSERT_EQ(data[i].type, plain[i].type) << name << " object " << i;
        if (plain[i].type != DAT_BITMAP) continue;
        auto* a = static_cast<BITMAP*>(plain[i].dat);
        auto* b = static_cast<BITMAP*>(data[i].dat);
        ASSERT_TRUE(a->w == b->w && a->h == b->h);
        for (int y = 0; y < a->h; ++y)
          for (int x = 0; x < a->w; ++x) ASSERT_EQ(getpixel(a, x, y), getpixel(b, x, y));
      }
      unload_datafile(data);
    }
    unload_datafile(plain);
  }
  std::filesystem::remove_all(dir);
  std::string why;
  EXPECT_EQ(load_checked_datafile(game_file("no_such.dat").c_str(), &why), nullptr);
  EXPECT_EQ(why, "missing or unreadable");
}

}  // namespace
