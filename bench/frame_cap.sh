#!/usr/bin/env bash
# The game's own processor time over 10 s of play, with the frame cap off and
# on, in the software and the OpenGL renderer: the doubled window, fire held,
# sound Off, each run in a private Xvfb. Prints the four figures and the
# capped/uncapped ratio of each renderer.
#
#   bench/frame_cap.sh [GAME_DIR]     (default: build/game)
set -euo pipefail

game_dir=$(realpath "${1:-build/game}")
seconds=${MIRVO_BENCH_SECONDS:-10}
[ -x "$game_dir/mirvo" ] || { echo "no game in $game_dir (build it first)" >&2; exit 1; }
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
# Every process started here is ended by its own pid, whatever happens.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# utime + stime of every thread of the process, in clock ticks.
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# Plays $seconds of level one with renderer $1 and frame cap $2; sets result
# to the game's processor time as a share of one core, in per cent.
measure() {
  local renderer=$1 cap=$2 folder="$work/game-$1-$2"
  mkdir -p "$folder"
  cp -r "$game_dir"/. "$folder"
  rm -f "$folder/mirvo.cfg"
  printf 'renderer = %s\nscale = 1\nsound = 0\nframecap = %s\n' "$renderer" "$cap" >"$folder/mirvo.cfg"

  exec {fd}>"$work/display"
  Xvfb -displayfd "$fd" -screen 0 1280x1024x24 -nolisten tcp +extension GLX \
    >"$work/xvfb.log" 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  exec {fd}>&-
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$work/display")"

  (cd "$folder" && HOME="$work" exec ./mirvo) >"$work/game.log" 2>&1 &
  local game=$!
  pids+=("$game")
  xdotool search --sync --name '^Mirvo$' >/dev/null
  sleep 1
  xdotool mousemove 320 400  # the pointer in the window gives it the keyboard
  xdotool key Return         # Start
  sleep 1
  xdotool keydown space
  sleep 1
  local before after
  before=$(cpu_ticks "$game")
  sleep "$seconds"
  after=$(cpu_ticks "$game")
  xdotool keyup space
  kill "$game" "$xvfb" 2>/dev/null || true
  # The game ends at once on the signal (status 0) or on losing its display
  # (1); a hang or a death by a signal of its own is a fault, said out loud.
  for _ in $(seq 50); do kill -0 "$game" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game" 2>/dev/null && { echo "the game hangs at its end" >&2; kill -KILL "$game"; }
  local status=0
  wait "$game" 2>/dev/null || status=$?
  [ "$status" -le 1 ] || echo "the game ended with status $status (renderer $renderer, cap $cap)" >&2
  sleep 1
  rm -f "$work/display"
  result=$(awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "%.1f", 100 * t / hz / s }')
}

printf '%-10s %12s %12s %8s\n' renderer "cap off" "cap on" "on/off"
for renderer in 0 1; do
  measure "$renderer" 0
  off=$result
  measure "$renderer" 1
  on=$result
  name=$([ "$renderer" = 0 ] && echo software || echo OpenGL)
  ratio=$(awk -v a="$on" -v b="$off" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
  printf '%-10s %11s%% %11s%% %8s\n' "$name" "$off" "$on" "$ratio"
done
