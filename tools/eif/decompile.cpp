// An EnemyFile back to TOML that compiles to the same bytes: steps get the
// names "step0", "step1", ... and every reference uses them; flag bits
// without a name are written as a number beside the named ones.
#include <cstdio>
#include <string>

#include "eif/eif.h"

namespace {

// Length of the well-formed UTF-8 sequence starting at s[i], or 0.
std::size_t utf8_sequence(const std::string& s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) return 1;
  std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (length == 0 || c > 0xF4 || i + length > s.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  const unsigned char second = byte(i + 1);
  // Overlong forms, surrogates and code points past U+10FFFF.
  if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) ||
      (c == 0xF0 && second < 0x90) || (c == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

bool is_utf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    std::size_t length = utf8_sequence(s, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string toml_string(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A name that is not UTF-8 has no TOML string; it is written byte by byte.
std::string datafile_line(const std::string& name) {
  if (is_utf8(name)) return "datafile = " + toml_string(name) + "\n";
  std::string out = "datafile_bytes = [";
  for (std::size_t i = 0; i < name.size(); ++i) {
    out += (i ? ", " : "") + std::to_string(static_cast<unsigned char>(name[i]));
  }
  return out + "]\n";
}

std::string step_name(int j) {
  return j < 0 ? "end" : "step" + std::to_string(j);
}

std::string flags_line(int flags) {
  std::string items;
  int rest = flags;
  for (const EifFlagName& flag : EIF_FLAG_NAMES) {
    if (!(flags & flag.bit)) continue;
    items += (items.empty() ? "\"" : ", \"") + std::string(flag.name) + "\"";
    rest &= ~flag.bit;
  }
  if (rest != 0) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%04X", rest);
    items += (items.empty() ? "" : ", ") + std::string(number);
  }
  return "flags = [" + items + "]\n";
}

std::string step_text(const EnemyStepRecord& step, int j) {
  std::string out = "\n[[enemy.step]]\n";
  out += "name = \"" + step_name(j) + "\"\n";
  out += "next = \"" + step_name(step.next) + "\"\n";
  out += "duration = " + std::to_string(step.duration) + "\n";
  out += "frame = " + std::to_string(step.frame) + "\n";
  if (step.flags != 0) out += flags_line(step.flags);
  if (step.offset_x != 0 || step.offset_y != 0) {
    out +=
        "offset = [" + std::to_string(step.offset_x) + ", " + std::to_string(step.offset_y) + "]\n";
  }
  return out;
}

}  // namespace

std::string decompile_enemy_file(const EnemyFile& file, const std::string& eif_name,
                                 const EnemyExtras& extras) {
  std::string out = "# Enemy definitions of \"" + eif_name + "\", printed by mirvo-eif.\n";
  if (file.reserved != 0) {
    out += "\n# The first byte of the file, unused by the game.\nreserved = " +
           std::to_string(file.reserved) + "\n";
  }
  for (std::size_t k = 0; k < file.types.size(); ++k) {
    const EnemyTypeRecord& type = file.types[k];
    out += "\n# Enemy type " + std::to_string(k + 1) +
           (k == 0 ? "; its animation also drives the level director.\n" : ".\n");
    out += "[[enemy]]\n";
    const EnemyTypeExtras more = k < extras.types.size() ? extras.types[k] : EnemyTypeExtras{};
    if (!more.name.empty()) out += "name = " + toml_string(more.name) + "\n";
    if (more.boss) out += "boss = true\n";
    if (more.score != ENEMY_SCORE) out += "score = " + std::to_string(more.score) + "\n";
    if (more.drop != 0) {
      out += "drop = " + toml_string(std::string(ITEM_KIND_NAMES[more.drop - 1])) + "\n";
      out += "drop_every = " + std::to_string(more.drop_every) + "\n";
    }
    if (more.starts_boss_music) out += "starts_boss_music = true\n";
    out += datafile_line(type.datafile);
    out += "health = " + std::to_string(more.health != 0 ? more.health : type.health) + "\n";
    out += "start = \"" + step_name(type.start_anim) + "\"\n";
    out += "death = \"" + step_name(type.death_anim) + "\"\n";
    for (std::size_t j = 0; j < type.steps.size(); ++j) {
      out += step_text(type.steps[j], static_cast<int>(j));
    }
  }
  return out;
}
