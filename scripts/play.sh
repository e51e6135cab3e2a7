#!/usr/bin/env bash
# Runs the game from its data folder, or says in one line why it cannot.
set -u
game_dir=${1:-build/game}
if [ ! -x "$game_dir/mirvo" ]; then
  echo "mirvo: the game is not built yet ($game_dir/mirvo is missing)."
  exit 1
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "mirvo: there is no X display (DISPLAY is not set); run 'make play' from a desktop session."
  exit 1
fi
cd "$game_dir" && exec ./mirvo
