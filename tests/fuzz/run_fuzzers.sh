#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each, starting from its
# committed corpus (new inputs go to a scratch folder, never into the tree). Exits non-zero
# when a target finds anything; the input that did it is left in the scratch folder.
#   tests/fuzz/run_fuzzers.sh [BUILD_DIR [SECONDS]]    defaults: build/fuzz, 30
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/fuzz}
seconds=${2:-30}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ql-fuzz.XXXXXX")
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=${target##*/fuzz_}
  mkdir -p "$scratch/$name"
  if "$target" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$scratch/$name-" "$scratch/$name" "tests/fuzz/corpus/$name" \
      > "$scratch/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
    cov=$(grep -o 'cov: [0-9]*' "$scratch/$name.log" | tail -1)
    printf 'fuzz %-14s ok: %s executions, %s\n' "$name" "$runs" "$cov"
  else
    printf 'fuzz %-14s FOUND A FAULT (log and input in %s)\n' "$name" "$scratch"
    tail -40 "$scratch/$name.log"
    status=1
  fi
done
[ "$status" -eq 0 ] && rm -rf "$scratch"
exit "$status"
