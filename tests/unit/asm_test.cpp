// The level authors' assembler: the language, its error messages, the checker,
// and the round trip from records to source and back.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "asm/assembler.h"
#include "script/script.h"

namespace {

ScriptInstruction rec(int opcode, std::vector<int> operands = {}) {
  ScriptInstruction in;
  in.opcode = opcode;
  for (std::size_t k = 0; k < operands.size(); ++k)
    in.operands[k] = static_cast<std::int16_t>(operands[k]);
  return in;
}

bool same(const std::vector<ScriptInstruction>& a, const std::vector<ScriptInstruction>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].opcode != b[i].opcode || a[i].operands != b[i].operands) return false;
  return true;
}

std::string show(const std::vector<ScriptInstruction>& records) {
  std::string out;
  for (const ScriptInstruction& in : records) {
    out += std::to_string(in.opcode) + ":";
    for (int v : in.operands) out += " " + std::to_string(v);
    out += "\n";
  }
  return out;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

AsmResult assemble(std::string_view source, bool check = true, int enemy_types = -1) {
  AsmOptions options;
  options.file_name = "level.wis";
  options.check = check;
  options.enemy_types = enemy_types;
  return assemble_source(source, options);
}

std::vector<ScriptInstruction> assemble_ok(std::string_view source) {
  const AsmResult r = assemble(source);
  EXPECT_TRUE(r.ok()) << joined(r.errors);
  return r.instructions;
}

// Records to source and back; the source must assemble to the very same records.
void expect_round_trip(const std::vector<ScriptInstruction>& records) {
  const std::string source = disassemble(records);
  const AsmResult again = assemble(source, false);
  ASSERT_TRUE(again.ok()) << joined(again.errors) << source;
  EXPECT_TRUE(same(again.instructions, records)) << source << "---\n" << show(again.instructions);
  const std::vector<std::uint8_t> bytes = encode_scripts(records);
  EXPECT_EQ(encode_scripts(again.instructions), bytes);
}

}  // namespace

TEST(AsmLanguage, MnemonicsWithPositionalAndNamedOperands) {
  const auto records = assemble_ok(R"(
    ; the level's timeline
    script timeline:            # script 1
      spawn 3 diver 100 -20 0 50 7 0
      spawn type=director script=timeline y=5 x=6
      wait 100
      remove
    script diver:
      velocity 0 -150           # two operands, not one sum
      fire shot=1 x=self y=self vx=0 vy=300 dx=10 dy=40
      fire 2 0 self
      aim 3 160
      aim shot=3 speed=200 dy=30 dx=-4
      angle 64
      wait 2
      restart
  )");
  const std::vector<ScriptInstruction> expected = {
      rec(OP_SPAWN, {3, 2, 100, -20, 0, 50, 7, 0}),
      rec(OP_SPAWN, {255, 1, 6, 5}),
      rec(OP_WAIT, {100}),
      rec(OP_REMOVE),
      rec(OP_END),
      rec(OP_SET_VELOCITY, {0, -150}),
      rec(OP_FIRE, {1, -1, -1, 0, 300, 10, 40}),
      rec(OP_FIRE, {2, 0, -1}),
      rec(OP_FIRE_AIMED, {3, 160}),
      rec(OP_FIRE_AIMED, {3, 200, -4, 30}),
      rec(OP_SET_ANGLE, {64}),
      rec(OP_WAIT, {2}),
      rec(OP_RESTART),
      rec(OP_END),
  };
  EXPECT_TRUE(same(records, expected)) << show(records);
}

TEST(AsmLanguage, ConstantsSumsAndNumbers) {
  const auto records = assemble_ok(R"(
    const SPEED = 150
    const SLOW = SPEED-100
    script s:
      velocity -SPEED SPEED+SLOW-1
      op 3 0x10 0x7fff -32768 +4
      wait 1
      remove
  )");
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].operands[0], -150);
  EXPECT_EQ(records[0].operands[1], 199);
  const std::array<std::int16_t, 8> raw = {16, 32767, -32768, 4, 0, 0, 0, 0};
  EXPECT_EQ(records[1].opcode, 3);
  EXPECT_EQ(records[1].operands, raw);
}

TEST(AsmLanguage, RepeatBlocksAreUnrolled) {
  const auto records = assemble_ok(R"(
    script s:
      repeat 2 {
        angle 1
        repeat 3 {
          wait 5
        }
      }
      repeat 0 {
        angle 99
      }
      remove
  )");
  std::string opcodes;
  for (const ScriptInstruction& in : records) opcodes += std::to_string(in.opcode) + " ";
  EXPECT_EQ(opcodes, "11 1 1 1 11 1 1 1 10 8 ");
}

TEST(AsmLanguage, ScriptsAreNumberedInOrderAndNamedForward) {
  const auto records = assemble_ok(R"(
    script one:
      spawn 1 three 0 0
      spawn 1 two 0 0
      wait 1
      remove
    script two:
      wait 1
      remove
    script three:
      wait 1
      remove
  )");
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[0].operands[1], 3);
  EXPECT_EQ(records[1].operands[1], 2);
}

TEST(AsmLanguage, ExplicitEndAndTail) {
  const auto records = assemble(R"(
    script s:
      remove
      end 1 2
    script empty:
    tail:
      op 4 9
  )",
                                false)
                           .instructions;
  const std::vector<ScriptInstruction> expected = {rec(OP_REMOVE), rec(OP_END, {1, 2}), rec(OP_END),
                                                   rec(4, {9})};
  EXPECT_TRUE(same(records, expected)) << show(records);
}

// Each bad line gives one message that says where and what was expected.
TEST(AsmErrors, MessagesCarryLineAndColumn) {
  struct Case {
    const char* source;
    const char* message;
  };
  const Case cases[] = {
      {"script s:\n  wait\n", "level.wis:2:7: wait needs operand 'ticks' (expected ticks)"},
      {"script s:\n  jump 3\n", "level.wis:2:3: unknown instruction 'jump'"},
      {"script s:\n  wait 1 2\n", "level.wis:2:10: too many operands: wait takes 1 (ticks)"},
      {"script s:\n  wait @\n", "level.wis:2:8: unexpected character '@'"},
      {"script s:\n  wait FAST\n", "level.wis:2:8: unknown constant 'FAST'"},
      {"script s:\n  wait 40000\n", "level.wis:2:8: value 40000 does not fit an operand"},
      {"script s:\n  wait 12ab\n", "level.wis:2:8: malformed number '12ab'"},
      {"script s:\n  wait 99999999999\n", "level.wis:2:8: number '99999999999' is too large"},
      {"script s:\n  velocity 0 - 5\n", "level.wis:2:16: expected a number or a constant right"},
      {"script s:\n  fire 1 2 3 shot=4\n", "level.wis:2:14: operand 'shot' is given twice"},
      {"script s:\n  fire spin=4\n", "level.wis:2:8: fire has no operand 'spin'"},
      {"wait 1\n", "level.wis:1:1: expected 'script NAME:' before the first instruction"},
      {"script s:\n  remove\nscript s:\n", "level.wis:3:8: script 's' is already defined"},
      {"script s:\n  spawn 1 ghost 0 0\n", "level.wis:2:11: no script named 'ghost'"},
      {"script s:\n  repeat 2 {\n  remove\n", "level.wis:2:3: expected '}' to close this repeat"},
      {"script s:\n  }\n", "level.wis:2:3: '}' without an open repeat"},
      {"script s:\n  repeat 2\n", "level.wis:2:11: expected '{' after the repeat count"},
      {"script s:\n  op 8\n", "level.wis:2:6: opcode 8 ends a script: write 'end'"},
      {"script s:\n  op 256\n", "level.wis:2:6: opcode 256 is outside 0..255"},
      {"script s:\n  remove\n  end\n  wait 1\n", "level.wis:4:3: expected 'script NAME:' after"},
      {"const wait = 3\n", "level.wis:1:7: 'wait' is a reserved word"},
      {"const A = 1\nconst A = 2\n", "level.wis:2:7: constant 'A' is already defined"},
      {"script s\n", "level.wis:1:9: expected ':' after the script name"},
      {"", "level.wis:1:1: nothing to assemble"},
  };
  for (const Case& c : cases) {
    const AsmResult r = assemble(c.source);
    ASSERT_FALSE(r.ok()) << c.source;
    EXPECT_TRUE(r.instructions.empty());
    EXPECT_NE(r.errors.front().find(c.message), std::string::npos)
        << "source:\n"
        << c.source << "got: " << r.errors.front() << "\nwanted: " << c.message;
  }
}

TEST(AsmErrors, GoesOnAfterAnErrorToReportTheNextLines) {
  const AsmResult r = assemble("script s:\n  wait\n  jump\n  angle\n  remove\n");
  ASSERT_EQ(r.errors.size(), 3u) << joined(r.errors);
  EXPECT_EQ(r.errors[1].rfind("level.wis:3:3:", 0), 0u);
  EXPECT_EQ(r.errors[2].rfind("level.wis:4:", 0), 0u);
}

// Nested large counts are refused before they are unrolled.
TEST(AsmErrors, RepeatCannotGrowPastTheFileLimit) {
  const AsmResult r = assemble(
      "script s:\n  repeat 4096 {\n    repeat 4096 {\n      wait 1\n    }\n  }\n  remove\n");
  ASSERT_FALSE(r.ok());
  EXPECT_NE(joined(r.errors).find("more than the 4096 a level file holds"), std::string::npos)
      << joined(r.errors);
}

TEST(AsmChecker, RefusesScriptsTheGameWouldRunBadly) {
  std::string long_script = "script long:\n";
  for (int i = 0; i < 129; ++i) long_script += "  wait 1\n";
  long_script += "  remove\n";
  struct Case {
    std::string source;
    std::string where;  // "" when the test does not pin the place down
    std::string message;
    int enemy_types = -1;
  };
  const Case cases[] = {
      {long_script,
       "level.wis:1:8: ", "script 'long' (number 1) has 130 instructions, more than 128"},
      {"script s:\n  wait 1\n", "level.wis:2:3: ", "script 's' (number 1) can run off its end"},
      {"script s:\n", "level.wis:1:8: ", "script 's' (number 1) can run off its end"},
      {"script s:\n  angle 1\n  restart\n  wait 1\n  restart\n",
       "level.wis:3:3: ", "script 's' (number 1) loops without yielding"},
      {"script s:\n  spawn 1 2 0 0\n  wait 1\n  remove\n",
       "level.wis:2:3: ", "spawn of script 2, but the file has 1 scripts"},
      {"script s:\n  spawn 1 0 0 0\n  wait 1\n  remove\n", "", "spawn of script 0"},
      {"script s:\n  fire 6 0 0\n  wait 1\n  remove\n",
       "level.wis:2:3: ", "shot type 6 is not built in (1 to 5 expected)"},
      {"script s:\n  fire 0 0 0\n  wait 1\n  remove\n", "", "shot type 0 is not built in"},
      {"script s:\n  aim 6 100\n  wait 1\n  remove\n",
       "level.wis:2:3: ", "shot type 6 is not built in (1 to 5 expected)"},
      {"script s:\n  aim 3 0\n  wait 1\n  remove\n",
       "level.wis:2:3: ", "aim with speed 0: the bullet must move towards the ship"},
      {"script s:\n  aim 3 -50 1 1\n  wait 1\n  remove\n", "", "aim with speed -50"},
      {"script s:\n  spawn 17 s 0 0\n  wait 1\n  remove\n", "",
       "enemy type 17 is not defined (expected 1..16 or 255)"},
      {"script s:\n  spawn 5 s 0 0\n  wait 1\n  remove\n", "",
       "enemy type 5 is not defined (expected 1..4 or 255)", 4},
      {"script s:\n  remove\ntail:\n  wait 1\n", "level.wis:3:1: ", "the records of the tail"},
      {"tail:\n  wait 1\n", "level.wis:1:1: ", "no script"},
      {"script s:\n  skip_unless 2 2\n  wait 1\n  remove\n", "level.wis:2:3: ",
       "skip_unless skips 2 instructions, past the end of script 's' (number 1)"},
      {"script s:\n  skip_unless 1 1\n  wait 1\n  restart\n",
       "level.wis:4:3: ", "script 's' (number 1) loops without yielding"},
      {"script s:\n  skip_unless 3 1\n  wait 1\n  remove\n", "", "skip_unless for difficulty 3"},
      {"script s:\n  skip_unless 1 0\n  wait 1\n  remove\n", "", "skip_unless skips 0"},
  };
  for (const Case& c : cases) {
    const AsmResult refused = assemble(c.source, true, c.enemy_types);
    ASSERT_FALSE(refused.ok()) << c.source;
    EXPECT_NE(joined(refused.errors).find(c.where + c.message), std::string::npos)
        << c.source << "got: " << joined(refused.errors) << "wanted: " << c.message;

    // Without the checker the same file assembles, with the refusal as a warning.
    const AsmResult warned = assemble(c.source, false, c.enemy_types);
    EXPECT_TRUE(warned.ok()) << c.source << joined(warned.errors);
    EXPECT_NE(joined(warned.warnings).find(c.where + "warning: " + c.message), std::string::npos)
        << c.source << joined(warned.warnings);
  }
}

// A level no script can win assembles, with one line that says why.
TEST(AsmChecker, WarnsWhenNoSpawnedTypeCarriesTheVictoryStep) {
  const std::string spawns_2 = "script s:\n  spawn 2 s 0 0\n  wait 1\n  remove\n";
  struct Case {
    std::optional<std::vector<int>> victory_types;
    std::string warning;  // "" for none
  } const cases[] = {
      {std::nullopt, ""},  // no enemy file: nothing known
      {std::vector<int>{},
       "warning: level.wis: the level can never be won: no step carries the victory flag"},
      {std::vector<int>{3, 4},
       "warning: level.wis: the level can never be won: no script spawns a type "
       "with a victory step (3, 4)"},
      {std::vector<int>{2}, ""},
  };
  for (const Case& c : cases) {
    AsmOptions options;
    options.file_name = "level.wis";
    options.enemy_types = 4;
    options.victory_types = c.victory_types;
    const AsmResult r = assemble_source(spawns_2, options);
    EXPECT_TRUE(r.ok()) << joined(r.errors);
    EXPECT_EQ(joined(r.warnings), c.warning.empty() ? "" : c.warning + "\n");
  }
}

TEST(AsmChecker, AcceptsWellFormedLoopsAndEnds) {
  for (const char* source : {
           "script s:\n  angle 1\n  wait 0\n  restart\n",
           "script s:\n  wait 5\n  angle 1\n  restart\n",
           "script s:\n  remove\n",
           "script s:\n  spawn 4 s 0 0\n  spawn director 1 0 0\n  wait 1\n  remove\n",
           "script s:\n  fire 2 0 0\n  remove\n",
           "script s:\n  aim 1 1\n  aim 3 32767 -5 40\n  remove\n",
       }) {
    const AsmResult r = assemble(source, true, 4);
    EXPECT_TRUE(r.ok()) << source << joined(r.errors);
    EXPECT_TRUE(r.warnings.empty()) << source << joined(r.warnings);
  }
}

TEST(AsmChecker, FileLimitHoldsEvenWithoutTheChecker) {
  std::string source = "script s:\n  repeat 4095 {\n    wait 1\n  }\n  remove\n";
  EXPECT_FALSE(assemble(source, false).ok());  // 4095 + remove + end = 4097 records
  source = "script s:\n  repeat 4094 {\n    wait 1\n  }\n  remove\n";
  const AsmResult r = assemble(source, false);
  ASSERT_TRUE(r.ok()) << joined(r.errors);
  EXPECT_EQ(r.instructions.size(), 4096u);
}

TEST(AsmRoundTrip, SourceToRecordsToSourceGivesTheSameRecords) {
  const auto records = assemble_ok(R"(
    const Y = -20
    script timeline:
      spawn type=3 script=diver x=100 y=Y vy=50 group=7
      spawn director timeline 0 0
      wait 100
      remove
    script diver:
      velocity 0 150
      fire shot=1 x=self y=self vy=300 dx=10 dy=40
      aim 3 180 12 20
      angle -64
      wait 0
      restart
  )");
  expect_round_trip(records);
  const std::string source = disassemble(records);
  EXPECT_NE(source.find("x=self"), std::string::npos) << source;
  EXPECT_NE(source.find("type=director script=script1"), std::string::npos) << source;
  EXPECT_NE(source.find("aim shot=3 speed=180 dx=12 dy=20"), std::string::npos) << source;
}

TEST(AsmRoundTrip, OddRecordsSurviveExactly) {
  const std::vector<ScriptInstruction> records = {
      rec(OP_WAIT, {5, 0, 0, 7}),                         // an ignored operand set
      rec(OP_FIRE, {1, -1, -1, 0, 300, 10, 40, -32768}),  // operand 7 of fire
      rec(OP_RESTART, {0, 0, 0, 0, 0, 0, 0, 1}),
      rec(OP_SPAWN, {-5, 0, 32767, -32768, 1, 2, 3, 4}),  // no such script or type
      rec(OP_SPAWN, {1, 9, 0, 0}),
      rec(OP_FIRE_AIMED, {3, 100, 0, 0, 5}),  // operand 4 of aim, which ignores it
      rec(OP_FIRE_AIMED, {9, -3}),            // refused by the checker only
      rec(0),
      rec(3, {1, 2, 3}),
      rec(255, {-1, -1, -1, -1, -1, -1, -1, -1}),
      rec(OP_END, {0, 0, 0, 0, 0, 0, 0, 9}),  // an end with operands
      rec(OP_END),                            // an empty script
      rec(OP_SET_ANGLE, {1}),
      rec(OP_REMOVE),
      rec(OP_END),
      rec(OP_WAIT, {1}),  // a tail after the last end
      rec(9),
  };
  expect_round_trip(records);
  const std::string source = disassemble(records);
  EXPECT_NE(source.find("op 1 5 0 0 7"), std::string::npos) << source;
  EXPECT_NE(source.find("op 12 3 100 0 0 5"), std::string::npos) << source;
  EXPECT_NE(source.find("tail:"), std::string::npos) << source;
  // A file without any end is all tail.
  expect_round_trip({rec(OP_WAIT, {3}), rec(12, {1})});
}

// Many random files, each loaded from bytes, must come back byte for byte.
TEST(AsmRoundTrip, RandomFilesComeBackByteForByte) {
  std::mt19937 random(1234);
  const int common[] = {0, 1, 2, 3, 5, 6, 7, 8, 8, 8, 10, 11, 200};
  for (int file = 0; file < 200; ++file) {
    std::vector<std::uint8_t> bytes(SCRIPT_RECORD_SIZE * (1 + random() % 60));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool opcode = i % SCRIPT_RECORD_SIZE == 0;
      // Mostly zero operands, so the readable forms are used often.
      bytes[i] =
          opcode ? common[random() % std::size(common)] : (random() % 4 == 0 ? random() % 256 : 0);
    }
    const ScriptParse parsed = parse_scripts(bytes, "random.wif");
    ASSERT_EQ(parsed.error, "");
    const AsmResult again = assemble(disassemble(parsed.instructions), false);
    ASSERT_TRUE(again.ok()) << joined(again.errors) << disassemble(parsed.instructions);
    ASSERT_EQ(encode_scripts(again.instructions), bytes) << disassemble(parsed.instructions);
  }
}

TEST(AsmEncoding, RecordsAreSeventeenBigEndianBytes) {
  const std::vector<ScriptInstruction> records = {rec(OP_SPAWN, {3, 2, 100, -20, 0, 50, 7, 0})};
  const std::vector<std::uint8_t> expected = {0x06, 0x00, 0x03, 0x00, 0x02, 0x00, 0x64, 0xFF, 0xEC,
                                              0x00, 0x00, 0x00, 0x32, 0x00, 0x07, 0x00, 0x00};
  EXPECT_EQ(encode_scripts(records), expected);
}

TEST(AsmStore, LoadsAssembledSourceIntoTheStore) {
  script_store.fill(rec(OP_WAIT, {77}));
  const auto errors = load_source_into_store("script s:\n  angle 2\n  remove\n");
  ASSERT_TRUE(errors.empty());
  EXPECT_EQ(script_store[0].opcode, OP_SET_ANGLE);
  EXPECT_EQ(script_store[2].opcode, OP_END);
  EXPECT_EQ(script_store[3].operands[0], 77);  // the rest is left as it was
  int start = 0, length = 0;
  ASSERT_TRUE(find_script(1, &start, &length));
  EXPECT_EQ(length, 2);
  EXPECT_FALSE(load_source_into_store("script s:\n  wait\n").empty());
}
