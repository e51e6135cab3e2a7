#!/usr/bin/env bash
# Damaged archives through the real programs. For each shipped archive, N
# damaged copies (every other one cut at a random length, the others with four
# random bytes overwritten), each in a copy of the game folder:
#  - mirvo-run --campaign (which loads every level's files first) must end
#    with status 0 or 1;
#  - mirvo, in its own Xvfb with the sound going to ALSA's null file, Start
#    pressed once the menu shows (Start checks every level's files), must end
#    with status 1 or still be playing (silent without sound.dat) when it is
#    ended; never by a signal.
# Prints one line per archive and the time taken; exits 1 on any other end.
# ARCHIVES="dart.dat boss.dat" limits it to those, so parts can run side by side.
#   tests/archives/damaged_games.sh [BUILD_DIR [N [GAME_N]]]   (build, 50, N)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
runs=${2:-50}
game_runs=${3:-$runs}
RANDOM=2026  # the same damage on every machine

work=$(mktemp -d -t mirvo-damaged.XXXXXX)
xvfb_pid="" game_pid="" xev_pid=""
finish() {
  local status=$?
  set +e
  [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
  [ -n "$xev_pid" ] && kill "$xev_pid" 2>/dev/null && wait "$xev_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

mkdir "$work/game" "$work/home"
cp -p "$build"/game/* "$work/game/"
# The frame cap leaves the processor to the other games of a parallel sweep.
echo "framecap = 1" >"$work/game/mirvo.cfg"
. "$(dirname "$0")/../x_session.sh"
start_x_session

random_below() { echo $(((RANDOM * 32768 + RANDOM) % $1)); }

# damage SOURCE TARGET K: the K-th damaged copy of SOURCE.
damage() {
  local size
  size=$(stat -c %s "$1")
  cp "$1" "$2"
  if (($3 % 2 == 0)); then
    truncate -s "$(random_below "$size")" "$2"
    return
  fi
  for _ in 1 2 3 4; do
    printf "\\x$(printf %02x $((RANDOM % 256)))" |
      dd of="$2" bs=1 seek="$(random_below "$size")" conv=notrunc status=none
  done
}

# How the game ended with the damaged folder: "1", "playing" or the status.
play_game() {
  local before status
  before=$(maps)
  (cd "$work/game" && exec env -i DISPLAY="$DISPLAY" HOME="$work/home" PATH=/nonexistent \
    ./mirvo >/dev/null 2>"$work/stderr") &
  game_pid=$!
  for _ in $(seq 100); do
    [ "$(maps)" -gt "$before" ] && break
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$game_pid" 2>/dev/null; then
    sleep 1.5  # the menu reads keys
    xdotool mousemove 160 200 key Return
    for _ in $(seq 30); do
      kill -0 "$game_pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  if kill -0 "$game_pid" 2>/dev/null; then
    kill -KILL "$game_pid"
    wait "$game_pid" 2>/dev/null || true
    game_pid=""
    echo playing
    return
  fi
  status=0
  wait "$game_pid" || status=$?
  game_pid=""
  echo "$status"
}

failed=0
started=$SECONDS
for source in "$build"/game/*.dat; do
  name=$(basename "$source")
  [ -z "${ARCHIVES:-}" ] || [[ " $ARCHIVES " == *" $name "* ]] || continue
  declare -A ends=()
  archive_started=$SECONDS
  for k in $(seq "$runs"); do
    damage "$source" "$work/game/$name" "$k"
    status=0
    "$build/tools/run/mirvo-run" --data "$work/game" --campaign --ticks 200 \
      >/dev/null 2>"$work/run_stderr" || status=$?
    ends["runner $status"]=$((${ends["runner $status"]:-0} + 1))
    if [ "$status" -gt 1 ]; then
      failed=1
      cp "$work/game/$name" "$work/../mirvo-damaged-$name-runner-$k"
      echo "$name #$k: mirvo-run ended with $status: $(head -c 300 "$work/run_stderr")" >&2
    fi
    [ "$k" -le "$game_runs" ] || continue
    end=$(play_game)
    ends["game $end"]=$((${ends["game $end"]:-0} + 1))
    if [ "$end" != 1 ] && [ "$end" != playing ]; then
      failed=1
      cp "$work/game/$name" "$work/../mirvo-damaged-$name-game-$k"
      echo "$name #$k: mirvo ended with $end: $(head -c 300 "$work/stderr")" >&2
    fi
  done
  cp -p "$source" "$work/game/$name"
  summary=""
  for key in "${!ends[@]}"; do summary+="${ends[$key]} × $key, "; done
  echo "$name: ${summary%, } ($((SECONDS - archive_started)) s)"
  unset ends
done
echo "damaged archives: $((SECONDS - started)) s, $([ "$failed" = 0 ] && echo "no signal" || echo FAILED)"
exit "$failed"
