# qlc version's line on the library file's signature, and qlc selftest: the file qlc loaded,
# a file the caller names, and a changed copy, which fails the check without stopping the module
# in version and stops it for good in selftest.
source "$(dirname "$0")/common.sh"
: "${LIB:?path of the signed library}"
lib=$(realpath "$LIB")
line=$("$QLC" version | grep '^library file signature: ')
expect_same "version, as loaded" "$line" "library file signature: valid, $lib (as loaded)"
line=$(QL_CM_PATH="$LIB" "$QLC" version | grep '^library file signature: ')
expect_same "version, QL_CM_PATH" "$line" "library file signature: valid, $LIB (from QL_CM_PATH)"
# One byte changed in the middle of the signed part.
size=$(wc -c <"$LIB")
{ head -c $((size / 2)) "$LIB"; printf '\377'; tail -c $((size - size / 2 - 1)) "$LIB"; } >changed
cmp -s changed "$LIB" && fail "the copy is not changed"
out=$(QL_CM_PATH=changed "$QLC" version)
grep -q '^library file signature: not valid, changed (from QL_CM_PATH)$' <<<"$out" ||
  fail "version on a changed copy: $out"
grep -q '^module state after start-up: 5 (approved)$' <<<"$out" ||
  fail "version on a changed copy left the approved state: $out"
# selftest: passes on the loaded file in either working state, fails on the changed copy and
# leaves the module in its error state.
out=$("$QLC" selftest)
grep -q '^self-test: passed in [0-9.]* s$' <<<"$out" || fail "selftest: $out"
grep -qx "library file: $lib (as loaded)" <<<"$out" || fail "selftest file: $out"
grep -qx 'module state: 5 (approved)' <<<"$out" || fail "selftest state: $out"
out=$("$QLC" --non-approved selftest)
grep -qx 'module state: 3 (non-approved)' <<<"$out" || fail "selftest non-approved: $out"
QL_CM_PATH=changed expect_fail 1 "QLC_CM_SelfTest: crypto selftest is failed (code -6062)" selftest
grep -qx 'module state: 9 (error)' fail.err || fail "selftest failure state: $(cat fail.err)"
grep -qx 'library file: changed (from QL_CM_PATH)' fail.err || fail "selftest: $(cat fail.err)"
QL_CM_PATH=missing expect_fail 1 "code -6062" selftest
expect_fail 2 "unexpected argument 'x'" selftest x
echo "library file signature and self-test reported"
