// The campaign: its file's parser, the check of every file it names before a
// game starts, and the step from a won level to the next one.
#include <allegro.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sys/wait.h>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "content/content.h"
#include "world/world.h"
#include "world/world_local.h"

namespace fs = std::filesystem;

namespace {

Campaign parse(const std::string& text) {
  return parse_campaign(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                        "c.toml");
}

std::string level_table(const std::string& title, const std::string& script,
                        const std::string& enemies, const std::string& tiles,
                        const std::string& music) {
  return "[[level]]\ntitle = \"" + title + "\"\nscript = \"" + script + "\"\nenemies = \"" +
         enemies + "\"\ntiles = \"" + tiles + "\"\nmusic = \"" + music + "\"\n";
}

const std::string FIRST = level_table("One", "level1.wif", "enemy.eif", "tileset1.dat", "play.ogg");
const std::string SECOND =
    level_table("Ion Reef", "level2.wif", "enemy2.eif", "tileset2.dat", "level2.ogg");
// The shipped second level has more enemy types than the plain rules load:
// it plays by the arcade rules, and the plain rules' second level is level1's
// files again.
const std::string ARCADE = "[rules]\narcade = true\n";
const std::string PLAIN_SECOND =
    level_table("Ion Reef", "level1.wif", "enemy.eif", "tileset2.dat", "level2.ogg");

}  // namespace

TEST(CampaignFile, ReadsEveryLevelInOrder) {
  const Campaign c = parse("# two levels\n" + FIRST + "\n" + SECOND);
  ASSERT_EQ(c.error, "");
  ASSERT_EQ(c.levels.size(), 2u);
  EXPECT_EQ(c.levels[0].title, "One");
  EXPECT_EQ(c.levels[1].title, "Ion Reef");
  EXPECT_EQ(c.levels[1].script, "level2.wif");
  EXPECT_EQ(c.levels[1].enemies, "enemy2.eif");
  EXPECT_EQ(c.levels[1].tiles, "tileset2.dat");
  EXPECT_EQ(c.levels[1].music, "level2.ogg");
  EXPECT_EQ(c.levels[1].boss_music, "") << "without one the level's track plays on";
  EXPECT_EQ(parse(FIRST + "boss_music = \"boss.ogg\"\n").levels[0].boss_music, "boss.ogg");
  // A folder inside the game folder is fine.
  EXPECT_EQ(parse(FIRST + level_table("T", "a/b.wif", "e.eif", "t.dat", "m.ogg")).error, "");
  // Without a name or [rules]: the first title names it, the plain rules hold.
  EXPECT_EQ(c.name, "One");
  EXPECT_EQ(c.rules.invulnerable_ticks, 0);
  const Campaign arcade = parse("name = \"Mirvo\"\n[rules]\narcade = true\n" + FIRST);
  ASSERT_EQ(arcade.error, "");
  EXPECT_EQ(arcade.name, "Mirvo");
  EXPECT_EQ(arcade.rules.invulnerable_ticks, ARCADE_RULES.invulnerable_ticks);
  EXPECT_EQ(parse("[rules]\narcade = false\n" + FIRST).rules.chain_ticks, 0);
}

TEST(CampaignFile, TheSingleLevelGameIsLevelOnesFilesWithoutATitle) {
  const Campaign c = single_level_campaign();
  ASSERT_EQ(c.levels.size(), 1u);
  EXPECT_EQ(c.levels[0].title, "");
  EXPECT_EQ(c.levels[0].script, "level1.wif");
  EXPECT_EQ(c.levels[0].enemies, "enemy.eif");
  EXPECT_EQ(c.levels[0].tiles, "tileset1.dat");
  EXPECT_EQ(c.levels[0].music, "play.ogg");
}

// Every refusal names the file and the line it is about.
TEST(CampaignFile, RefusesWhatTheGameCannotPlayWithTheLine) {
  const std::string long_title(MAX_CAMPAIGN_TITLE + 1, 'x');
  std::string too_many;
  for (std::size_t i = 0; i <= MAX_CAMPAIGN_LEVELS; ++i) too_many += FIRST;
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"", "no [[level]] table: a campaign needs a level"},
      {"[[level\n", "c.toml:1: "},
      {"speed = 3\n" + FIRST, "c.toml:1: unknown key \"speed\""},
      {FIRST + "extra = 1\n", "c.toml:7: unknown key \"extra\" in [[level]]"},
      {"[[level]]\ntitle = \"A\"\nscript = \"level1.wif\"\n", "c.toml:1: [[level]] has no enemies"},
      {"level = [1]\n", "c.toml:1: level is not a [[level]] table"},
      {FIRST + level_table(long_title, "l.wif", "e.eif", "t.dat", "m.ogg"),
       "c.toml:8: title must be 1 to 31 bytes"},
      {FIRST + level_table("", "l.wif", "e.eif", "t.dat", "m.ogg"), "c.toml:8: title must be"},
      {FIRST + level_table("T", "/etc/l.wif", "e.eif", "t.dat", "m.ogg"),
       "c.toml:9: script \"/etc/l.wif\" is not relative to the game folder"},
      {FIRST + level_table("T", "l.wif", "../e.eif", "t.dat", "m.ogg"),
       "c.toml:10: enemies \"../e.eif\" leaves the game folder"},
      {FIRST + level_table("T", "l.wif", "e.eif", "a/../../t.dat", "m.ogg"), "leaves the game"},
      {FIRST + level_table("T", "l.wif", "e.eif", "t.dat", ""), "c.toml:12: music \"\" is empty"},
      {FIRST + "boss_music = \"../b.ogg\"\n", "c.toml:7: boss_music \"../b.ogg\" leaves the game"},
      {FIRST + "[[level]]\ntitle = 5\n", "c.toml:8: title is not a string"},
      {too_many, "c.toml:385: more than 64 levels"},
      {"[rules]\narcade = 1\n" + FIRST, "c.toml:2: arcade is not true or false"},
      {"[rules]\nfast = true\n" + FIRST, "c.toml:2: unknown key \"fast\" in [rules]"},
      {"rules = 1\n" + FIRST, "c.toml:1: rules is not a [rules] table"},
      {"name = \"\"\n" + FIRST, "c.toml:1: name must be 1 to 31 bytes"},
  };
  for (const auto& c : cases) {
    const Campaign parsed = parse(c.text);
    EXPECT_NE(parsed.error.find(c.message), std::string::npos)
        << "got \"" << parsed.error << "\" for:\n"
        << c.text;
    EXPECT_TRUE(parsed.levels.empty());
  }
}

// ---- Files on disk: the game folder's built data ----

class CampaignFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    install_allegro(SYSTEM_NONE, &errno, atexit);
    set_color_depth(32);
    set_color_conversion(COLORCONV_TOTAL);
  }

  // A scratch game folder holding links to every built file.
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("mirvo_campaign_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    for (const auto& entry : fs::directory_iterator(MIRVO_GAME_DIR))
      if (entry.is_regular_file()) fs::create_symlink(entry.path(), dir_ / entry.path().filename());
    old_dir_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_dir_);
    fs::remove_all(dir_);
  }

  static void write(const std::string& name, const std::string& bytes) {
    fs::remove(name);
    std::ofstream(name, std::ios::binary) << bytes;
  }

  fs::path dir_, old_dir_;
};

TEST_F(CampaignFiles, TheShippedCampaignLoadsAndEveryFileItNamesIsSound) {
  const Campaign c = load_campaign();
  ASSERT_EQ(c.error, "");
  ASSERT_GE(c.levels.size(), 3u);
  EXPECT_EQ(campaign_problem(c), "");
}

TEST_F(CampaignFiles, WithoutTheFileTheGameIsTheFirstLevelAlone) {
  fs::remove(CAMPAIGN_FILE);
  const Campaign c = load_campaign();
  ASSERT_EQ(c.levels.size(), 1u);
  EXPECT_EQ(c.levels[0].script, "level1.wif");
}

// The check gives the message the level's loader would give, naming the
// broken file itself, whichever level it belongs to.
TEST_F(CampaignFiles, ABrokenFileAnywhereGivesItsLoadersMessage) {
  Campaign c = parse(ARCADE + FIRST + SECOND);
  ASSERT_EQ(c.error, "");
  const struct {
    const char* file;
    const char* bytes;  // nullptr: the file is missing
    std::string message;
  } cases[] = {
      {"tileset2.dat", nullptr, "Error loading tileset2.dat"},
      {"tileset2.dat", "not a datafile", "Error loading tileset2.dat"},
      {"level2.wif", nullptr, "Script file \"level2.wif\" does not exist\n"},
      {"level2.wif", "short", "Script file \"level2.wif\" does not exist\n"},
      {"enemy2.eif", nullptr, "Error loading \"enemy2.eif\"\n"},
      {"stinger.dat", nullptr, "Error loading datafile \"stinger.dat\" for enemy 1\n"},
  };
  for (const auto& k : cases) {
    const fs::path keep = fs::read_symlink(k.file);
    fs::remove(k.file);
    if (k.bytes) write(k.file, k.bytes);
    EXPECT_EQ(campaign_problem(c), k.message) << k.file;
    fs::remove(k.file);
    fs::create_symlink(keep, k.file);
  }
  EXPECT_EQ(campaign_problem(c), "");
  // A tile set whose object 0 is no picture: the sound archive's is a sample.
  c.levels[1].tiles = "sound.dat";
  EXPECT_EQ(campaign_problem(c), "Error: object 0 of sound.dat is not a picture\n");
}

namespace {

bool message_up(const char* text) {
  for (const Message& m : messages)
    if (m.time_left > 0 && std::string(m.text.data()) == text) return true;
  return false;
}

// A tick in which the level's victory step ends.
void win_level() {
  world_local::note_victory_step();
  world_local::settle_game_outcome();
}

int live_enemies() {
  int n = 0;
  for (const Enemy& e : enemies) n += e.type != 0 && e.type != LEVEL_DIRECTOR;
  return n;
}

}  // namespace

// A won level shows its victory for LEVEL_VICTORY_TICKS, then the next level
// starts on a clear screen with its title; the last level's victory stays.
TEST_F(CampaignFiles, AWonLevelLeadsToTheNextOnAClearScreenKeepingTheScore) {
  const Campaign c = parse(FIRST + PLAIN_SECOND);
  ASSERT_EQ(c.error, "");
  load_game_data();
  reset_world_for_new_game();
  load_campaign_level(c, 0);
  EXPECT_TRUE(message_up("One"));
  CampaignProgress progress;

  // Not won yet: nothing happens, however long.
  for (int i = 0; i < 2 * LEVEL_VICTORY_TICKS; ++i) EXPECT_FALSE(advance_campaign(c, progress));

  // A won level with a busy screen.
  spawn_enemy(2, 2, 100, 100, 0, 0, 0, 0);
  spawn_bullet(1, 1, 50, 50, 0, 1, 0, 0);
  spawn_particle(10, 10, 0, 0, 0, 1, 1, 1);
  player.score = 1200;
  player.energy = 3;
  win_level();
  ASSERT_GT(live_enemies(), 0);
  for (int i = 1; i < LEVEL_VICTORY_TICKS; ++i)
    ASSERT_FALSE(advance_campaign(c, progress)) << "tick " << i;
  ASSERT_TRUE(advance_campaign(c, progress));
  EXPECT_EQ(progress.level, 1);
  EXPECT_EQ(player.score, 1200);
  EXPECT_EQ(player.energy, energy_for_next_level(3));
  EXPECT_EQ(live_enemies(), 0);
  EXPECT_EQ(enemies[0].type, LEVEL_DIRECTOR) << "the new level's timeline runs";
  for (const Bullet& b : enemy_bullets) EXPECT_EQ(b.type, 0);
  for (const Bullet& b : player_shots) EXPECT_EQ(b.type, 0);
  for (const Particle& p : particles) EXPECT_EQ(p.x, FREE_PARTICLE);
  EXPECT_EQ(game_outcome(), GameOutcome::playing) << "the next level starts undecided";
  EXPECT_TRUE(message_up("Ion Reef"));
  EXPECT_EQ(scroll_row, 0);

  // The last level's victory is the end: the game stays won, no level follows.
  win_level();
  for (int i = 0; i < 2 * LEVEL_VICTORY_TICKS; ++i) EXPECT_FALSE(advance_campaign(c, progress));
  EXPECT_EQ(progress.level, 1);
  EXPECT_EQ(game_outcome(), GameOutcome::won);
}

// Under a tally, fire held on from the fight leaves it showing; fire pressed
// anew starts the next level at the next tick, inside the tick, so a replay
// of the same input skips alike.
TEST_F(CampaignFiles, FirePressedAnewSkipsTheTallyAndFireHeldOnDoesNot) {
  const Campaign c = parse(ARCADE + FIRST + SECOND);
  ASSERT_EQ(c.error, "");
  load_game_data();
  CampaignProgress progress;
  start_game(c, progress, 1);
  win_level();
  const TickInput fire = bits_input(INPUT_FIRE);
  for (int i = 0; i < TALLY_TICKS / 2; ++i) ASSERT_FALSE(campaign_tick(c, progress, fire));
  ASSERT_TRUE(progress.cleared);
  ASSERT_FALSE(campaign_tick(c, progress, TickInput{}));
  ASSERT_FALSE(campaign_tick(c, progress, fire));
  EXPECT_TRUE(campaign_tick(c, progress, TickInput{}));
  EXPECT_EQ(progress.level, 1);
}

// A practice game started later in its level (mirvo --at): the stretch
// before runs with the ship kept alive, play starts with full energy, and its
// recording replays from there and from nowhere else.
TEST_F(CampaignFiles, ALaterStartSkipsTheOpeningAndItsRecordingReplaysFromThere) {
  const Campaign c = parse(ARCADE + FIRST);
  load_game_data();
  constexpr int LATER = 70 * TICKS_PER_SECOND;
  CampaignProgress progress;
  start_game(c, progress, 5, LATER);
  EXPECT_EQ(player.energy, START_ENERGY);
  EXPECT_EQ(game_outcome(), GameOutcome::playing);
  EXPECT_GT(live_enemies(), 0) << "the level's waves are under way";

  Recording r = begin_recording(c, 5, "test", "0");
  r.start_tick = LATER;
  for (int tick = 0; tick < 1200; ++tick) {
    campaign_tick(c, progress, bits_input(INPUT_FIRE));
    record_tick(r, INPUT_FIRE);
  }
  finish_recording(r, GameEnd::left, progress);
  const Verification same = verify_recording(r);
  EXPECT_TRUE(same.ok) << same.why;
  r.start_tick = LATER - TICKS_PER_SECOND;
  EXPECT_FALSE(verify_recording(r).ok);
}

TEST_F(CampaignFiles, ALostShipNeverAdvancesAndEnergyBetweenLevelsIsCapped) {
  const Campaign c = parse(FIRST + SECOND);
  load_game_data();
  reset_world_for_new_game();
  load_campaign_level(c, 0);
  CampaignProgress progress;
  player.energy = 0;
  world_local::settle_game_outcome();
  win_level();
  ASSERT_EQ(game_outcome(), GameOutcome::lost);
  for (int i = 0; i < 2 * LEVEL_VICTORY_TICKS; ++i) EXPECT_FALSE(advance_campaign(c, progress));
  EXPECT_EQ(progress.level, 0);

  for (int energy = 1; energy <= START_ENERGY; ++energy) {
    const int next = energy_for_next_level(energy);
    EXPECT_GE(next, energy);
    EXPECT_LE(next, START_ENERGY);
  }
  EXPECT_EQ(energy_for_next_level(START_ENERGY), START_ENERGY);
}

namespace {

// The text of the n-th fenced block (0-based) after `heading` in docs/levels.md.
std::string doc_block(const std::string& heading, int n) {
  std::ifstream in(std::string(MIRVO_SOURCE_DIR) + "/docs/levels.md");
  const std::string doc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t at = doc.find(heading);
  if (at == std::string::npos) return "";
  for (int i = 0; i <= n; ++i) {
    at = doc.find("```", at);
    if (at == std::string::npos) return "";
    at = doc.find('\n', at) + 1;
    const std::size_t end = doc.find("```", at);
    if (i == n) return doc.substr(at, end - at);
    at = end + 3;
  }
  return "";
}

// Runs a command line, giving its exit status and what it printed.
int run(const std::string& command, std::string* output) {
  const std::string out_file = "command_output.txt";
  const int status = std::system((command + " > " + out_file + " 2>&1").c_str());
  std::ifstream in(out_file);
  output->assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string EIF_TOOL = std::string(MIRVO_GAME_DIR) + "/../tools/eif/mirvo-eif";

}  // namespace

// The guide's worked example, as written: the campaign file in the game
// folder, then the check's command line and what it prints.
TEST_F(CampaignFiles, TheGuidesWorkedExampleChecksAsWritten) {
  const std::string toml = doc_block("## Making a campaign", 0);
  const std::string session = doc_block("## Making a campaign", 1);
  ASSERT_NE(toml.find("[[level]]"), std::string::npos) << toml;
  const std::string prompt = "$ mirvo-eif ";
  ASSERT_EQ(session.rfind(prompt, 0), 0u) << session;
  const std::size_t line_end = session.find('\n');
  const std::string arguments = session.substr(prompt.size(), line_end - prompt.size());
  const std::string expected = session.substr(line_end + 1);

  write(CAMPAIGN_FILE, toml);
  const Campaign c = load_campaign();
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(campaign_problem(c), "");
  std::string output;
  EXPECT_EQ(run(EIF_TOOL + " " + arguments, &output), 0) << output;
  EXPECT_EQ(output, expected);
}

// The authors' check names the level and the file the game would refuse, and
// looks at the music the game would only skip.
TEST_F(CampaignFiles, TheAuthorsCheckNamesEveryBrokenLevel) {
  write(CAMPAIGN_FILE,
        ARCADE + FIRST + SECOND +
            level_table("Three", "level3.wif", "enemy3.eif", "tileset9.dat", "level3.ogg"));
  fs::remove("level2.ogg");
  write("level2.ogg", "not music");
  std::string output;
  EXPECT_EQ(run(EIF_TOOL + " --campaign campaign.toml", &output), 1);
  EXPECT_NE(output.find("campaign.toml: error: level 2 (Ion Reef): \"level2.ogg\" does not play: "
                        "not an Ogg Vorbis file"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("campaign.toml: error: level 3 (Three): Error loading tileset9.dat"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find("level 1"), std::string::npos) << output;

  write(CAMPAIGN_FILE, "[[level]]\ntitle = 1\n");
  EXPECT_EQ(run(EIF_TOOL + " --campaign campaign.toml", &output), 1);
  EXPECT_NE(output.find("campaign.toml:2: title is not a string"), std::string::npos) << output;

  // Run from elsewhere, the game folder is the campaign file's own.
  write(CAMPAIGN_FILE, FIRST);
  fs::create_directory("elsewhere");
  EXPECT_EQ(run("cd elsewhere && " + EIF_TOOL + " --campaign ../campaign.toml", &output), 0)
      << output;
  EXPECT_EQ(run("cd elsewhere && " + EIF_TOOL + " --campaign ../campaign.toml --data .", &output),
            1)
      << output;
}
