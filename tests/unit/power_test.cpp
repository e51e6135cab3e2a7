// Power-ups: each weapon level's volley, the drop counter, the items' fall and
// what touching one gives, a blow's cost and the level a level starts with.
#include <algorithm>
#include <tuple>
#include <vector>

#include "render/hud_local.h"
#include "world_fixture.h"

namespace {

int live_shots() {
  return static_cast<int>(std::count_if(player_shots.begin(), player_shots.end(),
                                        [](const Bullet& b) { return b.type != 0; }));
}
int live_items() {
  return static_cast<int>(
      std::count_if(items.begin(), items.end(), [](const Item& i) { return i.kind != 0; }));
}

class Power : public fixture::WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    // A 16 x 16 item picture that is solid only in its middle 4 x 4.
    BITMAP* picture = create_bitmap(ITEM_SIZE, ITEM_SIZE);
    clear_to_color(picture, bitmap_mask_color(picture));
    rectfill(picture, 6, 6, 9, 9, makecol(255, 255, 255));
    content_.bitmaps.push_back(picture);
    for (Animation& a : item_pictures) a.mask = content_.mask_of(picture);
  }
  void TearDown() override {
    for (Animation& a : item_pictures) a.mask = nullptr;
    WorldTest::TearDown();
  }
  // A fresh world under the plain rules with power-ups.
  static void fresh() {
    fixture::reset_world();
    fixture::load_script_source(fixture::IDLE_SCRIPT);
    rules.power_ups = true;
  }
};

TEST_F(Power, EachWeaponLevelFiresItsVolleyAtItsRate) {
  struct Row {
    int power;
    std::vector<float> dx, vx;  // from the ship's left edge, in firing order
    int volleys_in_60_ticks;
  };
  const std::vector<Row> rows = {
      {0, {18}, {0}, 3},  // the plain game: level 1's single shot
      {1, {18}, {0}, 3},
      {2, {12, 24}, {0, 0}, 3},
      {3, {18, 12, 24}, {0, -0.6f, 0.6f}, 3},
      {4, {18, 12, 24}, {0, -0.6f, 0.6f}, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.power);
    fresh();
    player.power = row.power;
    key[KEY_SPACE] = 1;
    update_player(read_tick_input());
    ASSERT_EQ(live_shots(), static_cast<int>(row.dx.size()));
    for (std::size_t k = 0; k < row.dx.size(); ++k) {
      EXPECT_FLOAT_EQ(player_shots[k].x, SHIP_START_X + row.dx[k]);
      EXPECT_FLOAT_EQ(player_shots[k].vx, row.vx[k]);
      EXPECT_FLOAT_EQ(player_shots[k].vy, -PLAYER_SHOT_SPEED);
    }
    for (int t = 1; t < 60; ++t) run_tick(read_tick_input());
    EXPECT_EQ(live_shots(), row.volleys_in_60_ticks * static_cast<int>(row.dx.size()));
  }
}

TEST_F(Power, EveryNthKillByAShotDropsOneItemUnderPowerUpRules) {
  struct Row {
    bool power_ups;
    int drop_every, kills, dropped, counted_after;  // kills toward the next drop
  };
  for (const Row& row :
       std::vector<Row>{{true, 3, 7, 2, 1}, {true, 1, 2, 2, 0}, {false, 3, 7, 0, 0}}) {
    SCOPED_TRACE(row.drop_every);
    fresh();
    rules.power_ups = row.power_ups;
    EnemyType& type = content_.define_enemy_type(2, 1, 0, 1, {{0, 10}, {-1, 0}});
    type.drop = ITEM_ENERGY;
    type.drop_every = row.drop_every;
    for (int k = 0; k < row.kills; ++k) {
      const int slot = spawn_idle(2, 100, 100);
      enemies[slot].health = 0.5f;
      player_shots[0] = Bullet{1, 110, 110, 0, 0, 0, 5, 0};
      update_world();
      enemies[slot].type = 0;
    }
    EXPECT_EQ(live_items(), row.dropped);
    EXPECT_EQ(level_tally.items_dropped[ITEM_ENERGY - 1], row.dropped);
    EXPECT_EQ(kills_toward_drop[1], row.counted_after);
    // The first sways about the middle of the enemy's 40 x 40 box.
    EXPECT_EQ(std::make_pair(items[0].kind, items[0].line_x),
              std::make_pair(row.dropped > 0 ? ITEM_ENERGY : 0, row.dropped > 0 ? 112.0f : 0.0f));
  }
}

TEST_F(Power, AnItemSwaysDownBlinksNearTheBottomAndLeaves) {
  drop_item(ITEM_POWER, 160, 200);
  player.x = 0;  // out of its way
  float lowest_x = items[0].x, highest_x = items[0].x;
  std::array<int, 2> hidden{};  // ticks hidden above the last 2 s of its fall, and in them
  int ticks = 0;
  for (; items[0].kind != 0 && ticks < 1000; ++ticks, update_world()) {
    lowest_x = std::min(lowest_x, items[0].x);
    highest_x = std::max(highest_x, items[0].x);
    hidden[items[0].y >= PLAYFIELD_H - ITEM_FALL_SPEED * ITEM_BLINK_TICKS] += !item_shown(items[0]);
  }
  EXPECT_EQ(ticks, static_cast<int>((PLAYFIELD_H - (200 - ITEM_SIZE / 2)) / ITEM_FALL_SPEED));
  EXPECT_FLOAT_EQ(highest_x - lowest_x, 2 * ITEM_SWAY);
  EXPECT_EQ(hidden, (std::array<int, 2>{0, ITEM_BLINK_TICKS / 2})) << "blinking every 4 ticks";
}

TEST_F(Power, TouchingAnItemGivesItsKindUpToItsLimit) {
  struct Row {
    int kind, power, energy, bombs, power_to, energy_to, bombs_to;
  };
  const std::vector<Row> rows = {
      {ITEM_POWER, 1, 5, 0, 2, 5, 0},  {ITEM_POWER, 4, 5, 0, 4, 5, 0},
      {ITEM_ENERGY, 1, 5, 0, 1, 7, 0}, {ITEM_ENERGY, 1, 9, 0, 1, 10, 0},
      {ITEM_BOMB, 1, 5, 4, 1, 5, 5},   {ITEM_BOMB, 1, 5, 5, 1, 5, 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind * 100 + row.power * 10 + row.bombs);
    fresh();
    std::tie(player.power, player.energy, player.bombs) =
        std::tie(row.power, row.energy, row.bombs);
    // At the right end of its sway the item's box overlaps the ship's corner
    // by 4 x 4 pixels, where its picture is empty...
    items[0] = Item{row.kind, 0, SHIP_START_Y - 12.5f, SHIP_START_X - 22, ITEM_SWAY_TICKS / 2 - 1};
    update_world();
    EXPECT_EQ(live_items(), 1);
    // ...then the solid middle meets the ship.
    items[0].line_x += 6;
    items[0].y += 6;
    update_world();
    EXPECT_EQ(live_items(), 0);
    EXPECT_EQ(std::make_tuple(player.power, player.energy, player.bombs),
              std::make_tuple(row.power_to, row.energy_to, row.bombs_to));
    EXPECT_EQ(level_tally.items_taken[row.kind - 1], 1);
    EXPECT_EQ(world_events[EVENT_ITEM_TAKEN].count, 1);
  }
}

TEST_F(Power, ABlowCostsALevelAndEachLevelStartsWithWhatTheLastEndedWith) {
  for (const auto& [before, after] : std::vector<std::pair<int, int>>{{3, 2}, {1, 1}}) {
    fresh();
    player.power = before;
    enemy_bullets[0] = Bullet{1, SHIP_START_X + 20, SHIP_START_Y + 20, 0, 0, 0, 5, 0};
    update_world();
    EXPECT_EQ(player.energy, START_ENERGY - 1);
    EXPECT_STREQ(format_power(player.power).data(), after == 2 ? "PWR 2" : "PWR 1");
  }
  // A new game starts at 1, the next level keeps 3, a continue starts at 1 again.
  for (const auto& [new_game, set, expected] :
       std::vector<std::tuple<bool, int, int>>{{true, 0, 1}, {false, 3, 3}, {true, 3, 1}}) {
    if (set > 0) player.power = set;
    if (new_game) reset_world_for_new_game();
    start_level_power();
    EXPECT_EQ(player.power, expected);
  }
  rules = PLAIN_RULES;
  start_level_power();
  EXPECT_EQ(player.power, 0);
  EXPECT_STREQ(format_power(player.power).data(), "") << "the plain rules show no level";
}

}  // namespace
