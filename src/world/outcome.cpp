// The game's outcome, settled at the end of every tick from what the tick saw:
// a victory step that ended, and the ship's energy.
#include "world/world.h"
#include "world/world_local.h"

namespace {

GameOutcome outcome = GameOutcome::playing;
bool victory_this_tick = false;

}  // namespace

GameOutcome game_outcome() {
  return outcome;
}

void reset_game_outcome() {
  outcome = GameOutcome::playing;
  victory_this_tick = false;
}

void keep_ship_alive(GameOutcome before) {
  player.energy = START_ENERGY;
  if (outcome == GameOutcome::lost) outcome = before;
}

void world_local::note_victory_step() {
  victory_this_tick = true;
}

// A win needs a game not lost before this tick; a loss needs no win in it.
void world_local::settle_game_outcome() {
  if (victory_this_tick && outcome != GameOutcome::lost) {
    outcome = GameOutcome::won;
  } else if (player.energy < 1) {
    outcome = GameOutcome::lost;
  }
  victory_this_tick = false;
}
