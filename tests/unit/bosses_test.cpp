// Bosses under the arcade rules: the per-type data beside the enemy file (its
// parser, its writer and the enemy compiler's round trip), a boss's health
// bar and its fall.
#include <string>
#include <tuple>

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
  EXPECT_EQ(parse("").types[6], EnemyTypeExtras{}) << "a missing type scores 100, no boss";
  const EnemyExtras boss =
      parse("[[type]]\nnumber = 7\nscore = 5000\nboss = true\nname = \"Tyrant\"\nhealth = 1200\n");
  ASSERT_EQ(boss.error, "");
  EXPECT_EQ(boss.types[6], (EnemyTypeExtras{5000, true, "Tyrant", 1200}));
  EXPECT_TRUE(parse("[[type]]\nnumber = 8\nstarts_boss_music = true\n").types[7].starts_boss_music);
  const std::string seven = "[[type]]\nnumber = 7\n";
  const std::pair<std::string, const char*> refused[] = {
      {"[[type]]\nscore = 5\n", "e.eix:1: [[type]] has no number"},
      {"[[type]]\nnumber = 17\n", "e.eix:2: number must be a whole number from 1 to 16"},
      {seven + seven, "e.eix:3: type 7 is given twice"},
      {seven + "name = \"Tyrant\"\n", "e.eix:3: only a boss has a name"},
      {seven + "boss = true\nname = \"A name far too long to show\"\n", "e.eix:4: name must"},
      {seven + "health = 300\n", "e.eix:1: only a boss has health"},
      {seven + "boss = true\nhealth = 255\n", "from 256 to 32767"},
      {seven + "speed = 3\n", "e.eix:3: unknown key \"speed\" in [[type]]"},
      {seven + "starts_boss_music = 1\n", "e.eix:3: starts_boss_music is not true or false"},
      {seven + "drop = \"laser\"\n", "e.eix:3: drop must be \"power\", \"energy\" or \"bomb\""},
      {seven + "drop_every = 3\n", "e.eix:1: drop_every without a drop"},
      {seven + "drop = \"power\"\ndrop_every = 0\n", "e.eix:4: drop_every must be a whole number"},
  };
  for (const auto& [text, expected] : refused)
    EXPECT_NE(parse(text).error.find(expected), std::string::npos) << parse(text).error;
}

// The compiler takes the keys from the enemy TOML, the printer gives them
// back, and both files come out the same the second time round.
TEST(EnemyExtras, RoundTripThroughTheEnemyCompiler) {
  const std::string step = "[[enemy.step]]\nnext = 0\nduration = 1\nframe = 0\n";
  const std::string source =
      "[[enemy]]\ndatafile = \"d.dat\"\nstarts_boss_music = true\nhealth = 1\ndeath = 0\n" + step +
      "[[enemy]]\nname = \"Tyrant\"\nboss = true\nscore = 5000\ndatafile = \"b.dat\"\n"
      "health = 1200\ndrop = \"bomb\"\ndrop_every = 2\ndeath = 0\n" +
      step;
  const EifCompiled first = compile_enemy_toml(source, "t.toml");
  ASSERT_TRUE(first.errors.empty()) << first.errors[0];
  EXPECT_EQ(first.file.types[1].health, MAX_FILE_HEALTH);
  EXPECT_EQ(first.extras.types[1], (EnemyTypeExtras{5000, true, "Tyrant", 1200, ITEM_BOMB, 2}));
  EXPECT_TRUE(first.extras.types[0].starts_boss_music);
  const std::string text = serialize_enemy_extras(first.extras, "t.eif");
  EXPECT_EQ(parse(text).types, first.extras.types);
  const EifCompiled again =
      compile_enemy_toml(decompile_enemy_file(first.file, "t.eif", first.extras), "u.toml");
  ASSERT_TRUE(again.errors.empty()) << again.errors[0];
  EXPECT_EQ(serialize_enemy_file(again.file), serialize_enemy_file(first.file));
  EXPECT_EQ(serialize_enemy_extras(again.extras, "t.eif"), text);

  // Health past a byte is a boss's alone, and the companion's types are the file's.
  const std::size_t boss_line = source.find("boss = true\n");
  EXPECT_FALSE(
      compile_enemy_toml(std::string(source).erase(boss_line, 12), "t.toml").errors.empty());
  EnemyFile one_type = first.file;
  one_type.types.resize(1);
  EXPECT_NE(enemy_extras_mismatch(one_type, first.extras, "t.eix").find("type 2 is not"),
            std::string::npos);
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
  const BossBar bar = boss_bar();
  EXPECT_STREQ(bar.name, "Tyrant");
  EXPECT_EQ(std::tie(bar.shown, bar.filled, bar.mark_count, bar.marks[0], bar.marks[1]),
            std::make_tuple(true, BOSS_BAR_W, 2, BOSS_BAR_W * 3 / 4, BOSS_BAR_W / 4));
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
