// TOML enemy definitions to an EnemyFile. Every value is checked against the
// byte it goes into and every step reference against the type's steps, so a
// compiled file is one the game's parser accepts; each refusal names the
// source position toml++ gives for the offending node.
#include <toml++/toml.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "eif/eif.h"
#include "world/world.h"

namespace {

std::string position(const std::string& source, const toml::source_region& at) {
  if (at.begin.line == 0) return source;
  return source + ":" + std::to_string(at.begin.line) + ":" + std::to_string(at.begin.column);
}

class Compiler {
 public:
  explicit Compiler(const std::string& source, EifCompiled& out) : source_(source), out_(out) {}

  void compile(const toml::table& root);

 private:
  void fail(const toml::source_region& at, const std::string& text) {
    out_.errors.push_back(position(source_, at) + ": error: " + text);
  }
  void check_keys(const toml::table& table, std::initializer_list<std::string_view> allowed,
                  const char* what);
  std::optional<int> integer(const toml::table& table, std::string_view key, int lo, int hi,
                             bool required);
  std::optional<int> step_ref(const toml::node& node, const std::vector<std::string>& names,
                              bool allow_end);
  void compile_type(const toml::table& table, int k);
  void compile_datafile(const toml::table& table, EnemyTypeRecord& type);
  void compile_extras(const toml::table& table, int k);
  void compile_drop(const toml::table& table, EnemyTypeExtras& extras);
  std::vector<std::string> step_names(const toml::array& steps);
  void compile_step(const toml::table& table, const std::vector<std::string>& names,
                    EnemyStepRecord& step);
  std::optional<int> flags(const toml::node& node);

  const std::string& source_;
  EifCompiled& out_;
};

void Compiler::check_keys(const toml::table& table, std::initializer_list<std::string_view> allowed,
                          const char* what) {
  for (auto&& [key, node] : table) {
    bool known = false;
    for (std::string_view name : allowed) known = known || key.str() == name;
    if (known) continue;
    std::string list;
    for (std::string_view name : allowed) list += (list.empty() ? "" : ", ") + std::string(name);
    fail(key.source(),
         "unknown key \"" + std::string(key.str()) + "\" in " + what + " (known: " + list + ")");
  }
}

std::optional<int> Compiler::integer(const toml::table& table, std::string_view key, int lo, int hi,
                                     bool required) {
  const toml::node* node = table.get(key);
  if (!node) {
    if (required) fail(table.source(), "missing \"" + std::string(key) + "\"");
    return std::nullopt;
  }
  if (!node->is_integer()) {
    fail(node->source(), "\"" + std::string(key) + "\" must be an integer");
    return std::nullopt;
  }
  std::int64_t value = node->as_integer()->get();
  if (value < lo || value > hi) {
    fail(node->source(), "\"" + std::string(key) + "\" is " + std::to_string(value) +
                             "; it must be " + std::to_string(lo) + " to " + std::to_string(hi));
    return std::nullopt;
  }
  return static_cast<int>(value);
}

// A step named by its index, by its name, or "end" (the -1 that ends a chain).
std::optional<int> Compiler::step_ref(const toml::node& node, const std::vector<std::string>& names,
                                      bool allow_end) {
  const int count = static_cast<int>(names.size());
  if (node.is_integer()) {
    std::int64_t index = node.as_integer()->get();
    if (index >= 0 && index < count) return static_cast<int>(index);
    fail(node.source(), "step " + std::to_string(index) + " does not exist; this enemy has " +
                            std::to_string(count) + " steps");
    return std::nullopt;
  }
  if (!node.is_string()) {
    fail(node.source(), "a step is named by its name or its index");
    return std::nullopt;
  }
  const std::string& name = node.as_string()->get();
  if (name == "end") {
    if (allow_end) return -1;
    fail(node.source(), "\"end\" is not a step here");
    return std::nullopt;
  }
  for (int j = 0; j < count; ++j) {
    if (names[j] == name) return j;
  }
  fail(node.source(), "no step is named \"" + name + "\"");
  return std::nullopt;
}

void Compiler::compile(const toml::table& root) {
  check_keys(root, {"reserved", "enemy"}, "the file");
  out_.file.reserved =
      static_cast<std::uint8_t>(integer(root, "reserved", 0, 255, false).value_or(0));
  const toml::node* enemies = root.get("enemy");
  if (!enemies) return;
  if (!enemies->is_array_of_tables()) {
    fail(enemies->source(), "\"enemy\" must be a list of [[enemy]] tables");
    return;
  }
  const toml::array& list = *enemies->as_array();
  if (list.size() > MAX_ENEMY_TYPES) {
    fail(list[MAX_ENEMY_TYPES].source(),
         "at most " + std::to_string(MAX_ENEMY_TYPES) + " enemy types fit in a file");
    return;
  }
  for (std::size_t k = 0; k < list.size(); ++k) {
    compile_type(*list[k].as_table(), static_cast<int>(k));
  }
}

void Compiler::compile_datafile(const toml::table& table, EnemyTypeRecord& type) {
  const toml::node* text = table.get("datafile");
  const toml::node* bytes = table.get("datafile_bytes");
  if ((text == nullptr) == (bytes == nullptr)) {
    fail(table.source(), "an enemy needs exactly one of \"datafile\" and \"datafile_bytes\"");
    return;
  }
  const toml::node& node = text ? *text : *bytes;
  if (text) {
    if (!text->is_string()) return fail(text->source(), "\"datafile\" must be a string");
    type.datafile = text->as_string()->get();
  } else {
    if (!bytes->is_array()) return fail(bytes->source(), "\"datafile_bytes\" must be a list");
    for (const toml::node& b : *bytes->as_array()) {
      if (!b.is_integer() || b.as_integer()->get() < 1 || b.as_integer()->get() > 255) {
        return fail(b.source(), "each of \"datafile_bytes\" is a byte from 1 to 255");
      }
      type.datafile.push_back(static_cast<char>(b.as_integer()->get()));
    }
  }
  // The game reads the name up to its first space or NUL, and once read the
  // field as a line of text: a line feed shifts the rest of the file.
  if (type.datafile.empty()) return fail(node.source(), "the datafile name is empty");
  if (type.datafile.size() > ENEMY_NAME_SIZE) {
    return fail(node.source(), "the datafile name \"" + type.datafile + "\" is longer than " +
                                   std::to_string(ENEMY_NAME_SIZE) + " bytes");
  }
  if (type.datafile.find_first_of(std::string(" \n\0", 3)) != std::string::npos) {
    fail(node.source(), "a datafile name cannot hold a space, a line feed or a NUL");
  }
}

std::vector<std::string> Compiler::step_names(const toml::array& steps) {
  std::vector<std::string> names;
  for (const toml::node& node : steps) {
    const toml::table& step = *node.as_table();
    std::string name;
    if (const toml::node* n = step.get("name")) {
      if (!n->is_string() || n->as_string()->get().empty() || n->as_string()->get() == "end") {
        fail(n->source(), "a step's \"name\" is a non-empty string other than \"end\"");
      } else {
        name = n->as_string()->get();
        for (const std::string& earlier : names) {
          if (earlier == name) fail(n->source(), "two steps are named \"" + name + "\"");
        }
      }
    }
    names.push_back(name);
  }
  return names;
}

void Compiler::compile_type(const toml::table& table, int k) {
  check_keys(table,
             {"name", "datafile", "datafile_bytes", "health", "start", "death", "step", "boss",
              "score", "drop", "drop_every", "starts_boss_music"},
             "an [[enemy]]");
  out_.type_where.push_back(position(source_, table.source()));
  out_.step_where.emplace_back();
  EnemyTypeRecord& type = out_.file.types.emplace_back();
  compile_extras(table, k);
  compile_datafile(table, type);
  // A boss's health past the file's byte lives in the companion.
  const bool boss = out_.extras.types[k].boss;
  const int health =
      integer(table, "health", 0, boss ? MAX_BOSS_HEALTH : MAX_FILE_HEALTH, true).value_or(0);
  type.health = std::min(health, MAX_FILE_HEALTH);
  if (health > MAX_FILE_HEALTH) out_.extras.types[k].health = health;
  const toml::node* steps = table.get("step");
  if (!steps || !steps->is_array_of_tables() || steps->as_array()->empty()) {
    fail(steps ? steps->source() : table.source(),
         "an enemy needs at least one [[enemy.step]] table");
    return;
  }
  const toml::array& list = *steps->as_array();
  if (list.size() > MAX_ANIMATIONS) {
    fail(list[MAX_ANIMATIONS].source(),
         "at most " + std::to_string(MAX_ANIMATIONS) + " steps fit in an enemy");
    return;
  }
  std::vector<std::string> names = step_names(list);
  if (const toml::node* start = table.get("start")) {
    type.start_anim = step_ref(*start, names, false).value_or(0);
  }
  if (const toml::node* death = table.get("death")) {
    type.death_anim = step_ref(*death, names, false).value_or(0);
  } else {
    fail(table.source(), "missing \"death\": the step an enemy enters when it is destroyed");
  }
  for (const toml::node& node : list) {
    out_.step_where[k].push_back(position(source_, node.source()));
    compile_step(*node.as_table(), names, type.steps.emplace_back());
  }
}

// The keys kept beside the enemy file: whether it is a boss, its score and,
// for a boss, its name as the health bar shows it.
void Compiler::compile_extras(const toml::table& table, int k) {
  if (k >= MAX_ENEMY_TYPES) return;
  EnemyTypeExtras& extras = out_.extras.types[k];
  if (const toml::node* boss = table.get("boss")) {
    if (boss->is_boolean())
      extras.boss = boss->as_boolean()->get();
    else
      fail(boss->source(), "\"boss\" is true or false");
  }
  if (const toml::node* cue = table.get("starts_boss_music")) {
    if (cue->is_boolean())
      extras.starts_boss_music = cue->as_boolean()->get();
    else
      fail(cue->source(), "\"starts_boss_music\" is true or false");
  }
  extras.score = integer(table, "score", 0, MAX_TYPE_SCORE, false).value_or(ENEMY_SCORE);
  compile_drop(table, extras);
  const toml::node* name = table.get("name");
  if (name && !name->is_string())
    return fail(name->source(), "an enemy's \"name\" must be a string");
  if (!extras.boss || !name) return;
  const std::string& text = name->as_string()->get();
  if (!boss_name_fits(text))
    return fail(name->source(), "a boss's \"name\" is 1 to " + std::to_string(BOSS_NAME_SIZE - 1) +
                                    " printable ASCII characters: its health bar shows it");
  extras.name = text;
}

// The item a type's kills drop: `drop` names the kind, `drop_every` (1 when
// left out) every how many kills by a shot; drop_every alone is refused.
void Compiler::compile_drop(const toml::table& table, EnemyTypeExtras& extras) {
  const toml::node* drop = table.get("drop");
  if (!drop) {
    if (const toml::node* every = table.get("drop_every"))
      fail(every->source(), "\"drop_every\" needs a \"drop\": the item its kills drop");
    return;
  }
  extras.drop = drop->is_string() ? item_kind_named(drop->as_string()->get()) : 0;
  if (extras.drop == 0)
    return fail(drop->source(), "\"drop\" is \"power\", \"energy\" or \"bomb\"");
  extras.drop_every = integer(table, "drop_every", 1, MAX_DROP_EVERY, false).value_or(1);
}

std::optional<int> Compiler::flags(const toml::node& node) {
  if (node.is_integer()) {
    std::int64_t value = node.as_integer()->get();
    if (value >= 0 && value <= 0xffff) return static_cast<int>(value);
    fail(node.source(), "flags are 16 bits: 0 to 65535");
    return std::nullopt;
  }
  if (!node.is_array()) {
    fail(node.source(), "\"flags\" is a list of flag names and numbers, or a number");
    return std::nullopt;
  }
  int value = 0;
  for (const toml::node& item : *node.as_array()) {
    if (item.is_string()) {
      const std::string& name = item.as_string()->get();
      int bit = 0;
      for (const EifFlagName& flag : EIF_FLAG_NAMES) {
        if (name == flag.name) bit = flag.bit;
      }
      if (bit == 0) {
        std::string message = "unknown flag \"";
        message.append(name).append("\" (known:");
        for (const EifFlagName& flag : EIF_FLAG_NAMES) message.append(" ").append(flag.name);
        fail(item.source(), message + ")");
      }
      value |= bit;
    } else if (std::optional<int> bits = flags(item)) {
      value |= *bits;
    }
  }
  return value;
}

void Compiler::compile_step(const toml::table& table, const std::vector<std::string>& names,
                            EnemyStepRecord& step) {
  check_keys(table, {"name", "next", "duration", "frame", "flags", "offset"}, "an [[enemy.step]]");
  if (const toml::node* next = table.get("next")) {
    step.next = step_ref(*next, names, true).value_or(0);
  } else {
    fail(table.source(), "missing \"next\": a step name, an index or \"end\"");
  }
  step.duration = integer(table, "duration", 0, 255, true).value_or(0);
  step.frame = integer(table, "frame", 0, 255, true).value_or(0);
  if (const toml::node* f = table.get("flags")) step.flags = flags(*f).value_or(0);
  if (const toml::node* offset = table.get("offset")) {
    const toml::array* xy = offset->as_array();
    auto fits = [](const toml::node& n) {
      return n.is_integer() && n.as_integer()->get() >= -32768 && n.as_integer()->get() <= 32767;
    };
    if (!xy || xy->size() != 2 || !fits((*xy)[0]) || !fits((*xy)[1])) {
      fail(offset->source(), "\"offset\" is [x, y], each from -32768 to 32767");
    } else {
      step.offset_x = static_cast<std::int16_t>((*xy)[0].as_integer()->get());
      step.offset_y = static_cast<std::int16_t>((*xy)[1].as_integer()->get());
    }
  }
}

}  // namespace

EifCompiled compile_enemy_toml(std::string_view text, const std::string& source_name) {
  EifCompiled out;
  toml::table root;
  try {
    root = toml::parse(text, source_name);
  } catch (const toml::parse_error& e) {
    out.errors.push_back(position(source_name, e.source()) +
                         ": error: " + std::string(e.description()));
    return out;
  }
  Compiler(source_name, out).compile(root);
  if (!out.errors.empty()) return out;
  // The game's own parser has the last word, so the two can never disagree.
  EnemyFile check = parse_enemy_file(serialize_enemy_file(out.file), source_name.c_str());
  if (!check.error.empty()) out.errors.push_back(source_name + ": error: " + check.error);
  const std::string extras = serialize_enemy_extras(out.extras, source_name);
  const EnemyExtras again = parse_enemy_extras(
      std::span(reinterpret_cast<const std::uint8_t*>(extras.data()), extras.size()),
      source_name.c_str());
  if (!again.error.empty()) out.errors.push_back(source_name + ": error: " + again.error);
  return out;
}
