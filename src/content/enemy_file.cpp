// The enemy definition file (".eif"): a pure parser over its bytes and the
// serializer that writes the same bytes back. Nothing here touches Allegro or
// the world tables; load_enemy_types turns a parsed file into enemy_types.
//
// Layout: a reserved byte, the type count N, then N type records of
// health, start step, death step, a 16-byte datafile name padded with spaces,
// the step count M and M nine-byte steps (next, duration, frame, flags u16,
// offset x s16, offset y s16). Multi-byte fields are big-endian.
#include <cstdarg>
#include <cstdio>

#include "content/content.h"
#include "world/world.h"

namespace {

constexpr int STEP_SIZE = 9;
constexpr std::uint8_t NO_NEXT_STEP = 255;  // stored as -1

std::string format_message(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Reads forward through the file's bytes; every read first checks that the
// bytes are there, so a short file can never be read past its end.
struct ByteReader {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;

  bool has(std::size_t count) const { return bytes.size() - pos >= count; }
  std::uint8_t u8() { return bytes[pos++]; }
  std::uint16_t u16() {
    std::uint16_t value = static_cast<std::uint16_t>(bytes[pos] << 8 | bytes[pos + 1]);
    pos += 2;
    return value;
  }
};

// The name is the text up to the first space or NUL. A line feed anywhere in
// the field is refused: the game once read the field as a text line, which
// stopped at the line feed and shifted everything after it.
std::string read_name_field(ByteReader& in, int type, const char* path, std::string& error) {
  std::string name;
  bool ended = false;
  for (int i = 0; i < ENEMY_NAME_SIZE; ++i) {
    char c = static_cast<char>(in.u8());
    if (c == '\n') {
      error = format_message(
          "Error: the datafile name of enemy %d in \"%s\" contains a line feed\n", type, path);
      return name;
    }
    if (c == ' ' || c == '\0') ended = true;
    if (!ended) name.push_back(c);
  }
  if (name.empty())
    error = format_message("Error: enemy %d in \"%s\" names no datafile\n", type, path);
  return name;
}

std::string early_end(const char* path, const char* what, int type) {
  return format_message("Error: \"%s\" ends early (in the %s of enemy %d)\n", path, what, type);
}

std::string read_steps(ByteReader& in, int type, int count, const char* path,
                       std::vector<EnemyStepRecord>& steps) {
  for (int j = 0; j < count; ++j) {
    if (!in.has(STEP_SIZE)) {
      return format_message("Error: \"%s\" ends early (in step %d of enemy %d)\n", path, j, type);
    }
    EnemyStepRecord step;
    std::uint8_t next = in.u8();
    step.next = next == NO_NEXT_STEP ? -1 : next;
    step.duration = in.u8();
    step.frame = in.u8();
    step.flags = in.u16();
    step.offset_x = static_cast<std::int16_t>(in.u16());
    step.offset_y = static_cast<std::int16_t>(in.u16());
    if (step.next >= count) {
      return format_message(
          "Error: step %d of enemy %d in \"%s\" goes on to step %d, but the enemy has only %d "
          "steps\n",
          j, type, path, step.next, count);
    }
    steps.push_back(step);
  }
  return {};
}

// One type record; returns the error text, empty when the record is sound.
std::string read_type(ByteReader& in, int type, const char* path, EnemyTypeRecord& record) {
  if (!in.has(3 + ENEMY_NAME_SIZE + 1)) return early_end(path, "record", type);
  record.health = in.u8();
  record.start_anim = in.u8();
  record.death_anim = in.u8();
  std::string error;
  record.datafile = read_name_field(in, type, path, error);
  if (!error.empty()) return error;
  int count = in.u8();
  if (count > MAX_ANIMATIONS) {
    return format_message("Error: enemy %d in \"%s\" has %d animation steps; at most %d fit\n",
                          type, path, count, MAX_ANIMATIONS);
  }
  if (record.start_anim >= count) {
    return format_message("Error: enemy %d in \"%s\" starts in step %d, but has only %d steps\n",
                          type, path, record.start_anim, count);
  }
  if (record.death_anim >= count) {
    return format_message("Error: enemy %d in \"%s\" dies into step %d, but has only %d steps\n",
                          type, path, record.death_anim, count);
  }
  return read_steps(in, type, count, path, record.steps);
}

void put_u16(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
  out.push_back(static_cast<std::uint8_t>(value & 0xff));
}

}  // namespace

EnemyFile parse_enemy_file(std::span<const std::uint8_t> bytes, const char* path, int max_types) {
  EnemyFile file;
  ByteReader in{bytes};
  if (!in.has(2)) {
    file.error = format_message("Error: \"%s\" ends early (in its first two bytes)\n", path);
    return file;
  }
  file.reserved = in.u8();
  int count = in.u8();
  if (count > max_types) {
    file.error = format_message("Error: \"%s\" defines %d enemy types; at most %d fit\n", path,
                                count, max_types);
    return file;
  }
  for (int k = 0; k < count; ++k) {
    EnemyTypeRecord record;
    file.error = read_type(in, k, path, record);
    if (!file.error.empty()) {
      file.types.clear();
      return file;
    }
    file.types.push_back(std::move(record));
  }
  // Bytes after the last record were never read by the game; they are ignored.
  return file;
}

std::vector<std::uint8_t> serialize_enemy_file(const EnemyFile& file) {
  std::vector<std::uint8_t> out;
  out.push_back(file.reserved);
  out.push_back(static_cast<std::uint8_t>(file.types.size()));
  for (const EnemyTypeRecord& type : file.types) {
    out.push_back(static_cast<std::uint8_t>(type.health));
    out.push_back(static_cast<std::uint8_t>(type.start_anim));
    out.push_back(static_cast<std::uint8_t>(type.death_anim));
    std::string field = type.datafile.substr(0, ENEMY_NAME_SIZE);
    field.resize(ENEMY_NAME_SIZE, ' ');
    out.insert(out.end(), field.begin(), field.end());
    out.push_back(static_cast<std::uint8_t>(type.steps.size()));
    for (const EnemyStepRecord& step : type.steps) {
      out.push_back(step.next < 0 ? NO_NEXT_STEP : static_cast<std::uint8_t>(step.next));
      out.push_back(static_cast<std::uint8_t>(step.duration));
      out.push_back(static_cast<std::uint8_t>(step.frame));
      put_u16(out, step.flags);
      put_u16(out, step.offset_x);
      put_u16(out, step.offset_y);
    }
  }
  return out;
}
