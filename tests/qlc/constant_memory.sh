# A 64 MiB file hashes, encrypts and decrypts, and in the non-approved state is signed with
# RSA, in constant memory: the peak resident size of qlc stays far below the file size, and
# the results are right.
source "$(dirname "$0")/common.sh"
: "${MAXRSS:?path of ql_maxrss}" "${LIMIT_KIB:?memory limit}"
head -c 67108864 /dev/zero >big
"$MAXRSS" "$LIMIT_KIB" "$QLC" hash -a sha256 big >big.sum || fail "hash of 64 MiB: memory or failure"
expect_same "64 MiB digest" "$(cat big.sum)" "$(sha256sum big)"
opts=(-c seed128 -m ctr -k 000102030405060708090a0b0c0d0e0f -iv 00112233445566778899aabbccddeeff)
"$MAXRSS" "$LIMIT_KIB" "$QLC" enc "${opts[@]}" -in big -out big.enc || fail "enc of 64 MiB"
expect_same "64 MiB encrypted" "$(wc -c <big.enc | tr -d ' ')" 67108864
"$MAXRSS" "$LIMIT_KIB" "$QLC" dec "${opts[@]}" -in big.enc -out big.dec || fail "dec of 64 MiB"
cmp -s big big.dec || fail "64 MiB round trip"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa.pem 2>/dev/null
"$MAXRSS" "$LIMIT_KIB" "$QLC" --non-approved sign -a rsa-pkcs1-sha256 -key rsa.pem -in big \
  -out big.sig || fail "sign of 64 MiB"
openssl dgst -sha256 -prverify rsa.pem -signature big.sig big >/dev/null || fail "64 MiB signature"
echo "64 MiB in constant memory"
