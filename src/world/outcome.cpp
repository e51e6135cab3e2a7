// The game's outcome, settled at the end of every tick from what the tick saw:
// a victory step that ended, and the ship's energy.
#include "world/world.h"
#include "world/world_local.h"

OutcomeState outcome_state;

GameOutcome game_outcome() {
  return outcome_state.outcome;
}

void reset_game_outcome() {
  outcome_state = OutcomeState{};
}

void keep_ship_alive(GameOutcome before) {
  player.energy = START_ENERGY;
  if (outcome_state.outcome == GameOutcome::lost) outcome_state.outcome = before;
}

void world_local::note_victory_step() {
  outcome_state.victory_step = 1;
}

// A win needs a game not lost before this tick; a loss needs no win in it.
void world_local::settle_game_outcome() {
  GameOutcome& outcome = outcome_state.outcome;
  if (outcome_state.victory_step != 0 && outcome != GameOutcome::lost) {
    outcome = GameOutcome::won;
  } else if (player.energy < 1) {
    outcome = GameOutcome::lost;
  }
  outcome_state.victory_step = 0;
}
