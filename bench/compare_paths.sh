#!/bin/sh
# Runs ql_bench once per implementation of the hardware paths and prints, per row, OpenSSL's
# rate (unmasked, from the first run) and for each path our rate with the ratio ours/OpenSSL
# measured in pairs within that run. The library must be built with its test hooks (any
# build with tests), which read QL_TEST_CPU_MASK: unset = every feature this CPU has,
# 13 = AES-NI, SHA extensions and BMI2 (no AVX2/VAES), 0 = portable code.
# Usage: bench/compare_paths.sh path/to/ql_bench [row regex] [more ql_bench options]
set -eu
bench=$1
filter=${2:-'(AES-128|ARIA-128|SEED-128)/[^/]+/16384/dispatcher|digest/SHA-[0-9]+/16384/dispatcher'}
[ $# -ge 2 ] && shift 2 || shift $#
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for run in all:x sse:13 portable:0; do
  name=${run%%:*}
  mask=${run#*:}
  if [ "$mask" = x ]; then
    env -u QL_TEST_CPU_MASK "$bench" --filter="$filter" "$@" >"$tmp/$name.txt"
  else
    QL_TEST_CPU_MASK=$mask "$bench" --filter="$filter" "$@" >"$tmp/$name.txt"
  fi
done
awk '
  FNR == 1 { file++ }
  /^#/ { next }
  {
    if (!($1 in seen)) { seen[$1] = 1; order[++k] = $1 }
    ours[$1, file] = $4; ratio[$1, file] = $6
    if (file == 1) { peer[$1] = $5; unit[$1] = $3 }
  }
  END {
    printf "%-44s %-4s %10s %10s %6s %10s %6s %10s %6s\n", "row", "unit", "OpenSSL", "all", \
      "ratio", "sse", "ratio", "portable", "ratio"
    for (i = 1; i <= k; i++) {
      r = order[i]
      printf "%-44s %-4s %10s", r, unit[r], peer[r]
      for (f = 1; f <= 3; f++) printf " %10s %6s", ours[r, f], ratio[r, f]
      printf "\n"
    }
  }' "$tmp/all.txt" "$tmp/sse.txt" "$tmp/portable.txt"
