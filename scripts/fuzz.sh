#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time. The committed corpus under
# tests/fuzz/corpus/ seeds each run and stays as it is; what the fuzzer finds
# goes to the build folder, and a crash leaves its input there too. Copy an
# input worth keeping into tests/fuzz/corpus/<target>/ so make test replays it.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzz)
  found="$build/fuzz-found/$name"
  mkdir -p "$found"
  echo "== fuzzing $name for ${seconds}s (new inputs in $found)"
  "$target" -max_total_time="$seconds" -max_len=8192 -artifact_prefix="$found/" \
    "$found" "$root/tests/fuzz/corpus/$name"
done
