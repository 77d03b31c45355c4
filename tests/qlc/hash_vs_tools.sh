# qlc hash and qlc hmac against sha*sum and openssl dgst: every digest, lengths around the
# block and padding boundaries, several files, standard input, names that need escaping, and
# the check mode against sha256sum -c in both directions.
source "$(dirname "$0")/common.sh"
sizes=(0 1 55 56 63 64 111 112 127 128 129 1000 1048579)
for n in "${sizes[@]}"; do gen "f$n" "$n"; done
files=("${sizes[@]/#/f}")

for alg in sha1 sha256 sha384 sha512; do
  expect_same "$alg vs ${alg}sum" "$("$QLC" hash -a "$alg" "${files[@]}")" "$("${alg}sum" "${files[@]}")"
  for f in "${files[@]}"; do
    want=$(openssl dgst "-$alg" -r "$f")
    expect_same "$alg vs openssl dgst ($f)" "$("$QLC" hash -a "$alg" "$f")" "${want% \**}  $f"
  done
  expect_same "$alg on stdin" "$("$QLC" hash -a "$alg" <f1000)" "$("${alg}sum" <f1000)"
done
expect_same "default digest" "$("$QLC" hash f64)" "$(sha256sum f64)"
"$QLC" hash -a sha256 "${files[@]}" >sums
sha256sum --quiet -c sums || fail "sha256sum -c rejects qlc's lines"

# HMAC: keys shorter than, equal to and longer than the block of each digest, and longer than
# the module's key record (256 bytes).
for alg in sha1 sha256 sha384 sha512; do
  for klen in 1 20 64 100 128 200 257 1000; do
    key=$(head -c "$klen" f1048579 | od -An -tx1 -v | tr -d ' \n')
    for f in f0 f55 f1000 f1048579; do
      want=$(openssl dgst "-$alg" -mac HMAC -macopt "hexkey:$key" -r "$f")
      expect_same "hmac-$alg key $klen ($f)" "$("$QLC" hmac -a "$alg" -k "$key" "$f")" \
        "${want% \**}  $f"
    done
  done
done
# Key files: what genkey writes (hex, or binary with --raw) is what --key-file reads; a file
# of the other kind is refused.
"$QLC" genkey -out hexkey hmac-sha512
"$QLC" genkey --raw -out rawkey hmac-sha512
for kf in hexkey: rawkey:--raw; do
  IFS=: read -r f raw <<<"$kf"
  key=$( [ -z "$raw" ] && tr -d '\n' <"$f" || od -An -tx1 -v "$f" | tr -d ' \n')
  want=$(openssl dgst -sha512 -mac HMAC -macopt "hexkey:$key" -r f1000)
  expect_same "hmac --key-file $f" "$("$QLC" hmac -a SHA512 --key-file "$f" $raw f1000)" \
    "${want% \**}  f1000"
done
for bad in "hexkey --raw:a hex key file" "rawkey:not a hex key file"; do
  expect_fail 1 "${bad#*:}" hmac --key-file ${bad%:*} f1000
done
key=$(tr -d '\n' <hexkey)
expect_same "hmac on stdin" "$("$QLC" hmac -k "$key" <f1000)" "$("$QLC" hmac -k "$key" f1000 | sed 's/f1000$/-/')"
# HAS-160 has no command-line oracle: published sample digests and HMACs (tests/vectors).
printf abc >abc
expect_same "has160 abc" "$("$QLC" hash -a has160 abc)" "975e810488cf2a3d49838478124afce4b1c78804  abc"
printf 'Hi There' >hi
expect_same "hmac-has160" "$("$QLC" hmac -a has160 -k 0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b hi)" \
  "f5b44115a53f716b6f488de1098ee7c251418623  hi"
# Names with a backslash, a line feed or a carriage return: escaped as sha256sum escapes
# them, and qlc hash -c and sha256sum -c each check the other's sums, naming bad files alike.
mkdir names
for n in 'plain' 'back\slash' $'line\nfeed' $'carriage\rreturn' '-dash'; do cp f55 "names/$n"; done
cd names
names=(plain 'back\slash' $'line\nfeed' $'carriage\rreturn')
expect_same "escaped names" "$("$QLC" hash -- "${names[@]}" -dash)" "$(sha256sum -- "${names[@]}" -dash)"
sha256sum -- "${names[@]}" >../their.sums
"$QLC" hash -a Sha256 -- "${names[@]}" >../our.sums
printf 'garbage line\n' >>../our.sums
echo x >>"$(printf 'line\nfeed')"
rm plain
for tool in "$QLC hash -c" "sha256sum -c"; do
  for sums in our their; do
    rc=0
    $tool ../$sums.sums >"../$sums.out" 2>/dev/null || rc=$?
    expect_same "$tool $sums.sums: exit" "$rc" 1
    [ "$tool" == "sha256sum -c" ] && cp "../$sums.out" "../$sums.want" || cp "../$sums.out" "../$sums.got"
  done
done
for sums in our their; do
  cmp -s "../$sums.got" "../$sums.want" ||
    fail "qlc hash -c on $sums.sums: '$(cat "../$sums.got")', sha256sum: '$(cat "../$sums.want")'"
done
cd ..
"$QLC" hash "${files[@]}" >sums
expect_same "hash -c --status on good sums" "$("$QLC" hash -c --status sums && echo ok)" ok
expect_same "hash -c --quiet" "$("$QLC" hash -c --quiet <sums)" ""
echo "hash and hmac agree with coreutils and openssl"
