#!/usr/bin/env bash
# How fast mirvo-run --video encodes against the run's own length: the dodge
# pilot's campaign at Easy (about five minutes of play) recorded, then made
# into a .webm and an .mp4. Prints the play time, each encode's wall time,
# processor time (ffmpeg's included) and file size.
#
#   bench/video.sh [BUILD_DIR]     (default: build)
set -euo pipefail

build=$(realpath "${1:-build}")
run="$build/tools/run/mirvo-run"
[ -x "$run" ] || { echo "no $run (build it first)" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$build/game"
"$run" --campaign --pilot dodge --difficulty easy --record "$work/run.rec" | head -1
for kind in webm mp4; do
  TIMEFORMAT="$kind: %R s wall, %U s user + %S s system (ffmpeg's included)"
  time "$run" --replay "$work/run.rec" --video "$work/run.$kind" >/dev/null
  echo "$kind: $(stat -c %s "$work/run.$kind") bytes"
done
