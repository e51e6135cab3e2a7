// Sound without a device: the voice an effect takes when voices run short,
// panning across the playfield, the shape "sound.dat" must have, and the
// sounds of world events and the menu keys.
#include <allegro.h>
#include <gtest/gtest.h>

#include <tuple>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "content/content.h"
#include "shell/shell_local.h"
#include "sound/sound_local.h"
#include "world/world.h"

namespace {

TEST(EffectVoices, AFreeVoiceFirstThenTheLeastImportantOldest) {
  struct Case {
    std::vector<VoiceSlot> slots;
    int priority;
    int chosen;
  };
  for (const Case& c : std::vector<Case>{
           {{{true, 200, 1}, {}, {}}, 40, 1},                          // the first free one
           {{{true, 140, 1}, {true, 60, 2}, {true, 180, 3}}, 100, 1},  // the least important
           {{{true, 60, 7}, {true, 60, 3}, {true, 60, 5}}, 60, 1},     // the oldest of equals
           {{{true, 140, 1}, {true, 180, 2}}, 100, -1},                // all matter more: dropped
           {{}, 220, -1},                                              // no voices at all
       }) {
    EXPECT_EQ(choose_voice_slot(c.slots, c.priority), c.chosen) << c.slots.size();
  }
  for (int e = 0; e < SOUND_EFFECT_COUNT; ++e) {
    EXPECT_LT(effect_priority(static_cast<SoundEffect>(e)), 255) << "the music's streams rank 255";
  }
  EXPECT_GT(effect_priority(SOUND_GAME_LOST), effect_priority(SOUND_SHOT));
}

TEST(EffectPan, LeftEdgeToRightEdge) {
  const std::vector<std::pair<float, int>> cases = {
      {0.0f, 0},   {160.0f, 128},  {320.0f, 255},
      {-40.0f, 0}, {1000.0f, 255}, {std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto& [x, pan] : cases) EXPECT_EQ(effect_pan(x), pan) << x;
}

TEST(SoundData, ExactlyTheEffectsInOrder) {
  install_allegro(SYSTEM_NONE, &errno, atexit);
  SAMPLE* sample = create_sample(16, 0, 22050, 100);
  SAMPLE* empty = create_sample(16, 0, 22050, 0);
  BITMAP* picture = create_bitmap(4, 4);
  const int n = SOUND_EFFECT_COUNT;
  const DATAFILE info = {nullptr, DAT_ID('i', 'n', 'f', 'o'), 0, nullptr};
  // n objects of which `odd` is replaced by `other`.
  auto archive = [&](int count, int odd = -1, DATAFILE other = {}) {
    std::vector<DATAFILE> d(count + 1, DATAFILE{sample, DAT_SAMPLE, 0, nullptr});
    if (odd >= 0) d[odd] = other;
    d[count].type = DAT_END;
    return d;
  };
  const std::vector<std::pair<std::vector<DATAFILE>, std::string>> cases = {
      {archive(n), ""},
      {archive(n + 1, n, info), ""},  // the archive tool's info at the end
      {archive(n - 1),
       std::to_string(n - 1) + " objects where " + std::to_string(n) + " samples belong"},
      {archive(n + 1),
       std::to_string(n + 1) + " objects where " + std::to_string(n) + " samples belong"},
      {archive(n + 1, 0, info), "object 0 is not a sample"},  // it would shift every index
      {archive(n, 4, DATAFILE{picture, DAT_BITMAP, 0, nullptr}), "object 4 is not a sample"},
      {archive(n, 2, DATAFILE{empty, DAT_SAMPLE, 0, nullptr}), "sample 2 is empty"},
  };
  for (const auto& [data, problem] : cases) EXPECT_EQ(sound_data_problem(data.data()), problem);
  EXPECT_EQ(sound_data_problem(nullptr), "missing or unreadable");
  destroy_bitmap(picture);
  destroy_sample(empty);
  destroy_sample(sample);
}

TEST(ShellSounds, WorldEventsAndMenuKeys) {
  EXPECT_EQ(effect_for_event(EVENT_ENEMY_DESTROYED), SOUND_EXPLOSION);
  EXPECT_EQ(effect_for_event(EVENT_LEVEL_WON), SOUND_LEVEL_WON);
  EXPECT_EQ(effect_for_event(EVENT_SHIP_EXPLODED), SOUND_SHIP_EXPLOSION);
  EXPECT_EQ(effect_for_event(-1), SOUND_EFFECT_COUNT);
  EXPECT_EQ(effect_for_event(WORLD_EVENT_KIND_COUNT), SOUND_EFFECT_COUNT);

  EXPECT_EQ(menu_key_sound(KEY_ENTER, false), SOUND_MENU_CHOOSE);
  EXPECT_EQ(menu_key_sound(KEY_ESC, true), SOUND_MENU_BACK);
  EXPECT_EQ(menu_key_sound(KEY_DOWN, true), SOUND_MENU_MOVE);
  EXPECT_EQ(menu_key_sound(KEY_LEFT, false), SOUND_EFFECT_COUNT)
      << "Left on Accept changes nothing";
  EXPECT_EQ(menu_key_sound(0, false), SOUND_EFFECT_COUNT) << "the first drawing of a menu";
}

// The player's volumes: 3 dB a step below full, silent at 0, held to 0..10.
TEST(Volumes, ThreeDecibelsAStepFromFullToSilent) {
  for (const auto& [full, level, volume] : {std::tuple{255, 10, 255},
                                            {255, 9, 181},
                                            {255, 1, 11},
                                            {255, 0, 0},
                                            {255, -4, 0},
                                            {255, 99, 255},
                                            {170, 8, 85}})
    EXPECT_EQ(level_volume(full, level), volume) << full << " at " << level;
}

// The offline mix at 1000 frames a second (10 a tick): an effect started at
// tick t sounds from frame t * 10, panned as the game's mixer pans it; the
// voices add, and clip at 16 bits.
TEST(OfflineMixing, EffectsStartAtTheirTickAddAndClip) {
  const std::vector<SoundClip> clips(SOUND_EFFECT_COUNT,
                                     SoundClip{std::vector<std::int16_t>(100, 20000), 1, 1000});
  OfflineMix mix(clips, SOUND_LEVELS, SOUND_LEVELS, 1000);
  mix.start_effect(SOUND_SHOT, PLAYFIELD_W, 3);  // hard right, frames 30..129
  mix.start_effect(SOUND_BEAM, PLAYFIELD_W, 5);  // hard right, frames 50..149
  mix.start_effect(SOUND_EXPLOSION, 0, 5);       // hard left, frames 50..149
  mix.advance(20);
  const std::vector<std::int16_t>& m = mix.mixed();
  ASSERT_EQ(m.size(), 2u * 200);
  const struct {
    int frame, left, right;
  } expected[] = {{0, 0, 0},          {29, 0, 0},          {30, 0, 20000},      {49, 0, 20000},
                  {50, 20000, 32767}, {129, 20000, 32767}, {130, 20000, 20000}, {149, 20000, 20000},
                  {150, 0, 0},        {199, 0, 0}};
  for (const auto& e : expected) {
    EXPECT_EQ(m[2 * e.frame], e.left) << "frame " << e.frame;
    EXPECT_EQ(m[2 * e.frame + 1], e.right) << "frame " << e.frame;
  }
}

// One rule picks the music for the game and the video: the level's track,
// its boss track from the first warning sign on (and after the sign is gone),
// the jingles only under rules that end games.
TEST(LevelTrack, FollowsTheWarningTheClearedLevelAndTheLostGame) {
  reset_world_for_new_game();
  CampaignLevel level{"T", "l.wif", "e.eif", "t.dat", "play.ogg", "boss.ogg"};
  enemy_types[4].starts_boss_music = true;
  bool warned = false;
  const auto track = [&](const Rules& rules, bool cleared) {
    return level_track(rules, level, cleared, warned);
  };
  EXPECT_EQ(track(ARCADE_RULES, false), MUSIC_PLAY);
  enemies[3].type = 5;
  EXPECT_EQ(track(ARCADE_RULES, false), MUSIC_BOSS);
  enemies[3].type = 0;
  EXPECT_EQ(track(ARCADE_RULES, false), MUSIC_BOSS) << "the sign gone";
  EXPECT_EQ(std::make_tuple(track(ARCADE_RULES, true), track(PLAIN_RULES, true)),
            std::make_tuple(MUSIC_CLEAR, MUSIC_BOSS));
  outcome_state.outcome = GameOutcome::lost;
  EXPECT_EQ(std::make_tuple(track(ARCADE_RULES, false), track(PLAIN_RULES, false)),
            std::make_tuple(MUSIC_GAME_OVER, MUSIC_BOSS));
  reset_world_for_new_game();
  level.boss_music = "";
  warned = false;
  enemies[3].type = 5;
  EXPECT_EQ(track(ARCADE_RULES, false), MUSIC_PLAY) << "a level without a boss track";
  EXPECT_EQ(std::string(level_track_file(MUSIC_GAME_OVER, level)), GAME_OVER_MUSIC);
  enemy_types[4].starts_boss_music = false;
  enemies[3].type = 0;
}

}  // namespace
