// Which track a level's play calls for: one rule for the game, its playback
// and the runner's video.
#include "content/content.h"
#include "sound/sound.h"
#include "world/world.h"

namespace {

bool boss_warning_appeared() {
  for (const Enemy& e : enemies)
    if (e.type >= 1 && e.type <= MAX_ENEMY_TYPES && enemy_types[e.type - 1].starts_boss_music)
      return true;
  return false;
}

}  // namespace

MusicTrack level_track(const Rules& rules, const CampaignLevel& level, bool cleared,
                       bool& boss_warned) {
  if (rules.game_ends && game_outcome() == GameOutcome::lost) return MUSIC_GAME_OVER;
  if (rules.game_ends && cleared) return MUSIC_CLEAR;
  if (!boss_warned && !level.boss_music.empty()) boss_warned = boss_warning_appeared();
  return boss_warned ? MUSIC_BOSS : MUSIC_PLAY;
}

const char* level_track_file(MusicTrack track, const CampaignLevel& level) {
  switch (track) {
    case MUSIC_PLAY:
      return level.music.c_str();
    case MUSIC_BOSS:
      return level.boss_music.c_str();
    case MUSIC_CLEAR:
      return CLEAR_MUSIC;
    case MUSIC_GAME_OVER:
      return GAME_OVER_MUSIC;
    case MUSIC_ENDING:
      return ENDING_MUSIC;
    default:
      return "";
  }
}
