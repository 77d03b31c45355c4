# Bad input: a clear message on standard error and a non-zero exit, never a crash; usage
# errors exit 2, refusals of the module exit 1 with the module's message and code.
source "$(dirname "$0")/common.sh"
printf 'some data' >data
# Usage errors.
expect_fail 2 "unknown command" frobnicate
expect_fail 2 "usage: qlc" 
expect_fail 2 "unknown digest 'md5'" hash -a md5 data
expect_fail 2 "needs a value" hash -a
expect_fail 2 "unknown option" hash --bogus data
expect_fail 2 "odd number of hex digits" hmac -k abc data
expect_fail 2 "not a hex string" hmac -k zz data
expect_fail 2 "a key is needed" hmac data
expect_fail 2 "unexpected argument" version extra
expect_fail 2 "unknown algorithm" speed rot13
expect_fail 2 "-t takes" speed -t 0 sha1
# Files that cannot be read.
expect_fail 1 "missing: No such file" hash missing
expect_fail 1 "No such file" hmac --key-file missing -k 00 data
mkdir adir
expect_fail 1 "adir" hash adir
# The module's own refusals, with its message and code: a key too long for the key record.
expect_fail 1 "QLC_HMAC_Init: .*(code -6080)" hmac -k "$(printf '%0514d' 0)" data
# A file that cannot be read does not stop the others, but the exit code says so.
rc=0
"$QLC" hash data missing >out 2>err || rc=$?
expect_same "exit with one unreadable file" "$rc" 1
expect_same "the readable file's line" "$(cat out)" "$(sha256sum data)"
# --help works for every command and exits 0.
for c in version hash hmac speed; do
  "$QLC" "$c" --help | grep -q "usage: qlc $c" || fail "qlc $c --help"
done
echo "bad input handled"
