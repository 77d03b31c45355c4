#!/bin/sh
# Compares the library of two commits row by row with one ql_bench: checks each commit out
# into a git worktree under a scratch directory, copies this tree's bench/ into it (ql_bench
# calls the exported functions only, which both commits share), builds ql_bench and the shared
# library in Release with tests on (so QL_TEST_CPU_MASK works), then runs the two builds in
# alternation, ROUNDS times each (before-after, after-before, ...), and prints per row both
# medians of our rate, after/before (the median over rounds of the per-round ratio, with its
# lowest and highest round) and "vs-peer": the median over rounds of how the paired ratio
# ours/OpenSSL moved, which the machine's load between runs cancels out of.
#
# Usage: bench/compare_commits.sh BEFORE AFTER [ROUNDS [ql_bench options...]]
#   e.g. bench/compare_commits.sh 3beed59 main 3 --filter='cipher/AES-128|digest/'
# QL_COMPARE_DIR=DIR keeps the worktrees and builds in DIR (reused by the next call with the
# same DIR and commits; remove them with `git worktree remove DIR/before` and `.../after`);
# otherwise a temporary directory is used and removed. Every table goes to DIR/*.txt.
set -eu
[ $# -ge 2 ] || { sed -n '2,16p' "$0" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel)
before=$(git -C "$repo" rev-parse --verify "$1^{commit}")
after=$(git -C "$repo" rev-parse --verify "$2^{commit}")
rounds=${3:-3}
[ $# -ge 3 ] && shift 3 || shift 2
if [ -n "${QL_COMPARE_DIR:-}" ]; then
  work=$QL_COMPARE_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'for s in before after; do git -C "$repo" worktree remove --force "$work/$s" 2>/dev/null || true; done; rm -rf "$work"' EXIT
fi

build() {  # side commit
  dir=$work/$1
  if [ ! -d "$dir" ] || [ "$(git -C "$dir" rev-parse HEAD)" != "$2" ]; then
    git -C "$repo" worktree remove --force "$dir" 2>/dev/null || rm -rf "$dir"
    git -C "$repo" worktree add --detach "$dir" "$2" >/dev/null 2>&1
  fi
  rm -rf "$dir/bench"
  cp -R "$here" "$dir/bench"
  echo "building $1 ($2)" >&2
  cmake -S "$dir" -B "$dir/build" -DCMAKE_BUILD_TYPE=Release -DQL_BUILD_BENCH=ON >"$work/$1.log" 2>&1
  cmake --build "$dir/build" --target ql_bench -j2 >>"$work/$1.log" 2>&1 ||
    { tail -20 "$work/$1.log" >&2; exit 1; }
}
build before "$before"
build after "$after"

r=1
while [ "$r" -le "$rounds" ]; do
  if [ $((r % 2)) -eq 1 ]; then order="before after"; else order="after before"; fi
  for s in $order; do
    echo "round $r: $s" >&2
    "$work/$s/build/bench/ql_bench" "$@" >"$work/$s.$r.txt"
  done
  r=$((r + 1))
done

cd "$work"
files=""
r=1
while [ "$r" -le "$rounds" ]; do
  files="$files before.$r.txt after.$r.txt"
  r=$((r + 1))
done
# shellcheck disable=SC2086
awk -v before="$(git -C "$repo" log -1 --format='%h %s' "$before" | cut -c1-60)" \
    -v after="$(git -C "$repo" log -1 --format='%h %s' "$after" | cut -c1-60)" '
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  FNR == 1 { split(FILENAME, p, "."); side = p[1]; round = p[2]; if (round > rounds) rounds = round }
  /^#/ || $4 == "error" || $4 == "-" { next }
  {
    if (!($1 in seen)) { seen[$1] = 1; order[++k] = $1; unit[$1] = $3 }
    ours[$1, side, round] = $4; ratio[$1, side, round] = $6
  }
  function addg(name, v, kind) {
    if (!(name in gn)) { gorder[kind, ++ng[kind]] = name }
    gv[name, ++gn[name]] = v
  }
  END {
    print "# before: " before
    print "# after:  " after
    printf "# %d rounds. before, after: median of our rate over the rounds; after/before: median\n", rounds
    print "# over the rounds of after/before, lo..hi its lowest and highest round; vs-peer: median"
    print "# over the rounds of the change of the paired ratio ours/OpenSSL (\"-\": no peer)."
    printf "%-44s %-4s %10s %10s %8s %7s %7s %8s\n", "row", "unit", "before", "after", \
      "after/bef", "lo", "hi", "vs-peer"
    for (i = 1; i <= k; i++) {
      row = order[i]; nb = na = nr = nv = 0
      lo = 1e30; hi = 0
      for (r = 1; r <= rounds; r++) {
        b = ours[row, "before", r]; a = ours[row, "after", r]
        if (b != "") B[++nb] = b + 0
        if (a != "") A[++na] = a + 0
        if (b != "" && a != "" && b > 0) {
          q = a / b; R[++nr] = q; if (q < lo) lo = q; if (q > hi) hi = q
          rb = ratio[row, "before", r]; ra = ratio[row, "after", r]
          if (rb != "-" && ra != "-" && rb > 0) V[++nv] = ra / rb
        }
      }
      if (nr == 0) continue
      m = median(R, nr); all[++n] = m
      vs = nv ? sprintf("%.3f", median(V, nv)) : "-"
      if (nv) { allv[++nvv] = median(V, nv) }
      printf "%-44s %-4s %10.4g %10.4g %8.3f %7.3f %7.3f %8s\n", row, unit[row], median(B, nb), \
        median(A, na), m, lo, hi, vs
      if (m < 0.97) slow++
      if (m > 1.03) fast++
      # Groups by primitive (cipher/AES-128) and by family, size and path (cipher/16/module),
      # each summarised by the median of its rows, vs-peer where the row has a peer.
      g = nv ? median(V, nv) : m
      c = split(row, part, "/")
      addg(part[1] "/" part[2], g, 1)
      if (c == 5) addg(part[1] "/" part[4] "/" part[5], g, 2)
      if (c == 4) addg(part[1] "/" part[3] "/" part[4], g, 2)
    }
    if (n) {
      printf "# %d rows; after/before over the rows: median %.3f, %d below 0.97, %d above 1.03\n", \
        n, median(all, n), slow, fast
      printf "# after/before over the rows (sorted): lowest %.3f, 5%% %.3f, 95%% %.3f, highest %.3f\n", \
        all[1], all[int(0.05 * (n - 1)) + 1], all[int(0.95 * (n - 1)) + 1], all[n]
    }
    print "# by group: the median over its rows of vs-peer (of after/before where a row has no peer)"
    for (kind = 1; kind <= 2; kind++) {
      for (i = 1; i <= ng[kind]; i++) {
        name = gorder[kind, i]
        for (j = 1; j <= gn[name]; j++) G[j] = gv[name, j]
        printf "# %-30s %3d rows %8.3f\n", name, gn[name], median(G, gn[name])
      }
    }
    if (nvv) {
      mv = median(allv, nvv)
      for (i = 1; i <= nvv; i++) { if (allv[i] < 0.97) vslow++; if (allv[i] > 1.03) vfast++ }
      printf "# vs-peer over the %d rows with a peer: median %.3f, %d below 0.97, %d above 1.03\n", \
        nvv, mv, vslow, vfast
      printf "# vs-peer over those rows (sorted): lowest %.3f, 5%% %.3f, 95%% %.3f, highest %.3f\n", \
        allv[1], allv[int(0.05 * (nvv - 1)) + 1], allv[int(0.95 * (nvv - 1)) + 1], allv[nvv]
    }
  }' $files
