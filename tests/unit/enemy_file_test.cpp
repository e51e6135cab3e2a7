// The enemy definition file's parser and serializer, byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/content.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The 40-byte file of one type: health 10, start step 0, death step 1;
// step 0 repeats frame 0 for 10 ticks, step 1 shows frame 1 at (-10, -10)
// for 21 ticks, explodes and ends.
Bytes example_file() {
  Bytes b = {0x00, 0x01, 0x0A, 0x00, 0x01};
  for (char c : std::string("dart.dat        ")) b.push_back(static_cast<std::uint8_t>(c));
  b.push_back(0x02);
  b.insert(b.end(), {0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  b.insert(b.end(), {0xFF, 0x14, 0x01, 0x00, 0x02, 0xFF, 0xF6, 0xFF, 0xF6});
  return b;
}

// A type record with the given name field (exactly 16 bytes) and `steps`
// copies of a step that loops onto step 0.
Bytes type_record(const std::string& field, int steps, int start = 0, int death = 0) {
  Bytes b;
  b.push_back(5);
  b.push_back(static_cast<std::uint8_t>(start));
  b.push_back(static_cast<std::uint8_t>(death));
  for (char c : field) b.push_back(static_cast<std::uint8_t>(c));
  b.push_back(static_cast<std::uint8_t>(steps));
  for (int j = 0; j < steps; ++j) b.insert(b.end(), {0, 1, 2, 0, 0, 0, 0, 0, 0});
  return b;
}

Bytes file_of(const std::vector<Bytes>& types, int count_byte = -1) {
  Bytes b = {0x00, static_cast<std::uint8_t>(count_byte < 0 ? types.size() : count_byte)};
  for (const Bytes& t : types) b.insert(b.end(), t.begin(), t.end());
  return b;
}

// The example file with one step's nine bytes replaced.
Bytes example_with_step1(std::initializer_list<std::uint8_t> step) {
  Bytes b = example_file();
  std::copy(step.begin(), step.end(), b.begin() + 31);
  return b;
}

EnemyFile parse(const Bytes& bytes) {
  return parse_enemy_file(bytes, "test.eif");
}

}  // namespace

TEST(EnemyFileParse, ExampleFileGivesEveryListedValue) {
  EnemyFile f = parse(example_file());
  ASSERT_EQ(f.error, "");
  ASSERT_EQ(f.types.size(), 1u);
  const EnemyTypeRecord& t = f.types[0];
  EXPECT_EQ(t.health, 10);
  EXPECT_EQ(t.start_anim, 0);
  EXPECT_EQ(t.death_anim, 1);
  EXPECT_EQ(t.datafile, "dart.dat");
  ASSERT_EQ(t.steps.size(), 2u);
  EXPECT_EQ(t.steps[0].next, 0);
  EXPECT_EQ(t.steps[0].duration, 9);
  EXPECT_EQ(t.steps[0].frame, 0);
  EXPECT_EQ(t.steps[0].flags, 0);
  EXPECT_EQ(t.steps[0].offset_x, 0);
  EXPECT_EQ(t.steps[0].offset_y, 0);
  EXPECT_EQ(t.steps[1].next, -1);
  EXPECT_EQ(t.steps[1].duration, 20);
  EXPECT_EQ(t.steps[1].frame, 1);
  EXPECT_EQ(t.steps[1].flags, 2);
  EXPECT_EQ(t.steps[1].offset_x, -10);
  EXPECT_EQ(t.steps[1].offset_y, -10);
}

TEST(EnemyFileParse, NameIsTheFieldUpToItsFirstSpaceOrNul) {
  struct Case {
    std::string field;
    std::string name;
  };
  const Case cases[] = {
      {"tenletters      ", "tenletters"},
      {"abc defghijklmno", "abc"},
      {"sixteen_letters!", "sixteen_letters!"},
      {"x               ", "x"},
      {std::string("abc\0defghijklmno", 16), "abc"},
  };
  for (const Case& c : cases) {
    EnemyFile f = parse(file_of({type_record(c.field, 1)}));
    ASSERT_EQ(f.error, "") << c.name;
    EXPECT_EQ(f.types[0].datafile, c.name);
  }
}

TEST(EnemyFileParse, StepFieldsDecodeBigEndianWithTheirSigns) {
  struct Case {
    std::initializer_list<std::uint8_t> step;
    int next, flags, offset_x, offset_y;
  };
  const Case cases[] = {
      {{0xFF, 0, 0, 0x00, 0x11, 0x00, 0x0A, 0xFF, 0xF6}, -1, 17, 10, -10},
      {{0x01, 0, 0, 0xFF, 0xFF, 0x80, 0x00, 0x7F, 0xFF}, 1, 65535, -32768, 32767},
      {{0x00, 0, 0, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00}, 0, 256, -1, 0},
  };
  for (const Case& c : cases) {
    EnemyFile f = parse(example_with_step1(c.step));
    ASSERT_EQ(f.error, "");
    const EnemyStepRecord& s = f.types[0].steps[1];
    EXPECT_EQ(s.next, c.next);
    EXPECT_EQ(s.flags, c.flags);
    EXPECT_EQ(s.offset_x, c.offset_x);
    EXPECT_EQ(s.offset_y, c.offset_y);
  }
}

TEST(EnemyFileParse, ZeroTypesIsAnEmptyFileNotAnError) {
  EnemyFile f = parse({0x07, 0x00});
  EXPECT_EQ(f.error, "");
  EXPECT_TRUE(f.types.empty());
  EXPECT_EQ(f.reserved, 0x07);
}

TEST(EnemyFileParse, CountsAtTheTableSizesAreAccepted) {
  std::vector<Bytes> eight(8, type_record("a.dat           ", 32, 31, 30));
  EnemyFile f = parse(file_of(eight));
  ASSERT_EQ(f.error, "");
  EXPECT_EQ(f.types.size(), 8u);
  EXPECT_EQ(f.types[7].steps.size(), 32u);
}

TEST(EnemyFileParse, RefusesWhatWouldNotFitOrPointNowhere) {
  struct Case {
    const char* what;
    Bytes bytes;
    const char* expected;
  };
  Bytes lf_after_space = type_record("abc def\nhijklmno", 1);
  const Case cases[] = {
      {"seventeen types", file_of(std::vector<Bytes>(17, type_record("a.dat           ", 1))),
       "defines 17 enemy types; at most 16 fit"},
      {"33 steps", file_of({type_record("a.dat           ", 33)}), "has 33 animation steps"},
      {"start step at M", file_of({type_record("a.dat           ", 2, 2, 0)}), "starts in step 2"},
      {"death step at M", file_of({type_record("a.dat           ", 2, 0, 2)}), "dies into step 2"},
      {"no steps at all", file_of({type_record("a.dat           ", 0)}), "starts in step 0"},
      {"next step 254", example_with_step1({0xFE, 0, 0, 0, 0, 0, 0, 0, 0}), "goes on to step 254"},
      {"next step at M", example_with_step1({0x02, 0, 0, 0, 0, 0, 0, 0, 0}), "goes on to step 2"},
      {"line feed in name", file_of({type_record("abc\ndefghijklmno", 1)}), "line feed"},
      {"line feed after the name", file_of({lf_after_space}), "line feed"},
      {"empty name", file_of({type_record("                ", 1)}), "names no datafile"},
      {"name starting with NUL", file_of({type_record(std::string(16, '\0'), 1)}),
       "names no datafile"},
  };
  for (const Case& c : cases) {
    EnemyFile f = parse(c.bytes);
    EXPECT_NE(f.error.find(c.expected), std::string::npos) << c.what << ": " << f.error;
    EXPECT_NE(f.error.find("test.eif"), std::string::npos) << c.what;
    EXPECT_TRUE(f.types.empty()) << c.what;
  }
  // The plain rules' loader takes at most eight.
  const Bytes nine = file_of(std::vector<Bytes>(9, type_record("a.dat           ", 1)));
  EXPECT_NE(parse_enemy_file(nine, "test.eif", PLAIN_ENEMY_TYPES).error.find("defines 9"),
            std::string::npos);
  EXPECT_EQ(parse_enemy_file(nine, "test.eif").error, "");
}

TEST(EnemyFileParse, ErrorNamesTheEnemyAndStep) {
  Bytes second_bad =
      file_of({type_record("a.dat           ", 1), type_record("b.dat           ", 3)});
  second_bad[second_bad.size() - 9] = 7;  // step 2 of enemy 1 goes on to step 7
  EnemyFile f = parse(second_bad);
  EXPECT_EQ(f.error,
            "Error: step 2 of enemy 1 in \"test.eif\" goes on to step 7, but the enemy has only 3 "
            "steps\n");
}

TEST(EnemyFileParse, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
  Bytes whole = file_of({type_record("a.dat           ", 3), type_record("b.dat           ", 2)});
  ASSERT_EQ(parse(whole).error, "");
  for (std::size_t length = 0; length < whole.size(); ++length) {
    // An exact-size copy: the sanitizer build catches any read past it.
    Bytes cut(whole.begin(), whole.begin() + length);
    EnemyFile f = parse(cut);
    EXPECT_NE(f.error.find("ends early"), std::string::npos) << length << ": " << f.error;
    EXPECT_TRUE(f.types.empty());
  }
  EXPECT_EQ(parse(Bytes(whole.begin(), whole.begin() + 25)).error,
            "Error: \"test.eif\" ends early (in step 0 of enemy 0)\n");
  EXPECT_EQ(parse(Bytes(whole.begin(), whole.begin() + 50)).error,
            "Error: \"test.eif\" ends early (in the record of enemy 1)\n");
}

TEST(EnemyFileParse, BytesAfterTheLastRecordAreIgnored) {
  Bytes b = example_file();
  b.insert(b.end(), {1, 2, 3});
  EnemyFile f = parse(b);
  EXPECT_EQ(f.error, "");
  EXPECT_EQ(f.types.size(), 1u);
}

TEST(EnemyFileSerialize, WritesTheParsedBytesBack) {
  const Bytes files[] = {
      example_file(),
      {0xAB, 0x00},
      file_of({type_record("a.dat           ", 3, 2, 1), type_record("sixteen_letters!", 1)}),
      example_with_step1({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x7F, 0xFF}),
  };
  for (const Bytes& bytes : files) {
    EnemyFile f = parse(bytes);
    ASSERT_EQ(f.error, "");
    EXPECT_EQ(serialize_enemy_file(f), bytes);
  }
}

TEST(EnemyFileSerialize, PadsNamesWithSpacesWhateverFollowedThem) {
  Bytes junk = file_of({type_record("abc defghijklmno", 1)});
  Bytes clean = file_of({type_record("abc             ", 1)});
  EXPECT_EQ(serialize_enemy_file(parse(junk)), clean);
}
