// The shell's timer callbacks, the check of "data.dat", shutdown and a new
// game, run without a window.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "content/content.h"
#include "mask/mask.h"
#include "render/render.h"
#include "shell/shell_local.h"
#include "world/world.h"

// ---- "data.dat" shape ----

TEST(GameData, NeedsBitmapsAtThreeToFiveAndAFontAtSix) {
  static int dummy[7];
  std::array<DATAFILE, 8> data{};
  for (int i = 0; i < 7; ++i) data[i] = DATAFILE{&dummy[i], DAT_DATA, 0, nullptr};
  for (int i = DATA_PLAYER_SHIP; i <= DATA_MENU_BACKGROUND; ++i) data[i].type = DAT_BITMAP;
  data[DATA_MENU_FONT].type = DAT_FONT;
  data[7].type = DAT_END;
  EXPECT_EQ(game_data_usable(data.data()), 1);
  EXPECT_EQ(game_data_usable(nullptr), 0);

  auto with = [&](int index, auto change) {
    std::array<DATAFILE, 8> copy = data;
    change(copy[index]);
    return game_data_usable(copy.data());
  };
  EXPECT_EQ(with(DATA_MENU_FONT, [](DATAFILE& d) { d.type = DAT_BITMAP; }), 0);
  EXPECT_EQ(with(DATA_SHOT, [](DATAFILE& d) { d.type = DAT_FONT; }), 0);
  EXPECT_EQ(with(DATA_PLAYER_SHIP, [](DATAFILE& d) { d.dat = nullptr; }), 0);
  // Archives that end before object 6 are never read past their end.
  EXPECT_EQ(with(DATA_MENU_FONT, [](DATAFILE& d) { d.type = DAT_END; }), 0);
  EXPECT_EQ(with(2, [](DATAFILE& d) { d.type = DAT_END; }), 0);
}

// ---- Timer callbacks ----

TEST(Timers, TicksAreCountedOnlyOutsideTheMenus) {
  tick_count = 5;
  in_menu = 1;
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 5);  // pending ticks survive, none are added
  in_menu = 0;
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 15);
  tick_count = 0;
}

TEST(Timers, NoTickIsCountedWhileAnotherWindowHasTheFocus) {
  tick_count = 2;
  in_menu = 0;
  const unsigned wakes = loop_wakes.load();
  focus_lost();
  EXPECT_EQ(window_focused.load(), 0);
  for (int i = 0; i < 10; ++i) tick_timer();
  EXPECT_EQ(tick_count.load(), 2);  // dropped, never caught up later
  focus_gained();
  EXPECT_EQ(window_focused.load(), 1);
  tick_timer();
  EXPECT_EQ(tick_count.load(), 3);
  // Each change of focus and each tick wakes a capped loop; the dropped ticks do not.
  EXPECT_EQ(loop_wakes.load() - wakes, 3u);
  tick_count = 0;
  in_menu = 1;
}

TEST(Timers, FpsTakesTheFrameCount) {
  frame_count = 57;
  fps = 0;
  fps_timer();
  EXPECT_EQ(fps.load(), 57);
  EXPECT_EQ(frame_count.load(), 0);
  fps_timer();
  EXPECT_EQ(fps.load(), 0);
}

TEST(Timers, NoFrameIsLostWhileTheSampleIsTaken) {
  // The game thread counts frames while the timer samples: every frame ends
  // up in exactly one sample or in what is still counted.
  frame_count = 0;
  constexpr int FRAMES = 1000000;
  std::atomic<bool> done{false};
  std::thread drawer([&done] {
    for (int i = 0; i < FRAMES; ++i) frame_count.fetch_add(1);
    done = true;
  });
  long sampled = 0;
  while (!done.load()) {
    fps_timer();
    sampled += fps.load();
  }
  drawer.join();
  EXPECT_EQ(sampled + frame_count.load(), FRAMES);
  frame_count = 0;
}

TEST(Timers, TicksFromTheTimerThreadAllArrive) {
  // The play loop decrements while the timer adds: nothing is lost either way.
  tick_count = 0;
  in_menu = 0;
  constexpr int TICKS = 100000;
  std::thread timer([] {
    for (int i = 0; i < TICKS; ++i) tick_timer();
  });
  int run = 0;
  while (run < TICKS) {
    if (tick_count.load() > 0) {
      tick_count.fetch_sub(1);
      ++run;
    }
  }
  timer.join();
  EXPECT_EQ(tick_count.load(), 0);
  in_menu = 1;
}

// ---- Shutdown ----

namespace {

// What load_datafile returns for an archive of one picture: a malloc'd array
// ended by a DAT_END entry.
DATAFILE* archive_of_one_picture() {
  auto* data = static_cast<DATAFILE*>(std::calloc(2, sizeof(DATAFILE)));
  data[0] = DATAFILE{create_bitmap(3, 3), DAT_BITMAP, 0, nullptr};
  data[1].type = DAT_END;
  return data;
}

}  // namespace

TEST(ShutDown, ReleasesEveryResourceAndForgetsIt) {
  // The sanitizer build checks "exactly once": a resource left behind is a
  // leak, one released twice a double free.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  set_color_depth(32);
  renderer = Renderer::Software;
  back_buffer = create_bitmap(64, 64);
  game_data = archive_of_one_picture();
  for (int t = 0; t < 2; ++t) shot_types[t].data = archive_of_one_picture();
  for (int step = 0; step < 3; ++step) shot_types[0].anims[step].mask = create_mask(3, 3);
  player.mask = create_mask(SHIP_SIZE, SHIP_SIZE);
  EnemyType& enemy = enemy_types[MAX_ENEMY_TYPES - 1];
  enemy.data = archive_of_one_picture();
  enemy.anims[MAX_ANIMATIONS - 1].shadow = create_bitmap(8, 8);
  enemy.anims[MAX_ANIMATIONS - 1].mask = create_mask(8, 8);
  tile_set = archive_of_one_picture();

  shut_down();

  EXPECT_EQ(back_buffer, nullptr);
  EXPECT_EQ(game_data, nullptr);
  EXPECT_EQ(tile_set, nullptr);
  EXPECT_EQ(player.mask, nullptr);
  for (const ShotType& type : shot_types) {
    EXPECT_EQ(type.data, nullptr);
    for (const Animation& anim : type.anims) EXPECT_EQ(anim.mask, nullptr);
  }
  EXPECT_EQ(enemy.data, nullptr);
  EXPECT_EQ(enemy.anims[MAX_ANIMATIONS - 1].shadow, nullptr);
  EXPECT_EQ(enemy.anims[MAX_ANIMATIONS - 1].mask, nullptr);

  // A later shutdown (after an accepted options screen) finds nothing left.
  ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
  shut_down();
  EXPECT_EQ(game_data, nullptr);
}

// ---- New game ----

TEST(NewGame, ResetsTheShipTheEnemiesAndTheirBulletsOnly) {
  player = Player{};
  player.x = 7;
  player.y = 9;
  player.energy = 0;
  player.score = 1234;
  player.fire_cooldown = 13;
  particles[17].x = 50.0f;
  particles[MAX_PARTICLES - 2].x = 0.0f;
  enemies[3].type = 2;
  enemies[3].wait = 40;
  enemy_bullets[63].type = 1;
  player_shots[5].type = 1;
  game_running = 1;

  new_game();

  EXPECT_EQ(player.x, 140);
  EXPECT_EQ(player.y, 300);
  EXPECT_EQ(player.energy, 10);
  EXPECT_EQ(player.score, 0);
  EXPECT_EQ(game_running, 0);  // the next play_level loads the level again
  for (const Particle& p : particles) ASSERT_EQ(p.x, FREE_PARTICLE);
  for (const Enemy& e : enemies) ASSERT_EQ(e.type, 0);
  for (const Bullet& b : enemy_bullets) ASSERT_EQ(b.type, 0);
  // Left for the level's own start.
  EXPECT_EQ(player.fire_cooldown, 13);
  EXPECT_EQ(enemies[3].wait, 40);
  EXPECT_EQ(player_shots[5].type, 1);
  player_shots[5].type = 0;
}
