// Sound without a device: the voice an effect takes when voices run short,
// panning across the playfield, the shape "sound.dat" must have, and which
// effect the shell plays for an event or a menu key.
#include <allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "shell/shell_local.h"
#include "sound/sound_local.h"
#include "world/world.h"

namespace {

TEST(EffectVoices, AFreeVoiceFirstThenTheLeastImportantOldest) {
  struct Case {
    const char* name;
    std::vector<VoiceSlot> slots;
    int priority;
    int chosen;
  };
  const std::vector<Case> cases = {
      {"nothing playing", {{}, {}, {}}, 40, 0},
      {"the first free one", {{true, 200, 1}, {}, {}}, 40, 1},
      {"a finished voice is free", {{true, 200, 1}, {false, 220, 2}}, 40, 1},
      {"all busy: the lowest priority", {{true, 140, 1}, {true, 60, 2}, {true, 180, 3}}, 100, 1},
      {"equal priorities: the oldest", {{true, 60, 7}, {true, 60, 3}, {true, 60, 5}}, 60, 1},
      {"all more important: dropped", {{true, 140, 1}, {true, 180, 2}}, 100, -1},
      {"no voices at all: dropped", {}, 220, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(choose_voice_slot(c.slots, c.priority), c.chosen) << c.name;
  }
}

// However many effects a long game starts, the voices taken never exceed the
// cap, and the rare effects that matter are never pushed out by the common ones.
TEST(EffectVoices, ShotsNeverCutALostGame) {
  std::array<VoiceSlot, MAX_EFFECT_VOICES> slots{};
  unsigned plays = 0;
  auto play = [&](SoundEffect effect) {
    const int i = choose_voice_slot(slots, effect_priority(effect));
    if (i >= 0) slots[i] = VoiceSlot{true, effect_priority(effect), ++plays};
    return i;
  };
  ASSERT_GE(play(SOUND_GAME_LOST), 0);
  for (int i = 0; i < 1000; ++i) {
    play(i % 2 == 0 ? SOUND_SHOT : SOUND_ENEMY_FIRE);
    play(SOUND_EXPLOSION);
  }
  int lost = 0;
  for (const VoiceSlot& s : slots) lost += s.priority == effect_priority(SOUND_GAME_LOST) ? 1 : 0;
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(play(SOUND_ENEMY_FIRE), -1) << "explosions fill the rest, and outrank the guns";
  for (int e = 0; e < SOUND_EFFECT_COUNT; ++e) {
    EXPECT_GT(effect_priority(static_cast<SoundEffect>(e)), 0) << e;
    EXPECT_LT(effect_priority(static_cast<SoundEffect>(e)), 255) << "the music's streams rank 255";
  }
}

TEST(EffectPan, LeftEdgeToRightEdge) {
  EXPECT_EQ(effect_pan(0.0f), 0);
  EXPECT_EQ(effect_pan(PLAYFIELD_W / 2.0f), 128);
  EXPECT_EQ(effect_pan(static_cast<float>(PLAYFIELD_W)), 255);
  EXPECT_EQ(effect_pan(-40.0f), 0);
  EXPECT_EQ(effect_pan(1000.0f), 255);
  EXPECT_EQ(effect_pan(std::numeric_limits<float>::quiet_NaN()), 0);
  int last = 0;
  for (int x = 0; x <= PLAYFIELD_W; ++x) {
    const int pan = effect_pan(static_cast<float>(x));
    EXPECT_GE(pan, last) << x;
    last = pan;
  }
}

// An archive as load_datafile returns one: objects, then the end marker.
class SoundData : public ::testing::Test {
 protected:
  void SetUp() override {
    install_allegro(SYSTEM_NONE, &errno, atexit);
    for (SAMPLE*& s : samples_) s = create_sample(16, 0, 22050, 100);
    empty_ = create_sample(16, 0, 22050, 0);
  }
  void TearDown() override {
    for (SAMPLE* s : samples_) destroy_sample(s);
    destroy_sample(empty_);
  }
  // `count` samples, with object `odd` replaced by `replacement` when given.
  std::vector<DATAFILE> archive(int count, int odd = -1, DATAFILE replacement = {}) {
    std::vector<DATAFILE> d(count + 1);
    for (int i = 0; i < count; ++i)
      d[i] = DATAFILE{samples_[i % samples_.size()], DAT_SAMPLE, 0, nullptr};
    if (odd >= 0) d[odd] = replacement;
    d[count].type = DAT_END;
    return d;
  }
  std::array<SAMPLE*, 3> samples_{};
  SAMPLE* empty_ = nullptr;
};

TEST_F(SoundData, ExactlyTheEffectsInOrder) {
  const int n = SOUND_EFFECT_COUNT;
  const int info = DAT_ID('i', 'n', 'f', 'o');
  BITMAP* picture = create_bitmap(4, 4);
  struct Case {
    const char* name;
    std::vector<DATAFILE> data;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {"the effects", archive(n), ""},
      {"with the tool's info at the end", archive(n + 1, n, DATAFILE{nullptr, info, 0, nullptr}),
       ""},
      {"one short", archive(n - 1), "10 objects where 11 samples belong"},
      {"one too many", archive(n + 1), "12 objects where 11 samples belong"},
      {"empty", archive(0), "0 objects where 11 samples belong"},
      {"a picture among them", archive(n, 4, DATAFILE{picture, DAT_BITMAP, 0, nullptr}),
       "object 4 is not a sample"},
      {"info first shifts every index", archive(n + 1, 0, DATAFILE{nullptr, info, 0, nullptr}),
       "object 0 is not a sample"},
      {"a sample without data", archive(n, 7, DATAFILE{nullptr, DAT_SAMPLE, 0, nullptr}),
       "object 7 is not a sample"},
      {"a silent, empty sample", archive(n, 2, DATAFILE{empty_, DAT_SAMPLE, 0, nullptr}),
       "sample 2 is empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(sound_data_problem(c.data.data()), c.problem) << c.name;
  EXPECT_EQ(sound_data_problem(nullptr), "missing or unreadable");
  destroy_bitmap(picture);
}

// Without start_sound every call is a quiet no-op, as in every other test.
TEST(SoundSystem, SilentWhenNotStarted) {
  EXPECT_EQ(sound_ready(), 0);
  play_effect(SOUND_SHOT, 10.0f);
  stop_effects();
  stop_sound();
  EXPECT_EQ(sound_ready(), 0);
}

TEST(ShellSounds, EachEventKindHasItsOwnEffect) {
  std::array<int, SOUND_EFFECT_COUNT> used{};
  for (int kind = 0; kind < WORLD_EVENT_KIND_COUNT; ++kind) {
    const SoundEffect e = effect_for_event(kind);
    ASSERT_LT(e, SOUND_MENU_MOVE) << "kind " << kind << " plays a menu sound or none";
    ++used[e];
  }
  for (int e = 0; e < SOUND_MENU_MOVE; ++e) EXPECT_EQ(used[e], 1) << "effect " << e;
  EXPECT_EQ(effect_for_event(EVENT_PLAYER_BEAM), SOUND_BEAM);
  EXPECT_EQ(effect_for_event(EVENT_ENEMY_DESTROYED), SOUND_EXPLOSION);
  EXPECT_EQ(effect_for_event(-1), SOUND_EFFECT_COUNT);
  EXPECT_EQ(effect_for_event(WORLD_EVENT_KIND_COUNT), SOUND_EFFECT_COUNT);
}

TEST(ShellSounds, PlayingAPassEmptiesTheList) {
  record_world_event(EVENT_SHIP_HIT, 10.0f);
  record_world_event(EVENT_ENEMY_FIRE, 300.0f);
  play_world_events();
  for (const WorldEvent& e : world_events) EXPECT_EQ(e.count, 0);
}

TEST(ShellSounds, MenuKeys) {
  EXPECT_EQ(menu_key_sound(KEY_ENTER, false), SOUND_MENU_CHOOSE);
  EXPECT_EQ(menu_key_sound(KEY_ESC, true), SOUND_MENU_BACK);
  EXPECT_EQ(menu_key_sound(KEY_DOWN, true), SOUND_MENU_MOVE);
  EXPECT_EQ(menu_key_sound(KEY_LEFT, true), SOUND_MENU_MOVE);
  EXPECT_EQ(menu_key_sound(KEY_LEFT, false), SOUND_EFFECT_COUNT)
      << "Left on Accept changes nothing";
  EXPECT_EQ(menu_key_sound(KEY_A, false), SOUND_EFFECT_COUNT);
  EXPECT_EQ(menu_key_sound(0, false), SOUND_EFFECT_COUNT) << "the first drawing of a menu";
}

}  // namespace
