// mirvo-eif's compiler, printer and checker.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "eif/eif.h"
#include "world/world.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* const DART = R"(
[[enemy]]
name = "director"
datafile = "level.dat"
health = 1
death = "wait"

[[enemy.step]]
name = "wait"
next = "wait"
duration = 255
frame = 0

[[enemy]]
name = "dart"
datafile = "dart.dat"
health = 10
start = "fly"
death = 2

[[enemy.step]]
name = "fly"
next = 0
duration = 9
frame = 0
offset = [0, 3]

[[enemy.step]]
next = "end"
duration = 20
frame = 1

[[enemy.step]]
name = "explode"
next = 1
duration = 20
frame = 1
flags = ["explode", "victory", 0x100]
offset = [-10, -10]
)";

EifCompiled compile(const std::string& text) {
  return compile_enemy_toml(text, "t.toml");
}

Bytes compile_bytes(const std::string& text) {
  EifCompiled c = compile(text);
  EXPECT_TRUE(c.errors.empty()) << (c.errors.empty() ? "" : c.errors[0]) << "\n" << text;
  return serialize_enemy_file(c.file);
}

// The 40-byte example file: health 10, start 0, death 1; a looping step and an
// exploding one drawn 10 pixels up and left.
Bytes example_file() {
  Bytes b = {0x00, 0x01, 0x0A, 0x00, 0x01};
  for (char c : std::string("dart.dat        ")) b.push_back(static_cast<std::uint8_t>(c));
  b.push_back(0x02);
  for (int v : {0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}) b.push_back(v);
  for (int v : {0xFF, 0x14, 0x01, 0x00, 0x02, 0xFF, 0xF6, 0xFF, 0xF6}) b.push_back(v);
  return b;
}

// Round trip of a file through its printed TOML.
Bytes through_toml(const EnemyFile& file) {
  return compile_bytes(decompile_enemy_file(file, "x.eif"));
}

}  // namespace

TEST(EifCompile, NamesIndicesAndFlagsBecomeTheRightBytes) {
  EifCompiled c = compile(DART);
  ASSERT_TRUE(c.errors.empty()) << c.errors[0];
  ASSERT_EQ(c.file.types.size(), 2u);
  const EnemyTypeRecord& dart = c.file.types[1];
  EXPECT_EQ(dart.datafile, "dart.dat");
  EXPECT_EQ(dart.health, 10);
  EXPECT_EQ(dart.start_anim, 0);
  EXPECT_EQ(dart.death_anim, 2);
  ASSERT_EQ(dart.steps.size(), 3u);
  EXPECT_EQ(dart.steps[0].next, 0);
  EXPECT_EQ(dart.steps[0].offset_y, 3);
  EXPECT_EQ(dart.steps[1].next, -1);
  EXPECT_EQ(dart.steps[2].next, 1);
  EXPECT_EQ(dart.steps[2].flags, 2 | 16 | 0x100);
  EXPECT_EQ(dart.steps[2].offset_x, -10);
  EXPECT_EQ(c.file.types[0].start_anim, 0);  // start defaults to the first step
  EXPECT_EQ(c.step_where[1][2], "t.toml:33:1");
}

TEST(EifCompile, FlagsMayBeANumber) {
  std::string text = DART;
  text.replace(text.find("[\"explode\", \"victory\", 0x100]"), 29, "65535");
  EXPECT_EQ(compile(text).file.types[1].steps[2].flags, 65535);
}

TEST(EifRoundTrip, TomlToBytesToTomlToBytes) {
  Bytes first = compile_bytes(DART);
  EnemyFile parsed = parse_enemy_file(first, "t.eif");
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(through_toml(parsed), first);
}

TEST(EifRoundTrip, ExampleFilePrintsReadably) {
  EnemyFile file = parse_enemy_file(example_file(), "enemy.eif");
  ASSERT_EQ(file.error, "");
  std::string text = decompile_enemy_file(file, "enemy.eif");
  for (const char* line :
       {"datafile = \"dart.dat\"", "health = 10", "start = \"step0\"", "death = \"step1\"",
        "next = \"step0\"", "duration = 9", "next = \"end\"", "duration = 20", "frame = 1",
        "flags = [\"explode\"]", "offset = [-10, -10]"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_EQ(text.find("reserved"), std::string::npos);
  EXPECT_EQ(compile_bytes(text), example_file());
}

TEST(EifRoundTrip, OddNamesReservedByteAndUnnamedFlagBits) {
  const std::string names[] = {"q\"uo\\te",   "tab\there",    "del\x7f",         "caf\xc3\xa9.dat",
                               "bad\xff\xfe", "\xed\xa0\x80", "sixteen_letters!"};
  for (const std::string& name : names) {
    EnemyFile file = parse_enemy_file(example_file(), "x.eif");
    file.reserved = 0xC3;
    file.types[0].datafile = name;
    file.types[0].steps[1].flags = 0xFFE0 | ANIM_VICTORY;
    EXPECT_EQ(through_toml(file), serialize_enemy_file(file)) << name;
  }
}

// Random files the game accepts, printed and compiled back, against the
// serializer as the reference.
TEST(EifRoundTrip, RandomFilesSurviveThePrinter) {
  std::mt19937 random(1234);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 300; ++round) {
    EnemyFile file;
    file.reserved = static_cast<std::uint8_t>(below(256));
    const int types = below(MAX_ENEMY_TYPES + 1);
    for (int k = 0; k < types; ++k) {
      EnemyTypeRecord& t = file.types.emplace_back();
      const int steps = 1 + below(32);
      t.health = below(256);
      t.start_anim = below(steps);
      t.death_anim = below(steps);
      const int length = 1 + below(16);
      for (int i = 0; i < length; ++i) {
        char c;
        do c = static_cast<char>(1 + below(255));
        while (c == ' ' || c == '\n');
        t.datafile.push_back(c);
      }
      for (int j = 0; j < steps; ++j) {
        EnemyStepRecord& s = t.steps.emplace_back();
        s.next = below(steps + 1) - 1;
        s.duration = below(256);
        s.frame = below(256);
        s.flags = below(65536);
        s.offset_x = static_cast<std::int16_t>(below(65536) - 32768);
        s.offset_y = static_cast<std::int16_t>(below(65536) - 32768);
      }
    }
    Bytes bytes = serialize_enemy_file(file);
    ASSERT_EQ(parse_enemy_file(bytes, "r.eif").error, "");
    ASSERT_EQ(through_toml(file), bytes) << decompile_enemy_file(file, "r.eif");
  }
}

TEST(EifCompile, RefusesWithThePositionOfTheFault) {
  struct Case {
    std::string text;
    const char* expected;
  };
  const std::string type = "[[enemy]]\ndatafile = \"a.dat\"\nhealth = 1\ndeath = 0\n";
  const std::string step = "[[enemy.step]]\nnext = 0\nduration = 1\nframe = 0\n";
  std::string nine, many_steps = type;
  for (int i = 0; i < 17; ++i) nine += type + step;
  for (int i = 0; i < 33; ++i) many_steps += step;
  const Case cases[] = {
      {nine, "t.toml:129:1: error: at most 16 enemy types"},
      {many_steps, "t.toml:133:1: error: at most 32 steps"},
      {type, "t.toml:1:1: error: an enemy needs at least one [[enemy.step]]"},
      {"[[enemy]]\ndatafile = \"a.dat\"\nhealth = 1\n" + step,
       "t.toml:1:1: error: missing \"death\""},
      {type + "[[enemy.step]]\nnext = 3\nduration = 1\nframe = 0\n",
       "t.toml:6:8: error: step 3 does not exist"},
      {type + "[[enemy.step]]\nnext = \"nowhere\"\nduration = 1\nframe = 0\n",
       "t.toml:6:8: error: no step is named \"nowhere\""},
      {"[[enemy]]\ndatafile = \"a.dat\"\nhealth = 1\ndeath = \"end\"\n" + step,
       "t.toml:4:9: error: \"end\" is not a step here"},
      {type + step + "name = \"a\"\n" + step + "name = \"a\"\n",
       "t.toml:14:8: error: two steps are named \"a\""},
      {"[[enemy]]\ndatafile = \"seventeen_letters\"\nhealth = 1\ndeath = 0\n" + step,
       "t.toml:2:12: error: the datafile name \"seventeen_letters\" is longer than 16"},
      {"[[enemy]]\ndatafile = \"a b\"\nhealth = 1\ndeath = 0\n" + step,
       "t.toml:2:12: error: a datafile name cannot hold a space"},
      {"[[enemy]]\ndatafile = \"a\\nb\"\nhealth = 1\ndeath = 0\n" + step,
       "cannot hold a space, a line feed"},
      {"[[enemy]]\ndatafile = \"\"\nhealth = 1\ndeath = 0\n" + step, "the datafile name is empty"},
      {"[[enemy]]\ndatafile = \"a.dat\"\nhealth = 256\ndeath = 0\n" + step,
       "t.toml:3:10: error: \"health\" is 256; it must be 0 to 255"},
      {type + step + "flags = [\"explode\", \"sparkle\"]\n",
       "t.toml:9:21: error: unknown flag \"sparkle\""},
      {type + step + "flags = 65536\n", "flags are 16 bits"},
      {type + step + "offset = [1, 40000]\n", "\"offset\" is [x, y]"},
      {type + step + "speed = 3\n", "t.toml:9:1: error: unknown key \"speed\""},
      {"reserved = 256\n", "t.toml:1:12: error: \"reserved\" is 256"},
      {"[[enemy]\n", "t.toml:1:9: error:"},
  };
  for (const Case& c : cases) {
    EifCompiled out = compile(c.text);
    ASSERT_FALSE(out.errors.empty()) << c.expected;
    EXPECT_NE(out.errors[0].find(c.expected), std::string::npos)
        << "wanted: " << c.expected << "\ngot: " << out.errors[0];
  }
}

TEST(EifCheck, LevelDirectorMustLiveAndLoop) {
  EnemyFile file = parse_enemy_file(example_file(), "x.eif");
  ASSERT_EQ(file.error, "");
  EXPECT_TRUE(check_level_director(file).empty());  // step 0 repeats itself

  file.types[0].start_anim = 1;  // straight to the step that ends
  std::vector<EifProblem> problems = check_level_director(file);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].type, 0);
  EXPECT_EQ(problems[0].step, 1);
  EXPECT_NE(problems[0].text.find("reaches \"end\""), std::string::npos);

  // A longer chain that ends three steps in; a second type that ends is fine.
  EnemyFile chain = file;
  chain.types[0].start_anim = 0;
  chain.types[0].steps = {{1, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0}, {-1, 0, 0, 0, 0, 0}};
  chain.types.push_back(file.types[0]);
  problems = check_level_director(chain);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].step, 2);
  chain.types[0].steps[2].next = 1;  // now 0 -> 1 -> 2 -> 1 -> ...
  EXPECT_TRUE(check_level_director(chain).empty());

  chain.types[0].health = 0;
  problems = check_level_director(chain);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].text.find("health 0"), std::string::npos);

  EXPECT_EQ(check_level_director(EnemyFile{}).size(), 1u);
}

TEST(EifCheck, WarnsWhenNoStepCarriesTheVictoryFlag) {
  std::string without = DART;
  without.replace(without.find("\"victory\", "), 11, "");
  const struct {
    std::string toml;
    std::vector<std::string> warnings;
  } cases[] = {
      {DART, {}},
      {without, {"warning: t.toml: the level can never be won: no step carries the victory flag"}},
  };
  for (const auto& c : cases) {
    const EifCompiled compiled = compile(c.toml);
    ASSERT_TRUE(compiled.errors.empty()) << compiled.errors[0];
    EXPECT_EQ(level_warnings(compiled.file, "t.toml"), c.warnings);
  }
}

// Datafiles made on disk with Allegro's `dat` tool: object 0 a bitmap,
// object 1 a block of text.
TEST(EifCheck, FramesMustBeBitmapsOfTheirDatafiles) {
  install_allegro(SYSTEM_NONE, &errno, atexit);
  set_color_depth(32);
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("mirvo_eif_test_" + std::to_string(getpid()));
  fs::create_directories(dir);
  BITMAP* frame = create_bitmap(6, 4);
  clear_to_color(frame, makecol(255, 0, 255));
  ASSERT_EQ(save_bitmap((dir / "f0.bmp").c_str(), frame, nullptr), 0);
  destroy_bitmap(frame);
  std::ofstream(dir / "f1.txt") << "text";
  std::string make = "cd " + dir.string() +
                     " && dat -s1 -a -bpp 32 -t BMP a.dat f0.bmp >/dev/null"
                     " && dat -s1 -a -t DATA a.dat f1.txt >/dev/null";
  ASSERT_EQ(std::system(make.c_str()), 0);

  EnemyFile file = parse_enemy_file(example_file(), "x.eif");
  file.types[0].datafile = "a.dat";
  file.types[0].steps[1].frame = 0;
  file.types.push_back(file.types[0]);
  EXPECT_TRUE(check_enemy_datafiles(file, dir.string()).empty());

  file.types[1].steps[1].frame = 1;  // the text
  std::vector<EifProblem> problems = check_enemy_datafiles(file, dir.string());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].type, 1);
  EXPECT_EQ(problems[0].text,
            "frame 1 of enemy 1 step 1 is not a bitmap in \"a.dat\" (it holds 2 objects)");

  file.types[0].datafile = "none.dat";
  problems = check_enemy_datafiles(file, dir.string());
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].type, 0);
  EXPECT_NE(problems[0].text.find("cannot load the datafile"), std::string::npos);
  EXPECT_EQ(problems[1].type, 1);
  fs::remove_all(dir);
}
