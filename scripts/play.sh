#!/usr/bin/env bash
# Runs the game from its data folder, or says in one line why it cannot.
# With --check-display it only says whether there is a display to play on,
# which make play asks before it builds anything.
set -u
if [ -z "${DISPLAY:-}" ]; then
  echo "mirvo: there is no X display (DISPLAY is not set); run 'make play' from a desktop session."
  exit 1
fi
[ "${1:-}" = "--check-display" ] && exit 0
game_dir=${1:-build/game}
if [ ! -x "$game_dir/mirvo" ]; then
  echo "mirvo: the game is not built yet ($game_dir/mirvo is missing)."
  exit 1
fi
cd "$game_dir" && exec ./mirvo
