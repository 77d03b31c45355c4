# qlc enc against openssl enc, byte for byte, and qlc dec on openssl's ciphertexts: CBC and ECB
# with PKCS padding, CFB and OFB (full-block and 8-bit segments), CTR; every key length.
source "$(dirname "$0")/common.sh"
legacy=(-provider legacy -provider default)
sizes=(0 1 15 16 17 1000 1048576)
for n in "${sizes[@]}"; do gen "p$n" "$n"; done
key=000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f
iv=f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff

# check QLC_CIPHER KEY_BYTES MODE SEGMENT OPENSSL_NAME [OPENSSL_OPTIONS...]
check() {
  local cipher=$1 klen=$2 mode=$3 seg=$4 name=$5
  shift 5
  local k=${key:0:$((2 * klen))} n
  local opts=(--non-approved -c "$cipher" -m "$mode" -s "$seg" -k "$k")
  local oopts=(-K "$k")
  if [ "$mode" != ecb ]; then opts+=(-iv "$iv"); oopts+=(-iv "$iv"); fi
  for n in "${sizes[@]}"; do
    # Full-block CFB and OFB take whole blocks only (a partial one needs padding).
    if [ "$seg" == 16 ] && [[ "$mode" =~ cfb|ofb ]] && [ $((n % 16)) -ne 0 ]; then continue; fi
    "$QLC" enc "${opts[@]}" -in "p$n" -out ours || fail "qlc enc $name on $n bytes"
    openssl enc "-$name" "$@" "${oopts[@]}" -in "p$n" -out theirs 2>err ||
      fail "openssl enc -$name: $(cat err)"
    cmp -s ours theirs || fail "qlc enc differs from openssl enc -$name on $n bytes"
    "$QLC" dec "${opts[@]}" -in theirs -out back || fail "qlc dec $name on $n bytes"
    cmp -s back "p$n" || fail "qlc dec of openssl's $name ciphertext on $n bytes"
  done
}

for klen in 16 24 32; do
  bits=$((klen * 8))
  for c in aes aria; do
    check "$c" "$klen" cbc 16 "$c-$bits-cbc"
    check "$c" "$klen" ctr 16 "$c-$bits-ctr"
  done
done
check seed128 16 cbc 16 seed-cbc "${legacy[@]}"
check aes 16 ecb 16 aes-128-ecb
check aria 32 ecb 16 aria-256-ecb
check seed128 16 ecb 16 seed-ecb "${legacy[@]}"
for m in cfb ofb; do
  check aes 16 "$m" 16 "aes-128-$m"
  check aria 16 "$m" 16 "aria-128-$m"
  check seed128 16 "$m" 16 "seed-$m" "${legacy[@]}"
done
check aes 32 cfb 1 aes-256-cfb8
check aria 16 cfb 1 aria-128-cfb8
echo "qlc enc and dec agree with openssl enc"
