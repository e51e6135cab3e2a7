// The script file parser, the loader's fatal paths, and the selection of a
// script by its number.
#include <allegro.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "script/script.h"

namespace {

std::vector<std::uint8_t> record(int opcode, std::initializer_list<int> operands = {}) {
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(opcode)};
  int k = 0;
  for (int v : operands) {
    bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    ++k;
  }
  for (; k < 8; ++k) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

ScriptInstruction instruction(int opcode, int operand0 = 0) {
  ScriptInstruction in;
  in.opcode = opcode;
  in.operands[0] = static_cast<std::int16_t>(operand0);
  return in;
}

void fill_store(std::initializer_list<ScriptInstruction> instructions) {
  script_store.fill(ScriptInstruction{});
  int at = 0;
  for (const ScriptInstruction& in : instructions) script_store[at++] = in;
}

struct Found {
  bool ok = false;
  int start = -1;
  int length = -1;
};

Found find(int number) {
  Found f;
  f.ok = find_script(number, &f.start, &f.length);
  return f;
}

std::string temp_path(const std::string& name) {
  // The process id keeps builds that run their tests at once apart.
  return (std::filesystem::temp_directory_path() /
          ("mirvo_script_test_" + std::to_string(getpid()) + "_" + name))
      .string();
}

std::string temp_file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = temp_path(name);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr) << path;
  if (!f) return path;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return path;
}

}  // namespace

TEST(ScriptParser, FilesShorterThanOneRecordDoNotExist) {
  for (std::size_t size : {0u, 1u, 16u}) {
    const std::vector<std::uint8_t> bytes(size, 0x01);
    const ScriptParse p = parse_scripts(bytes, "level1.wif");
    EXPECT_EQ(p.error, "Script file \"level1.wif\" does not exist\n") << size << " bytes";
    EXPECT_TRUE(p.instructions.empty());
  }
}

TEST(ScriptParser, RecordCountIsSizeOverSeventeenAndPartialRecordIgnored) {
  std::vector<std::uint8_t> bytes = record(OP_WAIT, {5});
  const std::vector<std::uint8_t> second = record(OP_REMOVE);
  bytes.insert(bytes.end(), second.begin(), second.end());
  bytes.push_back(0x06);  // 35 bytes: the last one is not a record
  const ScriptParse p = parse_scripts(bytes, "x");
  ASSERT_EQ(p.error, "");
  ASSERT_EQ(p.instructions.size(), 2u);
  EXPECT_EQ(p.instructions[0].opcode, OP_WAIT);
  EXPECT_EQ(p.instructions[0].operands[0], 5);
  EXPECT_EQ(p.instructions[1].opcode, OP_REMOVE);
}

TEST(ScriptParser, StoreSizeIsTheLimit) {
  std::vector<std::uint8_t> bytes(69632, 0);
  EXPECT_EQ(parse_scripts(bytes, "x").instructions.size(), 4096u);
  bytes.resize(69632 + 16);  // still 4096 whole records
  EXPECT_EQ(parse_scripts(bytes, "x").instructions.size(), 4096u);
  bytes.resize(69649);
  const ScriptParse p = parse_scripts(bytes, "x");
  EXPECT_EQ(p.error, "Error: scripts too big (max 4096, but is 4097)\n");
  EXPECT_TRUE(p.instructions.empty());
}

TEST(ScriptParser, OperandsAreBigEndianSignedAndOpcodeUnsigned) {
  std::vector<std::uint8_t> bytes(17, 0);
  bytes[0] = 0x80;
  const std::uint8_t pairs[8][2] = {{0x00, 0x64}, {0x80, 0x00}, {0xFF, 0xFE}, {0x7F, 0xFF},
                                    {0x01, 0x00}, {0xFF, 0xFF}, {0x00, 0x01}, {0x12, 0x34}};
  for (int k = 0; k < 8; ++k) {
    bytes[1 + 2 * k] = pairs[k][0];
    bytes[2 + 2 * k] = pairs[k][1];
  }
  const ScriptParse p = parse_scripts(bytes, "x");
  ASSERT_EQ(p.instructions.size(), 1u);
  EXPECT_EQ(p.instructions[0].opcode, 128);
  const std::array<std::int16_t, 8> expected = {100, -32768, -2, 32767, 256, -1, 1, 0x1234};
  EXPECT_EQ(p.instructions[0].operands, expected);

  bytes[0] = 0xFF;
  EXPECT_EQ(parse_scripts(bytes, "x").instructions[0].opcode, 255);
}

TEST(ScriptParser, SpawnRecordLoadsAllEightOperands) {
  const std::vector<std::uint8_t> bytes = {0x06, 0x00, 0x03, 0x00, 0x02, 0x00, 0x64, 0xFF, 0xEC,
                                           0x00, 0x00, 0x00, 0x32, 0x00, 0x07, 0x00, 0x00};
  const ScriptParse p = parse_scripts(bytes, "x");
  ASSERT_EQ(p.instructions.size(), 1u);
  EXPECT_EQ(p.instructions[0].opcode, OP_SPAWN);
  const std::array<std::int16_t, 8> expected = {3, 2, 100, -20, 0, 50, 7, 0};
  EXPECT_EQ(p.instructions[0].operands, expected);
}

TEST(ScriptLoader, ShorterLoadLeavesTheTailOfTheLongerOne) {
  script_store.fill(ScriptInstruction{});
  std::vector<std::uint8_t> longer;
  for (int v : {11, 22, 33}) {
    const auto r = record(OP_WAIT, {v});
    longer.insert(longer.end(), r.begin(), r.end());
  }
  const std::string long_file = temp_file("long.wif", longer);
  const std::string short_file = temp_file("short.wif", record(OP_SET_ANGLE, {44}));
  load_scripts(long_file.c_str());
  load_scripts(short_file.c_str());
  std::filesystem::remove(long_file);
  std::filesystem::remove(short_file);
  EXPECT_EQ(script_store[0].opcode, OP_SET_ANGLE);
  EXPECT_EQ(script_store[0].operands[0], 44);
  EXPECT_EQ(script_store[1].operands[0], 22);
  EXPECT_EQ(script_store[2].operands[0], 33);
  EXPECT_EQ(script_store[3].opcode, 0);
}

// The loader's failures end the program with status 1. Headless, the message
// goes to standard output, joined to the error stream here so that the death
// test can read it.
TEST(ScriptLoaderDeathTest, FailuresShowTheMessageAndExit) {
  const auto load_reporting = [](const std::string& path) {
    install_allegro(SYSTEM_NONE, &errno, std::atexit);
    dup2(2, 1);
    load_scripts(path.c_str());
  };
  const std::string missing = temp_path("missing.wif");
  std::filesystem::remove(missing);
  EXPECT_EXIT(load_reporting(missing), testing::ExitedWithCode(1),
              "Script file \".*missing.wif\" does not exist");
  const std::string short_file = temp_file("short16.wif", std::vector<std::uint8_t>(16, 1));
  EXPECT_EXIT(load_reporting(short_file), testing::ExitedWithCode(1), "does not exist");
  const std::string big = temp_file("big.wif", std::vector<std::uint8_t>(69649, 0));
  EXPECT_EXIT(load_reporting(big), testing::ExitedWithCode(1),
              "Error: scripts too big \\(max 4096, but is 4097\\)");

  // A directory has a size but cannot be read as a file.
  const std::string folder = temp_path("folder.wif");
  std::filesystem::create_directory(folder);
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  if (info.st_size >= SCRIPT_RECORD_SIZE) {
    EXPECT_EXIT(load_reporting(folder), testing::ExitedWithCode(1),
                "Error loading script file \".*folder.wif\"");
  }
  for (const std::string& path : {short_file, big, folder}) std::filesystem::remove(path);
}

// Every loader and tool reads its files through read_whole_file and tells a
// file it cannot open from one that fails while being read; a FIFO, a device
// or a file over the limit is refused without blocking and without a byte read.
TEST(WholeFile, ReadsEveryByteAndSaysWhereAFailureCame) {
  std::vector<std::uint8_t> long_bytes(10000);  // more than one read's chunk
  for (std::size_t i = 0; i < long_bytes.size(); ++i)
    long_bytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::string long_file = temp_file("whole_long.bin", long_bytes);
  const std::string empty_file = temp_file("whole_empty.bin", {});
  const std::string missing = temp_path("whole_missing.bin");
  std::filesystem::remove(missing);
  const std::string folder = temp_path("whole_folder");
  std::filesystem::create_directory(folder);
  const std::string fifo = temp_path("whole_fifo");
  std::filesystem::remove(fifo);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // no writer: a blocking open would wait for ever
  struct Case {
    std::string path;
    std::size_t limit;
    bool opened;
    int error;
    std::vector<std::uint8_t> bytes;
    std::string refusal;
  };
  const Case cases[] = {{long_file, 10000, true, 0, long_bytes, ""},
                        {long_file, 9999, true, EFBIG, {}, "larger than 9999 bytes"},
                        {empty_file, 0, true, 0, {}, ""},
                        {missing, 100, false, ENOENT, {}, ""},
                        {folder, 100, true, EISDIR, {}, ""},
                        {fifo, 100, true, EINVAL, {}, "not a regular file"},
                        {"/dev/zero", MAX_TEXT_FILE_BYTES, true, EINVAL, {}, "not a regular file"},
                        // A regular file that says it is empty and is not.
                        {"/proc/self/status", 3, true, EFBIG, {}, "larger than 3 bytes"}};
  for (const Case& c : cases) {
    const WholeFile file = read_whole_file(c.path.c_str(), c.limit);
    EXPECT_EQ(file.opened, c.opened) << c.path;
    EXPECT_EQ(file.error, c.error) << c.path;
    EXPECT_EQ(file.bytes, c.bytes) << c.path;
    EXPECT_EQ(file.refusal, c.refusal) << c.path;
  }
  EXPECT_EQ(whole_file_problem(read_whole_file(long_file.c_str(), 2 * 1024 * 1024 - 1)), "");
  EXPECT_EQ(whole_file_problem(read_whole_file(long_file.c_str(), 8 * 1024)), "larger than 8 KiB");
  for (const std::string& path : {long_file, empty_file, folder, fifo})
    std::filesystem::remove(path);
}

TEST(FindScript, ScriptsAreCountedByTheEndsBeforeThem) {
  fill_store({instruction(OP_WAIT, 1), instruction(OP_WAIT, 2), instruction(OP_END),
              instruction(OP_WAIT, 3), instruction(OP_END)});
  Found f = find(1);
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.start, 0);
  EXPECT_EQ(f.length, 2);
  f = find(2);
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.start, 3);
  EXPECT_EQ(f.length, 1);
  EXPECT_FALSE(find(3).ok);  // zeros after the last end: no end closes them
}

TEST(FindScript, ThirdScriptOfThree) {
  fill_store({instruction(1, 'P'), instruction(OP_END), instruction(1, 'Q'), instruction(1, 'R'),
              instruction(OP_END), instruction(1, 'S'), instruction(OP_END)});
  const Found f = find(3);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.start, 5);
  EXPECT_EQ(f.length, 1);
  EXPECT_EQ(script_store[f.start].operands[0], 'S');
}

TEST(FindScript, EmptyScriptBetweenTwoEnds) {
  fill_store({instruction(OP_END), instruction(OP_END)});
  const Found f = find(2);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.start, 1);
  EXPECT_EQ(f.length, 0);
}

TEST(FindScript, NumbersThatNameNoScriptAreRefused) {
  fill_store({instruction(OP_WAIT), instruction(OP_END)});
  for (int number : {0, -1, -32768, 2, 3, 4097, 32767}) EXPECT_FALSE(find(number).ok) << number;

  // Nothing but zeros: no end anywhere in the store.
  script_store.fill(ScriptInstruction{});
  EXPECT_FALSE(find(1).ok);

  // Every entry an end: script 4096 is the empty run before the last one, and
  // script 4097 would start past the store.
  script_store.fill(instruction(OP_END));
  EXPECT_TRUE(find(4096).ok);
  EXPECT_FALSE(find(4097).ok);
}

TEST(FindScript, LongScriptsAreCutAt128AndEndsAtTheStoreEdgeCount) {
  script_store.fill(instruction(OP_WAIT));
  script_store[SCRIPT_STORE_SIZE - 1] = instruction(OP_END);
  Found f = find(1);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.start, 0);
  EXPECT_EQ(f.length, MAX_SCRIPT_LENGTH);
  EXPECT_FALSE(find(2).ok);  // it would start at entry 4096

  script_store[200] = instruction(OP_END);
  f = find(2);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.start, 201);
  EXPECT_EQ(f.length, MAX_SCRIPT_LENGTH);
  script_store[128] = instruction(OP_END);
  EXPECT_EQ(find(1).length, 128);
  script_store[127] = instruction(OP_END);
  EXPECT_EQ(find(1).length, 127);
}
