# Bad input: a clear message on standard error and a non-zero exit, never a crash; usage
# errors exit 2, refusals of the module exit 1 with the module's message and code (and the
# remedy where one is known).
source "$(dirname "$0")/common.sh"
printf 'some data' >data
k16=000102030405060708090a0b0c0d0e0f
iv=00112233445566778899aabbccddeeff
long_key=$(printf '%0514d' 0)
"$QLC" genkey -out hexkey aria128
head -c 16 /dev/zero >rawkey
printf '%s\n' "not hex at all" >textkey
printf "ab#d" >bad64
# exit code | pattern on stderr | arguments (one case a line, split as the shell splits).
while IFS='|' read -r rc pattern args; do
  [ -n "$rc" ] && [ "${rc:0:1}" != "#" ] || continue
  eval "set -- $args"
  expect_fail "$rc" "$pattern" "$@"
done <<EOF
# The command line itself.
2|unknown command|frobnicate
2|usage: qlc|
2|unknown option '--bogus'|--bogus version
2|unexpected argument|version extra
2|unexpected argument|list extra
# hash and hmac.
2|unknown digest 'md5'|hash -a md5 data
2|needs a value|hash -a
2|unknown option|hash --bogus data
2|option -a given twice|hash -a sha1 -a sha256 data
2|--quiet and --status apply to -c only|hash --quiet data
2|odd number of hex digits|hmac -k abc data
2|not a hex string|hmac -k zz data
2|a key is needed|hmac data
2|a key given twice|hmac -k 00 -k 01 data
2|a key given twice|hmac --key-file missing -k 00 data
2|--raw applies to --key-file only|hmac -k 00 --raw data
1|missing: No such file|hash missing
1|missing: No such file|hmac --key-file missing data
1|textkey: not a hex key file as qlc genkey writes (a binary key needs --raw)|hmac --key-file textkey data
1|hexkey: a hex key file, not a binary one (drop --raw)|hmac --key-file hexkey --raw data
1|adir|hash adir
1|no properly formatted checksum lines|hash -c data
2|unknown algorithm|speed rot13
2|-t takes|speed -t 0 sha1
# enc and dec: the command line.
2|unknown cipher 'des'|enc -c des -k $k16 -iv $iv -in data
2|unknown mode 'xts'|enc -c aria -m xts -k $k16 -iv $iv -in data
2|unknown padding 'ansi'|enc -c aria -p ansi -k $k16 -iv $iv -in data
2|a cipher is needed|enc -k $k16 -iv $iv -in data
2|a key is needed|enc -c aria -iv $iv -in data
2|needs an IV|dec -c aria -k $k16 -in data
2|-iv: the IV has 16 bytes|enc -c aria -k $k16 -iv $iv$iv -in data
2|-iv: odd number|enc -c aria -k $k16 -iv 001 -in data
2|-s must be|enc -c aria -m cfb -s 17 -k $k16 -iv $iv -in data
2|-s must be|enc -c aria -m cfb -s 0 -k $k16 -iv $iv -in data
2|-iv does not apply in ecb|enc -c aria -m ecb -k $k16 -iv $iv -in data
2|-s applies to cfb, ofb and ctr only|enc -c aria -s 16 -k $k16 -iv $iv -in data
2|-s applies to cfb, ofb and ctr only|dec -c aria -m ecb -s 8 -k $k16 -in data
2|a key given twice|enc -c aria -k $k16 -k $k16 -iv $iv -in data
2|a key given twice|enc -c aria -k $k16 --key-file hexkey -iv $iv -in data
2|a key given twice|enc -c aria128 -k $k16 -pass pass:x -pbkdf2 -in data
2|option -m given twice|enc -c aria -m cbc -m ctr -k $k16 -iv $iv -in data
2|unexpected argument 'data'|enc -c aria -k $k16 -iv $iv data
2|-pass needs -pbkdf2|enc -c aria128 -pass pass:x -in data
2|-pbkdf2, -iter and -S apply to -pass only|enc -c aria -k $k16 -iv $iv -iter 5 -in data
2|-iv does not apply with -pass|enc -c aria128 -pass pass:x -pbkdf2 -iv $iv -in data
2|names its key length, such as aria256|enc -c aria -pass pass:x -pbkdf2 -in data
2|the source is pass:PASSWORD|enc -c aria128 -pass secret -pbkdf2 -in data
2|-S: the salt has 8 bytes|enc -c aria128 -pass pass:x -pbkdf2 -S 0011 -in data
2|unknown option '-S'|dec -c aria128 -pass pass:x -pbkdf2 -S 0011223344556677 -in data
1|environment variable QL_NO_SUCH_VARIABLE is not set|enc -c aria128 -pass env:QL_NO_SUCH_VARIABLE -pbkdf2 -in data
1|no "Salted__" header|dec -c aria128 -pass pass:x -pbkdf2 -in data
1|bad64: not base64 text|dec -a -c aria -k $k16 -iv $iv -in bad64
# Key lengths name what the cipher takes.
2|a key of 17 bytes: ARIA keys have 16, 24 or 32 bytes|enc -c aria -k ${k16}00 -iv $iv -in data
2|a key of 31 bytes: AES keys have 16, 24 or 32 bytes|--non-approved enc -c aes -k $k16${k16:2} -iv $iv -in data
2|a key of 2 bytes: AES keys have 16, 24 or 32 bytes|--non-approved enc -c aes -k 0011 -iv $iv -in data
2|a key of 17 bytes: SEED-128 keys have 16 bytes|enc -c seed128 -k ${k16}00 -iv $iv -in data
2|a key of 16 bytes: SEED-256 keys have 32 bytes|--non-approved enc -c seed256 -k $k16 -iv $iv -in data
2|a key of 16 bytes: aria256 takes 32 bytes|enc -c aria256 -k $k16 -iv $iv -in data
2|a key of 257 bytes: ARIA keys|enc -c aria -k $long_key -iv $iv -in data
# The module's refusals, with the remedy.
1|QLC_SYM_Encrypt_Init: .*(code -6067); AES and SEED-256 need --non-approved|enc -c aes -k $k16 -iv $iv -in data
1|QLC_KEY_GenSecKey: .*(code -6067); AES and SEED-256 need --non-approved|genkey aes256
1|(code -4013)|enc -c aria -p none -k $k16 -iv $iv -in data -out partial
1|(code -4018)|dec -c aria -m cfb -s 4 -p none -k $k16 -iv $iv -in data -out partial
1|missing: No such file|enc -c aria -k $k16 -iv $iv -in missing -out never
1|No such file|enc -c aria -k $k16 -iv $iv -in data -out nodir/out
# rand and genkey.
2|the number of bytes must be|rand 12x
2|the number of bytes must be|rand 1073741825
2|the number of bytes is needed|rand
2|--hex, --raw and -a exclude each other|rand --hex --raw 4
2|--hex, --raw and -a exclude each other|rand -a --hex 4
2|unknown key type 'rsa'|genkey rsa
2|-l applies to HMAC keys only|genkey -l 16 aria128
2|-l: hmac-sha512 keys from genkey have 32 to 128 bytes, not 129|genkey -l 129 hmac-sha512
2|-l: hmac-sha256 keys from genkey have 16 to 64 bytes, not 15|genkey -l 15 hmac-sha256
2|-l: hmac-has160 keys from genkey have 10 to 64 bytes, not 65|genkey -l 65 hmac-has160
2|option -out given twice|genkey -out a -out b aria128
EOF
for f in never partial a b; do [ ! -e "$f" ] || fail "output file '$f' left behind by a failed command"; done
# A wrong key fails the padding check as "bad decrypt"; an existing output file is left as it
# was when the failure comes before any plaintext is written.
"$QLC" enc -c aria -k "$k16" -iv "$iv" -in data -out data.enc
printf 'precious' >keep
expect_fail 1 "QLC_SYM_Decrypt_Final: bad decrypt (wrong key, IV or corrupted data) (code -4019)" \
  dec -c aria -k "ff${k16:2}" -iv "$iv" -in data.enc -out keep
expect_same "untouched output" "$(cat keep)" precious
# A file that cannot be read does not stop the others, but the exit code says so.
rc=0
"$QLC" hash data missing >out 2>err || rc=$?
expect_same "exit with one unreadable file" "$rc" 1
expect_same "the readable file's line" "$(cat out)" "$(sha256sum data)"
# --help works for every command, before and after other options, and "--" ends the
# options: after it, "--help" and "-x" are file names.
for c in version list hash hmac enc dec rand genkey selftest speed; do
  "$QLC" "$c" --help | grep -q "usage: qlc $c" || fail "qlc $c --help"
  "$QLC" "$c" -x --help | grep -q "usage: qlc $c" || fail "qlc $c -x --help"
done
"$QLC" --help | grep -q "usage: qlc" || fail "qlc --help"
cp data ./--help && cp data ./-x
expect_same "names after --" "$("$QLC" hash -- --help -x)" "$(sha256sum -- --help -x)"
[[ "$("$QLC" --version)" =~ ^qlc\ \(QuillonCrypto\)\ [0-9.]+$ ]] || fail "qlc --version"
"$QLC" list | grep -q "aes .*needs --non-approved" || fail "qlc list: AES and the approved state"
echo "bad input handled"
