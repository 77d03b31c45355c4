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
# enc and dec: usage errors, then the module's refusals of keys, IVs and options.
k16=000102030405060708090a0b0c0d0e0f
iv=00112233445566778899aabbccddeeff
expect_fail 2 "unknown cipher 'des'" enc -c des -k "$k16" -iv "$iv" -in data
expect_fail 2 "unknown mode 'xts'" enc -c aria -m xts -k "$k16" -iv "$iv" -in data
expect_fail 2 "unknown padding 'ansi'" enc -c aria -p ansi -k "$k16" -iv "$iv" -in data
expect_fail 2 "a cipher is needed" enc -k "$k16" -iv "$iv" -in data
expect_fail 2 "a key is needed" enc -c aria -iv "$iv" -in data
expect_fail 2 "needs an IV" dec -c aria -k "$k16" -in data
expect_fail 2 "-iv: longer than 32 bytes" enc -c aria -k "$k16" -iv "$iv$iv$iv" -in data
expect_fail 2 "-iv: odd number" enc -c aria -k "$k16" -iv 001 -in data
expect_fail 2 "-s must be" enc -c aria -m cfb -s 17 -k "$k16" -iv "$iv" -in data
expect_fail 2 "-s must be" enc -c aria -m cfb -s 0 -k "$k16" -iv "$iv" -in data
expect_fail 1 "QLC_SYM_Encrypt_Init: .*(code -6067)" enc -c aes -k "$k16" -iv "$iv" -in data
expect_fail 1 "(code -6076)" enc -c seed128 -k "${k16}00" -iv "$iv" -in data
expect_fail 1 "(code -6076)" --non-approved enc -c seed256 -k "$k16" -iv "$iv" -in data
expect_fail 1 "QLC_SYM_Encrypt_Init: .*(code -4010)" --non-approved enc -c aes -k 0011 -iv "$iv" -in data
expect_fail 1 "QLC_SYM_Decrypt_Init: .*(code -6075)" dec -c aria -k "$k16" -iv 0011223344556677 -in data
expect_fail 2 "a key of 17 bytes" enc -c aria -k "${k16}00" -iv "$iv" -in data
expect_fail 2 "a key of 31 bytes" --non-approved enc -c aes -k "$k16${k16:2}" -iv "$iv" -in data
expect_fail 1 "(code -6080)" enc -c aria -k "$(printf '%0514d' 0)" -iv "$iv" -in data
expect_fail 1 "missing: No such file" enc -c aria -k "$k16" -iv "$iv" -in missing -out never
[ ! -e never ] || fail "an output file appeared for an unreadable input"
# A failed decryption (wrong key: the padding does not check out) leaves an existing output
# file as it was and no temporary file behind.
"$QLC" enc -c aria -k "$k16" -iv "$iv" -in data -out data.enc
printf 'precious' >keep
expect_fail 1 "QLC_SYM_Decrypt_Final: .*(code -4019)" dec -c aria -k "ff${k16:2}" -iv "$iv" -in data.enc -out keep
expect_same "untouched output" "$(cat keep)" precious
expect_fail 1 "(code -4013)" enc -c aria -p none -k "$k16" -iv "$iv" -in data -out partial
[ ! -e partial ] || fail "a partial output file was left behind"
expect_fail 1 "(code -4018)" dec -c aria -m cfb -s 4 -p none -k "$k16" -iv "$iv" -in data -out partial
[ ! -e partial ] || fail "a partial plaintext file was left behind"
ls -a | grep -q 'qlc-' && fail "temporary files left behind: $(ls -a)"
expect_fail 1 "No such file" enc -c aria -k "$k16" -iv "$iv" -in data -out nodir/out
# rand and genkey.
expect_fail 2 "the number of bytes must be" rand 12x
expect_fail 2 "the number of bytes must be" rand 1073741825
expect_fail 2 "the number of bytes is needed" rand
expect_fail 2 "unknown key type 'rsa'" genkey rsa
expect_fail 2 "-l applies to HMAC keys only" genkey -l 16 aria128
expect_fail 1 "QLC_KEY_GenSecKey: .*(code -6067)" genkey aes256
expect_fail 1 "QLC_KEY_GenSecKey: .*(code -6084)" genkey -l 129 hmac-sha512
expect_fail 1 "QLC_KEY_GenSecKey: .*(code -6084)" genkey -l 65 hmac-sha256
# A file that cannot be read does not stop the others, but the exit code says so.
rc=0
"$QLC" hash data missing >out 2>err || rc=$?
expect_same "exit with one unreadable file" "$rc" 1
expect_same "the readable file's line" "$(cat out)" "$(sha256sum data)"
# --help works for every command and exits 0.
for c in version hash hmac enc dec rand genkey speed; do
  "$QLC" "$c" --help | grep -q "usage: qlc $c" || fail "qlc $c --help"
done
echo "bad input handled"
