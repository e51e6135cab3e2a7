// Bosses under the arcade rules: the per-type data beside the enemy file (its
// parser, its writer and the enemy compiler's round trip), a boss's health
// bar and its fall.
#include <string>

#include "content/content.h"
#include "eif/eif.h"
#include "render/hud_local.h"
#include "world_fixture.h"

namespace {

EnemyExtras parse(const std::string& text) {
  return parse_enemy_extras(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), "e.eix");
}

}  // namespace

TEST(EnemyExtras, ParsesEachKeyAndRefusesWithTheLine) {
  const EnemyExtras none = parse("");
  EXPECT_EQ(none.error, "");
  EXPECT_EQ(none.types[6], EnemyTypeExtras{}) << "a missing type scores 100 and is no boss";
  const EnemyExtras boss = parse(
      "[[type]]\nnumber = 7\nscore = 5000\nboss = true\nname = \"Tyrant\"\nhealth = 1200\n"
      "[[type]]\nnumber = 2\nscore = 0\n");
  ASSERT_EQ(boss.error, "");
  EXPECT_EQ(boss.types[6], (EnemyTypeExtras{5000, true, "Tyrant", 1200}));
  EXPECT_EQ(boss.types[1].score, 0);

  const std::string seven = "[[type]]\nnumber = 7\n";
  const std::pair<std::string, const char*> refused[] = {
      {"[[type]]\nscore = 5\n", "e.eix:1: [[type]] has no number"},
      {"[[type]]\nnumber = 9\n", "e.eix:2: number must be a whole number from 1 to 8"},
      {seven + seven, "e.eix:3: type 7 is given twice"},
      {seven + "score = -1\n", "e.eix:3: score must be a whole number from 0 to 1000000"},
      {seven + "boss = 1\n", "e.eix:3: boss is not true or false"},
      {seven + "name = \"Tyrant\"\n", "e.eix:3: only a boss has a name"},
      {seven + "boss = true\nname = \"A name far too long to show\"\n", "e.eix:4: name must be"},
      {seven + "boss = true\nname = \"T\\u00e9\"\n", "printable ASCII"},
      {seven + "health = 300\n", "e.eix:1: only a boss has health"},
      {seven + "boss = true\nhealth = 255\n", "from 256 to 32767"},
      {seven + "speed = 3\n", "e.eix:3: unknown key \"speed\" in [[type]]"},
      {"level = 1\n", "e.eix:1: unknown key \"level\""},
      {"type = 3\n", "type is not a list of [[type]] tables"},
      {"[[type]\n", "e.eix:1: "},
  };
  for (const auto& [text, expected] : refused)
    EXPECT_NE(parse(text).error.find(expected), std::string::npos)
        << "wanted: " << expected << "\ngot: " << parse(text).error;
}

// The compiler takes the keys from the enemy TOML, the printer gives them
// back, and both files come out the same the second time round.
TEST(EnemyExtras, RoundTripThroughTheEnemyCompiler) {
  const std::string step = "[[enemy.step]]\nnext = 0\nduration = 1\nframe = 0\n";
  const std::string source = "[[enemy]]\ndatafile = \"d.dat\"\nhealth = 1\ndeath = 0\n" + step +
                             "[[enemy]]\nname = \"dart\"\nscore = 50\ndatafile = \"a.dat\"\n"
                             "health = 2\ndeath = 0\n" +
                             step +
                             "[[enemy]]\nname = \"Tyrant\"\nboss = true\nscore = 5000\n"
                             "datafile = \"b.dat\"\nhealth = 1200\ndeath = 0\n" +
                             step;
  const EifCompiled first = compile_enemy_toml(source, "t.toml");
  ASSERT_TRUE(first.errors.empty()) << first.errors[0];
  EXPECT_EQ(first.file.types[2].health, MAX_FILE_HEALTH);
  EXPECT_EQ(first.extras.types[2], (EnemyTypeExtras{5000, true, "Tyrant", 1200}));
  EXPECT_EQ(first.extras.types[1], (EnemyTypeExtras{50, false, "", 0})) << "not a boss: no name";
  EXPECT_EQ(enemy_extras_mismatch(first.file, first.extras, "t.eix"), "");

  const std::string text = serialize_enemy_extras(first.extras, "t.eif");
  EXPECT_EQ(parse(text).types, first.extras.types);
  const EifCompiled again =
      compile_enemy_toml(decompile_enemy_file(first.file, "t.eif", first.extras), "u.toml");
  ASSERT_TRUE(again.errors.empty()) << again.errors[0];
  EXPECT_EQ(serialize_enemy_file(again.file), serialize_enemy_file(first.file));
  EXPECT_EQ(serialize_enemy_extras(again.extras, "t.eif"), text);

  // Health past a byte is a boss's alone, and the companion's types are the file's.
  EXPECT_FALSE(compile_enemy_toml(source.substr(0, source.find("boss = true")) +
                                      source.substr(source.find("score = 5000")),
                                  "t.toml")
                   .errors.empty());
  EnemyFile short_file = first.file;
  short_file.types.resize(2);
  EXPECT_NE(enemy_extras_mismatch(short_file, first.extras, "t.eix").find("type 3 is not"),
            std::string::npos);
  EXPECT_EQ(enemy_extras_path("lv/enemy.eif"), "lv/enemy.eix");
}

class Bosses : public fixture::WorldTest {};

// The bar follows the boss's health and marks its wait_health phases; its
// fall bursts, flashes, shakes and turns every enemy bullet into a spark.
TEST_F(Bosses, TheBarEmptiesAndTheFallClearsTheBullets) {
  rules = ARCADE_RULES;
  fixture::load_script_source(R"(
    script boss:
      wait_health 600
      wait_health 200
      wait 30000
      remove
  )");
  EnemyType& type = content_.define_enemy_type(1, 800, 0, 1, {{0, 10}, {-1, 5, ANIM_EXPLODE}});
  type.boss = true;
  type.name = {'T', 'y', 'r', 'a', 'n', 't'};
  EXPECT_FALSE(boss_bar().shown);
  spawn_enemy(1, 1, 100.0f, 20.0f, 0.0f, 0.0f, 0, 0);
  ASSERT_EQ(living_boss(), 0);
  BossBar bar = boss_bar();
  EXPECT_TRUE(bar.shown);
  EXPECT_STREQ(bar.name, "Tyrant");
  EXPECT_EQ(bar.filled, BOSS_BAR_W);
  ASSERT_EQ(bar.mark_count, 2);
  EXPECT_EQ(bar.marks[0], BOSS_BAR_W * 3 / 4);
  EXPECT_EQ(bar.marks[1], BOSS_BAR_W / 4);
  enemies[0].health = 400.0f;
  EXPECT_EQ(boss_bar().filled, BOSS_BAR_W / 2);

  for (int i = 0; i < 5; ++i) enemy_bullets[i] = Bullet{1, 10.0f + 20 * i, 200.0f, 0, 1, 0, 5, 0};
  enemies[0].health = 0.5f;
  player_shots[0] = Bullet{1, 120.0f, 30.0f, 0.0f, 0.0f, 0, 5, 0};
  update_world();
  EXPECT_EQ(living_boss(), -1);
  EXPECT_FALSE(boss_bar().shown);
  for (const Bullet& b : enemy_bullets) EXPECT_EQ(b.type, 0);
  EXPECT_GE(fixture::live_particles(), 400 + 5) << "a large burst and a spark per bullet";
  // Raised in the enemies' phase; the tick's end may already count them down once.
  EXPECT_GE(screen_feedback.flash_left, BOSS_FLASH_TICKS - 1);
  EXPECT_GE(screen_feedback.shake_left, SHAKE_TICKS - 1);
}
