#!/bin/sh
# Runs ql_bench once per implementation of the hardware paths and prints MB/s at 16 KiB side
# by side with OpenSSL's (unmasked), and each ratio ours/OpenSSL. The library must be built
# with its test hooks (any preset with tests), which read QL_TEST_CPU_MASK: unset = every
# feature this CPU has, 13 = AES-NI, SHA extensions and BMI2 (no AVX2/VAES), 0 = portable code.
# Usage: bench/compare_paths.sh path/to/ql_bench [benchmark regex]
set -eu
bench=$1
filter=${2:-'(AES-128|ARIA-128|SEED-128)/.*16384|digest/sha[0-9]+/'}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for run in all:x sse:13 portable:0; do
  name=${run%%:*}
  mask=${run#*:}
  if [ "$mask" = x ]; then
    "$bench" --benchmark_filter="$filter" --benchmark_min_time=0.3 \
      --benchmark_out="$tmp/$name.csv" --benchmark_out_format=csv >/dev/null 2>&1
  else
    QL_TEST_CPU_MASK=$mask "$bench" --benchmark_filter="$filter" --benchmark_min_time=0.3 \
      --benchmark_out="$tmp/$name.csv" --benchmark_out_format=csv >/dev/null 2>&1
  fi
done
# Rows keyed by the case without its implementation part ("/ours" or "/openssl" at the end).
awk -F, '
  FNR == 1 { file++ }
  $1 ~ /^"/ && $0 !~ /error/ {
    n = $1; gsub(/"/, "", n)
    bps = ""
    for (i = 1; i <= NF; i++) if (h[i] == "bytes_per_second") bps = $i
    mb = bps / 1e6
    ossl = (n ~ /\/openssl$/)
    key = n; sub(/\/(ours|openssl)$/, "", key)
    if (ossl) { if (file == 1) o[key] = mb }
    else { v[key, file] = mb; if (!(key in seen)) { seen[key] = 1; order[++k] = key } }
    next
  }
  $1 == "name" { for (i = 1; i <= NF; i++) h[i] = $i }
  END {
    printf "%-28s %9s %9s %6s %9s %6s %9s %6s\n", "case", "OpenSSL", "all", "ratio", \
      "sse", "ratio", "portable", "ratio"
    for (i = 1; i <= k; i++) {
      key = order[i]; b = o[key]
      printf "%-28s %9.1f", key, b
      for (f = 1; f <= 3; f++) printf " %9.1f %6.2f", v[key, f], (b > 0 ? v[key, f] / b : 0)
      printf "\n"
    }
  }' "$tmp/all.csv" "$tmp/sse.csv" "$tmp/portable.csv"
