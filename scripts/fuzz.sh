#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time, growing its corpus in place.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
for target in "$build"/tests/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target" _fuzz)
  corpus="$root/tests/fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "== fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=8192 "$corpus"
done
