# qlc version's line on the library file's signature, and qlc selftest: the file qlc loaded,
# a file the caller names, and a damaged copy, which fails the check without stopping the module
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
echo "library file signature reported"
