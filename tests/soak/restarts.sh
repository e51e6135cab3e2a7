#!/usr/bin/env bash
# Soak of the restart an accepted options screen makes: the real game in its
# own Xvfb, the music playing through ALSA's file plugin into /dev/null, taken
# through N Options > Accept restarts (default 100). Prints the open files,
# threads and resident memory after the first and after the last restart, and
# fails when files or threads differ, or memory grew by more than 1 MiB.
#   tests/soak/restarts.sh [GAME_DIR [N]]      (GAME_DIR default build/game)
set -euo pipefail
game_dir=$(cd "${1:-build/game}" && pwd)
restarts=${2:-100}

work=$(mktemp -d -t mirvo-soak.XXXXXX)
xvfb_pid="" game_pid="" xev_pid=""
finish() {
  local status=$?
  set +e
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null && wait "$game_pid" 2>/dev/null
  [ -n "$xev_pid" ] && kill "$xev_pid" 2>/dev/null && wait "$xev_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [ -n "${KEEP:-}" ] || rm -rf "$work"
  exit "$status"
}
trap finish EXIT

mkdir "$work/game" "$work/home"
for f in "$game_dir"/*; do
  case $(basename "$f") in mirvo.cfg*) ;; *) cp -p "$f" "$work/game/" ;; esac
done
. "$(dirname "$0")/../x_session.sh"
start_x_session
(cd "$work/game" && exec env -i DISPLAY="$DISPLAY" HOME="$work/home" PATH=/nonexistent \
  ./mirvo >"$work/stdout" 2>"$work/stderr") &
game_pid=$!

# Waits until more than $1 windows have been mapped, then gives the game's
# window the keyboard (the pointer in it: no window manager runs).
mapped_after() {
  for _ in $(seq 300); do
    if [ "$(maps)" -gt "$1" ]; then
      sleep 1.5  # the menu is drawn and reading keys, even on a busy machine
      xdotool mousemove 160 200
      return
    fi
    kill -0 "$game_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "no new window after $1; stderr: $(cat "$work/stderr")" >&2
  exit 1
}

figures() {
  local fds threads rss
  fds=$(ls "/proc/$game_pid/fd" | wc -l)
  threads=$(ls "/proc/$game_pid/task" | wc -l)
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$game_pid/status")
  echo "$fds $threads $rss"
}

mapped_after 0
for i in $(seq "$restarts"); do
  before=$(maps)
  # Options is the third row of the main menu. Up from the options screen's
  # first row wraps to Cancel, the last, and once more reaches Accept: no
  # count of setting rows is needed.
  xdotool key --delay 150 Down Down Return Up Up Return
  mapped_after "$before"
  sleep 1  # the music's feeder and the sound system are running again
  [ "$i" -eq 1 ] && first=$(figures)
  # The trend between the two ends: a leak grows with every restart.
  [ $((i % 10)) -eq 0 ] && echo "after restart $i: $(figures) (open files, threads, resident KiB)"
done
last=$(figures)
xdotool key Escape
status=0
wait "$game_pid" || status=$?
game_pid=""

read -r fds1 threads1 rss1 <<<"$first"
read -r fdsN threadsN rssN <<<"$last"
echo "after restart 1:          open files $fds1, threads $threads1, resident $rss1 KiB"
echo "after restart $restarts:        open files $fdsN, threads $threadsN, resident $rssN KiB"
echo "exit status $status; standard error: $(wc -c <"$work/stderr") bytes"
[ "$status" -eq 0 ] && [ ! -s "$work/stderr" ] && [ "$fds1" -eq "$fdsN" ] &&
  [ "$threads1" -eq "$threadsN" ] && [ $((rssN - rss1)) -le 1024 ]
