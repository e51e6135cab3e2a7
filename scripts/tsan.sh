#!/usr/bin/env bash
# Plays two whole sessions with the game built under ThreadSanitizer, each in
# its own Xvfb with the sound going to ALSA's file plugin: one in a window
# (menu music, Start with fire held, Escape, Resume, an accepted restart,
# Quit), one full screen under a window manager with the frame cap on and the
# focus going away and back during play. Any report that the
# suppressions file does not cover fails the run.
#   scripts/tsan.sh BUILD TSAN_BUILD    (make tsan runs it after building both)
set -euo pipefail
build=${1:-build}
tsan_build=${2:-build-tsan}
here=$(cd "$(dirname "$0")/.." && pwd)

# The TSan build makes only the program; its data is the normal build's.
for f in "$build"/game/*; do
  case $(basename "$f") in mirvo | mirvo.cfg*) ;; *) cp -p "$f" "$tsan_build/game/" ;; esac
done

export MIRVO_GAME_DIR=$(cd "$tsan_build/game" && pwd)
export TSAN_OPTIONS="suppressions=$here/tests/tsan/suppressions.txt second_deadlock_stack=1 history_size=4"
# Without address randomisation (inherited by the game the scenario starts):
# on kernels with more random mmap bits ThreadSanitizer cannot lay out its
# shadow memory otherwise.
exec setarch "$(uname -m)" -R "$build/tests/e2e/mirvo_e2e" --gtest_filter='WholeSession.*:WholeDesktopSession.*'
