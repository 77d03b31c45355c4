# Signatures each way: qlc sign checked by openssl dgst -verify and openssl dgst -sign checked
# by qlc verify, for every RSA and ECDSA scheme on keys of both origins; KCDSA, which openssl
# lacks, signed and verified by qlc; a changed message or signature fails; bad input refused.
source "$(dirname "$0")/common.sh"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out o_rsa.pem 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out o_ec.pem
"$QLC" genpkey -a rsa -bits 3072 -out q_rsa.der
"$QLC" genpkey -a ecdsa -curve p224 -out q_ec.der
"$QLC" pkey -in q_rsa.der -format pkcs8 -outform PEM -out q_rsa.pem
"$QLC" pkey -in q_ec.der -format pkcs8 -outform PEM -out q_ec.pem
for k in o_rsa o_ec q_rsa q_ec; do openssl pkey -in $k.pem -pubout -out $k.pub; done
gen msg 1000
gen other 1000 01
pss="-sigopt rsa_padding_mode:pss -sigopt rsa_pss_saltlen:digest"

# qlc scheme (and options) | openssl dgst options | keys
while IFS='|' read -r scheme ossl keys; do
  [ -n "$scheme" ] || continue
  for k in $keys; do
    what="$scheme with $k"
    # shellcheck disable=SC2086
    "$QLC" --non-approved sign -a $scheme -key $k.pem -in msg -out q.sig
    # shellcheck disable=SC2086
    openssl dgst $ossl -verify $k.pub -signature q.sig msg >/dev/null || fail "openssl rejects qlc's $what"
    # shellcheck disable=SC2086
    openssl dgst $ossl -sign $k.pem -out o.sig msg
    for key in $k.pem $k.pub; do
      # shellcheck disable=SC2086
      expect_same "qlc verify of openssl's $what ($key)" \
        "$("$QLC" --non-approved verify -a $scheme -key $key -sigfile o.sig -in msg)" "Verified OK"
      # shellcheck disable=SC2086
      expect_fail 1 "Verification failure" --non-approved verify -a $scheme -key $key -sigfile o.sig -in other
    done
  done
done <<EOF
rsa-pkcs1-sha1|-sha1|o_rsa q_rsa
rsa-pkcs1-sha256|-sha256|o_rsa q_rsa
rsa-pkcs1-sha384|-sha384|o_rsa
rsa-pkcs1-sha512|-sha512|q_rsa
rsa-pss-sha1|-sha1 $pss|o_rsa
rsa-pss-sha256|-sha256 $pss|o_rsa q_rsa
rsa-pss-sha256 -mgf sha1|-sha256 $pss -sigopt rsa_mgf1_md:sha1|q_rsa
rsa-pss-sha384|-sha384 $pss|q_rsa
rsa-pss-sha512 -mgf sha256|-sha512 $pss -sigopt rsa_mgf1_md:sha256|o_rsa
ecdsa-sha1|-sha1|o_ec q_ec
EOF

# PKCS #1 v1.5 is deterministic: the approved state's one-shot signature equals the streamed
# one of the non-approved state (digest-input scheme).
for d in sha1 sha256; do
  "$QLC" sign -a rsa-pkcs1-$d -key q_rsa.pem -in msg -out one.sig
  "$QLC" --non-approved sign -a rsa-pkcs1-$d -key q_rsa.pem -in msg -out streamed.sig
  cmp -s one.sig streamed.sig || fail "rsa-pkcs1-$d: one-shot and streamed signatures differ"
done

# Base64 signatures are the binary ones in base64 text.
"$QLC" sign -a ecdsa-sha1 -key o_ec.pem -base64 -in msg -out b64.sig
openssl base64 -d -in b64.sig -out bin.sig
openssl dgst -sha1 -verify o_ec.pub -signature bin.sig msg >/dev/null
expect_same "base64 signature" "$("$QLC" verify -a ecdsa-sha1 -key o_ec.pub -base64 -sigfile b64.sig -in msg)" "Verified OK"

# KCDSA: each scheme on parameters big enough for its digest; the public key alone verifies.
"$QLC" genpkey -a kcdsa -bits 1024 -out kc1.der
"$QLC" genpkey -a kcdsa -bits 2048 -out kc2.der
for case in has160:kc1 sha1:kc1 sha256:kc2 has160:kc2; do
  s=kcdsa-${case%%:*} k=${case##*:}
  "$QLC" pkey -in $k.der -pubout -out $k.pub
  "$QLC" sign -a $s -key $k.der -in msg -out k.sig
  expect_same "$s with $k" "$("$QLC" verify -a $s -key $k.pub -sigfile k.sig <msg)" "Verified OK"
  expect_fail 1 "Verification failure" verify -a $s -key $k.pub -sigfile k.sig -in other
done

# speed: one row per algorithm in the layout of openssl speed.
"$QLC" speed -t 0.05 ecdsap224 kcdsa1024 >speed.txt 2>/dev/null
expect_same "speed rows" "$(awk '/^ *[0-9]+ bits (ecdsa|kcdsa)/ && $NF > 0 {n++} END {print n}' speed.txt)" 2
grep -q "sign    verify    sign/s verify/s" speed.txt || fail "speed header"

# Bad input, with no signature file left behind.
head -c 10 o.sig >short.sig
openssl dgst -sha384 -sign o_rsa.pem -out rsa384.sig msg
while IFS='|' read -r rc pattern args; do
  [ -n "$rc" ] || continue
  eval "set -- $args"
  rm -f out.sig
  expect_fail "$rc" "$pattern" "$@"
  [ ! -e out.sig ] || fail "qlc $*: left out.sig behind"
done <<EOF
1|o_rsa.pem: an RSA key, but ecdsa-sha1 needs an EC key|sign -a ecdsa-sha1 -key o_rsa.pem -in msg -out out.sig
1|o_ec.pub: an EC key, but rsa-pss-sha256 needs an RSA key|verify -a rsa-pss-sha256 -key o_ec.pub -sigfile o.sig -in msg
1|short.sig: a signature of 10 bytes; the 2048-bit key's have 256|verify -a rsa-pkcs1-sha256 -key o_rsa.pub -sigfile short.sig -in msg
1|Verification failure|verify -a ecdsa-sha1 -key o_ec.pub -sigfile short.sig -in msg
1|o_rsa.pub: a public key; signing needs the private key|sign -a rsa-pkcs1-sha256 -key o_rsa.pub -in msg -out out.sig
1|kcdsa-sha256 needs KCDSA parameters with a q of at least 256 bits|sign -a kcdsa-sha256 -key kc1.der -in msg -out out.sig
1|this scheme needs --non-approved|sign -a rsa-pkcs1-sha512 -key o_rsa.pem -in msg -out out.sig
1|this scheme needs --non-approved|verify -a rsa-pkcs1-sha384 -key o_rsa.pem -sigfile rsa384.sig -in msg
1|missing: No such file|sign -a rsa-pkcs1-sha256 -key o_rsa.pem -in missing -out out.sig
2|unknown signature scheme 'rsa-md5'|sign -a rsa-md5 -key o_rsa.pem -in msg -out out.sig
2|-mgf applies to rsa-pss schemes only|sign -a rsa-pkcs1-sha256 -mgf sha1 -key o_rsa.pem -in msg -out out.sig
2|MGF1 takes sha1, sha256, sha384 or sha512|sign -a rsa-pss-sha256 -mgf has160 -key o_rsa.pem -in msg -out out.sig
2|a key is needed|sign -a rsa-pkcs1-sha256 -in msg -out out.sig
2|the signature is needed|verify -a rsa-pkcs1-sha256 -key o_rsa.pem -in msg
2|unknown option '-sigfile'|sign -a rsa-pkcs1-sha256 -key o_rsa.pem -sigfile o.sig -in msg
EOF
