# A 64 MiB file hashes (and, with the ciphers, encrypts and decrypts) in constant memory: the
# peak resident size of qlc stays far below the file size, and the results are right.
source "$(dirname "$0")/common.sh"
: "${MAXRSS:?path of ql_maxrss}" "${LIMIT_KIB:?memory limit}"
head -c 67108864 /dev/zero >big
"$MAXRSS" "$LIMIT_KIB" "$QLC" hash -a sha256 big >big.sum || fail "hash of 64 MiB: memory or failure"
expect_same "64 MiB digest" "$(cat big.sum)" "$(sha256sum big)"
echo "64 MiB in constant memory"
