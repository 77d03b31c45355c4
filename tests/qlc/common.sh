# Shared by the qlc tests: each runs qlc as a user would, in a fresh work directory, and
# compares what it prints or writes with coreutils and the openssl command line.
set -euo pipefail
: "${QLC:?path of qlc}" "${WORK:?work directory}"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_same WHAT GOT WANT
expect_same() {
  [ "$2" == "$3" ] || fail "$1: got '$2', want '$3'"
}

# gen FILE SIZE [SEED]: SIZE bytes of a fixed pseudo-random stream (AES-CTR of zeros).
gen() {
  head -c "$2" /dev/zero | openssl enc -aes-128-ctr -K "000102030405060708090a0b0c0d0e${3:-0f}" \
    -iv 00000000000000000000000000000000 >"$1"
}

# expect_fail RC PATTERN ARGS...: qlc ARGS must exit with RC, print PATTERN on stderr and
# write nothing to standard output.
expect_fail() {
  local want_rc=$1 pattern=$2 rc=0
  shift 2
  "$QLC" "$@" >fail.out 2>fail.err </dev/null || rc=$?
  [ "$rc" -eq "$want_rc" ] || fail "qlc $*: exit $rc, want $want_rc ($(cat fail.err))"
  grep -q -- "$pattern" fail.err || fail "qlc $*: stderr '$(cat fail.err)' lacks '$pattern'"
  [ ! -s fail.out ] || fail "qlc $*: wrote to standard output on failure"
}
